#include "server/code_page.h"

#include <algorithm>
#include <cerrno>

namespace quillary::server {

namespace {

const iconv_t no_converter = reinterpret_cast<iconv_t>(-1);

// Length of the UTF-8 sequence that starts with this byte (1 for a stray
// continuation byte, so that the caller always moves on).
size_t utf8_sequence_length(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// Runs one iconv conversion over the whole input, writing '?' for what the
// converter refuses and skipping `skip(byte)` input bytes past it.
template <typename skip_function>
std::string convert(iconv_t converter, std::string_view input, skip_function skip) {
  std::string out;
  if (converter == no_converter) return out;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(input.data());
  size_t in_left = input.size();
  char buffer[4096];
  while (in_left > 0) {
    char* next = buffer;
    size_t out_left = sizeof buffer;
    const size_t result = iconv(converter, &in, &in_left, &next, &out_left);
    out.append(buffer, static_cast<size_t>(next - buffer));
    if (result != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (errno == EILSEQ) {
      out.push_back('?');
      const size_t n = std::min(in_left, skip(static_cast<unsigned char>(*in)));
      in += n;
      in_left -= n;
      continue;
    }
    // EINVAL: an incomplete sequence at the end of the input.
    out.push_back('?');
    break;
  }
  // Flush any shift state (none of the code pages used has one, but it costs
  // nothing).
  char* next = buffer;
  size_t out_left = sizeof buffer;
  iconv(converter, nullptr, nullptr, &next, &out_left);
  out.append(buffer, static_cast<size_t>(next - buffer));
  return out;
}

}  // namespace

code_page_info code_page_for_oem(long oem) {
  switch (oem) {
    case 852: return {1250, "CP1250", "windows-1250"};
    case 866: return {1251, "CP1251", "windows-1251"};
    case 737: return {1253, "CP1253", "windows-1253"};
    case 857: return {1254, "CP1254", "windows-1254"};
    case 862: return {1255, "CP1255", "windows-1255"};
    case 720: return {1256, "CP1256", "windows-1256"};
    case 775: return {1257, "CP1257", "windows-1257"};
    case 874: return {874, "CP874", "windows-874"};
    case 932: return {932, "CP932", "shift_jis"};
    case 936: return {936, "GBK", "gbk"};
    case 949: return {949, "CP949", "euc-kr"};
    case 950: return {950, "CP950", "big5"};
    case 65001: return {65001, "UTF-8", "UTF-8"};
    default: return {1252, "CP1252", "windows-1252"};  // 437, 850, 858 and the unknown
  }
}

code_page_converter_c::~code_page_converter_c() {
  if (from_utf8_ != no_converter) iconv_close(from_utf8_);
  if (to_utf8_ != no_converter) iconv_close(to_utf8_);
}

bool code_page_converter_c::open(const char* iconv_name, std::string& reason) {
  from_utf8_ = iconv_open(iconv_name, "UTF-8");
  to_utf8_ = iconv_open("UTF-8", iconv_name);
  if (from_utf8_ == no_converter || to_utf8_ == no_converter) {
    reason = std::string("code page ") + iconv_name + " is not available";
    return false;
  }
  return true;
}

std::string code_page_converter_c::from_utf8(std::string_view utf8) const {
  return convert(from_utf8_, utf8, utf8_sequence_length);
}

std::string code_page_converter_c::to_utf8(std::string_view narrow) const {
  return convert(to_utf8_, narrow, [](unsigned char) { return size_t{1}; });
}

}  // namespace quillary::server
