#include "app/package_block.h"

#include "base/ascii_text.h"
#include "base/utf8.h"

namespace quillary {
namespace {

bool is_blank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view trimmed(std::u16string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

bool has_control_character(std::u16string_view text) {
  for (const char16_t c : text) {
    if ((c < 0x20 && c != u'\t') || c == 0x7F) return true;
  }
  return false;
}

}  // namespace

bool is_dotted_version(std::u16string_view text) {
  size_t parts = 0, digits = 0;
  for (const char16_t c : text) {
    if (c == u'.') {
      if (digits == 0) return false;
      ++parts;
      digits = 0;
    } else if (c >= u'0' && c <= u'9') {
      if (++digits > 9) return false;
    } else {
      return false;
    }
  }
  return digits > 0 && parts < 4;
}

bool parse_package_block(std::u16string_view text, package_block& out, std::string& why) {
  text = trimmed(text);
  if (text.empty()) {
    why = "is empty";
    return false;
  }
  if (has_control_character(text)) {
    why = "contains a control character";
    return false;
  }
  package_block rule;
  rule.text.assign(text);
  const std::string narrow = utf16_to_utf8(text);
  if (starts_with_ignore_case_ascii(narrow, "http://") || starts_with_ignore_case_ascii(narrow, "https://")) {
    for (const char16_t c : text) {
      if (c > 0x7E || is_blank(c)) {
        why = "is a link with a blank or a character beyond ASCII (links are compared as the service sends them)";
        return false;
      }
    }
    rule.what = package_block::kind::link;
    rule.link = narrow;
    out = std::move(rule);
    return true;
  }

  rule.what = package_block::kind::hardware_id;
  const size_t blank = text.find_first_of(u" \t");
  rule.hardware_id.assign(text.substr(0, blank));
  if (blank == std::u16string_view::npos) {
    out = std::move(rule);
    return true;
  }
  const std::u16string_view range = trimmed(text.substr(blank));
  const size_t dash = range.find(u'-');
  if (dash == std::u16string_view::npos) {
    if (!is_dotted_version(range)) {
      why = "names a version that is not one to four dotted numbers";
      return false;
    }
    rule.lowest = rule.highest = std::u16string(range);
  } else {
    const std::u16string_view lowest = trimmed(range.substr(0, dash)), highest = trimmed(range.substr(dash + 1));
    if ((lowest.empty() && highest.empty()) || (!lowest.empty() && !is_dotted_version(lowest)) ||
        (!highest.empty() && !is_dotted_version(highest))) {
      why = "has a version range whose ends are not one to four dotted numbers";
      return false;
    }
    rule.lowest.assign(lowest);
    rule.highest.assign(highest);
  }
  out = std::move(rule);
  return true;
}

}  // namespace quillary
