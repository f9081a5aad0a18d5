// The update query's logic: the request document, the reply, the choice of
// offers and the out-of-date decisions, and the package rows.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>

#include "app/language.h"
#include "app/outcome.h"
#include "app/system_info.h"
#include "devices/device_inventory.h"
#include "devices/raw_scan.h"
#include "service/update_package_list.h"
#include "service/update_client.h"
#include "service/update_matching.h"
#include "service/update_reply.h"
#include "service/update_request.h"
#include "test_support.h"
#include "tests/tinyxml_reference.h"

namespace quillary {
namespace {

device_record record(const std::u16string& id) {
  device_record d;
  d.device_id = id;
  d.matching_device_id = u"pci\\ven_1&dev_2";
  d.hardware_ids = {u"PCI\\VEN_1&DEV_2&REV_01", u"PCI\\VEN_1&DEV_2"};
  d.compatible_ids = {u"PCI\\CC_0200"};
  return d;
}

// --- the request -----------------------------------------------------------------

TEST(update_request, document_matches_the_hand_written_one) {
  auto a = record(u"PCI\\VEN_1&DEV_2");
  auto b = record(u"USB\\VID_3");
  b.matching_device_id = u"";
  b.compatible_ids = {u""};  // a first entry that is empty: no compids element
  update_request_info info;
  info.os_code_name = "WIN764";
  info.oem_code_page = 437;
  info.model = u"Model \"X\" & <Y>";
  EXPECT_EQ(build_update_request({offered_device(a), offered_device(b)}, info),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
            "<driversm>\n"
            "\t<action>ACTION_UPDATE_DRIVER</action>\n"
            // The library quotes a value holding '"' with apostrophes.
            "\t<client version=\"\" os=\"WIN764\" lang=\"437\" model='Model &quot;X&quot; &amp; &lt;Y&gt;' />\n"
            "\t<hardwares>\n"
            "\t\t<hardware>\n"
            "\t\t\t<id>\n\t\t\t\t<![CDATA[PCI\\VEN_1&DEV_2]]>\n\t\t\t</id>\n"
            "\t\t\t<matchid>\n\t\t\t\t<![CDATA[pci\\ven_1&dev_2]]>\n\t\t\t</matchid>\n"
            "\t\t\t<hardids>\n\t\t\t\t<![CDATA[PCI\\VEN_1&DEV_2&REV_01\nPCI\\VEN_1&DEV_2]]>\n\t\t\t</hardids>\n"
            "\t\t\t<compids>\n\t\t\t\t<![CDATA[PCI\\CC_0200]]>\n\t\t\t</compids>\n"
            "\t\t</hardware>\n"
            "\t\t<hardware>\n"
            "\t\t\t<id>\n\t\t\t\t<![CDATA[USB\\VID_3]]>\n\t\t\t</id>\n"
            "\t\t\t<matchid>\n\t\t\t\t<![CDATA[]]>\n\t\t\t</matchid>\n"
            "\t\t\t<hardids>\n\t\t\t\t<![CDATA[PCI\\VEN_1&DEV_2&REV_01\nPCI\\VEN_1&DEV_2]]>\n\t\t\t</hardids>\n"
            "\t\t</hardware>\n"
            "\t</hardwares>\n"
            "</driversm>\n");
  EXPECT_NE(build_update_request({}, info).find("<hardwares />"), std::string::npos)
      << "an empty device list still sends the element";
  info.os_code_name = "WIN1164";
  info.model = u"M";
  info.os_build = 22631;
  EXPECT_NE(build_update_request({}, info).find("<client version=\"\" os=\"WIN1164\" lang=\"437\" model=\"M\" "
                                                "build=\"22631\" />"),
            std::string::npos)
      << "a known build follows the other attributes";
  EXPECT_EQ(build_update_request({}, info).find("uilang"), std::string::npos)
      << "no interface language known, none sent: the service serves it as English";
  // The interface language last, as [Strings.LLLL] sections spell LANGIDs.
  const std::pair<uint16_t, const char*> languages[] = {{0x0C0A, "0C0A"}, {0x0411, "0411"}, {0x0009, "0009"}};
  for (const auto& [id, text] : languages) {
    info.ui_language = id;
    EXPECT_NE(build_update_request({}, info).find("<client version=\"\" os=\"WIN1164\" lang=\"437\" model=\"M\" "
                                                  "build=\"22631\" uilang=\"" + std::string(text) + "\" />"),
              std::string::npos)
        << text;
  }
}

// What the scan page and the CLI send comes from one filler: every field
// from the snapshot, the model only once the summary may be read.
TEST(update_request, the_request_of_a_system_carries_every_field_of_its_snapshot) {
  system_snapshot system;
  system.version.platform_id = os_version_record::platform_nt;
  system.version.major = 10;
  system.version.minor = 0;
  system.version.build = 22631;
  system.os_type = os_type_code::windows_11;
  system.processor_architecture = 9;  // x64
  system.oem_code_page = 850;
  system.summary.model = u"Desk 9";

  update_request_info info = request_for_system(system, true, 0x0411);
  EXPECT_EQ(info.os_code_name, "WIN1164");
  EXPECT_EQ(info.ui_language, 0x0411);
  EXPECT_EQ(info.os_version_code, 100);
  EXPECT_EQ(info.os_build, 22631u);
  EXPECT_EQ(info.oem_code_page, 850u);
  EXPECT_EQ(info.model, u"Desk 9");
  EXPECT_EQ(info.http_status, 0);
  EXPECT_EQ(info.error_code, 0);
  EXPECT_TRUE(info.error_text.empty());
  EXPECT_NE(build_update_request({}, info).find("<client version=\"\" os=\"WIN1164\" lang=\"850\" "
                                                "model=\"Desk 9\" build=\"22631\" uilang=\"0411\" />"),
            std::string::npos);

  // Windows 7 SP1, as Wine presents it: the service pack's build.
  system.version.major = 6;
  system.version.minor = 1;
  system.version.build = 7601;
  system.os_type = os_type_code::windows_7;
  info = request_for_system(system, false, 0);
  EXPECT_EQ(info.os_code_name, "WIN764");
  EXPECT_EQ(info.ui_language, 0);
  EXPECT_EQ(info.os_version_code, 61);
  EXPECT_EQ(info.os_build, 7601u);
  EXPECT_TRUE(info.model.empty()) << "the summary's thread may still be writing the model";
  system.native_machine = machine_type::arm64;
  EXPECT_EQ(request_for_system(system, true, 0x0411).os_code_name, "")
      << "the architecture comes from the snapshot too: Windows 7 never ran on ARM64 PCs";
}

TEST(update_request, compression_is_a_zlib_stream_of_the_text) {
  std::string text(100000, 'a');
  for (size_t i = 0; i < text.size(); i += 7) text[i] = static_cast<char>('a' + i % 26);
  std::string packed;
  ASSERT_EQ(compress_request(text, packed), 0);
  ASSERT_GE(packed.size(), 6u);
  EXPECT_EQ(static_cast<uint8_t>(packed[0]), 0x78) << "zlib header, default level";
  EXPECT_EQ(static_cast<uint8_t>(packed[1]), 0x9C);
  std::string back(text.size(), '\0');
  uLongf size = static_cast<uLongf>(back.size());
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(back.data()), &size,
                       reinterpret_cast<const Bytef*>(packed.data()), static_cast<uLong>(packed.size())), Z_OK);
  EXPECT_EQ(back, text);
  ASSERT_EQ(compress_request("", packed), 0);
  EXPECT_GT(packed.size(), 0u);
}

// --- the reply ---------------------------------------------------------------------

class reply_test : public ::testing::Test {
 protected:
  void SetUp() override {
    result = two_devices();
    ASSERT_NE(result, nullptr);
  }
  // PCI\A and PCI\B, offered nothing yet.
  static std::unique_ptr<scan_result_c> two_devices() {
    raw_scan scan;
    scan.classes = {{u"{4D36E972-E325-11CE-BFC1-08002BE10318}", u"Net", u"Network adapters", 0}};
    for (const char16_t* id : {u"PCI\\A\\1", u"PCI\\B\\1"}) {
      raw_device d;
      d.instance_id = id;
      d.texts[device_property::device_desc] = u"x";
      d.texts[device_property::class_name] = u"Net";
      d.texts[device_property::class_guid] = u"{4D36E972-E325-11CE-BFC1-08002BE10318}";
      d.lists[device_property::hardware_id] = {u"h"};
      d.lists[device_property::compatible_ids] = {u"c"};
      scan.devices.push_back(d);
    }
    device_inventory_c inventory(make_fixture_source(scan));
    scan_progress progress;
    return scan_into_result(inventory, progress);
  }
  std::vector<offered_device>& devices() { return result->devices_to_fill(); }
  const offered_device& device(const char16_t* id) {
    for (const auto& d : devices()) {
      if (d.device_id == id) return d;
    }
    throw std::out_of_range("no such device");
  }
  static std::string hardware(const std::string& id, const std::string& items) {
    return "<hardware><id>" + id + "</id>" + items + "</hardware>";
  }
  static std::string reply(const std::string& hardwares) {
    return "<?xml version=\"1.0\"?><any><hardwares>" + hardwares + "</hardwares></any>";
  }
  std::unique_ptr<scan_result_c> result;
};

TEST_F(reply_test, items_are_read_into_their_fields) {
  const std::string item =
      "<item><hardid>PCI\\A</hardid><title>" + std::string(300, 't') + "</title><ver>1.2</ver>"
      "<size>12345</size><guid>{g}</guid><link>http://h/p.zip</link><infpath>win7/x64/abc.inf</infpath>"
      "<official_link>http://o</official_link><cp>3</cp><manu>Maker</manu><sign>0</sign>"
      "<feature>ff</feature><targetos>61</targetos><date>2012-01-31</date><desc>Text</desc>"
      "<unknown>ignored</unknown><cp>9</cp></item>";
  ASSERT_TRUE(parse_update_reply(reply(hardware("PCI\\A", item)).c_str(), devices()));
  const auto& items = device(u"PCI\\A").items;
  ASSERT_EQ(items.size(), 1u);
  const auto& i = items[0];
  EXPECT_EQ(i.text(update_item::hardid), u"PCI\\A");
  EXPECT_EQ(i.text(update_item::title), std::u16string(256, u't')) << "cut to its capacity";
  EXPECT_EQ(i.text(update_item::inf_name), u"x64\\abc.inf");
  EXPECT_EQ(i.text(update_item::date), u"2012-01-31");
  EXPECT_EQ(i.link_text(update_item::link), "http://h/p.zip");
  EXPECT_EQ(i.size, 12345u);
  EXPECT_EQ(i.cp, 3u) << "the first element of a name counts";
  EXPECT_EQ(i.feature, 255u);
  EXPECT_EQ(i.targetos, 61u);
  EXPECT_TRUE(device(u"PCI\\B").items.empty());
}

TEST_F(reply_test, missing_elements_read_as_empty_or_zero) {
  ASSERT_TRUE(parse_update_reply(reply(hardware("PCI\\A", "<item><feature>20</feature></item>")).c_str(), devices()));
  const auto& i = device(u"PCI\\A").items.at(0);
  EXPECT_EQ(i.feature, 32u) << "hexadecimal";
  EXPECT_EQ(i.size, 0u);
  EXPECT_EQ(i.text(update_item::title), u"");
  EXPECT_EQ(inf_name_of(u"abc.inf"), u"abc.inf") << "an INF at the package's root";
  EXPECT_EQ(inf_name_of(u"a\\b/c.inf"), u"b\\c.inf");
}

TEST_F(reply_test, an_items_sha256_is_kept_when_it_is_64_hexadecimal_digits) {
  const std::string digest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";  // of "abc"
  const std::string items = "<item><sha256>" + digest + "</sha256><cp>1</cp></item>"
                            "<item><sha256>" + digest.substr(1) + "</sha256></item>"
                            "<item><sha256>" + digest.substr(0, 63) + "x</sha256></item>"
                            "<item><cp>4</cp></item>";
  ASSERT_TRUE(parse_update_reply(reply(hardware("PCI\\A", items)).c_str(), devices()));
  const auto& read = device(u"PCI\\A").items;
  ASSERT_EQ(read.size(), 4u);
  ASSERT_NE(read[0].sha256(), nullptr);
  EXPECT_EQ(*read[0].sha256(), sha256_of("abc"));
  EXPECT_EQ(read[0].cp, 1u);
  EXPECT_EQ(read[1].sha256(), nullptr) << "too short: no digest";
  EXPECT_EQ(read[2].sha256(), nullptr) << "not hexadecimal: no digest";
  EXPECT_EQ(read[3].sha256(), nullptr) << "a service that names none";
  EXPECT_EQ(read[3].cp, 4u);
}

TEST_F(reply_test, at_most_500_items_a_device) {
  std::string items;
  for (int i = 0; i < 600; ++i) items += "<item><cp>" + std::to_string(i) + "</cp></item>";
  ASSERT_TRUE(parse_update_reply(reply(hardware("PCI\\A", items)).c_str(), devices()));
  ASSERT_EQ(device(u"PCI\\A").items.size(), 500u);
  EXPECT_EQ(device(u"PCI\\A").items.back().cp, 499u);
}

TEST_F(reply_test, structural_faults_fail_with_21) {
  const std::string bad[] = {
      "not xml at all",
      "<any></any>",
      "<any><hardwares></hardwares></any>",
      reply("<hardware><item/></hardware>"),
      reply("<hardware><id></id></hardware>"),
  };
  for (const auto& text : bad) {
    EXPECT_EQ(parse_update_reply(text.c_str(), devices()).code, error_code::invalid_reply) << text;
  }
  // A later hardware without id fails the reply after earlier devices got their items.
  EXPECT_FALSE(parse_update_reply(
      reply(hardware("PCI\\A", "<item/>") + hardware("NOT\\LISTED", "<item/>") + "<hardware/>" +
            hardware("PCI\\B", "<item/>")).c_str(),
      devices()));
  EXPECT_EQ(device(u"PCI\\A").items.size(), 1u);
  EXPECT_TRUE(device(u"PCI\\B").items.empty());
}

TEST_F(reply_test, deep_nesting_is_refused_before_the_xml_library_recurses) {
  // Open tags only, as a cut-off attack would send them, and the same
  // document closed properly: both would take one stack frame per level.
  std::string open = "<driversm><hardwares>";
  for (int i = 0; i < 100000; ++i) open += "<a>";
  std::string closed = open;
  for (int i = 0; i < 100000; ++i) closed += "</a>";
  closed += "</hardwares></driversm>";
  for (const std::string* text : {&open, &closed}) {
    EXPECT_EQ(parse_update_reply(text->c_str(), devices()).code, error_code::invalid_reply);
  }
}

TEST_F(reply_test, a_reply_cut_off_or_broken_part_way_gives_no_offers) {
  const std::string whole = "\xEF\xBB\xBF" + reply(hardware("PCI\\A", "<item><link>http://h/a.zip</link></item>") +
                                                    hardware("PCI\\B", "<item><link>http://h/b.zip</link></item>"));
  const auto refused_without_offers = [&](const std::string& text) {
    const outcome parsed = parse_update_reply(text.c_str(), devices());
    return parsed.code == error_code::invalid_reply && device(u"PCI\\A").items.empty() &&
           device(u"PCI\\B").items.empty();
  };
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    EXPECT_TRUE(refused_without_offers(whole.substr(0, cut))) << whole.substr(0, cut);
  }
  // Broken in the middle: a field never closed, a stray end tag.
  EXPECT_TRUE(refused_without_offers(reply(hardware("PCI\\A", "<item><link>http://h/a.zip</item>"))));
  EXPECT_TRUE(refused_without_offers(reply(hardware("PCI\\A", "<item/>") + "</x>" + hardware("PCI\\B", "<item/>"))));
  ASSERT_TRUE(parse_update_reply(whole.c_str(), devices())) << "a leading byte-order mark is allowed";
  EXPECT_EQ(device(u"PCI\\B").items.at(0).link_text(update_item::link), "http://h/b.zip");
}

TEST_F(reply_test, texts_split_across_cdata_sections_are_read_whole) {
  // A writer puts "]]>" into CDATA by ending the section between "]]" and
  // ">"; the pieces are one text.
  const std::string item =
      "<item><link><![CDATA[http://h/a]]]]><![CDATA[>b.zip]]></link><title>T<![CDATA[ &  ]]>U</title>"
      "<sign><![CDATA[1]]><![CDATA[2]]></sign></item>";
  ASSERT_TRUE(parse_update_reply(reply("<hardware><id><![CDATA[PCI]]><![CDATA[\\A]]></id>" + item + "</hardware>")
                                     .c_str(),
                                 devices()));
  const auto& items = device(u"PCI\\A").items;
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].link_text(update_item::link), "http://h/a]]>b.zip");
  EXPECT_EQ(items[0].text(update_item::title), u"T &  U");
  EXPECT_EQ(items[0].sign, 12u);
}

TEST_F(reply_test, texts_are_bytes_of_the_ansi_code_page_whatever_the_declaration_says) {
  const std::string declared_utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><any><hardwares>" +
                                    hardware("PCI\\A", "<item><link>http://h/caf&#233;\xE9.zip</link></item>") +
                                    "</hardwares></any>";
  ASSERT_TRUE(parse_update_reply(declared_utf8.c_str(), devices()));
  EXPECT_EQ(device(u"PCI\\A").items.at(0).link_text(update_item::link), "http://h/caf\xE9\xE9.zip")
      << "a character reference gives one byte, as the bytes beside it";
}

TEST_F(reply_test, a_fault_after_the_last_device_changes_no_device) {
  // TinyXML refused such a document whole, so the reply is refused though
  // every device was read before the fault.
  const std::string devices_then_fault = "<driversm><hardwares>" + hardware("PCI\\A", "<item/>") +
                                         "</hardwares></driversm><trailer></other>";
  EXPECT_EQ(parse_update_reply(devices_then_fault.c_str(), devices()).code, error_code::invalid_reply);
  EXPECT_TRUE(device(u"PCI\\A").items.empty());
}

// The reply's structure read as TinyXML's document of it reads: which root,
// "hardwares", "id" and fields count, whatever their order.
TEST_F(reply_test, reads_as_the_document_tinyxml_builds) {
  const std::string item = "<item><title>T</title><title>second</title><ver>1</ver><size>5</size></item>";
  const std::string bodies[] = {
      reply(hardware("PCI\\A", item + item)),
      reply("<hardware>" + item + "<id>PCI\\A</id>" + item + "</hardware>"),  // the id after items
      reply("<hardware>" + item + "<id>NOT\\LISTED</id>" + item + "</hardware>" + hardware("PCI\\B", item)),
      reply("<hardware><id>PCI\\A</id><id>PCI\\B</id>" + item + "</hardware>"),  // the first id counts
      reply("<hardware><id/><id>PCI\\B</id>" + item + "</hardware>"),              // even without text
      reply(hardware("PCI\\A", item) + hardware("PCI\\A", "<item><ver>2</ver></item>")),  // the last one wins
      "<r><hardwares>" + hardware("PCI\\A", item) + "</hardwares><hardwares>" + hardware("PCI\\B", item) +
          "</hardwares></r>",
      "<r><x><hardwares>" + hardware("PCI\\A", item) + "</hardwares></x></r>",  // not the root's
      "<r/><r2><hardwares>" + hardware("PCI\\A", item) + "</hardwares></r2>",   // not in the first root
      reply(hardware("PCI\\A", "<item><title>a<b>nested</b>c</title><wrap><ver>9</ver></wrap></item>")),
      reply("<other/>" + hardware("PCI\\A", item) + "<hardware><id>PCI\\B</id><sub>" + item + "</sub></hardware>"),
  };
  for (const auto& body : bodies) {
    auto ours = two_devices(), theirs = two_devices();
    ASSERT_EQ(ours->devices().size(), 2u);
    const outcome read = parse_update_reply(body.c_str(), ours->devices_to_fill());
    const outcome expected = testing::reference_parse_update_reply(body.c_str(), theirs->devices_to_fill());
    EXPECT_EQ(read.code, expected.code) << body;
    EXPECT_TRUE(testing::same_items(ours->devices_to_fill(), theirs->devices_to_fill())) << body;
  }
}

TEST_F(reply_test, numbers_read_alike_in_every_build_as_32_bit_values) {
  // The text reaches the number reader as it is, blanks included, inside CDATA.
  const auto item_with = [&](const std::string& text) {
    std::string fields;
    for (const char* name : {"size", "cp", "sign", "feature", "targetos"}) {
      fields += std::string("<") + name + "><![CDATA[" + text + "]]></" + name + ">";
    }
    EXPECT_TRUE(parse_update_reply(reply(hardware("PCI\\A", "<item>" + fields + "</item>")).c_str(), devices()));
    return device(u"PCI\\A").items.at(0);
  };
  struct expected {
    const char* text;
    uint32_t decimal, hexadecimal;
  };
  const expected cases[] = {
      {"4294967295", 4294967295u, 4294967295u},  {"4294967296", 4294967295u, 4294967295u},
      {"99999999999999999999", 4294967295u, 4294967295u},
      {"-1", 4294967295u, 4294967295u},          {"-4294967295", 1u, 4294967295u},
      {"-4294967296", 4294967295u, 4294967295u}, {" \t12", 12u, 0x12u},
      {"12abc", 12u, 0x12ABCu},                  {"+7", 7u, 7u},
      {"0x1F", 0u, 31u},                         {"ffffffff", 0u, 4294967295u},
      {"100000000", 100000000u, 4294967295u},    {"-0x10", 0u, 4294967280u},
      {"", 0u, 0u},                              {"abc", 0u, 0xABCu},
      {"xyz", 0u, 0u},                           {"- 1", 0u, 0u},
  };
  for (const auto& c : cases) {
    const update_item item = item_with(c.text);
    EXPECT_EQ(item.size, c.decimal) << '"' << c.text << '"';
    EXPECT_EQ(item.cp, c.decimal) << '"' << c.text << '"';
    EXPECT_EQ(item.sign, c.decimal) << '"' << c.text << '"';
    EXPECT_EQ(item.targetos, c.decimal) << '"' << c.text << '"';
    EXPECT_EQ(item.feature, c.hexadecimal) << '"' << c.text << '"';
  }
}

// --- choosing and deciding ------------------------------------------------------

update_item offer(uint32_t targetos, uint32_t sign, uint32_t feature, uint32_t cp, const char16_t* date,
                  const char16_t* ver, const char16_t* hardid = u"PCI\\VEN_1&DEV_2", const char* link = "http://l") {
  update_item item;
  item.append_text(update_item::hardid, hardid);
  item.append_text(update_item::title, u"");
  item.append_text(update_item::ver, ver);
  item.append_text(update_item::guid, u"");
  item.append_text(update_item::inf_name, u"");
  item.append_text(update_item::manu, u"");
  item.append_text(update_item::date, date);
  item.append_text(update_item::desc, u"");
  item.append_link(update_item::link, link);
  item.append_link(update_item::official_link, "");
  item.targetos = targetos;
  item.sign = sign;
  item.feature = feature;
  item.cp = cp;
  return item;
}

size_t best_of(std::vector<update_item> items, int32_t os = 61) {
  offered_device d;
  d.items = std::move(items);
  choose_items(d, os, {});
  return static_cast<size_t>(d.best_item - d.items.data());
}

TEST(choose_items, each_criterion_decides_in_its_turn) {
  // Target OS distance beats everything after it; equal distances tie.
  EXPECT_EQ(best_of({offer(50, 0, 0, 0, u"2015", u"9"), offer(61, 3, 255, 9, u"2001", u"1")}), 1u);
  EXPECT_EQ(best_of({offer(60, 0, 0, 0, u"2010", u"1"), offer(62, 0, 0, 0, u"2010", u"1")}), 0u);
  EXPECT_EQ(best_of({offer(60, 1, 0, 0, u"2010", u"1"), offer(62, 0, 9, 9, u"2001", u"1")}), 1u)
      << "equal distance: the signature decides";
  EXPECT_EQ(best_of({offer(61, 1, 0, 0, u"2015", u"9"), offer(61, 0, 255, 9, u"2001", u"1")}), 1u)
      << "a WHQL offer beats a newer one";
  EXPECT_EQ(best_of({offer(61, 0, 9, 0, u"2015", u"9"), offer(61, 0, 8, 9, u"2001", u"1")}), 1u);
  EXPECT_EQ(best_of({offer(61, 0, 8, 2, u"2015", u"9"), offer(61, 0, 8, 1, u"2001", u"1")}), 1u);
  EXPECT_EQ(best_of({offer(61, 0, 8, 1, u"2014-01-01", u"9"), offer(61, 0, 8, 1, u"2015-01-01", u"1")}), 1u);
  EXPECT_EQ(best_of({offer(61, 0, 8, 1, u"2015", u"6.1.7600.16385"), offer(61, 0, 8, 1, u"2015", u"6.1.7601")}), 1u);
  EXPECT_EQ(best_of({offer(61, 0, 8, 1, u"2015", u"2.0"), offer(61, 0, 8, 1, u"2015", u"2.0.0.0")}), 0u);
}

TEST(choose_items, latest_is_the_first_with_the_greatest_date) {
  offered_device d;
  d.items = {offer(61, 0, 0, 0, u"2011-01-01", u"1"), offer(61, 0, 0, 0, u"2012-01-01", u"2"),
             offer(61, 0, 0, 0, u"2012-01-01", u"3")};
  choose_items(d, 61, {});
  EXPECT_EQ(d.latest_item, &d.items[1]);
  offered_device none;
  choose_items(none, 61, {});
  EXPECT_EQ(none.best_item, nullptr);
  EXPECT_FALSE(none.best_is_update || none.latest_is_update);
}

TEST(versions, up_to_four_numbers_after_any_separator) {
  EXPECT_TRUE(version_greater(u"6.1.7601", u"6.1.7600.16385"));
  EXPECT_FALSE(version_greater(u"6.1.7600.16385", u"6.1.7601"));
  EXPECT_FALSE(version_greater(u"1.2", u"1.2.0.0")) << "missing parts are 0";
  EXPECT_TRUE(version_greater(u"1,3", u"1.2")) << "any separator";
  EXPECT_TRUE(version_greater(u"10", u"9.9.9.9"));
  EXPECT_FALSE(version_greater(u"1..5", u"1.0.0.0")) << "a part that cannot be read is 0";
  EXPECT_FALSE(version_greater(u"", u""));
}

TEST(rank, signature_class_and_feature_by_os_generation) {
  EXPECT_EQ(meaning_of_rank(0x80000000, 61).sign, 3u);
  EXPECT_EQ(meaning_of_rank(0x7FFFFFFF, 61).sign, 1u);
  EXPECT_EQ(meaning_of_rank(0x0F000000, 60).sign, 1u);
  EXPECT_EQ(meaning_of_rank(0x0EFFFFFF, 60).sign, 0u);
  EXPECT_EQ(meaning_of_rank(0x00F80001, 61).feature, 0xF8u);
  EXPECT_EQ(meaning_of_rank(0x80000000, 51).sign, 0u) << "before Vista only bits 0xC000 count";
  EXPECT_EQ(meaning_of_rank(0x00004000, 51).sign, 3u);
  EXPECT_EQ(meaning_of_rank(0x00F80001, 51).feature, 255u);
}

class out_of_date : public ::testing::Test {
 protected:
  offered_device installed(uint32_t rank = 0x00FF0000) {
    offered_device d;
    d.has_driver = true;
    d.driver_rank = rank;
    d.matching_device_id = u"pci\\ven_1&dev_2";
    d.driver_date = u"2012-06-01";
    d.driver_version = u"2.0.0.5";
    return d;
  }
  bool best_update(offered_device d, update_item item, std::set<std::string> links = {}) {
    d.items = {std::move(item)};
    choose_items(d, 61, links);
    return d.best_is_update;
  }
};

TEST_F(out_of_date, the_best_offer_against_the_installed_driver) {
  const auto same = offer(61, 0, 0xFF, 0, u"2012-06-01", u"2.0.0.5");
  EXPECT_FALSE(best_update(installed(), same)) << "the same driver by the same ID";
  EXPECT_TRUE(best_update(installed(), offer(61, 0, 0xFF, 0, u"2012-06-01", u"2.0.0.5", u"PCI\\VEN_1")))
      << "the same driver by another ID";
  EXPECT_TRUE(best_update(installed(), offer(61, 0, 0xFF, 0, u"2012-06-02", u"1.0")));
  EXPECT_FALSE(best_update(installed(), offer(61, 0, 0xFF, 0, u"2012-05-31", u"9.0")));
  EXPECT_TRUE(best_update(installed(), offer(61, 0, 0xFF, 0, u"2012-06-01", u"2.0.0.6")));
  EXPECT_TRUE(best_update(installed(0x80FF0000), offer(61, 0, 0xFF, 0, u"2001", u"1")))
      << "a signed offer against an unsigned driver";
  EXPECT_FALSE(best_update(installed(), offer(61, 3, 0xFF, 0, u"2099", u"9")));
  EXPECT_TRUE(best_update(installed(), offer(61, 0, 0xF8, 0, u"2001", u"1"))) << "a better feature score";
  EXPECT_FALSE(best_update(installed(0x00F80000), offer(61, 0, 0xFF, 0, u"2099", u"9")));
  EXPECT_FALSE(best_update(installed(), offer(61, 0, 0xFF, 0, u"2099", u"9"), {"http://l"}))
      << "an installed package is no update";
}

TEST_F(out_of_date, a_device_without_driver_always_needs_one) {
  offered_device d;
  d.items = {offer(61, 0, 0, 0, u"2001", u"1")};
  choose_items(d, 61, {"http://l"});
  EXPECT_TRUE(d.best_is_update);
  EXPECT_TRUE(d.latest_is_update) << "installed links are not consulted";
}

TEST_F(out_of_date, the_latest_offer_by_date_then_version) {
  auto check = [&](update_item item, std::set<std::string> links = {}) {
    offered_device d = installed();
    d.items = {std::move(item)};
    choose_items(d, 61, links);
    return d.latest_is_update;
  };
  EXPECT_TRUE(check(offer(50, 3, 255, 9, u"2012-07-01", u"1")));
  EXPECT_FALSE(check(offer(61, 0, 0, 0, u"2012-05-01", u"9")));
  EXPECT_TRUE(check(offer(61, 0, 0, 0, u"2012-06-01", u"2.1")));
  EXPECT_FALSE(check(offer(61, 0, 0, 0, u"2012-07-01", u"1"), {"http://l"}));
}

TEST(installed_links, lines_are_trimmed_and_a_missing_file_changes_nothing) {
  testing::temp_folder_c folder;
  const auto path = folder.below("setup.dat");
  {
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out << "  http://a/1.zip \t\r\nhttp://b/2.zip\r\n\r\n\t\nhttp://a/1.zip\n" << std::string(2000, 'x');
  }
  std::set<std::string> links = {"old"};
  ASSERT_TRUE(load_installed_links(path, links));
  EXPECT_EQ(links, (std::set<std::string>{"http://a/1.zip", "http://b/2.zip", std::string(2000, 'x')}));
  EXPECT_FALSE(load_installed_links(folder.below("missing.dat"), links));
  EXPECT_EQ(links.size(), 3u);
}

TEST(failure_messages, by_last_error_code) {
  language_table() = language_table_c();  // the process's table: only these texts
  language_table().load_text("[English]\nerror_network_error=\"Server said %d (%d).\"\n"
                              "error_network_timeout=\"No answer.\"\n", u"English", false);
  update_request_info info;
  info.http_status = 503;
  EXPECT_EQ(query_failure_message(error_code::network_error, info), u"Server said 503 (%d).")
      << "the status fills the one placeholder";
  EXPECT_EQ(query_failure_message(error_code::network_timeout, info), u"No answer.");
  info.error_text = "Failure writing output";
  EXPECT_EQ(query_failure_message(error_code::network_error, info), u"Failure writing output");
  EXPECT_EQ(query_failure_message(error_code::class_list_failed, info), u"");
}

// --- package rows -------------------------------------------------------------------

TEST(package_list, devices_sharing_a_link_share_a_row_in_display_order) {
  device_class_entry net{{}, u"", u"Network adapters", u"Net"};
  device_class_entry display{{}, u"", u"Display adapters", u"Display"};
  device_class_entry printer{{}, u"", u"Printers", u"Printer"};
  auto item_a = offer(61, 0, 0, 0, u"2012", u"1", u"x", "http://a");
  auto item_b = offer(61, 0, 0, 0, u"2012", u"1", u"x", "http://b");
  auto item_c = offer(61, 0, 0, 0, u"2012", u"1", u"x", "http://c");
  auto item_d = offer(61, 0, 0, 0, u"2012", u"1", u"x", "http://d");
  auto empty_link = offer(61, 0, 0, 0, u"2012", u"1", u"x", "");
  std::vector<offered_device> devices(6);
  auto set = [&](int i, const char16_t* class_name, device_class_entry& entry, const update_item& item, bool update) {
    devices[i].class_name = class_name;
    devices[i].class_entry = &entry;
    devices[i].items = {item};
    devices[i].best_item = devices[i].latest_item = &devices[i].items[0];
    devices[i].best_is_update = devices[i].latest_is_update = update;
  };
  set(0, u"Net", net, item_a, false);  // first NIC: up to date
  set(1, u"Net", net, item_a, true);   // second NIC, same package: out of date
  set(2, u"Printer", printer, item_b, true);
  set(3, u"Display", display, item_c, true);
  set(4, u"Display", display, item_d, false);
  set(5, u"Net", net, empty_link, true);
  devices[5].latest_item = nullptr;
  update_package_list_c list;
  list.build(devices, offer_choice::best);
  ASSERT_EQ(list.rows().size(), 4u) << "a row needs a link";
  EXPECT_EQ(list.rows()[0].link, "http://c") << "display first";
  EXPECT_EQ(list.rows()[1].link, "http://a");
  EXPECT_EQ(list.rows()[1].devices.size(), 2u);
  EXPECT_EQ(list.rows()[1].not_needed, 0) << "one out-of-date device makes the row an update";
  EXPECT_EQ(list.rows()[2].link, "http://b");
  EXPECT_EQ(list.rows()[3].not_needed, 1);
  EXPECT_EQ(list.find_row("http://b"), 2);
  EXPECT_EQ(list.find_row("http://B"), -1);
  EXPECT_EQ(device_category(u"media"), 2);
  EXPECT_EQ(device_category(u"Battery"), 6);
}

}  // namespace
}  // namespace quillary
