// The client's narrow code page. The request says which OEM code page the
// client's system uses; its texts are in the matching ANSI code page, and the
// reply must be written in that code page too, because the client reads the
// bytes with its thread's ANSI code page whatever the XML declaration says.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace quillary::server {

struct code_page_info {
  int ansi_code_page;      // 1252, 932, ..., or 65001 for UTF-8
  const char* iconv_name;  // glibc's name of it
  const char* xml_name;    // what the reply's XML declaration calls it
};

// The ANSI code page that goes with an OEM code page (437 -> 1252, 866 ->
// 1251, 932 -> 932, 65001 -> UTF-8, ...); unknown values give 1252.
code_page_info code_page_for_oem(long oem_code_page);

// Converts between UTF-8 and one code page. Characters the target cannot
// hold, and bytes that are not valid in the source, become '?'.
class code_page_converter_c {
 public:
  code_page_converter_c() = default;
  ~code_page_converter_c();
  code_page_converter_c(const code_page_converter_c&) = delete;
  code_page_converter_c& operator=(const code_page_converter_c&) = delete;

  // False with a reason when iconv does not know the name.
  bool open(const char* iconv_name, std::string& reason);

  std::string from_utf8(std::string_view utf8) const;
  std::string to_utf8(std::string_view narrow) const;

 private:
  iconv_t from_utf8_ = reinterpret_cast<iconv_t>(-1);
  iconv_t to_utf8_ = reinterpret_cast<iconv_t>(-1);
};

}  // namespace quillary::server
