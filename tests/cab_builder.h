// Cabinet files written byte by byte for tests: the header (CFHEADER), the
// folders (CFFOLDER), the files (CFFILE) and the data blocks (CFDATA) with
// their checksums, stored or MSZIP-compressed. Tools that make cabinets
// never write the names a hostile package would carry ("..\x.inf",
// "C:\x.inf"), nor wrong checksums or cut-off blocks; this does, and it says
// where each part lies so that a test can damage it.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillary::testing {

enum class cab_compression : uint16_t { none = 0, mszip = 1 };

// The file attribute that marks a name as UTF-8 (_A_NAME_IS_UTF).
constexpr uint16_t cab_utf8_name = 0x80;
constexpr uint16_t cab_archive_attribute = 0x20;
// Header flags of a cabinet in a set.
constexpr uint16_t cab_has_previous = 0x0001;
constexpr uint16_t cab_has_next = 0x0002;

struct cab_file {
  std::string name;  // the bytes as stored, '\' between folders
  std::string data;
  uint16_t folder = 0;
  uint16_t attributes = cab_archive_attribute;
  // 2021-01-15 12:00:00 (DOS date, time).
  uint16_t date = 0x522F;
  uint16_t time = 0x6000;
};

struct cab_layout {
  std::vector<cab_compression> folders = {cab_compression::none};
  std::vector<cab_file> files;
  uint16_t flags = 0;  // cab_has_previous, cab_has_next
  bool checksums = true;  // else 0: "no checksum", which readers accept
};

struct built_cabinet {
  std::string bytes;
  size_t files_at = 0;                     // the first CFFILE
  std::vector<size_t> blocks;              // each CFDATA's header, in the order written
};

// The cabinet checksum of a block: the data's 32-bit little-endian words,
// its last one to three bytes high byte first, XORed onto the seed.
inline uint32_t cab_checksum(const unsigned char* data, size_t size, uint32_t seed) {
  uint32_t sum = seed;
  size_t i = 0;
  for (; i + 4 <= size; i += 4) {
    sum ^= static_cast<uint32_t>(data[i]) | static_cast<uint32_t>(data[i + 1]) << 8 |
           static_cast<uint32_t>(data[i + 2]) << 16 | static_cast<uint32_t>(data[i + 3]) << 24;
  }
  uint32_t tail = 0;
  switch (size - i) {
    case 3: tail |= static_cast<uint32_t>(data[i++]) << 16; [[fallthrough]];
    case 2: tail |= static_cast<uint32_t>(data[i++]) << 8; [[fallthrough]];
    case 1: tail |= data[i];
  }
  return sum ^ tail;
}

namespace cab_detail {

inline void put16(std::string& out, size_t at, uint16_t value) {
  out[at] = static_cast<char>(value & 0xFF);
  out[at + 1] = static_cast<char>(value >> 8);
}
inline void put32(std::string& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}
inline void add16(std::string& out, uint16_t value) {
  out.append(2, '\0');
  put16(out, out.size() - 2, value);
}
inline void add32(std::string& out, uint32_t value) {
  out.append(4, '\0');
  put32(out, out.size() - 4, value);
}

// One MSZIP block: "CK", then the block deflated on its own.
inline std::string mszip_block(const std::string& plain) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&stream, static_cast<uLong>(plain.size())) + 2, '\0');
  out[0] = 'C';
  out[1] = 'K';
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
  stream.avail_in = static_cast<uInt>(plain.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data() + 2);
  stream.avail_out = static_cast<uInt>(out.size() - 2);
  const int result = deflate(&stream, Z_FINISH);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(2 + stream.total_out);
  return out;
}

}  // namespace cab_detail

// The largest uncompressed block.
constexpr size_t cab_block_size = 32768;

inline built_cabinet build_cabinet(const cab_layout& layout) {
  using namespace cab_detail;
  built_cabinet built;
  std::string& out = built.bytes;
  // CFHEADER.
  out = "MSCF";
  add32(out, 0);
  add32(out, 0);  // cbCabinet, below
  add32(out, 0);
  add32(out, 0);  // coffFiles, below
  add32(out, 0);
  out += '\x03';  // version 1.3
  out += '\x01';
  add16(out, static_cast<uint16_t>(layout.folders.size()));
  add16(out, static_cast<uint16_t>(layout.files.size()));
  add16(out, layout.flags);
  add16(out, 0x1234);  // set ID
  add16(out, (layout.flags & cab_has_previous) ? 1 : 0);
  if (layout.flags & cab_has_previous) out += std::string("prev.cab\0disk\0", 14);
  if (layout.flags & cab_has_next) out += std::string("next.cab\0disk\0", 14);

  // Each folder's uncompressed stream: its files one after the other.
  std::vector<std::string> streams(layout.folders.size());
  std::vector<uint32_t> offsets;
  for (const auto& file : layout.files) {
    if (file.folder >= streams.size()) throw std::runtime_error("no such folder");
    offsets.push_back(static_cast<uint32_t>(streams[file.folder].size()));
    streams[file.folder] += file.data;
  }
  // Each folder's blocks, compressed as it says.
  std::vector<std::vector<std::pair<std::string, uint16_t>>> blocks(layout.folders.size());
  for (size_t f = 0; f < streams.size(); ++f) {
    for (size_t at = 0; at < streams[f].size(); at += cab_block_size) {
      const std::string plain = streams[f].substr(at, cab_block_size);
      blocks[f].emplace_back(layout.folders[f] == cab_compression::mszip ? mszip_block(plain) : plain,
                             static_cast<uint16_t>(plain.size()));
    }
  }

  // CFFOLDER entries; where their blocks begin is known once the files are.
  const size_t folders_at = out.size();
  for (size_t f = 0; f < layout.folders.size(); ++f) {
    add32(out, 0);
    add16(out, static_cast<uint16_t>(blocks[f].size()));
    add16(out, static_cast<uint16_t>(layout.folders[f]));
  }
  built.files_at = out.size();
  put32(out, 16, static_cast<uint32_t>(built.files_at));
  for (size_t i = 0; i < layout.files.size(); ++i) {
    const cab_file& file = layout.files[i];
    add32(out, static_cast<uint32_t>(file.data.size()));
    add32(out, offsets[i]);
    add16(out, file.folder);
    add16(out, file.date);
    add16(out, file.time);
    add16(out, file.attributes);
    out += file.name;
    out += '\0';
  }
  for (size_t f = 0; f < blocks.size(); ++f) {
    put32(out, folders_at + 8 * f, static_cast<uint32_t>(out.size()));
    for (const auto& [data, plain_size] : blocks[f]) {
      built.blocks.push_back(out.size());
      const size_t header = out.size();
      add32(out, 0);
      add16(out, static_cast<uint16_t>(data.size()));
      add16(out, plain_size);
      out += data;
      if (layout.checksums) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(out.data());
        const uint32_t sum = cab_checksum(bytes + header + 8, data.size(), 0);
        put32(out, header, cab_checksum(bytes + header + 4, 4, sum));
      }
    }
  }
  put32(out, 8, static_cast<uint32_t>(out.size()));
  return built;
}

}  // namespace quillary::testing
