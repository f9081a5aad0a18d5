#include "devices/device_record.h"

#include <cstdio>

#include "platform/text.h"

namespace quillary {

std::u16string guid_text(const class_guid& guid) {
  const uint8_t* b = guid.bytes;
  char text[40];
  std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12],
                b[13], b[14], b[15]);
  return ascii_to_utf16(text);
}

bool parse_guid(std::u16string_view text, class_guid& out) {
  // Hex digit positions of the 16 bytes in "{00112233-4455-6677-8899-AABBCCDDEEFF}",
  // in memory order (the first three groups are little-endian numbers).
  static constexpr int positions[16] = {7, 5, 3, 1, 12, 10, 17, 15, 20, 22, 25, 27, 29, 31, 33, 35};
  if (text.size() != 38 || text[0] != u'{' || text[37] != u'}' || text[9] != u'-' ||
      text[14] != u'-' || text[19] != u'-' || text[24] != u'-') {
    return false;
  }
  auto hex = [](char16_t c) -> int {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
  };
  class_guid guid;
  for (int i = 0; i < 16; ++i) {
    const int high = hex(text[positions[i]]), low = hex(text[positions[i] + 1]);
    if (high < 0 || low < 0) return false;
    guid.bytes[i] = static_cast<uint8_t>(high << 4 | low);
  }
  out = guid;
  return true;
}

std::u16string fit(std::u16string_view text, size_t capacity) {
  return std::u16string(text.substr(0, capacity == 0 ? 0 : capacity - 1));
}

device_record* find_device(std::vector<device_record>& devices, std::u16string_view device_id) {
  for (auto& record : devices) {
    if (record.device_id == device_id) return &record;
  }
  return nullptr;
}

}  // namespace quillary
