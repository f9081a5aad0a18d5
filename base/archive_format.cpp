#include "base/archive_format.h"

#include <cstdint>

namespace quillary {
namespace {

constexpr std::string_view cabinet_signature = "MSCF";

uint16_t u16_at(std::string_view bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                               (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

// CFHEADER: the version bytes at 24 (minor) and 25 (major), the flags at 30.
constexpr size_t version_minor_at = 24;
constexpr size_t version_major_at = 25;
constexpr size_t flags_at = 30;
constexpr uint16_t previous_cabinet_flag = 0x0001;
constexpr uint16_t next_cabinet_flag = 0x0002;

}  // namespace

archive_format archive_format_of(std::string_view first_bytes) {
  if (first_bytes.starts_with(cabinet_signature)) return archive_format::cabinet;
  // A local file header (PK\3\4), or the end of central directory record
  // that is all of an empty archive (PK\5\6); a spanned archive's marker
  // (PK\7\8) comes before a local header.
  if (first_bytes.size() >= 4 && first_bytes.starts_with("PK")) {
    const char third = first_bytes[2], fourth = first_bytes[3];
    if ((third == 3 && fourth == 4) || (third == 5 && fourth == 6) || (third == 7 && fourth == 8)) {
      return archive_format::zip;
    }
  }
  return archive_format::unknown;
}

cabinet_header_verdict check_cabinet_header(std::string_view first_bytes) {
  if (first_bytes.size() < cabinet_signature.size()) {
    return cabinet_signature.starts_with(first_bytes) ? cabinet_header_verdict::too_short
                                                      : cabinet_header_verdict::not_cabinet;
  }
  if (!first_bytes.starts_with(cabinet_signature)) return cabinet_header_verdict::not_cabinet;
  if (first_bytes.size() < archive_header_size) return cabinet_header_verdict::too_short;
  if (first_bytes[version_major_at] != 1 || first_bytes[version_minor_at] != 3) {
    return cabinet_header_verdict::unsupported;
  }
  if (u16_at(first_bytes, flags_at) & (previous_cabinet_flag | next_cabinet_flag)) {
    return cabinet_header_verdict::in_a_set;
  }
  return cabinet_header_verdict::whole;
}

}  // namespace quillary
