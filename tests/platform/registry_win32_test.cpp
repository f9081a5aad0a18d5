#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/win32.h"

namespace quillary {
namespace {

constexpr char16_t test_key[] = u"SOFTWARE\\QuillaryTests\\registry";

class registry_win32 : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\QuillaryTests"); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\QuillaryTests"); }
  registry_hive_i& hive = current_user_registry();
};

TEST_F(registry_win32, create_tells_a_new_key_from_an_existing_one) {
  bool created = false;
  ASSERT_TRUE(hive.create_key(test_key, created));
  EXPECT_TRUE(created);
  ASSERT_TRUE(hive.create_key(test_key, created));
  EXPECT_FALSE(created);
  EXPECT_EQ(hive.open_key(u"SOFTWARE\\QuillaryTests\\missing"), nullptr);
}

TEST_F(registry_win32, values_keep_their_type_and_exact_bytes) {
  bool created = false;
  auto key = hive.create_key(test_key, created);
  ASSERT_TRUE(key);
  const auto text = registry_sz_bytes(u"caf\u00E9");
  const uint8_t odd[] = {'a', 0, 'b'};
  ASSERT_TRUE(key->set(u"text", registry_type::sz, text.data(), text.size()));
  ASSERT_TRUE(key->set(u"odd", registry_type::sz, odd, sizeof odd));
  ASSERT_TRUE(key->set(u"empty", registry_type::sz, nullptr, 0));

  registry_value value;
  ASSERT_TRUE(key->query(u"TEXT", value)) << "names are case-insensitive";
  EXPECT_EQ(value.type, registry_type::sz);
  EXPECT_EQ(value.data, text);
  ASSERT_TRUE(key->query(u"odd", value));
  EXPECT_EQ(value.data, std::vector<uint8_t>(odd, odd + 3)) << "stored as given, unterminated";
  ASSERT_TRUE(key->query(u"empty", value));
  EXPECT_TRUE(value.data.empty());
  EXPECT_FALSE(key->query(u"missing", value));

  EXPECT_TRUE(key->remove(u"text"));
  EXPECT_FALSE(key->query(u"text", value));
  EXPECT_TRUE(key->remove(u"text")) << "deleting a missing value is no error";
}

TEST_F(registry_win32, a_key_opened_for_reading_refuses_writes) {
  bool created = false;
  ASSERT_TRUE(hive.create_key(test_key, created));
  auto key = hive.open_key(test_key);
  ASSERT_TRUE(key);
  const auto bytes = registry_dword_bytes(1);
  EXPECT_FALSE(key->set(u"x", registry_type::dword, bytes.data(), bytes.size()));
}

TEST_F(registry_win32, value_names_are_listed_as_written) {
  bool created = false;
  auto key = hive.create_key(test_key, created);
  ASSERT_TRUE(key);
  std::vector<std::u16string> names;
  ASSERT_TRUE(key->value_names(names));
  EXPECT_TRUE(names.empty());
  const auto bytes = registry_dword_bytes(1);
  const std::u16string long_name(300, u'n');
  for (const auto& name : {std::u16string(u"UpdateServer1"), std::u16string(u"MiXeD"), long_name}) {
    ASSERT_TRUE(key->set(name, registry_type::dword, bytes.data(), bytes.size()));
  }
  ASSERT_TRUE(key->value_names(names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"MiXeD", u"UpdateServer1", long_name}));
}

// The machine's policy lies in HKEY_LOCAL_MACHINE, which Wine lets its
// programs (all administrators) write; the hive only reads it.
TEST(registry_win32_machine, the_policy_key_is_read_from_the_local_machine) {
  constexpr wchar_t path[] = L"SOFTWARE\\Policies\\QuillaryTests";
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, path);
  EXPECT_EQ(local_machine_registry().open_key(u"SOFTWARE\\Policies\\QuillaryTests"), nullptr);
  const wchar_t text[] = L"http://policy.example/";
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, path, L"UpdateServer1", REG_SZ, text, sizeof text), ERROR_SUCCESS);
  auto key = local_machine_registry().open_key(u"SOFTWARE\\Policies\\QuillaryTests");
  ASSERT_TRUE(key);
  registry_value value;
  ASSERT_TRUE(key->query(u"UpdateServer1", value));
  EXPECT_EQ(value.type, registry_type::sz);
  EXPECT_EQ(value.data, registry_sz_bytes(u"http://policy.example/"));
  std::vector<std::u16string> names;
  ASSERT_TRUE(key->value_names(names));
  EXPECT_EQ(names, std::vector<std::u16string>{u"UpdateServer1"});
  const auto bytes = registry_dword_bytes(1);
  EXPECT_FALSE(key->set(u"x", registry_type::dword, bytes.data(), bytes.size())) << "opened for reading only";
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, path);
}

}  // namespace
}  // namespace quillary
