#include "service/offer_rules.h"

#include <gtest/gtest.h>

namespace quillary {
namespace {

package_block rule(const char16_t* text) {
  package_block parsed;
  std::string why;
  EXPECT_TRUE(parse_package_block(text, parsed, why)) << why;
  return parsed;
}

std::string refusal(const char16_t* text) {
  package_block parsed;
  std::string why;
  EXPECT_FALSE(parse_package_block(text, parsed, why)) << "taken: " << parsed.hardware_id.size();
  return why;
}

update_item offer(const char16_t* hardid, const char16_t* version, const char* link) {
  update_item item;
  item.append_text(update_item::hardid, hardid);
  item.append_text(update_item::title, u"");
  item.append_text(update_item::ver, version);
  for (auto field : {update_item::guid, update_item::inf_name, update_item::manu, update_item::date, update_item::desc}) {
    item.append_text(field, u"");
  }
  item.append_link(update_item::link, link);
  item.append_link(update_item::official_link, "");
  return item;
}

device_record graphics_card() {
  device_record device;
  device.device_id = u"PCI\\VEN_10DE&DEV_1C82&SUBSYS_11BF10DE&REV_A1\\4&1234";
  device.hardware_ids = {u"PCI\\VEN_10DE&DEV_1C82&SUBSYS_11BF10DE&REV_A1", u"PCI\\VEN_10DE&DEV_1C82"};
  return device;
}

TEST(package_block, the_three_kinds_of_rule_are_read_with_their_ends) {
  const auto link = rule(u"  https://updates.example/packages/bad.zip ");
  EXPECT_EQ(link.what, package_block::kind::link);
  EXPECT_EQ(link.link, "https://updates.example/packages/bad.zip");
  EXPECT_EQ(link.text, u"https://updates.example/packages/bad.zip") << "listed as written, without the blanks";
  EXPECT_EQ(rule(u"HTTP://x/p.zip").what, package_block::kind::link) << "the scheme in any letter case";

  const auto every = rule(u"PCI\\VEN_10DE&DEV_1C82");
  EXPECT_EQ(every.what, package_block::kind::hardware_id);
  EXPECT_EQ(every.hardware_id, u"PCI\\VEN_10DE&DEV_1C82");
  EXPECT_TRUE(every.lowest.empty() && every.highest.empty());

  const auto one = rule(u"PCI\\VEN_10DE&DEV_1C82 27.21.14.5671");
  EXPECT_EQ(one.lowest, u"27.21.14.5671");
  EXPECT_EQ(one.highest, u"27.21.14.5671");
  const auto range = rule(u"PCI\\VEN_10DE&DEV_1C82\t27.21 - 27.22.1");
  EXPECT_EQ(range.hardware_id, u"PCI\\VEN_10DE&DEV_1C82");
  EXPECT_EQ(range.lowest, u"27.21");
  EXPECT_EQ(range.highest, u"27.22.1");
  const auto from = rule(u"PCI\\VEN_10DE&DEV_1C82 27.21-");
  EXPECT_EQ(from.lowest, u"27.21");
  EXPECT_TRUE(from.highest.empty());
  const auto up_to = rule(u"PCI\\VEN_10DE&DEV_1C82 -27.21");
  EXPECT_TRUE(up_to.lowest.empty());
  EXPECT_EQ(up_to.highest, u"27.21");
}

TEST(package_block, texts_that_are_no_rule_say_why) {
  EXPECT_EQ(refusal(u"   "), "is empty");
  EXPECT_EQ(refusal(u"PCI\\VEN_1\nPCI\\VEN_2"), "contains a control character");
  EXPECT_EQ(refusal(u"https://x/a b.zip"),
            "is a link with a blank or a character beyond ASCII (links are compared as the service sends them)");
  EXPECT_EQ(refusal(u"PCI\\VEN_1 latest"), "names a version that is not one to four dotted numbers");
  EXPECT_EQ(refusal(u"PCI\\VEN_1 1.2.3.4.5"), "names a version that is not one to four dotted numbers");
  EXPECT_EQ(refusal(u"PCI\\VEN_1 -"), "has a version range whose ends are not one to four dotted numbers");
  EXPECT_EQ(refusal(u"PCI\\VEN_1 1..2-3"), "has a version range whose ends are not one to four dotted numbers");
  EXPECT_EQ(refusal(u"PCI\\VEN_1 1.2-3.x"), "has a version range whose ends are not one to four dotted numbers");
  EXPECT_FALSE(is_dotted_version(u"1234567890")) << "more digits than a DriverVer number holds";
}

TEST(package_block, a_version_range_holds_both_its_ends_and_compares_as_offers_rank) {
  const auto range = rule(u"PCI\\VEN_10DE&DEV_1C82 27.21.14.5671-27.21.14.6089");
  EXPECT_FALSE(version_in_block_range(range, u"27.21.14.5670"));
  EXPECT_TRUE(version_in_block_range(range, u"27.21.14.5671"));
  EXPECT_TRUE(version_in_block_range(range, u"27.21.14.6000"));
  EXPECT_TRUE(version_in_block_range(range, u"27.21.14.6089"));
  EXPECT_FALSE(version_in_block_range(range, u"27.21.14.6090"));
  EXPECT_FALSE(version_in_block_range(range, u"27.21.100.1")) << "numbers, not texts: 100 is above 14";
  EXPECT_TRUE(version_in_block_range(rule(u"X 2.1-2.1"), u"2.1.0.0")) << "a missing number counts as 0";
  EXPECT_TRUE(version_in_block_range(rule(u"X 2-"), u"30.0"));
  EXPECT_FALSE(version_in_block_range(rule(u"X 2-"), u"1.99"));
  EXPECT_TRUE(version_in_block_range(rule(u"X -2"), u"0.1"));
  EXPECT_FALSE(version_in_block_range(rule(u"X -2"), u"2.0.0.1"));
}

TEST(offer_rules, a_hardware_id_rule_blocks_offers_for_devices_with_that_id_in_its_versions) {
  const device_record card = graphics_card();
  // Matched on the specific ID, blocked by the device's general one, in
  // another letter case.
  const update_item bad = offer(u"PCI\\VEN_10DE&DEV_1C82&SUBSYS_11BF10DE&REV_A1", u"27.21.14.6000", "http://s/bad.zip");
  const update_item good = offer(u"PCI\\VEN_10DE&DEV_1C82&SUBSYS_11BF10DE&REV_A1", u"27.21.14.7000", "http://s/good.zip");
  const package_blocks rules = {rule(u"pci\\ven_10de&dev_1c82 27.21.14.5671-27.21.14.6089")};
  EXPECT_EQ(rule_blocking_offer(rules, card, bad), &rules[0]);
  EXPECT_EQ(rule_blocking_offer(rules, card, good), nullptr);

  device_record other;
  other.hardware_ids = {u"PCI\\VEN_8086&DEV_1234"};
  EXPECT_EQ(rule_blocking_offer(rules, other, offer(u"PCI\\VEN_8086&DEV_1234", u"27.21.14.6000", "http://s/i.zip")),
            nullptr)
      << "another device's offer in the same versions";
  EXPECT_NE(rule_blocking_offer(rules, other, offer(u"PCI\\VEN_10DE&DEV_1C82", u"27.21.14.6000", "http://s/i.zip")),
            nullptr)
      << "an offer matched on the blocked ID, whatever the device's own IDs";
}

TEST(offer_rules, blocked_offers_are_dropped_before_the_picks_and_links_compare_exactly) {
  device_record card = graphics_card();
  std::vector<update_item> items = {offer(u"PCI\\VEN_10DE&DEV_1C82", u"1.0", "http://s/a.zip"),
                                    offer(u"PCI\\VEN_10DE&DEV_1C82", u"2.0", "http://s/b.zip"),
                                    offer(u"PCI\\VEN_10DE&DEV_1C82", u"3.0", "http://s/c.zip")};
  const package_blocks rules = {rule(u"http://s/b.zip"), rule(u"PCI\\VEN_10DE&DEV_1C82 3.0")};
  EXPECT_EQ(drop_blocked_offers(items, card, rules), 2u);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].link_text(update_item::link), "http://s/a.zip");
  EXPECT_EQ(drop_blocked_offers(items, card, {}), 0u);

  EXPECT_NE(rule_blocking_link(rules, "http://s/b.zip"), nullptr);
  EXPECT_EQ(rule_blocking_link(rules, "http://s/B.zip"), nullptr) << "links are compared byte for byte";
  EXPECT_EQ(rule_blocking_link(rules, "http://s/b.zip?x"), nullptr);
  EXPECT_EQ(rule_blocking_link(rules, ""), nullptr) << "an installation without a link";
}

}  // namespace
}  // namespace quillary

namespace quillary {
namespace {

offered_device device_offered(std::vector<update_item> items) {
  offered_device device;
  device.device_id = u"PCI\\VEN_10DE&DEV_1C82\\4&1";
  device.items = std::move(items);
  return device;
}

std::vector<std::string_view> links_of(const std::vector<update_item>& items) {
  std::vector<std::string_view> links;
  for (const auto& item : items) links.push_back(item.link_text(update_item::link));
  return links;
}

TEST(hidden_offers, are_set_aside_for_their_device_and_come_back_in_their_places) {
  offered_device device = device_offered({offer(u"H", u"1.0", "http://s/a.zip"), offer(u"H", u"2.0", "http://s/b.zip"),
                                          offer(u"H", u"3.0", "http://s/c.zip"), offer(u"H", u"4.0", "http://s/d.zip")});
  hidden_updates_c hidden;
  EXPECT_EQ(set_aside_hidden_offers(device, hidden), 0u) << "nothing hidden";
  hidden.hide("http://s/a.zip", u"pci\\ven_10de&dev_1c82\\4&1");
  hidden.hide("http://s/c.zip", device.device_id);
  hidden.hide("http://s/d.zip", u"USB\\OTHER\\1");
  EXPECT_EQ(set_aside_hidden_offers(device, hidden), 2u);
  EXPECT_EQ(links_of(device.items), (std::vector<std::string_view>{"http://s/b.zip", "http://s/d.zip"}))
      << "d.zip is hidden for another device only";
  EXPECT_EQ(links_of(device.hidden_items), (std::vector<std::string_view>{"http://s/a.zip", "http://s/c.zip"}));
  take_back_hidden_offers(device);
  EXPECT_EQ(links_of(device.items), (std::vector<std::string_view>{"http://s/a.zip", "http://s/b.zip",
                                                                   "http://s/c.zip", "http://s/d.zip"}));
  EXPECT_TRUE(device.hidden_items.empty() && device.hidden_positions.empty());

  // The last ones hidden come back behind the others.
  hidden.show_all();
  hidden.hide("http://s/c.zip", device.device_id);
  hidden.hide("http://s/d.zip", device.device_id);
  set_aside_hidden_offers(device, hidden);
  take_back_hidden_offers(device);
  EXPECT_EQ(links_of(device.items), (std::vector<std::string_view>{"http://s/a.zip", "http://s/b.zip",
                                                                   "http://s/c.zip", "http://s/d.zip"}));
}

TEST(hidden_offers, a_result_with_other_hidden_offers_picks_anew_and_a_newer_package_is_offered) {
  device_list list;
  list.classes.push_back(device_class_entry{});
  list.classes[0].name = u"Display";
  device_record record;
  record.device_id = u"PCI\\VEN_10DE&DEV_1C82\\4&1";
  record.class_entry = &list.classes[0];
  list.devices.push_back(record);
  scan_result_c result(std::move(list), 1);
  auto& device = result.devices_to_fill()[0];
  // The newer package (c.zip, 2024) came after the user hid b.zip (2023).
  const char16_t* dates[] = {u"2022-01-01", u"2023-01-01", u"2024-01-01"};
  for (size_t i = 0; i < 3; ++i) {
    update_item item;
    item.append_text(update_item::hardid, u"H");
    item.append_text(update_item::title, u"");
    item.append_text(update_item::ver, i == 0 ? u"1.0" : i == 1 ? u"2.0" : u"3.0");
    for (auto field : {update_item::guid, update_item::inf_name, update_item::manu}) item.append_text(field, u"");
    item.append_text(update_item::date, dates[i]);
    item.append_text(update_item::desc, u"");
    item.append_link(update_item::link, i == 0 ? "http://s/a.zip" : i == 1 ? "http://s/b.zip" : "http://s/c.zip");
    item.append_link(update_item::official_link, "");
    device.items.push_back(std::move(item));
  }
  result.finish();

  hidden_updates_c hidden;
  hidden.hide("http://s/b.zip", record.device_id);
  hidden.hide("http://s/c.zip", record.device_id);
  const auto without = result.with_hidden(hidden);
  const offered_device& seen = without->devices()[0];
  ASSERT_NE(seen.latest_item, nullptr);
  EXPECT_EQ(seen.latest_item->link_text(update_item::link), "http://s/a.zip");
  EXPECT_EQ(without->hidden_packages(), 2u);
  EXPECT_EQ(seen.class_entry->name, u"Display");
  EXPECT_NE(seen.class_entry, result.devices()[0].class_entry) << "the copy points into its own class table";
  EXPECT_EQ(result.devices()[0].items.size(), 3u) << "the result it came from is not changed";

  hidden.show("http://s/c.zip");
  const auto newer = without->with_hidden(hidden);
  ASSERT_NE(newer->devices()[0].latest_item, nullptr);
  EXPECT_EQ(newer->devices()[0].latest_item->link_text(update_item::link), "http://s/c.zip")
      << "a newer package than the hidden one is offered";
  EXPECT_EQ(newer->hidden_packages(), 1u);
  ASSERT_EQ(newer->packages(offer_choice::latest).rows().size(), 1u);
  EXPECT_EQ(newer->packages(offer_choice::latest).rows()[0].link, "http://s/c.zip");
}

}  // namespace
}  // namespace quillary
