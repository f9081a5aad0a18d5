// The update reply as the client reads it: parsed back with the XML library
// the way the client parses it (encoding left to the library's detection).
#include <gtest/gtest.h>

#include <tinyxml.h>
#include <algorithm>

#include <set>

#include "devices/device_inventory.h"
#include "service/scan_result.h"
#include "devices/raw_scan.h"
#include "platform/text.h"
#include "server/code_page.h"
#include "server/update_query.h"
#include "server/update_reply.h"
#include "server_test_support.h"
#include "service/update_reply.h"
#include "service/update_request.h"

namespace quillary::server {
namespace {

using testing::add_memory_package;
using testing::small_inf;

const char* const item_elements[] = {"hardid", "title", "ver",  "size", "guid",     "link",     "infpath", "official_link",
                                     "cp",     "manu",  "sign", "feature", "targetos", "date", "desc"};

std::string text_of(const TiXmlElement* item, const char* name) {
  const TiXmlElement* e = item->FirstChildElement(name);
  return e && e->GetText() ? e->GetText() : "";
}

// The client's inf_name: '/' to '\', then what follows the first '\'.
std::string client_inf_name(std::string infpath) {
  for (char& c : infpath) {
    if (c == '/') c = '\\';
  }
  return infpath.substr(infpath.find('\\') + 1);
}

class Reply : public ::testing::Test {
 protected:
  void SetUp() override {
    // UTF-8 with its mark, so that the description is read as UTF-8.
    const std::string inf = "\xEF\xBB\xBF" + small_inf(
        "%Maker% = M, NTamd64, NTamd64.6.1",
        "[M.NTamd64]\n%Desc% = Install, PCI\\VEN_1E0B&DEV_4A21\n"
        "[M.NTamd64.6.1]\n\"Carte r\xC3\xA9seau <Norvik> & \xE6\x97\xA5\" = Install, PCI\\VEN_1E0B&DEV_4A21\n"
        "[Install.NTamd64]\nFeatureScore=FE\n",
        "10/9/2012,7.52.0.2012");
    catalogue_builder_c builder;
    ASSERT_TRUE(add_memory_package(builder, "norvik lan+7.52.zip",
                                   {{"Win7/x64/nvk.inf", inf}, {"Win7/x64/pkg.cat", ""}}, 6282, nullptr, digest));
    ASSERT_TRUE(add_memory_package(builder, "old.zip", {{"nvk.inf", small_inf("%Maker% = M, NTamd64",
                                                        "[M.NTamd64]\n%Desc% = Install, PCI\\VEN_1E0B&DEV_4A21\n",
                                                        "4/22/2010,7.4")}}));
    built = builder.build();
  }

  // Posts the request through the whole query path; returns the body.
  http_answer post(const std::string& os, const std::string& lang, const std::vector<testing::test_device>& devices) {
    return post_document(testing::request_document(os, lang, devices));
  }
  http_answer post_document(const std::string& document) {
    const std::string body = testing::multipart_body("xyz", {{"driversm", testing::zlib_compress(document)}});
    query_summary summary;
    return answer_update_query("multipart/form-data; boundary=xyz", body, *built,
                               "http://127.0.0.1:8080/packages/", summary);
  }

  const testing::test_device nic{"PCI\\VEN_1E0B&DEV_4A21&SUBSYS_4A211E0B&REV_06",
                                 {"PCI\\VEN_1E0B&DEV_4A21&SUBSYS_4A211E0B&REV_06"},
                                 {"PCI\\VEN_1E0B&DEV_4A21&REV_06", "PCI\\VEN_1E0B&DEV_4A21"}};
  const testing::test_device unknown{"USB\\VID_FFFF&PID_0001", {"USB\\VID_FFFF&PID_0001"}, {"USB\\Class_FF"}};
  const std::string digest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  std::shared_ptr<const catalogue_c> built;
};

TEST_F(Reply, EveryItemCarriesTheFifteenValuesAndTheDigestWhenKnown) {
  const http_answer answer = post("WIN764", "437", {unknown, nic});
  ASSERT_EQ(answer.status, 200);
  EXPECT_EQ(answer.content_type, "text/xml");
  TiXmlDocument doc;
  doc.Parse(answer.body.c_str());
  ASSERT_FALSE(doc.Error()) << doc.ErrorDesc();
  const TiXmlElement* hardware = doc.RootElement()->FirstChildElement("hardwares")->FirstChildElement("hardware");
  ASSERT_NE(hardware, nullptr);
  EXPECT_EQ(text_of(hardware, "id"), nic.id);  // the device without offers is left out
  EXPECT_EQ(hardware->NextSiblingElement("hardware"), nullptr);

  const TiXmlElement* item = hardware->FirstChildElement("item");
  ASSERT_NE(item, nullptr);
  for (const char* name : item_elements) {
    EXPECT_NE(item->FirstChildElement(name), nullptr) << name;
  }
  EXPECT_EQ(text_of(item, "hardid"), "PCI\\VEN_1E0B&DEV_4A21");
  EXPECT_EQ(text_of(item, "ver"), "7.52.0.2012");
  EXPECT_EQ(text_of(item, "size"), "6282");
  EXPECT_EQ(text_of(item, "guid"), "{4d36e972-e325-11ce-bfc1-08002be10318}");
  EXPECT_EQ(text_of(item, "link"), "http://127.0.0.1:8080/packages/norvik%20lan%2B7.52.zip");
  EXPECT_EQ(text_of(item, "official_link"), text_of(item, "link"));
  EXPECT_EQ(text_of(item, "infpath"), "norvik lan+7.52/Win7/x64/nvk.inf");
  EXPECT_EQ(client_inf_name(text_of(item, "infpath")), "Win7\\x64\\nvk.inf");
  EXPECT_EQ(text_of(item, "cp"), "8193");  // the device's second compatible ID
  EXPECT_EQ(text_of(item, "manu"), "Norvik Networks");
  EXPECT_EQ(text_of(item, "sign"), "0");
  EXPECT_EQ(text_of(item, "feature"), "fe");
  EXPECT_EQ(text_of(item, "targetos"), "61");
  EXPECT_EQ(text_of(item, "date"), "2012-10-09");
  // Windows-1252: the é survives, the Japanese character becomes '?'.
  EXPECT_EQ(text_of(item, "desc"), "Carte r\xE9seau <Norvik> & ?");
  EXPECT_EQ(text_of(item, "title"), "Carte r\xE9seau <Norvik> & ? (Norvik Networks 7.52.0.2012)");
  EXPECT_EQ(text_of(item, "sha256"), digest);

  const TiXmlElement* second = item->NextSiblingElement("item");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(text_of(second, "link"), "http://127.0.0.1:8080/packages/old.zip");
  EXPECT_EQ(text_of(second, "sign"), "3");  // names pkg.cat, which the archive lacks
  EXPECT_EQ(text_of(second, "feature"), "ff");
  EXPECT_EQ(text_of(second, "targetos"), "52");
  EXPECT_EQ(text_of(second, "ver"), "7.4");
  EXPECT_EQ(second->FirstChildElement("sha256"), nullptr) << "a package without a known digest names none";
  EXPECT_EQ(second->NextSiblingElement("item"), nullptr);
}

TEST_F(Reply, TextGoesOutInTheClientsAnsiCodePage) {
  struct expectation {
    const char* lang;
    const char* declaration;
    std::string desc;  // the bytes the client's XML library hands over
  };
  const expectation cases[] = {
      {"437", "windows-1252", "Carte r\xE9seau <Norvik> & ?"},
      {"850", "windows-1252", "Carte r\xE9seau <Norvik> & ?"},
      {"866", "windows-1251", "Carte r?seau <Norvik> & ?"},
      {"852", "windows-1250", "Carte r\xE9seau <Norvik> & ?"},
      {"932", "shift_jis", "Carte r?seau <Norvik> & \x93\xFA"},
      {"936", "gbk", "Carte r\xA8\xA6seau <Norvik> & \xC8\xD5"},
      {"949", "euc-kr", "Carte r?seau <Norvik> & \xEC\xED"},
      {"950", "big5", "Carte r?seau <Norvik> & \xA4\xE9"},
      {"65001", "UTF-8", "Carte r\xC3\xA9seau <Norvik> & \xE6\x97\xA5"},
      {"12345", "windows-1252", "Carte r\xE9seau <Norvik> & ?"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lang);
    const http_answer answer = post("WIN764", c.lang, {nic});
    EXPECT_EQ(answer.body.substr(0, answer.body.find('\n')),
              std::string("<?xml version=\"1.0\" encoding=\"") + c.declaration + "\"?>");
    TiXmlDocument doc;
    doc.Parse(answer.body.c_str());
    ASSERT_FALSE(doc.Error()) << doc.ErrorDesc();
    const TiXmlElement* item =
        doc.RootElement()->FirstChildElement("hardwares")->FirstChildElement("hardware")->FirstChildElement("item");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(text_of(item, "desc"), c.desc);
  }
}

TEST_F(Reply, DeviceIdsComeBackAsTheirBytesInAnyCodePage) {
  // A Shift-JIS device ID whose second byte is a backslash, with runs of
  // blanks and markup characters: CDATA keeps all of it.
  const testing::test_device odd{"USB\\\x95\x5C  X & <y>  ", {"PCI\\VEN_1E0B&DEV_4A21"}, {}};
  for (const char* lang : {"437", "932", "65001"}) {
    const http_answer answer = post("WIN764", lang, {odd});
    TiXmlDocument doc;
    doc.Parse(answer.body.c_str());
    ASSERT_FALSE(doc.Error()) << doc.ErrorDesc();
    const TiXmlElement* hardware = doc.RootElement()->FirstChildElement("hardwares")->FirstChildElement("hardware");
    EXPECT_EQ(text_of(hardware, "id"), odd.id) << lang;
    EXPECT_EQ(text_of(hardware->FirstChildElement("item"), "hardid"), "PCI\\VEN_1E0B&DEV_4A21") << lang;
  }
}

// The client's own request and reply code around the service: IDs that one
// CDATA section cannot hold, blanks at both ends, line feeds between the
// hardware IDs, all intact on the way there and back.
TEST_F(Reply, AwkwardDeviceIdsMakeTheRoundTripWithTheClient) {
  const std::u16string ids[] = {u"PCI\\A]]>B", u"PCI\\]]]]>", u"  PCI\\BLANKS  ", u"PCI\\X]]> <y> & ]]>z ",
                                u"PCI\\ENDS]]"};
  const std::vector<std::u16string> hardware_ids = {u"PCI\\ODD]]>ID", u"PCI\\VEN_1E0B&DEV_4A21"};
  quillary::raw_scan scan;
  scan.classes = {{u"{4D36E972-E325-11CE-BFC1-08002BE10318}", u"Net", u"Network adapters", 0}};
  for (const auto& id : ids) {
    quillary::raw_device d;
    d.instance_id = id + u"\\1";
    d.texts[quillary::device_property::device_desc] = u"x";
    d.texts[quillary::device_property::class_name] = u"Net";
    d.texts[quillary::device_property::class_guid] = u"{4D36E972-E325-11CE-BFC1-08002BE10318}";
    d.lists[quillary::device_property::hardware_id] = hardware_ids;
    d.lists[quillary::device_property::compatible_ids] = {u"PCI\\CC_0200"};
    scan.devices.push_back(d);
  }
  quillary::device_inventory_c inventory(quillary::make_fixture_source(scan));
  quillary::scan_progress progress;
  const auto result = quillary::scan_into_result(inventory, progress);
  ASSERT_NE(result, nullptr);
  auto& devices = result->devices_to_fill();
  ASSERT_EQ(devices.size(), std::size(ids));
  quillary::update_request_info info;
  info.os_code_name = "WIN764";
  info.oem_code_page = 437;
  const std::string document = quillary::build_update_request(devices, info);

  update_request request;
  std::string reason;
  ASSERT_EQ(parse_update_request(document, request, reason), request_verdict::accepted) << reason;
  std::set<std::string> sent;
  for (const auto& device : request.devices) {
    sent.insert(device.id);
    EXPECT_EQ(device.hardware_ids, (std::vector<std::string>{"PCI\\ODD]]>ID", "PCI\\VEN_1E0B&DEV_4A21"}));
    EXPECT_EQ(device.compatible_ids, std::vector<std::string>{"PCI\\CC_0200"});
  }
  for (const auto& id : ids) EXPECT_EQ(sent.count(quillary::to_ansi(id)), 1u) << quillary::to_ansi(id);

  const http_answer answer = post_document(document);
  ASSERT_EQ(answer.status, 200);
  ASSERT_TRUE(quillary::parse_update_reply(answer.body.c_str(), devices));
  for (const auto& id : ids) {
    const auto found = std::find_if(devices.begin(), devices.end(), [&](const auto& d) { return d.device_id == id; });
    ASSERT_NE(found, devices.end());
    const auto& items = found->items;
    ASSERT_FALSE(items.empty()) << quillary::to_ansi(id) << " got no offers";
    ASSERT_NE(items[0].sha256(), nullptr);
    EXPECT_EQ(quillary::to_hex(*items[0].sha256()), digest) << "the client keeps the digest with the offer";
  }
}

TEST_F(Reply, WithoutOffersTheFirstDeviceStillAppears) {
  http_answer answer = post("WIN764", "437", {unknown, {"PCI\\OTHER", {"PCI\\OTHER"}, {}}});
  TiXmlDocument doc;
  doc.Parse(answer.body.c_str());
  const TiXmlElement* hardware = doc.RootElement()->FirstChildElement("hardwares")->FirstChildElement("hardware");
  ASSERT_NE(hardware, nullptr);
  EXPECT_EQ(text_of(hardware, "id"), unknown.id);
  EXPECT_EQ(hardware->FirstChildElement("item"), nullptr);
  EXPECT_EQ(hardware->NextSiblingElement("hardware"), nullptr);

  // An unsupported system gets nothing, and no devices give an empty list.
  answer = post("NOT_SUPPORTED", "437", {nic});
  EXPECT_EQ(answer.body.find("<item>"), std::string::npos);
  answer = post("WIN764", "437", {});
  doc.Clear();
  doc.Parse(answer.body.c_str());
  ASSERT_NE(doc.RootElement()->FirstChildElement("hardwares"), nullptr);
  EXPECT_EQ(doc.RootElement()->FirstChildElement("hardwares")->FirstChildElement(), nullptr);
}

TEST(ReplyLimits, ItemsPerDeviceAndTotalSize) {
  catalogue_builder_c catalogue;
  for (int i = 0; i < 520; ++i) {
    ASSERT_TRUE(add_memory_package(catalogue, "p" + std::to_string(i) + ".zip",
                                   {{"a.inf", small_inf("%Maker%=M,NTamd64", "[M.NTamd64]\nA=I,PCI\\VEN_1\n")}}));
  }
  const auto built = catalogue.build();
  update_request request;
  request.devices.resize(3);
  std::vector<std::vector<offer>> offers;
  device_ids ids;
  ids.ids = ids.raw_ids = {"PCI\\VEN_1"};
  ids.compatible_from = 1;
  for (auto& d : request.devices) {
    d.id = "PCI\\VEN_1";
    offers.push_back(match_device(*built, client_os_for("WIN764"), ids));
  }
  ASSERT_EQ(offers[0].size(), 520u);
  const auto offers_for = [&](size_t d) { return offers[d]; };
  code_page_converter_c converter;
  std::string reason;
  ASSERT_TRUE(converter.open("CP1252", reason));
  reply_stats stats;
  reply_limits limits;
  std::string reply = write_update_reply(request, offers_for, "http://h/packages/", code_page_for_oem(437), converter,
                                         limits, stats);
  EXPECT_EQ(stats.items, 1500u);
  EXPECT_EQ(stats.items_left_out, 0u);
  limits.max_bytes = 300000;
  reply = write_update_reply(request, offers_for, "http://h/packages/", code_page_for_oem(437), converter, limits, stats);
  EXPECT_LE(reply.size(), limits.max_bytes);
  EXPECT_GT(stats.items_left_out, 0u);
  EXPECT_EQ(stats.items + stats.items_left_out, 1500u);
  // What is left out is the lowest ranked: every device keeps its best
  // offers, in their order, and none keeps more than one beyond another.
  TiXmlDocument doc;
  doc.Parse(reply.c_str());
  ASSERT_FALSE(doc.Error());
  std::vector<std::vector<std::string>> links;
  for (const TiXmlElement* hardware = doc.RootElement()->FirstChildElement("hardwares")->FirstChildElement("hardware");
       hardware; hardware = hardware->NextSiblingElement("hardware")) {
    links.emplace_back();
    for (const TiXmlElement* item = hardware->FirstChildElement("item"); item; item = item->NextSiblingElement("item")) {
      links.back().push_back(item->FirstChildElement("link")->GetText());
    }
  }
  ASSERT_EQ(links.size(), 3u) << "no device loses its best offer while others keep lower ones";
  for (const auto& device : links) {
    ASSERT_FALSE(device.empty());
    EXPECT_LE(device.size() - links[2].size(), 1u) << "kept round by round, in device order";
    for (size_t i = 0; i < device.size(); ++i) {
      EXPECT_EQ(device[i], make_item_values(offers[0][i], "http://h/packages/").link) << "the best, in order";
    }
  }
  // Many devices (the most a request may name): whole devices are left
  // out, the later ones, rather than the limit passed; each device written
  // keeps its best offer.
  request.devices.resize(2048, request.devices[0]);
  offers.resize(2048, offers[0]);
  limits.max_bytes = 1000000;
  limits.max_items_per_device = 20;
  reply = write_update_reply(request, offers_for, "http://h/packages/", code_page_for_oem(437), converter, limits, stats);
  EXPECT_LE(reply.size(), limits.max_bytes);
  EXPECT_GT(stats.devices_left_out, 0u);
  EXPECT_EQ(stats.devices_with_offers + stats.devices_left_out, 2048u);
  EXPECT_EQ(stats.items, stats.devices_with_offers) << "only best offers, as not even those all fit";
}

TEST(ReplyPadding, StaysAValidDocumentOfTheWantedSize) {
  std::string reply = "<?xml version=\"1.0\"?>\n<driversm><hardwares><hardware><id>x</id></hardware></hardwares></driversm>\n";
  pad_reply(reply, 5242880);
  EXPECT_EQ(reply.size(), 5242880u);
  TiXmlDocument doc;
  doc.Parse(reply.c_str());
  ASSERT_FALSE(doc.Error()) << doc.ErrorDesc();
  EXPECT_NE(doc.RootElement()->FirstChildElement("hardwares")->FirstChildElement("hardware"), nullptr);
}

TEST(ReplyInfpath, TheClientRecoversThePathInsideTheArchive) {
  EXPECT_EQ(client_inf_name(make_infpath("pkg.zip", "a.inf")), "a.inf");
  EXPECT_EQ(client_inf_name(make_infpath("Pkg.ZIP", "Win7/x64/a.inf")), "Win7\\x64\\a.inf");
  EXPECT_EQ(make_infpath("odd\\name.zip", "a.inf"), "odd_name/a.inf");
  EXPECT_EQ(make_infpath("name", "a.inf"), "name/a.inf");
}

TEST_F(Reply, MalformedQueriesGetShortErrors) {
  query_summary summary;
  const auto status = [&](const std::string& content_type, const std::string& body) {
    return answer_update_query(content_type, body, *built, "http://h/packages/", summary).status;
  };
  const std::string doc = testing::request_document("WIN764", "437", {nic});
  const std::string good = testing::multipart_body("b", {{"driversm", testing::zlib_compress(doc)}});
  EXPECT_EQ(status("multipart/form-data; boundary=b", good), 200);
  EXPECT_EQ(status("application/x-www-form-urlencoded", "driversm=x"), 400);
  EXPECT_EQ(status("multipart/form-data; boundary=b", testing::multipart_body("b", {{"other", "x"}})), 400);
  EXPECT_EQ(status("multipart/form-data; boundary=b", testing::multipart_body("b", {{"driversm", doc}})), 400);
  EXPECT_EQ(status("multipart/form-data; boundary=b",
                   testing::multipart_body("b", {{"driversm", testing::zlib_compress("<driversm/>")}})),
            400);
  const std::string huge = testing::zlib_compress(std::string(max_request_document + 1, ' '));
  EXPECT_EQ(status("multipart/form-data; boundary=b", testing::multipart_body("b", {{"driversm", huge}})), 413);
}

// Each limit of the request document gives 413, just past it; at it, the
// query is answered.
TEST_F(Reply, DocumentsBeyondTheRequestLimitsGet413) {
  query_summary summary;
  const auto status = [&](const std::string& document) {
    const std::string body = testing::multipart_body("b", {{"driversm", testing::zlib_compress(document)}});
    return answer_update_query("multipart/form-data; boundary=b", body, *built, "http://h/packages/", summary)
        .status;
  };
  const request_limits limits;
  std::vector<testing::test_device> devices(limits.max_devices, nic);
  EXPECT_EQ(status(testing::request_document("WIN764", "437", devices)), 200);
  EXPECT_EQ(summary.devices, limits.max_devices);
  devices.push_back(nic);
  EXPECT_EQ(status(testing::request_document("WIN764", "437", devices)), 413);

  testing::test_device many = nic;
  many.hardware_ids.resize(limits.max_ids_per_device - many.compatible_ids.size(), "PCI\\X");
  EXPECT_EQ(status(testing::request_document("WIN764", "437", {many})), 200);
  many.hardware_ids.push_back("PCI\\Y");
  EXPECT_EQ(status(testing::request_document("WIN764", "437", {many})), 413);

  // Small elements, well under the size limit, but more than the parsed
  // document may hold.
  std::string swarm = "<driversm><client os=\"WIN764\"/><hardwares/>";
  for (size_t i = 0; i < limits.max_nodes; ++i) swarm += "<a/>";
  EXPECT_EQ(status(swarm + "</driversm>"), 413);
}

}  // namespace
}  // namespace quillary::server
