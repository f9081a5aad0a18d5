// The catalogue as one block of bytes: what catalogue_builder_c writes and
// catalogue_c reads in place. The same bytes live in memory when the
// service indexes its folder at start, and in the index file written by
// --write-index, which services map read-only: a million INF files then
// start in the time it takes to map a file, and every instance on the host
// shares the one copy in the page cache.
//
// Layout: a header, then tables of fixed-size records (each table starts on
// an 8-byte boundary), then the string pool. Numbers are little-endian.
// Records name each other by index and strings by their offset in the pool,
// where a string is a 32-bit length and its bytes; offset 0 is the empty
// string. Readers check every index and offset as they follow it, so a
// damaged file gives wrong or empty answers, never a read outside it.
#pragma once

#include <cstdint>

namespace quillary::server::image {

// The first line of the file, padded with NULs to 32 bytes: an index file
// shows what it is to `head -1`, and older services, which expect the text
// index, refuse it by that line.
inline constexpr char magic[] = "quillary-catalogue-image 3\n";
inline constexpr uint32_t format = 3;
inline constexpr uint32_t byte_order_mark = 0x01020304;
inline constexpr uint32_t none = 0xFFFFFFFFu;

enum table : uint32_t {
  packages,       // package_record, in the order added
  package_names,  // uint32_t package indices, sorted by file name
  infs,           // inf_record
  manufacturers,  // manufacturer_record
  sections,       // section_record
  models,         // model_record
  localized,      // localized_record runs
  id_slots,       // id_slot, an open-addressed hash table (a power of two, at most 3/4 full)
  hits,           // hit_record, grouped by ID
  pool,           // the string pool (count = bytes)
  table_count
};

struct table_ref {
  uint64_t offset = 0;
  uint64_t count = 0;
};

struct header {
  char magic[32];
  uint32_t format;
  uint32_t byte_order;
  uint64_t file_size;
  table_ref tables[table_count];
};

struct package_record {
  uint32_t name;
  uint32_t sha256;  // 64 hexadecimal digits, or empty
  uint32_t minisig;  // the signature file's bytes, or empty
  uint32_t reserved;
  uint64_t size;
  int64_t modified;  // the file's time when indexed (see package_index.h)
};

struct inf_record {
  uint32_t package;
  uint32_t path;
  uint32_t provider;
  uint32_t class_name;
  uint32_t class_guid;
  uint32_t date;
  uint32_t version;
  uint32_t first_manufacturer;
  uint32_t manufacturer_count;
  uint32_t localized_providers;  // first record of its run, or none
};

struct manufacturer_record {
  uint32_t inf;
  uint32_t name;
  uint32_t first_section;
  uint32_t section_count;
};

enum section_flags : uint8_t {
  section_decorated = 1,
  section_signed = 2,
  section_has_arch = 4,
  section_has_suite_mask = 8,
};

struct section_record {
  uint32_t manufacturer;
  uint32_t name;
  uint32_t catalog_file;
  uint32_t first_model;
  uint32_t model_count;
  uint8_t flags;
  uint8_t arch;  // cpu_arch
  uint8_t product_type;
  uint8_t reserved;
  int32_t major;
  int32_t minor;
  int32_t build;
};

// Models are the most numerous records, so they are kept small: the install
// section, which no reply names, is left out, and a models section that
// lists the same models as an earlier one of its manufacturer (NTamd64 and
// NTx86 often do) shares that one's run of records and hits. A model
// therefore names its manufacturer, and belongs to every section whose run
// holds it.
struct model_record {
  uint32_t manufacturer;
  uint32_t description;
  uint16_t compatible_from;  // held at 0xFFFF
  uint16_t feature_score;
  uint32_t localized_descriptions;  // first record of its run, or none
};

// One text of a [Strings.LLLL] section; a run ends at the record with
// `last` set.
struct localized_record {
  uint16_t language;
  uint16_t last;
  uint32_t text;
};

struct id_slot {
  uint32_t hash;       // id_hash of the upper-case ID
  uint32_t id;         // the upper-case ID in the pool
  uint32_t first_hit;  // in the hits table
  uint32_t hit_count;  // 0 for an empty slot
};

struct hit_record {
  uint32_t model;
  uint32_t position;  // of the ID in the model's list
};

// FNV-1a over the bytes, which the caller has put in upper case.
inline uint32_t id_hash(const char* data, uint64_t size) {
  uint64_t h = 14695981039346656037ull;
  for (uint64_t i = 0; i < size; ++i) {
    h ^= static_cast<unsigned char>(data[i]);
    h *= 1099511628211ull;
  }
  return static_cast<uint32_t>(h ^ (h >> 32));
}

}  // namespace quillary::server::image
