// The settings over the real registry of the current user. Runs under Wine
// in the test prefix; the keys are removed before and after.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/settings.h"
#include "platform/clock.h"
#include "platform/registry.h"
#include "platform/win32.h"
#include "test_support.h"

namespace quillary {
namespace {

void remove_all_keys() {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Korvane");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Korvane_Init");
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                     L"Quillary");
}

// Reads a value straight from the registry, independently of our layer.
bool read_raw(const wchar_t* key, const wchar_t* name, DWORD& type, std::wstring& text, DWORD& number) {
  BYTE data[2048] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  if (type == REG_SZ) text = reinterpret_cast<wchar_t*>(data);
  if (type == REG_DWORD) number = *reinterpret_cast<DWORD*>(data);
  return true;
}

class settings_win32 : public ::testing::Test {
 protected:
  void SetUp() override { remove_all_keys(); }
  void TearDown() override { remove_all_keys(); }

  settings_store_c make_store() {
    return settings_store_c({&current_user_registry(), folder.text(), u"C:\\Apps\\quillary.exe",
                             platform::utc_date_text});
  }
  testing::temp_folder_c folder;
  settings_values values;
};

TEST_F(settings_win32, first_run_writes_eight_typed_values_and_no_run_entry) {
  const DWORD german = 2;
  RegSetKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Korvane_Init", L"language", REG_DWORD, &german,
                  sizeof german);
  RegSetKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                  L"Quillary", REG_SZ, L"old", 8);
  auto store = make_store();
  ASSERT_TRUE(store.load(values));
  ASSERT_TRUE(store.first_run());

  SYSTEMTIME now;
  GetSystemTime(&now);
  wchar_t today[16];
  std::swprintf(today, 16, L"%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);

  const wchar_t* key = L"SOFTWARE\\Korvane";
  DWORD type = 0, number = 0;
  std::wstring text;
  for (const wchar_t* name : {L"download_path", L"backup_path", L"language", L"install_date"}) {
    ASSERT_TRUE(read_raw(key, name, type, text, number)) << name;
    EXPECT_EQ(type, DWORD{REG_SZ}) << name;
  }
  read_raw(key, L"language", type, text, number);
  EXPECT_EQ(text, L"Deutsch");
  read_raw(key, L"install_date", type, text, number);
  EXPECT_EQ(text, today) << "the day of the first run, in UTC";
  read_raw(key, L"download_path", type, text, number);
  EXPECT_EQ(from_wide(text.c_str()), folder.text() + u"\\download");
  for (const wchar_t* name : {L"autorun", L"scan_offline", L"close_to_tray", L"scheduled_scan"}) {
    ASSERT_TRUE(read_raw(key, name, type, text, number)) << name;
    EXPECT_EQ(type, DWORD{REG_DWORD}) << name;
    EXPECT_EQ(number, std::wstring(name) == L"close_to_tray" ? 1u : 0u) << name;
  }
  EXPECT_FALSE(read_raw(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"Quillary", type,
                        text, number));
}

TEST_F(settings_win32, the_run_entry_follows_autorun) {
  auto store = make_store();
  ASSERT_TRUE(store.load(values));
  values.autorun = 1;
  store.save(values);
  DWORD type = 0, number = 0;
  std::wstring text;
  ASSERT_TRUE(read_raw(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"Quillary", type,
                       text, number));
  EXPECT_EQ(type, DWORD{REG_SZ});
  EXPECT_EQ(text, L"C:\\Apps\\quillary.exe");
  values.autorun = 0;
  store.save(values);
  EXPECT_FALSE(read_raw(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"Quillary", type,
                        text, number));
}

TEST_F(settings_win32, stored_texts_that_do_not_fit_keep_their_defaults) {
  ASSERT_TRUE(make_store().load(values));  // creates the key
  const std::wstring long_language(32, L'x');
  RegSetKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Korvane", L"language", REG_SZ,
                  long_language.c_str(), (long_language.size() + 1) * 2);
  const DWORD number = 7;
  RegSetKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Korvane", L"backup_path", REG_DWORD, &number,
                  sizeof number);
  // An odd byte length. (An unterminated text cannot be tried here: Wine's
  // RegQueryValueExW adds the missing terminator itself.)
  RegSetKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Korvane", L"install_date", REG_SZ, L"2011", 7);
  ASSERT_TRUE(make_store().load(values));
  EXPECT_EQ(values.language, u"English");
  EXPECT_EQ(values.backup_path, folder.text() + u"\\backup");
  EXPECT_EQ(values.install_date.size(), 10u) << "not accepted: replaced by today's date";
}

}  // namespace
}  // namespace quillary
