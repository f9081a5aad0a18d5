#include "server/target_os.h"

#include <string>
#include <tuple>
#include <vector>

#include "base/ascii_text.h"

namespace quillary::server {

namespace {

std::vector<std::string_view> split_dots(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t dot = text.find('.', start);
    if (dot == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, dot - start));
    start = dot + 1;
  }
}

// A number of at most `max_digits` digits in the given base ("0x" allowed for
// base 16); -1 when empty, -2 when malformed.
long read_number(std::string_view text, int base, size_t max_digits) {
  if (text.empty()) return -1;
  if (base == 16 && starts_with_ignore_case_ascii(text, "0x")) text.remove_prefix(2);
  uint64_t value = 0;
  const bool ok = base == 16 ? parse_hex(text, value, max_digits) : parse_decimal(text, value, max_digits);
  return ok ? static_cast<long>(value) : -2;
}

}  // namespace

bool parse_decoration(std::string_view text, target_decoration& out) {
  out = target_decoration{};
  text = trim_blanks(text);
  if (!starts_with_ignore_case_ascii(text, "NT")) return false;
  const auto parts = split_dots(text.substr(2));
  if (parts.size() > 6) return false;

  const std::string_view arch = parts[0];
  if (arch.empty()) {
    out.has_arch = false;
  } else if (equal_ignore_case_ascii(arch, "x86")) {
    out.has_arch = true;
  } else if (equal_ignore_case_ascii(arch, "amd64")) {
    out.has_arch = true;
    out.arch = cpu_arch::amd64;
  } else if (equal_ignore_case_ascii(arch, "arm64")) {
    out.has_arch = true;
    out.arch = cpu_arch::arm64;
  } else if (equal_ignore_case_ascii(arch, "ia64") || equal_ignore_case_ascii(arch, "arm")) {
    out.has_arch = true;
    out.arch = cpu_arch::other;
  } else {
    return false;
  }

  const auto field = [&parts](size_t i) { return i < parts.size() ? parts[i] : std::string_view(); };
  const long major = read_number(field(1), 10, 5);
  const long minor = read_number(field(2), 10, 5);
  const long product = read_number(field(3), 16, 8);
  const long suite = read_number(field(4), 16, 8);
  const long build = read_number(field(5), 10, 9);
  if (major == -2 || minor == -2 || product == -2 || suite == -2 || build == -2) return false;
  if (product > 3) return false;
  if (major >= 0) {
    out.major = static_cast<int>(major);
    out.minor = minor >= 0 ? static_cast<int>(minor) : 0;
  } else if (minor >= 0) {
    return false;  // a minor version without a major one means nothing
  }
  out.product_type = product > 0 ? static_cast<int>(product) : 0;
  out.has_suite_mask = suite >= 0;
  out.build = build;
  return true;
}

client_os client_os_for(std::string_view code_name, long reported_build) {
  struct row {
    const char* name;
    cpu_arch arch;
    int major, minor, product_type;
    long build;        // the first release build
    long next_build;   // the first build that has another name; 0: none
  };
  // Windows 11 reports the version of Windows 10; the names part at its
  // first build. Windows 10 came to ARM64 PCs with build 16299.
  static const row rows[] = {
      {"WINXP", cpu_arch::x86, 5, 1, 1, 2600, 0},          {"WINXP64", cpu_arch::amd64, 5, 2, 1, 3790, 0},
      {"WIN2003", cpu_arch::x86, 5, 2, 3, 3790, 0},        {"WIN200364", cpu_arch::amd64, 5, 2, 3, 3790, 0},
      {"VISTA", cpu_arch::x86, 6, 0, 1, 6000, 0},          {"VISTA64", cpu_arch::amd64, 6, 0, 1, 6000, 0},
      {"WIN2008", cpu_arch::x86, 6, 0, 3, 6001, 0},        {"WIN200864", cpu_arch::amd64, 6, 0, 3, 6001, 0},
      {"WIN7", cpu_arch::x86, 6, 1, 1, 7600, 0},           {"WIN764", cpu_arch::amd64, 6, 1, 1, 7600, 0},
      {"WIN8", cpu_arch::x86, 6, 2, 1, 9200, 0},           {"WIN864", cpu_arch::amd64, 6, 2, 1, 9200, 0},
      {"WIN81", cpu_arch::x86, 6, 3, 1, 9600, 0},          {"WIN8164", cpu_arch::amd64, 6, 3, 1, 9600, 0},
      {"WIN10", cpu_arch::x86, 10, 0, 1, 10240, 22000},    {"WIN1064", cpu_arch::amd64, 10, 0, 1, 10240, 22000},
      {"WIN10ARM64", cpu_arch::arm64, 10, 0, 1, 16299, 22000},
      {"WIN11", cpu_arch::x86, 10, 0, 1, 22000, 0},        {"WIN1164", cpu_arch::amd64, 10, 0, 1, 22000, 0},
      {"WIN11ARM64", cpu_arch::arm64, 10, 0, 1, 22000, 0},
  };
  for (const auto& r : rows) {
    if (code_name != r.name) continue;
    const bool fits = reported_build >= r.build && (r.next_build == 0 || reported_build < r.next_build);
    return client_os{true, r.arch, r.major, r.minor, r.product_type, fits ? reported_build : r.build};
  }
  return client_os{};
}

bool decoration_fits(const target_decoration& decoration, const client_os& os) {
  if (!os.known) return false;
  if (decoration.arch != os.arch) return false;
  if (decoration.major >= 0) {
    if (std::tie(decoration.major, decoration.minor) > std::tie(os.major, os.minor)) return false;
    const bool same_version = decoration.major == os.major && decoration.minor == os.minor;
    if (same_version && decoration.build > os.build) return false;
  }
  if (decoration.product_type != 0) {
    const bool server = os.product_type != 1;
    const bool wants_server = decoration.product_type != 1;
    if (server != wants_server) return false;
  }
  return true;
}

uint32_t decoration_target_os(const target_decoration& decoration) {
  if (decoration.major >= 0) return static_cast<uint32_t>(decoration.major * 10 + decoration.minor);
  switch (decoration.arch) {
    case cpu_arch::amd64: return 52;
    case cpu_arch::arm64: return 100;
    default: return 50;
  }
}

int compare_specificity(const target_decoration& a, const target_decoration& b) {
  const auto key = [](const target_decoration& d) {
    return std::make_tuple(d.major, d.minor, d.build, d.product_type != 0, d.has_arch);
  };
  if (key(a) < key(b)) return -1;
  if (key(b) < key(a)) return 1;
  return 0;
}

}  // namespace quillary::server
