// MD5 (RFC 1321), written as 32 lower-case hexadecimal digits: the names of
// downloaded packages and the matching of driver-store folders use it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillary {

class md5_c {
 public:
  md5_c();
  void update(const void* data, size_t size);
  // The digest of everything given so far; the object is spent afterwards.
  std::array<uint8_t, 16> finish();

 private:
  void transform(const uint8_t block[64]);
  uint32_t state_[4];
  uint64_t length_ = 0;  // bytes
  uint8_t buffer_[64];
};

std::string md5_hex(std::string_view data);
std::string to_hex(const std::array<uint8_t, 16>& digest);
// Bytes as lower-case hexadecimal digits, two per byte.
std::string hex_text(const uint8_t* bytes, size_t size);

}  // namespace quillary
