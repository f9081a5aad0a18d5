// The one rule for zip entry names, as the client's extraction and the
// service's listing apply it. The table holds what each of them decided
// before they shared it: the client's refusals (absolute names, drives,
// streams, climbing parts, devices) and its splitting (both separators,
// doubled ones dropped); the service's '\' taken as '/', and its folders
// and empty names left out, which the service now refuses as the client
// does.
#include "base/zip_entry_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillary {
namespace {

struct name_case {
  std::u16string name;
  zip_entry_kind kind;
  std::vector<std::u16string> parts;
};

std::vector<std::u16string> parts_of(const zip_entry_path& path) {
  return std::vector<std::u16string>(path.parts.begin(), path.parts.end());
}

TEST(zip_entry_name, names_land_below_the_folder_or_are_refused) {
  using enum zip_entry_kind;
  const name_case cases[] = {
      // Plain files and folders; both separators, doubled ones name no folder.
      {u"driver.inf", file, {u"driver.inf"}},
      {u"x64/driver.inf", file, {u"x64", u"driver.inf"}},
      {u"x64\\driver.inf", file, {u"x64", u"driver.inf"}},
      {u"a//b\\\\c.inf", file, {u"a", u"b", u"c.inf"}},
      {u"a/b/", folder, {u"a", u"b"}},
      {u"a\\", folder, {u"a"}},
      // Dots that do not climb, names beyond ASCII, a device name only as a longer word.
      {u"./a.inf", file, {u".", u"a.inf"}},
      {u"a..b/.hidden", file, {u"a..b", u".hidden"}},
      {u"\u00e9t\u00e9/\u65e5\u672c.inf", file, {u"\u00e9t\u00e9", u"\u65e5\u672c.inf"}},
      {u"console.inf", file, {u"console.inf"}},
      {u"COM0.txt", file, {u"COM0.txt"}},
      {u"LPT10", file, {u"LPT10"}},
      // Nothing to extract.
      {u"", none, {}},
      {u"/", none, {}},
      {u"\\\\", none, {}},
      // Absolute and root-relative names, UNC names.
      {u"/abs.inf", refused, {}},
      {u"\\abs.inf", refused, {}},
      {u"\\\\server\\share\\a.inf", refused, {}},
      {u"/etc/", refused, {}},
      // Drives and streams: any ':'.
      {u"C:\\drive.inf", refused, {}},
      {u"C:rel.inf", refused, {}},
      {u"report.txt:hidden", refused, {}},
      // Climbing parts, and what Windows turns into them.
      {u"../up.inf", refused, {}},
      {u"a/../../up.inf", refused, {}},
      {u"a\\..\\..\\up.inf", refused, {}},
      {u"..\\..\\up/", refused, {}},
      {u".. /dots.inf", refused, {}},
      {u".../dots.inf", refused, {}},
      {u"a/..", refused, {}},
      // Device names, with any extension, trailing blanks and letter case.
      {u"CON", refused, {}},
      {u"x/nul.inf", refused, {}},
      {u"Aux .txt", refused, {}},
      {u"com1", refused, {}},
      {u"LPT9.log", refused, {}},
      {u"COM\u00b9", refused, {}},
      {u"conout$", refused, {}},
      // A NUL would cut the name short on the file system.
      {std::u16string(u"a.inf\0.txt", 10), refused, {}},
  };
  for (const auto& c : cases) {
    const std::string shown(c.name.begin(), c.name.end());
    const zip_entry_path path = zip_entry_path_of(c.name);
    EXPECT_EQ(path.kind, c.kind) << shown;
    EXPECT_EQ(parts_of(path), c.parts) << shown;
  }
}

TEST(zip_entry_name, without_folders_only_the_file_name_must_stay_inside) {
  EXPECT_EQ(parts_of(zip_entry_path_of(u"a/b/c.inf", true)), (std::vector<std::u16string>{u"c.inf"}));
  // The folders are dropped, so climbing through them goes nowhere.
  const zip_entry_path climbing = zip_entry_path_of(u"../../c.inf", true);
  EXPECT_EQ(climbing.kind, zip_entry_kind::file);
  EXPECT_EQ(parts_of(climbing), (std::vector<std::u16string>{u"c.inf"}));
  EXPECT_EQ(zip_entry_path_of(u"/abs.inf", true).kind, zip_entry_kind::file);
  EXPECT_EQ(zip_entry_path_of(u"a/nul", true).kind, zip_entry_kind::refused);
  EXPECT_EQ(zip_entry_path_of(u"a/x:y", true).kind, zip_entry_kind::refused);
  // Folders are not kept at all, not even counted as refused.
  EXPECT_EQ(zip_entry_path_of(u"a/", true).kind, zip_entry_kind::none);
  EXPECT_EQ(zip_entry_path_of(u"../", true).kind, zip_entry_kind::none);
}

TEST(zip_entry_name, escaping_a_folder_is_the_rule_for_other_relative_paths_too) {
  EXPECT_FALSE(escapes_folder(u"x64\\net.inf"));
  EXPECT_FALSE(escapes_folder(u""));
  EXPECT_TRUE(escapes_folder(u"x64\\..\\..\\net.inf"));
  EXPECT_TRUE(escapes_folder(u"prn.inf"));
  EXPECT_TRUE(is_device_name(u"nul.tar.gz"));
  EXPECT_FALSE(is_device_name(u"null"));
}

}  // namespace
}  // namespace quillary
