// A hyperlink: a static control that shows its text underlined in the
// system's anchor colours (normal and visited; the disabled text colour when
// disabled), shows the hand cursor and a tool tip with the target, and opens
// the target through the shell on a click or on Enter or Space when focused.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/shell.h"
#include "ui/skin/palette.h"
#include "ui/window/window_win32.h"

namespace quillary {

// The anchor colours of the user's settings ("Anchor Color", "Anchor Color
// Visited" under the Internet Explorer settings key), with the browser's
// defaults where a value is missing or unreadable.
struct anchor_colours {
  COLORREF normal = RGB(0, 0, 255);
  COLORREF visited = RGB(128, 0, 128);
};
anchor_colours read_anchor_colours();
// "r,g,b" as the settings write it; false when malformed.
bool parse_anchor_colour(const std::u16string& text, COLORREF& colour);

class link_c : public window_c {
 public:
  ~link_c() override;

  // Creates the link as a child static control with `text`, opening `target`.
  HWND create(HWND parent, const RECT& rect, const std::u16string& text,
              const std::u16string& target, UINT id);
  // Takes over an existing static control (its text stays).
  bool subclass(HWND control, const std::u16string& target);

  const std::u16string& target() const { return target_; }
  // The shell that opens the target; the system's by default.
  void set_shell(shell_i* shell) { shell_ = shell; }
  void set_font(HFONT font);

  bool visited() const { return visited_; }
  HWND tool_tip() const { return tool_tip_; }
  COLORREF text_colour() const;

  // Opens the target as a click does; true when the shell started it.
  bool navigate();
  // A link that does something in the program instead of opening a
  // target: a click, Enter or Space, or the default action, calls it.
  void set_action(std::function<void()> action) { action_ = std::move(action); }
  // A link on a coloured band takes the band's text colour, not the
  // browser's anchor colours, which would not read there.
  void set_text_role(colour_role role) { text_role_ = role; }

  // A link named by its text, with its target as value.
  bool accessible_items(accessible_view& view) override;
  void do_accessible_action(int) override { navigate(); }

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  painting paint_style() const override { return painting::direct; }
  void on_paint(HDC dc, const RECT& client) override;

 private:
  void prepare();
  void make_underlined_font(HFONT base);

  std::u16string target_;
  std::function<void()> action_;
  std::optional<colour_role> text_role_;
  shell_i* shell_ = nullptr;
  anchor_colours colours_;
  HFONT underlined_ = nullptr;
  HWND tool_tip_ = nullptr;
  bool visited_ = false;
  bool pressed_ = false;
};

}  // namespace quillary
