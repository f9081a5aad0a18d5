#include "server/catalogue_builder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "base/ascii_text.h"
#include "base/inf_text.h"
#include "server/package_signature.h"

namespace quillary::server {

namespace {

constexpr uint64_t max_pool = uint64_t{1} << 32;

// The pool's own hash, eight bytes a step (the ID table's hash is part of
// the file's format; this one is not).
uint32_t text_hash(std::string_view text) {
  uint64_t h = 0x9E3779B97F4A7C15ull ^ text.size();
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + i, 8);
    h = (h ^ word) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  uint64_t tail = 0;
  std::memcpy(&tail, text.data() + i, text.size() - i);
  h = (h ^ tail) * 0xC4CEB9FE1A85EC53ull;
  return static_cast<uint32_t>(h ^ (h >> 29));
}

uint32_t u32(size_t value) { return static_cast<uint32_t>(value); }

// Whether two models sections list the same models, to the byte: then
// the records of the first serve the second.
bool same_models(const std::vector<inf_model>& a, const std::vector<inf_model>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const inf_model& x = a[i];
    const inf_model& y = b[i];
    if (x.description != y.description || x.ids != y.ids || x.compatible_from != y.compatible_from ||
        x.feature_score != y.feature_score || x.localized_descriptions.size() != y.localized_descriptions.size()) {
      return false;
    }
    for (size_t l = 0; l < x.localized_descriptions.size(); ++l) {
      if (x.localized_descriptions[l].language != y.localized_descriptions[l].language ||
          x.localized_descriptions[l].text != y.localized_descriptions[l].text) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

string_pool_c::string_pool_c() {
  bytes_.resize(4);
  slots_.resize(1024);
}

std::string_view string_pool_c::at(uint32_t offset) const {
  uint32_t length = 0;
  std::memcpy(&length, bytes_.data() + offset, 4);
  return {bytes_.data() + offset + 4, length};
}

void string_pool_c::grow() {
  mapped_array<slot> slots;
  slots.resize(slots_.size() * 2);
  const size_t mask = slots.size() - 1;
  for (const slot& s : slots_) {
    if (s.offset == 0) continue;
    size_t at = s.hash & mask;
    while (slots[at].offset != 0) at = (at + 1) & mask;
    slots[at] = s;
  }
  slots_ = std::move(slots);
}

bool string_pool_c::add(std::string_view text, uint32_t& offset) {
  offset = 0;
  if (text.empty()) return true;
  const size_t mask = slots_.size() - 1;
  const uint32_t hash = text_hash(text);
  size_t at = hash & mask;
  for (; slots_[at].offset != 0; at = (at + 1) & mask) {
    if (slots_[at].hash == hash && this->at(slots_[at].offset) == text) {
      offset = slots_[at].offset;
      return true;
    }
  }
  if (bytes_.size() + 4 + text.size() >= max_pool) return false;
  offset = u32(bytes_.size());
  const uint32_t length = u32(text.size());
  bytes_.append(reinterpret_cast<const char*>(&length), 4);
  bytes_.append(text.data(), text.size());
  slots_[at] = {offset, hash};
  if (++count_ * 2 > slots_.size()) grow();
  return true;
}

uint32_t catalogue_builder_c::pooled(std::string_view text) {
  uint32_t offset = 0;
  if (!t_.pool.add(text, offset)) pool_full_ = true;
  return offset;
}

uint32_t catalogue_builder_c::add_localized(const std::vector<localized_text>& texts) {
  if (texts.empty()) return image::none;
  const uint32_t first = u32(t_.localized.size());
  for (const auto& t : texts) t_.localized.push_back({t.language, 0, pooled(t.text)});
  t_.localized.back().last = 1;
  return first;
}

bool catalogue_builder_c::add_inf(uint32_t package, const std::string& path, const inf_driver& driver,
                                  const std::vector<std::vector<bool>>& signed_sections) {
  const uint32_t inf_index = u32(t_.infs.size());
  image::inf_record inf{};
  inf.package = package;
  inf.path = pooled(path);
  inf.provider = pooled(driver.provider);
  inf.class_name = pooled(driver.class_name);
  inf.class_guid = pooled(driver.class_guid);
  inf.date = pooled(driver.date);
  inf.version = pooled(driver.version);
  inf.first_manufacturer = u32(t_.manufacturers.size());
  inf.manufacturer_count = u32(driver.manufacturers.size());
  inf.localized_providers = add_localized(driver.localized_providers);
  t_.infs.push_back(inf);

  std::vector<uint32_t> model_ids;
  for (size_t m = 0; m < driver.manufacturers.size(); ++m) {
    const inf_manufacturer& manufacturer = driver.manufacturers[m];
    const uint32_t manufacturer_index = u32(t_.manufacturers.size());
    const size_t first_section_record = t_.sections.size();
    t_.manufacturers.push_back(
        {inf_index, pooled(manufacturer.name), u32(t_.sections.size()), u32(manufacturer.sections.size())});
    for (size_t s = 0; s < manufacturer.sections.size(); ++s) {
      const inf_models_section& section = manufacturer.sections[s];
      const target_decoration& d = section.decoration;
      image::section_record record{};
      record.manufacturer = manufacturer_index;
      record.name = pooled(section.name);
      record.catalog_file = pooled(section.catalog_file);
      record.first_model = u32(t_.models.size());
      record.model_count = u32(section.models.size());
      record.flags = static_cast<uint8_t>((section.decorated ? image::section_decorated : 0) |
                                          (signed_sections[m][s] ? image::section_signed : 0) |
                                          (d.has_arch ? image::section_has_arch : 0) |
                                          (d.has_suite_mask ? image::section_has_suite_mask : 0));
      record.arch = static_cast<uint8_t>(d.arch);
      record.product_type = static_cast<uint8_t>(d.product_type);
      record.major = d.major;
      record.minor = d.minor;
      record.build = static_cast<int32_t>(std::clamp<long>(d.build, -1, INT32_MAX));
      // The same models as an earlier section of this manufacturer: its
      // run of models and hits serves both.
      size_t same = s;
      for (size_t earlier = 0; earlier < s && same == s; ++earlier) {
        if (same_models(manufacturer.sections[earlier].models, section.models)) same = earlier;
      }
      if (same < s) {
        const image::section_record& shared = t_.sections[first_section_record + same];
        record.first_model = shared.first_model;
        record.model_count = shared.model_count;
        t_.sections.push_back(record);
        continue;
      }
      t_.sections.push_back(record);
      for (const inf_model& model : section.models) {
        const uint32_t model_index = u32(t_.models.size());
        t_.models.push_back({manufacturer_index, pooled(model.description),
                             static_cast<uint16_t>(std::min<size_t>(model.compatible_from, 0xFFFF)),
                             static_cast<uint16_t>(std::min<uint32_t>(model.feature_score, 0xFFFF)),
                             add_localized(model.localized_descriptions)});
        // A model that repeats an ID keeps its first position.
        model_ids.clear();
        for (size_t p = 0; p < model.ids.size(); ++p) {
          upper_.assign(model.ids[p]);
          for (char& c : upper_) c = to_upper_ascii(c);
          const uint32_t id = pooled(upper_);
          if (id == 0 || std::find(model_ids.begin(), model_ids.end(), id) != model_ids.end()) continue;
          model_ids.push_back(id);
          hits_.push_back({id, model_index, u32(p)});
        }
      }
    }
  }
  // Record indices are 32 bits and the pool at most 4 GiB.
  return !pool_full_ && t_.models.size() < image::none && hits_.size() < image::none &&
         t_.localized.size() < image::none && t_.sections.size() < image::none;
}

namespace {

bool less_ignoring_case(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const char x = to_upper_ascii(a[i]);
    const char y = to_upper_ascii(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  return a.size() < b.size();
}

}  // namespace

bool catalogue_builder_c::add_package(const package_file& package, const archive_listing& listing,
                                      const warning_sink& warn, std::string& reason) {
  // The package's files by name without regard to case, to find each
  // models section's catalog file among them.
  std::vector<std::string_view>& files = package_paths_;
  files.assign(listing.paths.begin(), listing.paths.end());
  std::sort(files.begin(), files.end(), less_ignoring_case);
  const auto has_file = [&](std::string_view path) {
    const auto it = std::lower_bound(files.begin(), files.end(), path, less_ignoring_case);
    return it != files.end() && equal_ignore_case_ascii(*it, path);
  };

  for (const auto& line : listing.unread) warn(package.name + ": " + line);
  for (const auto& name : listing.refused) {
    warn(package.name + ": " + name + ": a name that would land outside the package's folder, left out");
  }
  const uint32_t package_index = u32(t_.packages.size());
  const size_t infs_before = t_.infs.size();
  // What the tables held before this package: a package that does not fit
  // leaves nothing of itself behind.
  const size_t marks[] = {t_.manufacturers.size(), t_.sections.size(), t_.models.size(), t_.localized.size(),
                          hits_.size()};
  inf_file_c& inf = inf_;
  inf_driver& driver = driver_;
  std::vector<std::vector<bool>>& signed_sections = signed_sections_;
  for (const auto& file : listing.infs) {
    std::string why;
    if (!inf.parse(decode_inf_bytes(file.data), why) || !read_inf_driver(inf, driver, why)) {
      warn(package.name + ": " + file.path + ": " + why);
      continue;
    }
    signed_sections.resize(driver.manufacturers.size());
    for (size_t m = 0; m < driver.manufacturers.size(); ++m) {
      std::vector<bool>& flags = signed_sections[m];
      flags.clear();
      for (const auto& section : driver.manufacturers[m].sections) {
        catalog_path_.assign(file.path, 0, file.path.rfind('/') + 1).append(section.catalog_file);
        flags.push_back(!section.catalog_file.empty() && has_file(catalog_path_));
      }
    }
    if (!add_inf(package_index, file.path, driver, signed_sections)) {
      reason = "the catalogue is full (4 GiB of texts or 4 billion records)";
      t_.infs.resize(infs_before);
      t_.manufacturers.resize(marks[0]);
      t_.sections.resize(marks[1]);
      t_.models.resize(marks[2]);
      t_.localized.resize(marks[3]);
      hits_.resize(marks[4]);
      return false;
    }
  }
  if (t_.infs.size() == infs_before) {
    reason = "no usable INF file";
    return false;
  }
  image::package_record record{};
  record.size = package.size;
  record.modified = package.modified;
  t_.packages.push_back(record);
  package_texts_.push_back({package.name, 0, 0, package.sha256, package.minisig});
  return true;
}

bool catalogue_builder_c::index_folder(const std::string& folder, const warning_sink& warn, std::string& reason) {
  std::vector<package_file> files;
  if (!list_package_files(folder, warn, files, reason)) return false;
  hash_package_files(folder, files, {}, warn);
  read_package_signatures(folder, files, warn);
  add_package_files(folder, files, warn);
  return true;
}

void catalogue_builder_c::add_package_files(const std::string& folder, const std::vector<package_file>& files,
                                            const warning_sink& warn) {
  archive_listing listing;
  for (const auto& file : files) {
    if (!package_file_unchanged(folder, file)) {
      warn(file.name + ": gone or changed since it was indexed");
      continue;
    }
    const std::string path = (std::filesystem::path(folder) / file.name).string();
    std::string why;
    if (!read_archive(path, listing, why) || !add_package(file, listing, warn, why)) {
      warn(file.name + ": " + why);
    }
  }
}

namespace {

// The pending hits in order of their ID, stably: two passes of a radix sort
// on its 32 bits. They were added in catalogue order (INF, manufacturer,
// section, model, position), which the stable passes keep within an ID.
template <class R>
void sort_by_id(mapped_array<R>& records) {
  mapped_array<R> sorted;
  sorted.resize(records.size());
  std::vector<size_t> starts(size_t{1} << 16);
  for (const int shift : {0, 16}) {
    std::fill(starts.begin(), starts.end(), 0);
    for (const R& r : records) ++starts[(r.id >> shift) & 0xFFFF];
    size_t sum = 0;
    for (size_t& start : starts) sum += std::exchange(start, sum);
    for (const R& r : records) sorted[starts[(r.id >> shift) & 0xFFFF]++] = r;
    std::swap(records, sorted);
  }
}

}  // namespace

laid_out_image catalogue_builder_c::finish() {
  image_tables& t = t_;
  sort_by_id(hits_);
  size_t distinct = 0;
  for (size_t i = 0; i < hits_.size(); ++i) {
    if (i == 0 || hits_[i].id != hits_[i - 1].id) ++distinct;
  }
  uint64_t slot_count = distinct == 0 ? 0 : 16;
  while (slot_count * 3 < distinct * 4) slot_count *= 2;
  t.id_slots.resize(slot_count);
  t.hits.reserve(hits_.size());
  for (size_t i = 0; i < hits_.size();) {
    size_t end = i;
    while (end < hits_.size() && hits_[end].id == hits_[i].id) ++end;
    const std::string_view id = t.pool.at(hits_[i].id);
    const uint32_t hash = image::id_hash(id.data(), id.size());
    uint64_t at = hash & (slot_count - 1);
    while (t.id_slots[at].hit_count != 0) at = (at + 1) & (slot_count - 1);
    t.id_slots[at] = {hash, hits_[i].id, u32(t.hits.size()), u32(end - i)};
    for (; i < end; ++i) t.hits.push_back({hits_[i].model, hits_[i].position});
  }
  hits_ = mapped_array<pending_hit>();

  // The packages' texts last and together, names in name order: the start
  // (which looks at every package file) and the search by name read a few
  // pages, not one page for each package.
  t.package_names.resize(t.packages.size());
  for (size_t i = 0; i < t.package_names.size(); ++i) t.package_names[i] = u32(i);
  std::sort(t.package_names.begin(), t.package_names.end(),
            [&](uint32_t a, uint32_t b) { return package_texts_[a].name < package_texts_[b].name; });
  for (const uint32_t i : t.package_names) t.packages[i].name = pooled(package_texts_[i].name);
  for (size_t i = 0; i < t.packages.size(); ++i) {
    t.packages[i].sha256 = pooled(package_texts_[i].sha256);
    t.packages[i].minisig = pooled(package_texts_[i].minisig);
  }

  laid_out_image out;
  out.tables_ = std::move(t_);
  image_tables& laid = out.tables_;
  image::header head{};
  std::memcpy(head.magic, image::magic, sizeof image::magic);
  head.format = image::format;
  head.byte_order = image::byte_order_mark;
  // Each table starts on a multiple of eight bytes.
  static constexpr char zeros[8] = {};
  uint64_t at = sizeof head;
  const auto place = [&](image::table which, const void* data, uint64_t count, uint64_t record_size) {
    const uint64_t padding = (8 - at % 8) % 8;
    if (padding != 0) out.pieces_.emplace_back(zeros, padding);
    at += padding;
    head.tables[which] = {at, count};
    out.pieces_.emplace_back(static_cast<const char*>(data), count * record_size);
    at += count * record_size;
  };
  const auto table = [&](image::table which, const auto& records) {
    place(which, records.data(), records.size(), sizeof records[0]);
  };
  out.pieces_.emplace_back();  // the header, once its tables are known
  table(image::packages, laid.packages);
  table(image::package_names, laid.package_names);
  table(image::infs, laid.infs);
  table(image::manufacturers, laid.manufacturers);
  table(image::sections, laid.sections);
  table(image::models, laid.models);
  table(image::localized, laid.localized);
  table(image::id_slots, laid.id_slots);
  table(image::hits, laid.hits);
  place(image::pool, laid.pool.bytes().data(), laid.pool.bytes().size(), 1);
  head.file_size = at;
  const char* const head_bytes = reinterpret_cast<const char*>(&head);
  out.head_.assign(head_bytes, head_bytes + sizeof head);
  out.pieces_[0] = {out.head_.data(), out.head_.size()};
  out.size_ = at;
  *this = catalogue_builder_c();
  return out;
}

std::string laid_out_image::bytes() const {
  std::string whole;
  whole.reserve(size_);
  for (const std::string_view piece : pieces_) whole.append(piece);
  return whole;
}

std::shared_ptr<catalogue_c> catalogue_builder_c::build(std::string folder) {
  std::string reason;
  return catalogue_c::from_bytes(finish().bytes(), std::move(folder), reason);
}

bool write_catalogue_image(const std::string& path, const std::vector<std::string_view>& pieces,
                           std::string& reason) {
  const std::string temporary = path + ".new";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    reason = "cannot write " + temporary + ": " + std::strerror(errno);
    return false;
  }
  bool whole = true;
  for (const std::string_view piece : pieces) {
    size_t written = 0;
    while (written < piece.size()) {
      const ssize_t n = ::write(fd, piece.data() + written, piece.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      written += static_cast<size_t>(n);
    }
    if (written < piece.size()) {
      whole = false;
      break;
    }
  }
  // On disk before the rename, so that a crash leaves the old index or the
  // whole new one.
  whole = whole && fsync(fd) == 0;
  ::close(fd);
  if (!whole) {
    reason = "cannot write " + temporary + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    reason = "cannot put " + temporary + " in place: " + error.message();
    return false;
  }
  return true;
}

}  // namespace quillary::server
