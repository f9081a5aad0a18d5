#include "server/byte_range.h"

#include "base/ascii_text.h"

namespace quillary::server {

byte_range parse_byte_range(std::string_view header, uint64_t size) {
  const byte_range whole{};
  header = trim_blanks(header);
  if (!starts_with_ignore_case_ascii(header, "bytes=")) return whole;
  const std::string_view ranges = trim_blanks(header.substr(6));
  if (ranges.find(',') != std::string_view::npos) return whole;
  const size_t dash = ranges.find('-');
  if (dash == std::string_view::npos) return whole;
  const std::string_view first_text = trim_blanks(ranges.substr(0, dash));
  const std::string_view last_text = trim_blanks(ranges.substr(dash + 1));

  if (first_text.empty()) {
    // A suffix: the last N bytes.
    uint64_t count = 0;
    if (!parse_decimal(last_text, count)) return whole;
    if (count == 0 || size == 0) return byte_range{range_kind::unsatisfiable, 0, 0};
    if (count > size) count = size;
    return byte_range{range_kind::partial, size - count, size - 1};
  }
  uint64_t first = 0;
  if (!parse_decimal(first_text, first)) return whole;
  uint64_t last = 0;
  if (last_text.empty()) {
    last = size == 0 ? 0 : size - 1;
  } else if (!parse_decimal(last_text, last) || last < first) {
    return whole;
  }
  if (first >= size) return byte_range{range_kind::unsatisfiable, 0, 0};
  if (last >= size) last = size - 1;
  return byte_range{range_kind::partial, first, last};
}

}  // namespace quillary::server
