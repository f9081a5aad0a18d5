#include "base/inf_driver_ver.h"

#include "base/ascii_text.h"

namespace quillary {

bool normalize_inf_date(std::string_view text, std::string& out) {
  const size_t first = text.find_first_of("/-");
  if (first == std::string_view::npos) return false;
  const size_t second = text.find_first_of("/-", first + 1);
  if (second == std::string_view::npos) return false;
  const std::string_view month = text.substr(0, first);
  const std::string_view day = text.substr(first + 1, second - first - 1);
  const std::string_view year = text.substr(second + 1);
  uint64_t m, d, y;
  if (!parse_decimal(month, m, 2) || !parse_decimal(day, d, 2) || !parse_decimal(year, y, 4) || year.size() != 4) {
    return false;
  }
  if (m < 1 || m > 12 || d < 1 || d > 31) return false;
  out = std::string(year) + "-" + (m < 10 ? "0" : "") + std::to_string(m) + "-" + (d < 10 ? "0" : "") +
        std::to_string(d);
  return true;
}

bool parse_driver_version(std::string_view text, std::array<uint32_t, 4>& parts) {
  parts = {};
  size_t count = 0;
  size_t start = 0;
  while (true) {
    const size_t dot = text.find('.', start);
    const std::string_view part = text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    uint64_t number;
    if (count == parts.size() || !parse_decimal(part, number, 5)) return false;
    parts[count++] = static_cast<uint32_t>(number);
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

bool read_inf_driver_ver(const inf_file_c& inf, inf_driver_ver& out, std::string& reason) {
  out = inf_driver_ver{};
  const inf_section* version = inf.find_section("Version");
  if (version == nullptr) {
    reason = "no [Version] section";
    return false;
  }
  const inf_line* driver_ver = nullptr;
  // Of several DriverVer lines Windows reads the first, as it does any key.
  for (const auto& line : version->lines) {
    if (line.has_key && equal_ignore_case_ascii(line.key, "DriverVer")) {
      driver_ver = &line;
      break;
    }
  }
  if (driver_ver == nullptr || !normalize_inf_date(trim_blanks(driver_ver->fields[0]), out.date)) {
    reason = "no valid DriverVer date";
    return false;
  }
  out.version = driver_ver->fields.size() > 1 ? std::string(trim_blanks(driver_ver->fields[1])) : std::string();
  if (out.version.empty()) out.version = "0.0.0.0";
  std::array<uint32_t, 4> parts;
  if (!parse_driver_version(out.version, parts)) {
    reason = "DriverVer version \"" + out.version + "\" is not a version";
    return false;
  }
  return true;
}

}  // namespace quillary
