// The driver packages the service offers: every zip archive of the catalogue
// folder with the INF files inside it, and an index from each device ID that
// a model names to the models that name it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server/inf_driver.h"
#include "server/package_index.h"
#include "server/zip_archive.h"

namespace quillary::server {

struct catalogue_package {
  std::string file_name;  // the archive's name in the folder (bytes as on disk)
  std::string file_path;  // where to read it from; empty for packages built in memory
  uint64_t size = 0;      // bytes, as the reply's `size` announces it
  std::string sha256;     // 64 lower-case hexadecimal digits; empty when unknown
  // The publisher's signature file beside the archive, its bytes as they
  // are (a few hundred), kept once here for all the package's offers; empty
  // when the package has none.
  std::string minisig;
};

struct catalogue_inf {
  size_t package = 0;
  std::string path;  // inside the archive, '/' between folders
  inf_driver driver;
  // Per manufacturer and section: whether the section's catalog file lies in
  // the archive beside the INF (the package is signed for that platform).
  std::vector<std::vector<bool>> signed_sections;
};

// Where one device ID appears: which INF, manufacturer, section and model,
// and at which position of the model's ID list.
struct catalogue_hit {
  uint32_t inf = 0;
  uint32_t manufacturer = 0;
  uint32_t section = 0;
  uint32_t model = 0;
  uint32_t position = 0;
};

class catalogue_c {
 public:
  // Adds one package from its archive listing. Each INF that cannot be read
  // is reported to `warn` and left out; false with a reason when none is
  // left (the package is then not added).
  bool add_package(catalogue_package package, const archive_listing& listing, const warning_sink& warn,
                   std::string& reason);

  // Indexes every *.zip file directly in `folder` (not its sub-folders), in
  // name order, with its SHA-256 and its signature file if any. Archives that cannot be read, have no
  // usable INF or are 4 GiB or larger are reported to `warn` and skipped.
  // False when the folder cannot be listed.
  bool index_folder(const std::string& folder, const warning_sink& warn, std::string& reason);

  // Adds the listed files of `folder` (as an index file lists them). A file
  // that is gone, or whose size or time differs from its record, is
  // reported and skipped: the recorded digest would not be its own.
  void add_package_files(const std::string& folder, const std::vector<package_file>& files,
                         const warning_sink& warn);

  // The models naming this ID (compared without regard to ASCII case).
  const std::vector<catalogue_hit>* find_id(std::string_view id) const;

  const std::vector<catalogue_package>& packages() const { return packages_; }
  const std::vector<catalogue_inf>& infs() const { return infs_; }
  // The package whose file name is exactly `name`; null when there is none.
  const catalogue_package* find_package(std::string_view name) const;

 private:
  std::vector<catalogue_package> packages_;
  std::vector<catalogue_inf> infs_;
  std::unordered_map<std::string, std::vector<catalogue_hit>> ids_;  // upper-case ID
  std::unordered_map<std::string, size_t> package_names_;
};

}  // namespace quillary::server
