// An INF file read into sections and lines, with its string tokens
// substituted. This knows the INF syntax only; the DriverVer directive is
// read by inf_driver_ver.h, and what the other sections mean for a driver
// by the service (server/inf_driver.h).
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillary {

struct inf_line {
  bool has_key = false;             // the line had an '=' outside quotes
  std::string key;                  // unquoted, tokens substituted
  std::vector<std::string> fields;  // the comma-separated values, likewise
  int line_number = 0;              // first physical line, from 1
};

struct inf_section {
  std::string name;  // as first spelled in the file
  std::vector<inf_line> lines;
};

class inf_file_c {
 public:
  // Reads UTF-8 text (see decode_inf_bytes). Syntax rules: ';' outside
  // quotes starts a comment; a '\' at the end of a line joins the next one;
  // "" inside quotes is one quote; %token% is replaced from the [Strings]
  // sections (%% is a percent sign, unknown tokens stay as written); sections
  // of the same name are merged; a NUL ends its line, Ctrl-Z the text. Fails with a
  // reason on an unclosed section header, an unclosed quote, or text before
  // the first section.
  bool parse(std::string_view text, std::string& reason);

  // Section by name, without regard to case; null when absent.
  const inf_section* find_section(std::string_view name) const;
  const std::vector<inf_section>& sections() const { return sections_; }

  // The first field of the first line in `section` whose key equals `key`
  // (without regard to case); empty when there is none.
  std::string value_of(std::string_view section, std::string_view key) const;

 private:
  std::vector<inf_section> sections_;
  std::unordered_map<std::string, size_t> index_;  // upper-case name -> section
};

}  // namespace quillary
