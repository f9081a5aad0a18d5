// Device enumeration over recorded fixtures: every rule of what is listed,
// merged and dropped, and what the records hold.
#include <gtest/gtest.h>

#include "app/outcome.h"
#include "devices/device_enumeration.h"
#include "devices/device_inventory.h"
#include "devices/raw_scan.h"

namespace quillary {
namespace {

constexpr char16_t system_guid[] = u"{4D36E97D-E325-11CE-BFC1-08002BE10318}";
constexpr char16_t net_guid[] = u"{4D36E972-E325-11CE-BFC1-08002BE10318}";
constexpr char16_t unknown_guid[] = u"{4D36E97E-E325-11CE-BFC1-08002BE10318}";

raw_scan base_classes() {
  raw_scan scan;
  scan.classes = {{net_guid, u"Net", u"Network adapters", 1},
                  {system_guid, u"System", u"System devices", 2},
                  {unknown_guid, u"Unknown", u"Other devices", 3},
                  {u"{4D36E967-E325-11CE-BFC1-08002BE10318}", u"DiskDrive", u"Disk drives", 4},
                  {u"{50127DC3-0F36-415E-A6CC-4CB3BE910B65}", u"Processor", u"Processors", 5},
                  {u"{72631E54-78A4-11D0-BCF7-00AA00B7B32A}", u"Battery", u"Batteries", 6},
                  {u"{8ECC055D-047F-11D1-A537-0000F8753ED1}", u"LegacyDriver", u"Non-PnP drivers", 7},
                  {u"{11111111-2222-3333-4444-555555555555}", std::nullopt, u"Unnamed", 8}};
  return scan;
}

// A device with everything a listed device needs; tests take away from it.
raw_device device(const std::u16string& instance, const std::u16string& class_name = u"Net",
                  const std::u16string& guid = net_guid, bool with_driver = true) {
  raw_device d;
  d.instance_id = instance;
  d.texts[device_property::device_desc] = u"Device " + instance;
  d.texts[device_property::enumerator_name] = instance.substr(0, instance.find(u'\\'));
  if (!class_name.empty()) d.texts[device_property::class_name] = class_name;
  if (!guid.empty()) d.texts[device_property::class_guid] = guid;
  d.lists[device_property::hardware_id] = {u"HW\\" + instance};
  d.lists[device_property::compatible_ids] = {u"COMPAT\\GENERIC"};
  if (with_driver) {
    d.driver = driver_values{{u"DriverVersion", u"1.2.3.4"}, {u"InfPath", u"oem3.inf"},
                             {u"DriverDate", u"6-21-2006"}, {u"DriverDesc", u"A driver"},
                             {u"MatchingDeviceId", u"hw\\x"}, {u"ProviderName", u"Maker"}};
    d.rank = 0x00FF0001;
  }
  return d;
}

class enumeration_test : public ::testing::Test {
 protected:
  // Scans the fixture; the inventory stays for inspection. The scan's code:
  // 0 when it succeeds.
  int32_t scan(raw_scan fixture, bool all = false) {
    inventory = std::make_unique<device_inventory_c>(make_fixture_source(std::move(fixture)));
    progress.all_devices = all ? 1 : 0;
    const outcome scanned = inventory->scan_devices(progress, list);
    EXPECT_EQ(scanned.ok(), scanned.reason.empty()) << "a failure says why, a success nothing";
    return scanned.code;
  }
  std::vector<std::u16string> listed() const {
    std::vector<std::u16string> ids;
    for (const auto& d : list.devices) ids.push_back(d.device_id);
    return ids;
  }
  const device_record& only() const {
    EXPECT_EQ(list.devices.size(), 1u);
    return list.devices.front();
  }

  std::unique_ptr<device_inventory_c> inventory;
  device_list list;
  scan_progress progress;
};

TEST_F(enumeration_test, instances_with_one_device_id_merge_into_one_record) {
  auto fixture = base_classes();
  fixture.devices = {device(u"USB\\VID_1&PID_2\\5&1"), device(u"PCI\\VEN_1\\3&0"),
                     device(u"USB\\VID_1&PID_2\\5&2")};
  ASSERT_EQ(scan(fixture), 0);
  EXPECT_EQ(listed(), (std::vector<std::u16string>{u"USB\\VID_1&PID_2", u"PCI\\VEN_1"}));
  EXPECT_EQ(list.devices[0].instance_count, 2);
  EXPECT_EQ(list.devices[1].instance_count, 1);
  EXPECT_EQ(progress.total, 3);
  EXPECT_EQ(progress.current, 3);
  EXPECT_EQ(std::u16string(progress.current_name.load()), u"Device PCI\\VEN_1\\3&0");
}

TEST_F(enumeration_test, devices_the_program_never_serves_are_dropped_when_they_have_a_driver) {
  auto fixture = base_classes();
  fixture.devices = {
      device(u"ROOT\\LEGACY_BEEP\\0000", u"LegacyDriver", unknown_guid, false),
      device(u"ROOT\\SYSTEM\\0001", u"System", system_guid),             // dropped
      device(u"root\\system\\0002", u"System", system_guid),             // dropped: any case
      device(u"ROOT\\NODRIVER\\0003", u"System", system_guid, false),    // kept: no driver
      device(u"ISAPNP\\PNP0501\\0", u"System", system_guid),             // dropped
      device(u"SCSI\\DISK&VEN_X\\1", u"DiskDrive", u"{4D36E967-E325-11CE-BFC1-08002BE10318}"),
      device(u"ACPI\\GENUINEINTEL\\_0", u"Processor", u"{50127DC3-0F36-415E-A6CC-4CB3BE910B65}"),
      device(u"ACPI\\PNP0C0A\\1", u"Battery", u"{72631E54-78A4-11D0-BCF7-00AA00B7B32A}"),  // kept
      device(u"ACPI\\PNP0A08\\0", u"System", system_guid),               // dropped
  };
  // A device whose driver key lacks a required value has no driver.
  auto partial = device(u"ROOT\\PARTIAL\\0", u"System", system_guid);
  partial.driver->erase(u"DriverDesc");
  fixture.devices.push_back(partial);
  ASSERT_EQ(scan(fixture), 0);
  EXPECT_EQ(listed(), (std::vector<std::u16string>{u"ROOT\\NODRIVER", u"ACPI\\PNP0C0A", u"ROOT\\PARTIAL"}));
  const auto& kept_partial = list.devices[2];
  EXPECT_FALSE(kept_partial.has_driver);
  EXPECT_EQ(kept_partial.driver_date, u"2006-06-21") << "fields read before the gap keep their values";
  EXPECT_EQ(kept_partial.driver_description, u"");
  EXPECT_EQ(progress.current, progress.total) << "whatever was dropped";
}

TEST_F(enumeration_test, class_entries_decide_what_is_listed) {
  auto fixture = base_classes();
  auto unknown = device(u"PCI\\VEN_9\\1", u"Unknown", unknown_guid, false);
  auto no_guid = device(u"PCI\\VEN_9\\2", u"Net", u"");  // a name but no GUID
  auto unnamed_class = device(u"PCI\\VEN_9\\3", u"Mystery", u"{11111111-2222-3333-4444-555555555555}");
  fixture.devices = {unknown, no_guid, unnamed_class};
  ASSERT_EQ(scan(fixture), 0);
  ASSERT_EQ(listed(), (std::vector<std::u16string>{u"PCI\\VEN_9"}));
  EXPECT_EQ(only().class_entry->name, u"Unknown");
  EXPECT_EQ(only().instance_count, 3) << "later instances merge before their own class is looked at";

  // The class table: unnamed classes left out, sorted by description.
  std::vector<std::u16string> names;
  for (const auto& c : list.classes) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Battery", u"DiskDrive", u"Net", u"LegacyDriver",
                                                u"Unknown", u"Processor", u"System"}));
  EXPECT_EQ(list.classes[0].guid_text, u"{72631E54-78A4-11D0-BCF7-00AA00B7B32A}");

  device_record no_guid_record;
  no_guid_record.class_name = u"Net";
  EXPECT_EQ(find_class_entry(list.classes, no_guid_record)->name, u"Unknown");
}

TEST_F(enumeration_test, basic_identifiers_are_required) {
  auto fixture = base_classes();
  auto no_backslash = device(u"NOSLASH");
  auto leading_backslash = device(u"\\ROOT");
  auto no_compatible = device(u"PCI\\A\\1");
  no_compatible.lists.erase(device_property::compatible_ids);
  auto no_description = device(u"PCI\\B\\1");
  no_description.texts.erase(device_property::device_desc);
  auto no_instance = device(u"PCI\\C\\1");
  no_instance.instance_id.reset();
  auto friendly = device(u"PCI\\D\\1");
  friendly.texts[device_property::friendly_name] = u"Friendly";
  auto no_enumerator = device(u"USB\\E\\1");
  no_enumerator.texts.erase(device_property::enumerator_name);
  auto empty_compatible = device(u"PCI\\F\\1");
  empty_compatible.lists[device_property::compatible_ids] = {};
  fixture.devices = {no_backslash, leading_backslash, no_compatible, no_description,
                     no_instance, friendly, no_enumerator, empty_compatible};
  ASSERT_EQ(scan(fixture), 0);
  EXPECT_EQ(listed(), (std::vector<std::u16string>{u"PCI\\D", u"USB\\E", u"PCI\\F"}));
  EXPECT_EQ(list.devices[0].description, u"Friendly") << "the friendly name comes first";
  EXPECT_EQ(list.devices[1].enumerator, u"USB") << "taken from the instance ID";
}

TEST_F(enumeration_test, driver_values_rank_and_texts_cut_to_their_capacities) {
  auto fixture = base_classes();
  auto d = device(std::u16string(300, u'P') + u"\\1");
  d.texts[device_property::device_desc] = std::u16string(2000, u'd');
  (*d.driver)[u"DriverDate"] = u"1-1-2010";
  (*d.driver)[u"DriverVersion"] = std::u16string(100, u'9');
  auto no_rank = device(u"PCI\\NORANK\\1");
  no_rank.rank.reset();
  auto no_provider = device(u"PCI\\NOPROV\\1");
  no_provider.driver->erase(u"ProviderName");
  fixture.devices = {d, no_rank, no_provider};
  ASSERT_EQ(scan(fixture), 0);
  const auto& r = list.devices[0];
  EXPECT_EQ(r.device_id, std::u16string(199, u'P'));
  EXPECT_EQ(r.description.size(), 1024u);
  EXPECT_EQ(r.driver_version.size(), 64u);
  EXPECT_EQ(r.driver_date, u"2010-01-01");
  EXPECT_EQ(r.inf_path, u"oem3.inf");
  EXPECT_EQ(r.matching_device_id, u"hw\\x");
  EXPECT_EQ(r.provider_name, u"Maker");
  EXPECT_EQ(r.driver_rank, 0x00FF0001u);
  EXPECT_TRUE(r.has_driver);
  EXPECT_TRUE(r.status_ok);
  EXPECT_TRUE(list.devices[1].has_driver) << "a rank that cannot be read leaves it 0";
  EXPECT_EQ(list.devices[1].driver_rank, 0u);
  EXPECT_TRUE(list.devices[2].has_driver) << "the provider is optional";
}

TEST(driver_date, month_day_year_becomes_year_month_day) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"6-21-2006", u"2006-06-21"}, {u"1-1-2010", u"2010-01-01"}, {u"12-31-1999", u"1999-12-31"},
      {u"2010/01/01", u"2010/01/01"}, {u"", u""}, {u"1-2", u"1-2"}};
  for (auto [text, expected] : cases) {
    normalize_driver_date(text);
    EXPECT_EQ(text, expected);
  }
}

TEST_F(enumeration_test, absent_devices_are_listed_only_when_asked_for) {
  auto fixture = base_classes();
  auto unplugged = device(u"USB\\UNPLUGGED\\1");
  unplugged.present = false;
  fixture.devices = {device(u"PCI\\HERE\\1"), unplugged};
  ASSERT_EQ(scan(fixture), 0);
  EXPECT_EQ(listed().size(), 1u);
  EXPECT_EQ(progress.total, 1);
  ASSERT_EQ(scan(fixture, true), 0);
  EXPECT_EQ(listed().size(), 2u);
  EXPECT_TRUE(list.devices[1].has_driver) << "its driver key still exists";
}

TEST_F(enumeration_test, failures_tell_their_code) {
  auto fixture = base_classes();
  fixture.devices = {device(u"PCI\\A\\1"), device(u"PCI\\B\\1"), device(u"PCI\\C\\1")};
  fixture.class_list_fails = true;
  EXPECT_EQ(scan(fixture), error_code::class_list_failed);

  fixture.class_list_fails = false;
  fixture.open_fails = true;
  EXPECT_EQ(scan(fixture), error_code::device_set_failed);
  EXPECT_TRUE(list.devices.empty());

  fixture.open_fails = false;
  fixture.enumeration_error_at = 2;
  EXPECT_EQ(scan(fixture), error_code::enumeration_failed);
  EXPECT_EQ(listed().size(), 2u) << "what was listed before the error stays";
}

TEST_F(enumeration_test, a_second_scan_replaces_the_first_wholesale) {
  auto fixture = base_classes();
  fixture.devices = {device(u"PCI\\OLD\\1")};
  auto inv = std::make_unique<device_inventory_c>(make_fixture_source(fixture));
  device_list devices;
  ASSERT_EQ(inv->scan_devices(progress, devices).code, 0);
  EXPECT_NE(find_device(devices.devices, u"PCI\\OLD"), nullptr);
  ASSERT_EQ(inv->scan_devices(progress, devices).code, 0);
  EXPECT_EQ(devices.devices.size(), 1u) << "not two copies";
  EXPECT_EQ(find_device(devices.devices, u"pci\\old"), nullptr) << "device IDs compare with regard to case";

  device_inventory_c empty(make_fixture_source(base_classes()));
  ASSERT_EQ(empty.scan_devices(progress, devices).code, 0);
  EXPECT_TRUE(devices.devices.empty());
}

TEST(raw_scan, json_round_trip_replays_the_same_scan) {
  auto fixture = base_classes();
  fixture.devices = {device(u"PCI\\A\\1"), device(u"USB\\\"Q\"\\\u00e9")};
  fixture.devices[1].present = false;
  fixture.devices[1].status_ok = false;
  fixture.enumeration_error_at = 7;
  const std::string json = raw_scan_to_json(fixture);
  raw_scan back;
  std::string error;
  ASSERT_TRUE(raw_scan_from_json(json, back, error)) << error;
  EXPECT_EQ(raw_scan_to_json(back), json);

  // Capturing a replayed scan gives the scan again.
  raw_scan captured;
  auto source = make_fixture_source(back);
  ASSERT_TRUE(capture_raw_scan(*source, true, captured));
  captured.enumeration_error_at = 7;  // the capture stopped at the end, not at 7
  EXPECT_EQ(raw_scan_to_json(captured), json);
}

TEST(raw_scan, malformed_fixtures_say_what_is_wrong) {
  const std::pair<const char*, const char*> cases[] = {
      {"[]", "must be an object"},
      {"{}", "format"},
      {R"({"format": "quillary raw device scan 1", "classes": [{"guid": "nope"}]})", "classes[0].guid"},
      {R"({"format": "quillary raw device scan 1", "devices": [{"rank": -1}]})", "devices[0].rank"},
      {R"({"format": "quillary raw device scan 1", "devices": [{"properties": {"Bogus": "x"}}]})",
       "unknown property"},
      {R"({"format": "quillary raw device scan 1", "devices": [{"properties": {"HardwareID": "x"}}]})",
       "list of strings"},
      {R"({"format": "quillary raw device scan 1", "extra": 1})", "unknown member"},
      {R"({"format": "quillary raw device scan 1", "devices": [{"present": "yes"}]})", "true or false"},
  };
  for (const auto& [text, expected] : cases) {
    raw_scan scan;
    std::string error;
    EXPECT_FALSE(raw_scan_from_json(text, scan, error)) << text;
    EXPECT_NE(error.find(expected), std::string::npos) << text << " gave: " << error;
  }
}

TEST(class_guid, text_round_trip_in_memory_order) {
  class_guid guid;
  ASSERT_TRUE(parse_guid(u"{4d36e968-e325-11ce-bfc1-08002be10318}", guid));
  EXPECT_EQ(guid.bytes[0], 0x68) << "Data1 is little-endian in memory";
  EXPECT_EQ(guid.bytes[8], 0xBF);
  EXPECT_EQ(guid_text(guid), u"{4D36E968-E325-11CE-BFC1-08002BE10318}");
  EXPECT_FALSE(parse_guid(u"4d36e968-e325-11ce-bfc1-08002be10318", guid));
  EXPECT_FALSE(parse_guid(u"{4d36e968-e325-11ce-bfc1-08002be1031g}", guid));
}

}  // namespace
}  // namespace quillary
