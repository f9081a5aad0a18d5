// Which devices of this PC a driver package is for: those that an INF of
// the package names in its models, by a hardware or compatible ID, as
// Windows matches them. The command line needs this to back up what an
// installation replaces; the program knows it from the offer.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "base/inf_file.h"
#include "devices/device_record.h"

namespace quillary {

// Every ID the models of the INF's manufacturers name (whatever their
// target decoration), in upper case.
std::set<std::string> inf_model_ids(const inf_file_c& inf);

// The INF files of a package (a zip archive or a cabinet), decoded, each
// at most `max_inf_bytes`: those named in `inf_paths` (package-relative,
// either slash), or every one when it is empty.
constexpr size_t max_package_inf_bytes = 8 * 1024 * 1024;
enum class package_infs {
  read,
  not_an_archive,  // a setup program, say: it names no device
  damaged,         // an entry does not read back whole (it installs nothing)
  too_large,       // an INF beyond the limit: its devices are not known
};
package_infs read_package_infs(const std::u16string& package, const std::set<std::u16string>& inf_paths,
                               std::vector<std::string>& texts);

// The devices among `devices` that the INF texts name; INF texts that do
// not parse name none.
std::vector<device_record> devices_for_package(const std::vector<std::string>& inf_texts,
                                               const std::vector<device_record>& devices);

}  // namespace quillary
