#include "app/hidden_updates.h"

#include <gtest/gtest.h>

namespace quillary {
namespace {

const std::u16string key = u"SOFTWARE\\Korvane";

TEST(hidden_updates, a_link_is_hidden_per_device_whatever_the_letter_case_of_its_id) {
  hidden_updates_c hidden;
  EXPECT_TRUE(hidden.empty());
  EXPECT_TRUE(hidden.hide("http://s/packages/a.zip", u"PCI\\VEN_1&DEV_2\\3&1"));
  EXPECT_FALSE(hidden.hide("http://s/packages/a.zip", u"pci\\ven_1&dev_2\\3&1")) << "the same device";
  EXPECT_TRUE(hidden.hide("http://s/packages/a.zip", u"USB\\VID_1\\5"));
  EXPECT_TRUE(hidden.contains("http://s/packages/a.zip", u"Pci\\Ven_1&Dev_2\\3&1"));
  EXPECT_FALSE(hidden.contains("http://s/packages/A.zip", u"PCI\\VEN_1&DEV_2\\3&1")) << "links compare exactly";
  EXPECT_FALSE(hidden.contains("http://s/packages/b.zip", u"PCI\\VEN_1&DEV_2\\3&1")) << "another package";
  EXPECT_FALSE(hidden.contains("http://s/packages/a.zip", u"PCI\\VEN_9\\1")) << "another device";
  EXPECT_FALSE(hidden.hide("", u"X")) << "nothing to hide";
  EXPECT_FALSE(hidden.hide("http://s/a b.zip", u"X"));
  EXPECT_FALSE(hidden.hide("http://s/a.zip", u"X\tY")) << "a tab would split the stored entry";

  EXPECT_EQ(hidden.show("http://s/packages/a.zip"), 2u);
  EXPECT_TRUE(hidden.empty());
  EXPECT_FALSE(hidden.contains("http://s/packages/a.zip", u"USB\\VID_1\\5"));
}

TEST(hidden_updates, the_list_lives_in_the_settings_key_and_survives_a_reload) {
  memory_registry_c hive;
  hidden_updates_c hidden;
  EXPECT_FALSE(hidden.load(hive, key)) << "no settings key yet";
  hidden.hide("http://s/packages/a.zip", u"PCI\\VEN_1\\1");
  hidden.hide("http://s/packages/\xE2\x82\xAC.zip", u"USB\\VID_\u00C9\\2");
  ASSERT_TRUE(hidden.save(hive, key));
  const registry_value* stored = hive.find(key, hidden_updates_value);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->type, registry_type::multi_sz);

  hidden_updates_c again;
  ASSERT_TRUE(again.load(hive, key));
  ASSERT_EQ(again.entries().size(), 2u);
  EXPECT_EQ(again.entries()[1].link, "http://s/packages/\xE2\x82\xAC.zip") << "beyond ASCII, as UTF-16 in the registry";
  EXPECT_EQ(again.entries()[1].device_id, u"USB\\VID_\u00C9\\2");
  EXPECT_TRUE(again.contains("http://s/packages/a.zip", u"pci\\ven_1\\1"));

  again.show_all();
  ASSERT_TRUE(again.save(hive, key));
  EXPECT_EQ(hive.find(key, hidden_updates_value), nullptr) << "nothing hidden: no value";
}

TEST(hidden_updates, strings_that_are_no_entry_are_skipped_and_a_value_of_another_type_is_none) {
  const std::u16string text = std::u16string(u"http://s/a.zip\tPCI\\1") + u'\0' + u"no tab here" + u'\0' +
                              u"\tPCI\\2" + u'\0' + u"http://s/b.zip\t" + u'\0' + u"http://s/c.zip\tPCI\\3" + u'\0';
  const auto entries = parse_hidden_updates(text);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].link, "http://s/a.zip");
  EXPECT_EQ(entries[1].device_id, u"PCI\\3");
  EXPECT_EQ(parse_hidden_updates(hidden_updates_text(entries)).size(), 2u);

  memory_registry_c hive;
  hive.put(key, hidden_updates_value, registry_type::sz, registry_sz_bytes(u"http://s/a.zip\tPCI\\1"));
  hidden_updates_c hidden;
  EXPECT_TRUE(hidden.load(hive, key));
  EXPECT_TRUE(hidden.empty()) << "only a REG_MULTI_SZ is a list";
}

}  // namespace
}  // namespace quillary
