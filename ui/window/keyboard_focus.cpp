#include "ui/window/keyboard_focus.h"

#include <algorithm>

namespace quillary {

bool takes_focus(const accessible_item& part) {
  if (part.state & (accessible_state::invisible | accessible_state::unavailable)) return false;
  if (part.state & accessible_state::focusable) return true;
  switch (part.role) {
    case accessible_role::push_button:
    case accessible_role::check_button:
    case accessible_role::radio_button:
    case accessible_role::link:
      return true;
    default:
      return false;
  }
}

void add_focus_stops(uintptr_t owner, const accessible_view& view, std::vector<focus_stop>& stops) {
  for (const accessible_item& part : view.parts) {
    if (!takes_focus(part)) continue;
    stops.push_back(focus_stop{owner, part.id, part.window ? part.window : owner});
  }
}

std::optional<size_t> step_focus(const std::vector<focus_stop>& stops, const std::optional<focus_stop>& current,
                                 bool backwards) {
  if (stops.empty()) return std::nullopt;
  const size_t count = stops.size();
  const auto at = current ? std::find(stops.begin(), stops.end(), *current) : stops.end();
  if (at == stops.end()) return backwards ? count - 1 : 0;
  const size_t index = static_cast<size_t>(at - stops.begin());
  return backwards ? (index + count - 1) % count : (index + 1) % count;
}

std::optional<int> focused_part_of(const accessible_view& view, const std::optional<int>& remembered) {
  std::optional<int> first;
  for (const accessible_item& item : view.parts) {
    if (!takes_focus(item) || item.window) continue;
    if (remembered && item.id == *remembered) return item.id;
    if (!first) first = item.id;
  }
  return first;
}

void mark_keyboard_focus(accessible_view& view, const std::optional<int>& part) {
  for (accessible_item& item : view.parts) {
    if (!takes_focus(item)) continue;
    item.state |= accessible_state::focusable;
    // A part standing for a child window is focused as that window is.
    if (item.window) continue;
    if (part && item.id == *part) {
      item.state |= accessible_state::focused;
    } else {
      item.state &= ~accessible_state::focused;
    }
  }
}

void mark_focusable(accessible_view& view) {
  for (accessible_item& item : view.parts) {
    if (takes_focus(item)) item.state |= accessible_state::focusable;
  }
}

key_command command_of_key(unsigned key, bool shift) {
  switch (key) {
    case virtual_key::tab:
      return shift ? key_command::previous : key_command::next;
    case virtual_key::enter:
    case virtual_key::space:
      return key_command::press;
    case virtual_key::apps:
      return key_command::menu;
    case virtual_key::f10:
      return shift ? key_command::menu : key_command::none;
    default:
      return key_command::none;
  }
}

bool pressed_by_owner(const focus_stop& stop) { return stop.part != whole_window_part; }

namespace {

char16_t key_of(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - u'a' + u'A');
  if ((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) return c;
  return 0;
}

}  // namespace

std::vector<char16_t> choose_access_keys(const std::vector<std::u16string>& names) {
  std::vector<char16_t> keys(names.size(), 0);
  std::vector<char16_t> taken;
  const auto free = [&](char16_t key) { return key && std::find(taken.begin(), taken.end(), key) == taken.end(); };
  for (size_t i = 0; i < names.size(); ++i) {
    const std::u16string& name = names[i];
    if (name.empty() || std::find(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(i), name) !=
                            names.begin() + static_cast<std::ptrdiff_t>(i)) {
      continue;
    }
    char16_t chosen = 0;
    // The initials first: "Select all updates" takes S, or A, or U.
    for (size_t at = 0; at < name.size() && !chosen; ++at) {
      const bool initial = at == 0 || name[at - 1] == u' ' || name[at - 1] == u'-';
      if (initial && free(key_of(name[at]))) chosen = key_of(name[at]);
    }
    for (size_t at = 0; at < name.size() && !chosen; ++at) {
      if (free(key_of(name[at]))) chosen = key_of(name[at]);
    }
    keys[i] = chosen;
    if (chosen) taken.push_back(chosen);
  }
  return keys;
}

std::u16string access_key_text(char16_t key) { return key ? u"Alt+" + std::u16string(1, key) : std::u16string(); }

}  // namespace quillary
