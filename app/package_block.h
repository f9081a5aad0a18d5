// An administrator's block on driver packages: a package that must never
// be offered, downloaded or installed on the PC, whoever runs the program.
// One rule is one text of the policy's BlockedPackages list:
//
//   https://example.com/packages/bad.zip      that package link (also http://)
//   PCI\VEN_10DE&DEV_1C82                      every package for that hardware ID
//   PCI\VEN_10DE&DEV_1C82 27.21.14.5671        ... in that version only
//   PCI\VEN_10DE&DEV_1C82 27.21.14.5671-27.21.14.6089   ... from one version to another, both in
//   PCI\VEN_10DE&DEV_1C82 27.21.14.5671-       ... in that version and every later one
//   PCI\VEN_10DE&DEV_1C82 -27.21.14.6089       ... up to that version
//
// Hardware IDs hold no blanks (Windows allows none in them), so the first
// blank ends the ID. Versions are dotted numbers, one to four of them, as a
// DriverVer directive writes them; a missing number counts as 0.
#pragma once

#include <string>
#include <string_view>

namespace quillary {

struct package_block {
  enum class kind { link, hardware_id };
  kind what = kind::link;
  std::string link;            // kind::link: compared byte for byte, as links are everywhere
  std::u16string hardware_id;  // kind::hardware_id: compared without regard to letter case
  // kind::hardware_id: the versions blocked, both ends in; an empty end is
  // open, and both empty block every version.
  std::u16string lowest;
  std::u16string highest;
  std::u16string text;  // the rule as the policy writes it, for listing it
};

// False with the reason (the end of a sentence about the text, such as
// "has a version range whose ends are not one to four dotted numbers") when
// the text is no rule.
bool parse_package_block(std::u16string_view text, package_block& out, std::string& why);

// Whether the text is a dotted version of one to four numbers (digits only,
// each at most nine of them).
bool is_dotted_version(std::u16string_view text);

}  // namespace quillary
