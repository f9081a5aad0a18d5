// What a window shows to screen readers, apart from any window: the window's
// own element and a flat list of its parts (windowless buttons, texts, the
// panels' rows), each with a role, a name, a value, state bits, a rectangle
// and a default action. A window builds the list from its own state each
// time a client asks, so names are the current language's texts.
//
// Roles and states carry the numbers of Microsoft Active Accessibility
// (ROLE_SYSTEM_*, STATE_SYSTEM_* of oleacc.h), so that the thin Windows
// layer hands them on unchanged; its build checks that they agree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillary {

enum class accessible_role : int32_t {
  pane = 0x10,
  chart = 0x11,
  dialog = 0x12,
  grouping = 0x14,
  client = 0x0A,
  link = 0x1E,
  list = 0x21,
  list_item = 0x22,
  graphic = 0x28,
  static_text = 0x29,
  push_button = 0x2B,
  check_button = 0x2C,
  radio_button = 0x2D,
  progress_bar = 0x30,
};

namespace accessible_state {
constexpr uint32_t none = 0;
constexpr uint32_t unavailable = 0x1;
constexpr uint32_t selected = 0x2;
constexpr uint32_t focused = 0x4;
constexpr uint32_t pressed = 0x8;
constexpr uint32_t checked = 0x10;
constexpr uint32_t read_only = 0x40;
constexpr uint32_t hot_tracked = 0x80;
constexpr uint32_t invisible = 0x8000;
constexpr uint32_t focusable = 0x100000;
constexpr uint32_t selectable = 0x200000;
constexpr uint32_t linked = 0x400000;
constexpr uint32_t traversed = 0x800000;  // a link already followed
}  // namespace accessible_state

struct accessible_rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const accessible_rect&) const = default;
};

// Where an element's rectangle is measured from.
enum class accessible_origin {
  client,  // the window's client area (the parts a window paints)
  window,  // the window's top-left corner (the skinned frame's buttons)
};

struct accessible_item {
  // The window's own number for the part: handed back to it when the part's
  // default action runs. Not the child id a client sees.
  int id = 0;
  accessible_role role = accessible_role::static_text;
  std::u16string name;
  std::u16string value;
  std::u16string description;
  uint32_t state = accessible_state::none;
  accessible_rect rect;
  accessible_origin origin = accessible_origin::client;
  // What the default action does, in the current language; empty: none.
  std::u16string default_action;
  // The child window this part stands for (a check box of the system's
  // class, whose own object tells a client nothing): the window is then not
  // listed beside the parts. Zero: none.
  uintptr_t window = 0;
};

// The window's element and its parts in reading order (the order of
// navigation too).
struct accessible_view {
  accessible_item self;
  std::vector<accessible_item> parts;
};

// Child ids: 0 is the window's element itself, 1.. the parts in order.
constexpr long accessible_self = 0;
inline long child_id_of(size_t index) { return static_cast<long>(index) + 1; }
// The part of a child id; none for the element itself or an id out of range.
std::optional<size_t> part_of_child(const accessible_view& view, long child);

// The child id of the last part under (x, y) (parts drawn later lie on top),
// 0 when none is, among parts whose rectangles share one origin with the
// point. Invisible parts are never hit.
long accessible_hit(const std::vector<accessible_item>& parts, int x, int y);

// The child id of the part that has the keyboard focus, 0 when none has.
long focused_child(const accessible_view& view);

// Navigation among the parts, as accNavigate asks for it.
enum class accessible_direction { next, previous, first, last };
// The child id reached from `start` (0: from the element itself, which only
// first and last leave); 0 when there is none that way.
long accessible_navigate(const accessible_view& view, long start, accessible_direction direction);

// The separators between the parts of a composed name in a language by its
// two-letter code: between clauses and between items of a list.
std::u16string_view clause_separator(std::string_view language_code);
std::u16string_view list_separator(std::string_view language_code);

// "Driver score 44; Out of date: 1, No driver: 1, Up to date: 4" from the
// score's label, the score and the three legend texts already filled in.
std::u16string score_summary(std::u16string_view score_label, int score,
                             const std::vector<std::u16string>& legend,
                             std::string_view language_code);

}  // namespace quillary
