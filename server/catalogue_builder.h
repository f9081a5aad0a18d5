// Builds a catalogue's image (catalogue_image.h) from package archives: the
// INF files of each are read once, their texts kept once however often
// they repeat (decorated sections of one INF name the same models), and
// the ID index is laid out when the last package is in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/catalogue.h"
#include "server/catalogue_image.h"
#include "server/inf_driver.h"
#include "server/mapped_array.h"
#include "server/package_index.h"
#include "server/zip_archive.h"

namespace quillary::server {

// The strings of an image, each kept once: a 32-bit length and the bytes,
// found again by a hash table of their offsets.
class string_pool_c {
 public:
  string_pool_c();
  // The text's offset; 0 for the empty text. False (and nothing added)
  // when the pool would pass 4 GiB.
  bool add(std::string_view text, uint32_t& offset);
  std::string_view at(uint32_t offset) const;
  std::string_view bytes() const { return {bytes_.data(), bytes_.size()}; }

 private:
  void grow();
  struct slot {
    uint32_t offset = 0;  // 0: empty
    uint32_t hash = 0;
  };
  mapped_array<char> bytes_;
  mapped_array<slot> slots_;
  size_t count_ = 0;
};

// The records of an image's tables, as the builder gathers them.
struct image_tables {
  std::vector<image::package_record> packages;
  std::vector<uint32_t> package_names;
  mapped_array<image::inf_record> infs;
  mapped_array<image::manufacturer_record> manufacturers;
  mapped_array<image::section_record> sections;
  mapped_array<image::model_record> models;
  mapped_array<image::localized_record> localized;
  mapped_array<image::id_slot> id_slots;
  mapped_array<image::hit_record> hits;
  string_pool_c pool;
};

// An image laid out: its header and the tables it owns, as the pieces of
// the file in their order. Written piece by piece, a large image is never
// copied into one block on its way to the file.
class laid_out_image {
 public:
  uint64_t size() const { return size_; }
  const std::vector<std::string_view>& pieces() const { return pieces_; }
  // The whole image in one block, for a catalogue kept in memory.
  std::string bytes() const;

 private:
  friend class catalogue_builder_c;
  // Heap blocks all, which a move of the image leaves where its pieces
  // point.
  image_tables tables_;
  std::vector<char> head_;
  std::vector<std::string_view> pieces_;
  uint64_t size_ = 0;
};

class catalogue_builder_c {
 public:
  // Adds one package from its archive listing. Each INF that cannot be read
  // is reported to `warn` and left out; false with a reason when none is
  // left (the package is then not added).
  bool add_package(const package_file& package, const archive_listing& listing, const warning_sink& warn,
                   std::string& reason);

  // Indexes every package file directly in `folder` (not its sub-folders),
  // in name order, with its SHA-256 and its signature file if any. Archives
  // that cannot be read, have no usable INF or are 4 GiB or larger are
  // reported to `warn` and skipped. False when the folder cannot be listed.
  bool index_folder(const std::string& folder, const warning_sink& warn, std::string& reason);

  // Adds the listed files of `folder`. A file that is gone, or whose size
  // or time differs from its record, is reported and skipped: the recorded
  // digest would not be its own.
  void add_package_files(const std::string& folder, const std::vector<package_file>& files,
                         const warning_sink& warn);

  size_t package_count() const { return t_.packages.size(); }
  size_t inf_count() const { return t_.infs.size(); }

  // The image of everything added; the builder is left empty.
  laid_out_image finish();
  // The catalogue of everything added, for the packages of `folder`.
  std::shared_ptr<catalogue_c> build(std::string folder = {});

 private:
  bool add_inf(uint32_t package, const std::string& path, const inf_driver& driver,
               const std::vector<std::vector<bool>>& signed_sections);
  uint32_t add_localized(const std::vector<localized_text>& texts);
  uint32_t pooled(std::string_view text);

  struct pending_hit {
    uint32_t id;  // the upper-case ID in the pool
    uint32_t model;
    uint32_t position;
  };

  image_tables t_;  // all but the ID index, which finish() lays out
  bool pool_full_ = false;
  std::vector<package_file> package_texts_;  // pooled when the image is made
  mapped_array<pending_hit> hits_;
  std::string upper_;  // an ID being upper-cased, its room kept
  // The reader's records of the last INF file, filled again for the next
  // with their room kept: an index reads a million files.
  inf_file_c inf_;
  inf_driver driver_;
  std::vector<std::vector<bool>> signed_sections_;
  std::vector<std::string_view> package_paths_;  // of the package being added, sorted without regard to case
  std::string catalog_path_;
};

// Writes an image beside `path` and renames it over it, so that a service
// mapping it meanwhile reads the old file or the new one, never half.
bool write_catalogue_image(const std::string& path, const std::vector<std::string_view>& pieces,
                           std::string& reason);
inline bool write_catalogue_image(const std::string& path, std::string_view bytes, std::string& reason) {
  return write_catalogue_image(path, std::vector<std::string_view>{bytes}, reason);
}

}  // namespace quillary::server
