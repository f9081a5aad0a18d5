#include "ui/window/accessible_model.h"

#include <string>

namespace quillary {

std::optional<size_t> part_of_child(const accessible_view& view, long child) {
  if (child < 1 || static_cast<size_t>(child) > view.parts.size()) return std::nullopt;
  return static_cast<size_t>(child - 1);
}

long accessible_hit(const std::vector<accessible_item>& parts, int x, int y) {
  for (size_t i = parts.size(); i-- > 0;) {
    const accessible_item& part = parts[i];
    if (part.state & accessible_state::invisible) continue;
    const accessible_rect& r = part.rect;
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return child_id_of(i);
  }
  return accessible_self;
}

long focused_child(const accessible_view& view) {
  for (size_t i = 0; i < view.parts.size(); ++i) {
    if (view.parts[i].state & accessible_state::focused) return child_id_of(i);
  }
  return accessible_self;
}

long accessible_navigate(const accessible_view& view, long start, accessible_direction direction) {
  const long count = static_cast<long>(view.parts.size());
  if (count == 0) return accessible_self;
  switch (direction) {
    case accessible_direction::first:
      return start == accessible_self ? 1 : accessible_self;
    case accessible_direction::last:
      return start == accessible_self ? count : accessible_self;
    case accessible_direction::next:
      return start >= 1 && start < count ? start + 1 : accessible_self;
    case accessible_direction::previous:
      return start > 1 && start <= count ? start - 1 : accessible_self;
  }
  return accessible_self;
}

// Chinese and Japanese write full-width punctuation without a space after
// it; Arabic has its own comma and semicolon.
std::u16string_view clause_separator(std::string_view code) {
  if (code == "cn" || code == "hk" || code == "jp") return u"；";
  if (code == "ar") return u"؛ ";
  return u"; ";
}

std::u16string_view list_separator(std::string_view code) {
  if (code == "cn" || code == "hk") return u"，";
  if (code == "jp") return u"、";
  if (code == "ar") return u"، ";
  return u", ";
}

std::u16string score_summary(std::u16string_view score_label, int score,
                             const std::vector<std::u16string>& legend, std::string_view code) {
  std::u16string text(score_label);
  text += u' ';
  for (char c : std::to_string(score)) text += static_cast<char16_t>(c);
  for (size_t i = 0; i < legend.size(); ++i) {
    text += i == 0 ? clause_separator(code) : list_separator(code);
    text += legend[i];
  }
  return text;
}

}  // namespace quillary
