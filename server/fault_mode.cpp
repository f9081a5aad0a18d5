#include "server/fault_mode.h"

#include "base/ascii_text.h"

namespace quillary::server {

bool parse_fault_mode(std::string_view text, fault_mode& out, std::string& reason) {
  out = fault_mode{};
  const size_t colon = text.find(':');
  const std::string_view name = text.substr(0, colon);
  const bool has_value = colon != std::string_view::npos;
  const std::string_view value = has_value ? text.substr(colon + 1) : std::string_view();

  struct row {
    const char* name;
    fault_kind kind;
    bool takes_value;
  };
  static const row rows[] = {
      {"status", fault_kind::status, true},     {"refuse", fault_kind::refuse, false},
      {"stall", fault_kind::stall, true},       {"truncate", fault_kind::truncate, true},
      {"oversize", fault_kind::oversize, false}, {"ignore-range", fault_kind::ignore_range, false},
      {"extra", fault_kind::extra, true},       {"bad-xml", fault_kind::bad_xml, false},
      {"rate", fault_kind::rate, true},
  };
  for (const auto& r : rows) {
    if (name != r.name) continue;
    if (r.takes_value != has_value) {
      reason = r.takes_value ? "fault mode " + std::string(name) + " needs a value after ':'"
                             : "fault mode " + std::string(name) + " takes no value";
      return false;
    }
    out.kind = r.kind;
    if (!r.takes_value) return true;
    if (!parse_decimal(value, out.value, 15)) {
      reason = "fault mode " + std::string(name) + ": \"" + std::string(value) + "\" is not a number";
      return false;
    }
    if (r.kind == fault_kind::status &&
        (out.value < 200 || out.value > 599 || out.value == 204 || out.value == 205 || out.value == 304)) {
      reason = "fault mode status: the code must be 200 to 599 and allow a body";
      return false;
    }
    if (r.kind == fault_kind::rate && out.value == 0) {
      reason = "fault mode rate: at least 1 byte per second";
      return false;
    }
    return true;
  }
  reason = "unknown fault mode \"" + std::string(text) + "\"";
  return false;
}

}  // namespace quillary::server
