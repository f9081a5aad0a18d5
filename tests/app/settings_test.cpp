#include "app/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "platform/files.h"
#include "test_support.h"

namespace quillary {
namespace {

class settings_test : public ::testing::Test {
 protected:
  settings_store_c make_store() {
    return settings_store_c({&hive, folder.text(), u"C:\\Program Files\\Quillary\\quillary.exe",
                             [] { return std::u16string(u"2026-12-08"); }});
  }
  const registry_value* stored(const char16_t* name) { return hive.find(settings_key_path, name); }
  std::u16string stored_text(const char16_t* name) {
    std::u16string text;
    const auto* value = stored(name);
    if (!value || !accept_registry_text(*value, 1000, text)) return u"<missing>";
    return text;
  }
  uint32_t stored_number(const char16_t* name) {
    const auto* value = stored(name);
    if (!value || value->data.size() != 4 || value->type != registry_type::dword) return 0xDEAD;
    return value->data[0] | value->data[1] << 8 | value->data[2] << 16 | uint32_t(value->data[3]) << 24;
  }
  void put_text(const char16_t* name, const std::u16string& text, uint32_t type = registry_type::sz) {
    hive.put(settings_key_path, name, type, registry_sz_bytes(text));
  }
  void put_bytes(const char16_t* name, uint32_t type, std::vector<uint8_t> bytes) {
    hive.put(settings_key_path, name, type, std::move(bytes));
  }

  memory_registry_c hive;
  testing::temp_folder_c folder;
  settings_values values;
};

TEST_F(settings_test, first_run_creates_the_key_with_all_eight_values) {
  hive.put(run_key_path, run_entry_name, registry_type::sz, registry_sz_bytes(u"old.exe"));
  auto store = make_store();
  ASSERT_TRUE(store.load(values));
  EXPECT_TRUE(store.first_run());

  EXPECT_EQ(stored_text(u"download_path"), platform::join_path(folder.text(), u"download"));
  EXPECT_EQ(stored_text(u"backup_path"), platform::join_path(folder.text(), u"backup"));
  EXPECT_EQ(stored_text(u"language"), u"English");
  EXPECT_EQ(stored_text(u"install_date"), u"2026-12-08");
  EXPECT_EQ(stored_number(u"autorun"), 0u);
  EXPECT_EQ(stored_number(u"scan_offline"), 0u);
  EXPECT_EQ(stored_number(u"close_to_tray"), 1u);
  EXPECT_EQ(stored_number(u"scheduled_scan"), 0u);
  EXPECT_EQ(hive.find(run_key_path, run_entry_name), nullptr)
      << "a Run entry left from an earlier installation goes, since autorun is 0";

  EXPECT_EQ(values.active_download_path, values.download_path);
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "download"));
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "backup"));
}

TEST_F(settings_test, first_run_takes_the_language_from_the_initial_key) {
  const std::pair<uint32_t, std::u16string> cases[] = {
      {3, u"Español"}, {6, u"日本語"}, {11, u"العربية"}, {12, u"English"}, {0, u"English"}};
  for (const auto& [code, expected] : cases) {
    memory_registry_c fresh;
    fresh.put(initial_key_path, u"language", registry_type::dword, registry_dword_bytes(code));
    settings_store_c store({&fresh, folder.text(), u"q.exe", [] { return std::u16string(u"2026-12-08"); }});
    ASSERT_TRUE(store.load(values));
    EXPECT_EQ(values.language, expected) << "code " << code;
  }
}

TEST_F(settings_test, initial_key_without_its_value_gives_dutch) {
  hive.put(initial_key_path, u"other", registry_type::dword, registry_dword_bytes(1));
  ASSERT_TRUE(make_store().load(values));
  EXPECT_EQ(values.language, u"Nederlands");
}

// The command line's query names the language the program would start in,
// without the first run's writes: the same language as a load gives, for
// each state of the two keys, and no key made.
TEST_F(settings_test, the_saved_language_is_the_one_a_load_gives_and_reading_it_writes_nothing) {
  const auto with_initial_code = [](memory_registry_c& hive, uint32_t code) {
    hive.put(initial_key_path, u"language", registry_type::dword, registry_dword_bytes(code));
  };
  const auto with_setting = [](memory_registry_c& hive, const std::u16string& language) {
    hive.put(settings_key_path, u"language", registry_type::sz, registry_sz_bytes(language));
  };
  const std::vector<std::pair<std::function<void(memory_registry_c&)>, std::u16string>> cases = {
      {[](memory_registry_c&) {}, u"English"},
      {[&](memory_registry_c& h) { with_initial_code(h, 6); }, u"日本語"},
      {[&](memory_registry_c& h) { with_initial_code(h, 42); }, u"English"},
      {[](memory_registry_c& h) { h.put(initial_key_path, u"other", registry_type::dword, registry_dword_bytes(1)); },
       u"Nederlands"},
      {[&](memory_registry_c& h) { with_setting(h, u"Deutsch"); }, u"Deutsch"},
      // A user who has run the program keeps their language, whatever the
      // initial key says.
      {[&](memory_registry_c& h) { with_setting(h, u"Italiano"), with_initial_code(h, 6); }, u"Italiano"},
      {[&](memory_registry_c& h) {
         h.put(settings_key_path, u"autorun", registry_type::dword, registry_dword_bytes(0));
         with_initial_code(h, 6);
       },
       u"English"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    memory_registry_c read_only, loaded;
    cases[i].first(read_only);
    cases[i].first(loaded);
    const bool had_key = read_only.has_key(settings_key_path);
    EXPECT_EQ(saved_language(read_only), cases[i].second) << "case " << i;
    EXPECT_EQ(read_only.has_key(settings_key_path), had_key) << "case " << i << ": no settings key made";
    settings_store_c store({&loaded, folder.text(), u"q.exe", [] { return std::u16string(u"2026-12-08"); }});
    ASSERT_TRUE(store.load(values));
    EXPECT_EQ(values.language, cases[i].second) << "case " << i << ": as the program starts";
  }
}

TEST_F(settings_test, existing_key_is_read_and_only_a_missing_date_is_written) {
  const std::u16string downloads = folder.below("drivers"), backups = folder.below("saved");
  put_text(u"download_path", downloads);
  put_text(u"backup_path", backups, registry_type::expand_sz);
  put_text(u"language", u"Deutsch");
  put_bytes(u"autorun", registry_type::dword, registry_dword_bytes(1));
  put_bytes(u"close_to_tray", registry_type::dword, registry_dword_bytes(2));
  auto store = make_store();
  ASSERT_TRUE(store.load(values));
  EXPECT_FALSE(store.first_run());
  EXPECT_EQ(values.active_download_path, downloads);
  EXPECT_EQ(values.download_path, downloads);
  EXPECT_EQ(values.backup_path, backups);
  EXPECT_EQ(values.language, u"Deutsch");
  EXPECT_EQ(values.autorun, 1u);
  EXPECT_EQ(values.close_to_tray, 2u);
  EXPECT_EQ(values.scan_offline, 0u);
  EXPECT_EQ(values.install_date, u"2026-12-08");
  EXPECT_EQ(stored_text(u"install_date"), u"2026-12-08");
  EXPECT_EQ(stored(u"scan_offline"), nullptr) << "an existing key is not rewritten at load";
}

TEST_F(settings_test, a_recorded_install_date_is_kept) {
  put_text(u"install_date", u"2011-04-01");
  ASSERT_TRUE(make_store().load(values));
  EXPECT_EQ(values.install_date, u"2011-04-01");
  put_text(u"install_date", u"0000-00-00");
  ASSERT_TRUE(make_store().load(values));
  EXPECT_EQ(values.install_date, u"2026-12-08");
}

TEST_F(settings_test, texts_that_do_not_fit_or_are_malformed_keep_the_default) {
  const std::u16string default_download = platform::join_path(folder.text(), u"download");
  // 31 characters fit the language's 32; 32 do not.
  put_text(u"language", std::u16string(32, u'x'));
  ASSERT_TRUE(make_store().load(values));
  EXPECT_EQ(values.language, u"English");
  put_text(u"language", std::u16string(31, u'x'));
  ASSERT_TRUE(make_store().load(values));
  EXPECT_EQ(values.language, std::u16string(31, u'x'));

  struct bad {
    uint32_t type;
    std::vector<uint8_t> bytes;
    const char* why;
  };
  const bad cases[] = {
      {registry_type::dword, registry_dword_bytes(7), "wrong type"},
      {registry_type::binary, registry_sz_bytes(u"D:\\x"), "binary type"},
      {registry_type::sz, {'D', 0, ':', 0, 0}, "odd length"},
      {registry_type::sz, {'D', 0, ':', 0}, "no terminator"},
      {registry_type::sz, registry_sz_bytes(std::u16string(260, u'a')), "too long"},
  };
  for (const auto& c : cases) {
    put_bytes(u"download_path", c.type, c.bytes);
    put_bytes(u"backup_path", c.type, c.bytes);
    ASSERT_TRUE(make_store().load(values));
    EXPECT_EQ(values.active_download_path, default_download) << c.why;
    EXPECT_EQ(values.backup_path, platform::join_path(folder.text(), u"backup")) << c.why;
  }
  // An empty folder would be the root of the current drive: the default
  // folder stands for it, whether the value is empty or just a terminator.
  put_bytes(u"download_path", registry_type::sz, {});
  put_text(u"backup_path", u"");
  ASSERT_TRUE(make_store().load(values));
  EXPECT_EQ(values.active_download_path, default_download);
  EXPECT_EQ(values.download_path, default_download);
  EXPECT_EQ(values.backup_path, platform::join_path(folder.text(), u"backup"));
  // A text with an embedded terminator ends there.
  put_bytes(u"language", registry_type::sz, {'D', 0, 0, 0, 'x', 0, 0, 0});
  ASSERT_TRUE(make_store().load(values));
  EXPECT_EQ(values.language, u"D");
}

TEST_F(settings_test, numbers_are_four_bytes_whatever_their_type) {
  put_bytes(u"scan_offline", registry_type::binary, {1, 0, 0, 0});
  put_bytes(u"autorun", registry_type::dword, {5, 0, 0, 0, 0, 0, 0, 0});  // too large: default
  put_bytes(u"close_to_tray", registry_type::binary, {2});  // only the low byte is replaced
  ASSERT_TRUE(make_store().load(values));
  EXPECT_EQ(values.scan_offline, 1u);
  EXPECT_EQ(values.autorun, 0u);
  EXPECT_EQ(values.close_to_tray, 2u);
}

TEST_F(settings_test, save_writes_every_value_and_keeps_the_run_entry_in_step) {
  auto store = make_store();
  ASSERT_TRUE(store.load(values));
  values.autorun = 1;
  values.download_path = u"X:\\new";  // the dialog edits only this copy
  values.scheduled_scan = 1;
  EXPECT_TRUE(store.save(values));
  EXPECT_EQ(stored_text(u"download_path"), u"X:\\new");
  EXPECT_EQ(stored_number(u"scheduled_scan"), 1u);
  const auto* run = hive.find(run_key_path, run_entry_name);
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(run->type, registry_type::sz);
  EXPECT_EQ(run->data, registry_sz_bytes(u"C:\\Program Files\\Quillary\\quillary.exe"))
      << "the plain path: no quotes, no switch";
  EXPECT_NE(values.active_download_path, values.download_path)
      << "downloads keep the folder loaded at start-up";

  values.autorun = 0;
  EXPECT_TRUE(store.save(values));
  EXPECT_EQ(hive.find(run_key_path, run_entry_name), nullptr);
}

TEST_F(settings_test, a_key_that_cannot_be_created_fails_the_load) {
  hive.refuse_create = true;
  EXPECT_FALSE(make_store().load(values));
}

TEST_F(settings_test, run_entry_reports_a_run_key_it_cannot_open) {
  auto store = make_store();
  ASSERT_TRUE(store.load(values));
  hive.refuse_create = true;
  values.autorun = 1;
  EXPECT_FALSE(store.set_run_entry(true));
  EXPECT_TRUE(store.save(values)) << "saving still reports success";
  EXPECT_EQ(hive.find(run_key_path, run_entry_name), nullptr);
}

TEST_F(settings_test, a_stored_folder_that_does_not_exist_is_created_with_its_parents) {
  const std::u16string nested = folder.below("a/b/c/downloads");
  put_text(u"download_path", nested);
  ASSERT_TRUE(make_store().load(values));
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(nested)));
}

}  // namespace
}  // namespace quillary
