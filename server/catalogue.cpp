#include "server/catalogue.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "base/ascii_text.h"

namespace quillary::server {

namespace {

constexpr size_t record_size(image::table t) {
  switch (t) {
    case image::packages: return sizeof(image::package_record);
    case image::package_names: return sizeof(uint32_t);
    case image::infs: return sizeof(image::inf_record);
    case image::manufacturers: return sizeof(image::manufacturer_record);
    case image::sections: return sizeof(image::section_record);
    case image::models: return sizeof(image::model_record);
    case image::localized: return sizeof(image::localized_record);
    case image::id_slots: return sizeof(image::id_slot);
    case image::hits: return sizeof(image::hit_record);
    default: return 1;
  }
}

}  // namespace

// A run of `count` records from `first` in a table of `size`, cut to the
// records there are: a damaged record never sends a loop past the table.
uint32_t catalogue_c::run_length(image::table t, uint32_t first, uint32_t count) const {
  const uint64_t size = counts_[t];
  return first >= size ? 0 : static_cast<uint32_t>(std::min<uint64_t>(count, size - first));
}

std::shared_ptr<catalogue_c> catalogue_c::open(std::shared_ptr<const void> owner, const char* bytes, size_t size,
                                               std::string folder, std::string& reason) {
  image::header head{};
  if (size < sizeof head) {
    reason = "not a catalogue index (too short)";
    return nullptr;
  }
  std::memcpy(&head, bytes, sizeof head);
  if (std::memcmp(head.magic, image::magic, sizeof image::magic) != 0) {
    reason = "not a catalogue index (written by --write-index)";
    return nullptr;
  }
  if (head.format != image::format || head.byte_order != image::byte_order_mark) {
    reason = "a catalogue index of another format or byte order: write it again with --write-index";
    return nullptr;
  }
  if (head.file_size != size) {
    reason = "a catalogue index of " + std::to_string(head.file_size) + " bytes cut to " + std::to_string(size);
    return nullptr;
  }
  std::shared_ptr<catalogue_c> catalogue(new catalogue_c());
  for (uint32_t t = 0; t < image::table_count; ++t) {
    const auto table = static_cast<image::table>(t);
    const image::table_ref ref = head.tables[t];
    const uint64_t unit = record_size(table);
    const bool fits = ref.offset % 8 == 0 && ref.offset >= sizeof head && ref.offset <= size &&
                      ref.count <= (size - ref.offset) / unit && ref.count <= image::none;
    if (!fits) {
      reason = "a damaged catalogue index (table " + std::to_string(t) + " lies outside the file)";
      return nullptr;
    }
    catalogue->offsets_[t] = ref.offset;
    catalogue->counts_[t] = ref.count;
  }
  const uint64_t slots = catalogue->counts_[image::id_slots];
  if ((slots & (slots - 1)) != 0) {
    reason = "a damaged catalogue index (the ID table is not a power of two)";
    return nullptr;
  }
  catalogue->owner_ = std::move(owner);
  catalogue->bytes_ = bytes;
  catalogue->folder_ = std::move(folder);
  return catalogue;
}

std::shared_ptr<catalogue_c> catalogue_c::from_bytes(std::string bytes, std::string folder, std::string& reason) {
  auto owned = std::make_shared<const std::string>(std::move(bytes));
  return open(owned, owned->data(), owned->size(), std::move(folder), reason);
}

std::shared_ptr<catalogue_c> catalogue_c::map_file(const std::string& path, std::string folder,
                                                   std::string& reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reason = "cannot open " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  struct stat facts{};
  if (fstat(fd, &facts) != 0 || facts.st_size <= 0) {
    reason = path + " is empty or cannot be read";
    ::close(fd);
    return nullptr;
  }
  const auto size = static_cast<size_t>(facts.st_size);
  // Shared and read-only: the pages are the page cache's, one copy for
  // every service mapping the file. A file renamed over it later (the
  // next --write-index) leaves this mapping on the old one.
  void* mapped = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  if (mapped == MAP_FAILED) {
    reason = "cannot map " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  std::shared_ptr<const void> owner(mapped, [size](const void* at) { munmap(const_cast<void*>(at), size); });
  auto catalogue = open(owner, static_cast<const char*>(mapped), size, std::move(folder), reason);
  if (!catalogue) reason = path + ": " + reason;
  return catalogue;
}

void catalogue_c::withdraw_changed_packages(const warning_sink& warn) {
  withdrawn_.assign(package_count(), false);
  withdrawn_count_ = 0;
  for (uint32_t i = 0; i < package_count(); ++i) {
    const package_view p = package(i);
    const package_file file{std::string(p.file_name), p.size, p.modified, {}, {}};
    if (package_file_unchanged(folder_, file)) continue;
    warn(file.name + ": gone or changed since it was indexed");
    withdrawn_[i] = true;
    ++withdrawn_count_;
  }
}

template <class R>
R catalogue_c::record(image::table t, uint64_t index) const {
  R r{};
  if (index < counts_[t]) std::memcpy(&r, bytes_ + offsets_[t] + index * sizeof(R), sizeof(R));
  return r;
}

std::string_view catalogue_c::text(uint32_t offset) const {
  const uint64_t pool = counts_[image::pool];
  if (offset == 0 || uint64_t{offset} + 4 > pool) return {};
  uint32_t length = 0;
  const char* at = bytes_ + offsets_[image::pool] + offset;
  std::memcpy(&length, at, 4);
  if (length > pool - offset - 4) return {};
  return {at + 4, length};
}

package_view catalogue_c::package(uint32_t index) const {
  const auto r = record<image::package_record>(image::packages, index);
  return {text(r.name), text(r.sha256), text(r.minisig), r.size, r.modified};
}

inf_view catalogue_c::inf(uint32_t index) const {
  const auto r = record<image::inf_record>(image::infs, index);
  return {r.package,    text(r.path), text(r.provider),     text(r.class_name),        text(r.class_guid),
          text(r.date), text(r.version), r.first_manufacturer,
          run_length(image::manufacturers, r.first_manufacturer, r.manufacturer_count), r.localized_providers};
}

manufacturer_view catalogue_c::manufacturer(uint32_t index) const {
  const auto r = record<image::manufacturer_record>(image::manufacturers, index);
  return {r.inf, text(r.name), r.first_section, run_length(image::sections, r.first_section, r.section_count)};
}

section_view catalogue_c::section(uint32_t index) const {
  const auto r = record<image::section_record>(image::sections, index);
  section_view v;
  v.manufacturer = r.manufacturer;
  v.name = text(r.name);
  v.catalog_file = text(r.catalog_file);
  v.decorated = (r.flags & image::section_decorated) != 0;
  v.is_signed = (r.flags & image::section_signed) != 0;
  v.decoration.arch = r.arch <= static_cast<uint8_t>(cpu_arch::other) ? static_cast<cpu_arch>(r.arch) : cpu_arch::other;
  v.decoration.has_arch = (r.flags & image::section_has_arch) != 0;
  v.decoration.major = r.major;
  v.decoration.minor = r.minor;
  v.decoration.product_type = r.product_type;
  v.decoration.has_suite_mask = (r.flags & image::section_has_suite_mask) != 0;
  v.decoration.build = r.build;
  v.first_model = r.first_model;
  v.model_count = run_length(image::models, r.first_model, r.model_count);
  return v;
}

model_view catalogue_c::model(uint32_t index) const {
  const auto r = record<image::model_record>(image::models, index);
  return {r.manufacturer, text(r.description), r.compatible_from, r.feature_score, r.localized_descriptions};
}

catalogue_hit catalogue_c::hit(uint32_t index) const {
  const auto r = record<image::hit_record>(image::hits, index);
  return {r.model, r.position};
}

std::vector<localized_view> catalogue_c::localized(uint32_t first) const {
  std::vector<localized_view> texts;
  if (first == image::none) return texts;
  for (uint64_t i = first; i < counts_[image::localized]; ++i) {
    const auto r = record<image::localized_record>(image::localized, i);
    texts.push_back({r.language, text(r.text)});
    if (r.last != 0) break;
  }
  return texts;
}

id_hits catalogue_c::find_id(std::string_view id) const {
  const uint64_t slots = counts_[image::id_slots];
  if (slots == 0) return {};
  const std::string upper = to_upper_ascii(id);
  const uint32_t hash = image::id_hash(upper.data(), upper.size());
  // Linear probing; the table is at most 3/4 full, so an empty slot ends
  // every search soon (and a damaged table full of slots ends after one
  // round).
  for (uint64_t n = 0, at = hash & (slots - 1); n < slots; ++n, at = (at + 1) & (slots - 1)) {
    const auto slot = record<image::id_slot>(image::id_slots, at);
    if (slot.hit_count == 0) return {};
    if (slot.hash == hash && text(slot.id) == upper) {
      const uint64_t hits = counts_[image::hits];
      if (slot.first_hit > hits || slot.hit_count > hits - slot.first_hit) return {};
      return {slot.first_hit, slot.hit_count};
    }
  }
  return {};
}

std::optional<catalogue_package> catalogue_c::find_package(std::string_view name) const {
  // Binary search over the package indices in name order.
  uint64_t low = 0, high = counts_[image::package_names];
  while (low < high) {
    const uint64_t middle = low + (high - low) / 2;
    const uint32_t index = record<uint32_t>(image::package_names, middle);
    const std::string_view here = package(index).file_name;
    if (here == name) {
      if (!package_offered(index)) return std::nullopt;
      const package_view p = package(index);
      return catalogue_package{std::string(p.file_name),
                               (std::filesystem::path(folder_) / std::string(p.file_name)).string(), p.size,
                               std::string(p.sha256), std::string(p.minisig)};
    }
    if (here < name) low = middle + 1;
    else high = middle;
  }
  return std::nullopt;
}

std::vector<package_file> catalogue_c::package_files() const {
  std::vector<package_file> files;
  files.reserve(package_count());
  for (uint32_t i = 0; i < package_count(); ++i) {
    const package_view p = package(i);
    files.push_back({std::string(p.file_name), p.size, p.modified, std::string(p.sha256), std::string(p.minisig)});
  }
  return files;
}

}  // namespace quillary::server
