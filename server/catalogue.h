// The driver packages the service offers: every package of the catalogue
// folder with the INF files inside it, and an index from each device ID that
// a model names to the models that name it.
//
// The catalogue is read in place from its image (catalogue_image.h): bytes
// the builder made in memory, or an index file mapped read-only. Nothing is
// copied out of it at start, so that a catalogue of a million INF files is
// ready as soon as it is mapped; records are read as queries ask for them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/catalogue_image.h"
#include "server/package_index.h"
#include "server/target_os.h"

namespace quillary::server {

// A package as the download route needs it, copied out of the catalogue.
struct catalogue_package {
  std::string file_name;  // the archive's name in the folder (bytes as on disk)
  std::string file_path;  // where to read it from
  uint64_t size = 0;      // bytes, as the reply's `size` announces it
  std::string sha256;     // 64 lower-case hexadecimal digits; empty when unknown
  // The publisher's signature file beside the archive, its bytes as they
  // are; empty when the package has none.
  std::string minisig;
};

// Views of the records. Their texts point into the catalogue and live as
// long as it does.
struct package_view {
  std::string_view file_name, sha256, minisig;
  uint64_t size = 0;
  int64_t modified = 0;
};

struct inf_view {
  uint32_t package = 0;
  std::string_view path;  // inside the archive, '/' between folders
  std::string_view provider, class_name, class_guid;
  std::string_view date;     // YYYY-MM-DD
  std::string_view version;  // dotted
  uint32_t first_manufacturer = 0, manufacturer_count = 0;
  uint32_t localized_providers = image::none;
};

struct manufacturer_view {
  uint32_t inf = 0;
  std::string_view name;
  // The undecorated section first (when the file has it), then the
  // decorated ones in the order the manufacturer line lists them.
  uint32_t first_section = 0, section_count = 0;
};

struct section_view {
  uint32_t manufacturer = 0;
  std::string_view name, catalog_file;
  bool decorated = false;
  // Whether the section's catalog file lies in the archive beside the INF
  // (the package is signed for that platform).
  bool is_signed = false;
  target_decoration decoration;
  uint32_t first_model = 0, model_count = 0;
};

struct model_view {
  uint32_t manufacturer = 0;
  std::string_view description;
  uint32_t compatible_from = 0;  // position of the model's first compatible ID
  uint32_t feature_score = 0xFF;
  uint32_t localized_descriptions = image::none;
};

// Where one device ID appears: which model, at which position of the
// model's ID list (hardware ID first, then the compatible IDs).
struct catalogue_hit {
  uint32_t model = 0;
  uint32_t position = 0;
};

// The hits of one ID: `count` records from `first`.
struct id_hits {
  uint32_t first = 0;
  uint32_t count = 0;
};

// One text of a [Strings.LLLL] section, as a view.
struct localized_view {
  uint16_t language = 0;
  std::string_view text;
};

class catalogue_c {
 public:
  // Reads the image in `bytes` (owned by `owner`, which the catalogue keeps
  // alive) for the packages of `folder`. False with a reason when it is not
  // an image of this format.
  static std::shared_ptr<catalogue_c> open(std::shared_ptr<const void> owner, const char* bytes, size_t size,
                                           std::string folder, std::string& reason);
  static std::shared_ptr<catalogue_c> from_bytes(std::string bytes, std::string folder, std::string& reason);
  // Maps an index file read-only.
  static std::shared_ptr<catalogue_c> map_file(const std::string& path, std::string folder, std::string& reason);

  // Leaves out of the offers every package whose file is gone or differs in
  // size or time from its record (the recorded digest would not be its
  // own), each reported to `warn`.
  void withdraw_changed_packages(const warning_sink& warn);

  uint32_t package_count() const { return count(image::packages); }
  // Packages that are offered: all but those withdrawn.
  uint32_t offered_package_count() const { return package_count() - withdrawn_count_; }
  uint32_t inf_count() const { return count(image::infs); }
  bool package_offered(uint32_t package) const {
    return package < withdrawn_.size() ? !withdrawn_[package] : package < package_count();
  }

  package_view package(uint32_t index) const;
  inf_view inf(uint32_t index) const;
  manufacturer_view manufacturer(uint32_t index) const;
  section_view section(uint32_t index) const;
  model_view model(uint32_t index) const;
  catalogue_hit hit(uint32_t index) const;
  // The run of [Strings.LLLL] texts that starts at `first`; empty for none.
  std::vector<localized_view> localized(uint32_t first) const;

  // The models naming this ID (compared without regard to ASCII case).
  id_hits find_id(std::string_view id) const;

  // The offered package whose file name is exactly `name`.
  std::optional<catalogue_package> find_package(std::string_view name) const;

  // The packages' records as an index file keeps them, for rehashing only
  // what changed.
  std::vector<package_file> package_files() const;

 private:
  catalogue_c() = default;
  uint32_t count(image::table t) const { return static_cast<uint32_t>(counts_[t]); }
  uint32_t run_length(image::table t, uint32_t first, uint32_t count) const;
  template <class R>
  R record(image::table t, uint64_t index) const;
  std::string_view text(uint32_t offset) const;

  std::shared_ptr<const void> owner_;
  const char* bytes_ = nullptr;
  uint64_t offsets_[image::table_count] = {};
  uint64_t counts_[image::table_count] = {};
  std::string folder_;
  std::vector<bool> withdrawn_;
  uint32_t withdrawn_count_ = 0;
};

}  // namespace quillary::server
