// Archive names under a Western ANSI code page: the catalogue keeps names in
// the code page, so an archive named with letters it lacks would never be
// found again.
#include <gtest/gtest.h>

#include "backup_fixture.h"
#include "platform/text.h"
#include "platform/win32.h"

namespace quillary {
namespace {

// The thread's ANSI code page follows the thread's locale: US English gives
// 1252, whatever the machine's own locale.
class western_code_page_c {
 public:
  western_code_page_c() { SetThreadLocale(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT)); }
  ~western_code_page_c() { SetThreadLocale(before_); }

 private:
  LCID before_ = GetThreadLocale();
};

TEST_F(backup_flow, archives_named_beyond_the_code_page_stay_in_the_catalogue) {
  western_code_page_c western;
  ASSERT_EQ(to_ansi(u"\u00e9\u0416"), "\xe9?") << "the thread's code page is 1252";
  devices[0].driver_description = u"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac";  // Greek: nothing left
  devices[1].driver_description = u"\u041a\u043b\u0430\u0432\u0438\u0430\u0442\u0443\u0440\u0430 USB \u0416 caf\u00e9";
  auto s = store();
  s.collect_driver_packages(devices);
  backup_catalogue_c catalogue(catalogue_file, backups);
  backup_context context{s, catalogue, backups, "2026-01-02"};
  ASSERT_EQ(backup_worker(context, {&devices[0], &devices[1]}), 0);

  backup_catalogue_c reread(catalogue_file, backups);
  ASSERT_EQ(reread.load(), 0);
  const auto entries = reread.entries();
  ASSERT_EQ(entries.size(), 2u) << "both archives are found again";
  EXPECT_EQ(entries[0].file, "oem3.zip") << "the INF name stands in for a name without a readable letter";
  EXPECT_EQ(entries[1].file, "USB---caf\xe9.zip") << "letters of the code page stay";
  for (const auto& entry : entries) {
    EXPECT_TRUE(platform::file_exists(platform::join_path(backups, from_ansi(entry.file)))) << entry.file;
  }
}

}  // namespace
}  // namespace quillary
