// The windowless skin buttons. A button is no window of its own: the window
// of class T that owns it keeps it in a sequence, draws it and routes the
// mouse to it (the caption buttons of ui_window_c<T>, the start button of the
// home page, a panel's action button). Its click action is a member function
// of T, called on the owning object.
#pragma once

#include <windows.h>

#include <string>

#include "app/language.h"
#include "platform/win32.h"
#include "ui/skin/button_geometry.h"
#include "ui/skin/button_rules.h"
#include "ui/skin/palette_win32.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/skin/skin_image_win32.h"
#include "ui/window/accessible_model.h"

namespace quillary {

template <typename T>
class button_c {
 public:
  using action_type = void (T::*)();

  button_c() = default;
  button_c(const button_c&) = delete;
  button_c& operator=(const button_c&) = delete;

  // Loads the three pictures (normal, hover, pressed) and keeps the
  // rectangle and the label.
  virtual bool create(HINSTANCE instance, int normal, int hover, int pressed, const RECT& place,
                      const std::u16string& label) {
    set_images(instance, normal, hover, pressed);
    rect = place;
    text = label;
    return true;
  }
  // Whether (x, y), relative to the area's top-left corner, is on the button.
  virtual bool hit_test(int x, int y, const RECT& area) = 0;
  virtual void draw_text(HDC dc, const RECT& box) = 0;
  // Draws the picture of the current state, then the label.
  virtual void draw(HDC dc, const RECT& area) = 0;
  virtual void set_images(HINSTANCE instance, int normal, int hover, int pressed) {
    images[0].load(instance, normal);
    images[1].load(instance, hover);
    images[2].load(instance, pressed);
  }
  virtual ~button_c() = default;

  // Runs the action on the owner.
  void click(T& owner) {
    if (action) (owner.*action)();
  }
  // Where the button lies in `area` (the owner's area the rectangle is
  // measured in), as hit_test finds it.
  virtual skin_box place_in(const RECT& /*area*/) const {
    return {rect.left, rect.top, rect.right, rect.bottom};
  }
  // The button as a screen reader's element, its rectangle in the area's
  // coordinates. Its name is the language text of `name_key`, looked up
  // now, or the label when there is no key.
  accessible_item accessible(int id, const RECT& area) const {
    accessible_item item;
    item.id = id;
    item.role = role;
    item.name = name_key ? text_of(name_key) : text;
    const skin_box box = place_in(area);
    item.rect = {box.left, box.top, box.right, box.bottom};
    if (state == button_state::pressed) item.state |= accessible_state::pressed;
    if (state == button_state::hover) item.state |= accessible_state::hot_tracked;
    if (role == accessible_role::link) item.state |= accessible_state::linked;
    item.default_action = text_of(role == accessible_role::link ? "access_open" : "access_press");
    return item;
  }
  // The picture of the current state at (x, y); in high contrast a plain
  // box of its size in the system's button colours.
  void draw_picture(HDC dc, int x, int y) const {
    const skin_image_c& image = current_image();
    if (!plain_skin()) {
      image.draw(dc, x, y);
      return;
    }
    const RECT box{x, y, x + image.width(), y + image.height()};
    draw_plain_box(dc, box, state == button_state::pressed);
    if (state == button_state::hover) {
      RECT inner = box;
      InflateRect(&inner, -1, -1);
      HBRUSH frame = CreateSolidBrush(colour_of(colour_role::button_frame));
      FrameRect(dc, &inner, frame);
      DeleteObject(frame);
    }
  }
  // The colour of the label on the picture of the current state.
  COLORREF label_colour() const {
    return plain_skin() && state == button_state::pressed ? colour_of(colour_role::top_button_selected)
                                                          : colour_of(colour_role::button_text);
  }
  const skin_image_c& current_image() const {
    const skin_image_c* set = shared_images ? shared_images : images;
    return set[state >= 0 && state <= 2 ? state : 0];
  }

  skin_image_c images[3];
  // Pictures owned elsewhere and used instead of `images`: hundreds of
  // buttons of one kind (the download panels') then share one set.
  const skin_image_c* shared_images = nullptr;
  int state = button_state::normal;
  RECT rect{};
  std::u16string text;
  action_type action = nullptr;
  // What a screen reader hears: the key of the button's name (null: the
  // label) and its role.
  const char* name_key = nullptr;
  accessible_role role = accessible_role::push_button;
};

// The glyph that stands for a caption button (named by its screen
// reader's key) in high contrast, where its picture is not drawn.
enum class caption_glyph { close, maximise, restore, minimise, menu };
inline caption_glyph caption_glyph_of(const char* name_key) {
  const std::string key = name_key ? name_key : "";
  if (key == "caption_close") return caption_glyph::close;
  if (key == "caption_maximise") return caption_glyph::maximise;
  if (key == "caption_restore") return caption_glyph::restore;
  if (key == "caption_minimise") return caption_glyph::minimise;
  return caption_glyph::menu;
}

// A caption button: its rectangle is measured from the area's right edge,
// so it keeps its place when the window is resized. No label.
template <typename T>
class system_button_c : public button_c<T> {
 public:
  bool hit_test(int x, int y, const RECT& area) override {
    return right_anchored_hit(this->rect, x, y, area);
  }
  skin_box place_in(const RECT& area) const override { return right_anchored_box(this->rect, area); }
  void draw_text(HDC, const RECT&) override {}
  void draw(HDC dc, const RECT& area) override {
    const skin_point at = right_anchored_image_origin(this->rect, area);
    if (!plain_skin()) {
      this->current_image().draw(dc, at.x, at.y);
      return;
    }
    // A plain box with the caption glyph drawn in lines (the system's own
    // glyphs need the Marlett font, which not every system has).
    const skin_box box = right_anchored_box(this->rect, area);
    draw_plain_box(dc, RECT{box.left, box.top, box.right, box.bottom}, this->state == button_state::pressed);
    HPEN pen = CreatePen(PS_SOLID, 2, this->label_colour());
    HGDIOBJ previous = SelectObject(dc, pen);
    const int x = (box.left + box.right) / 2, y = (box.top + box.bottom) / 2;
    const auto line = [dc](int x1, int y1, int x2, int y2) {
      MoveToEx(dc, x1, y1, nullptr);
      LineTo(dc, x2, y2);
    };
    switch (caption_glyph_of(this->name_key)) {
      case caption_glyph::close:
        line(x - 5, y - 5, x + 5, y + 5);
        line(x + 5, y - 5, x - 5, y + 5);
        break;
      case caption_glyph::maximise:
        line(x - 5, y - 5, x + 5, y - 5);
        line(x + 5, y - 5, x + 5, y + 5);
        line(x + 5, y + 5, x - 5, y + 5);
        line(x - 5, y + 5, x - 5, y - 5);
        break;
      case caption_glyph::restore:
        line(x - 5, y - 2, x + 3, y - 2);
        line(x + 3, y - 2, x + 3, y + 5);
        line(x + 3, y + 5, x - 5, y + 5);
        line(x - 5, y + 5, x - 5, y - 2);
        line(x - 2, y - 5, x + 6, y - 5);
        line(x + 6, y - 5, x + 6, y + 2);
        break;
      case caption_glyph::minimise:
        line(x - 5, y + 4, x + 5, y + 4);
        break;
      case caption_glyph::menu:
        line(x - 5, y - 2, x, y + 3);
        line(x, y + 3, x + 5, y - 2);
        break;
    }
    SelectObject(dc, previous);
    DeleteObject(pen);
  }
};

// A navigation button of the main window's header, with its label under
// the picture.
template <typename T>
class top_button_c : public button_c<T> {
 public:
  bool hit_test(int x, int y, const RECT&) override { return rect_contains(this->rect, x, y); }
  void draw_text(HDC dc, const RECT& box) override {
    RECT label = box;
    label.bottom -= 5;
    // Long German, Italian, Spanish and Portuguese labels need the regular
    // face to fit.
    const bool regular = is_language("de") || is_language("it") || is_language("es") ||
                         is_language("pt");
    HFONT font = regular ? font_verdana_8 : font_verdana_8_bold;
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    const int mode = SetBkMode(dc, TRANSPARENT);
    // On the skin's picture the pressed label is blue on white; on a plain
    // box it is the highlight's text.
    const COLORREF colour = SetTextColor(
        dc, plain_skin() ? this->label_colour()
            : this->state == button_state::pressed ? colour_of(colour_role::top_button_selected)
                                                    : colour_of(colour_role::button_text));
    DrawTextW(dc, wide(this->text), -1, &label, DT_SINGLELINE | DT_CENTER | DT_BOTTOM);
    SetTextColor(dc, colour);
    SetBkMode(dc, mode);
    if (previous) SelectObject(dc, previous);
  }
  void draw(HDC dc, const RECT&) override {
    this->draw_picture(dc, this->rect.left, this->rect.top);
    draw_text(dc, this->rect);
  }
};

// The home page's start button: as large as its picture, centred over the
// page less the side bar. No label (the pictures carry the words).
template <typename T>
class home_button_c : public button_c<T> {
 public:
  bool hit_test(int x, int y, const RECT& area) override {
    return rect_contains(box(area), x, y);
  }
  skin_box place_in(const RECT& area) const override { return box(area); }
  void draw_text(HDC, const RECT&) override {}
  void draw(HDC dc, const RECT& area) override {
    const skin_box at = box(area);
    this->draw_picture(dc, at.left, at.top);
    if (!plain_skin()) return;
    // The plain box has no words: its name stands on it.
    RECT label{at.left, at.top, at.right, at.bottom};
    const int mode = SetBkMode(dc, TRANSPARENT);
    const COLORREF colour = SetTextColor(dc, this->label_colour());
    HGDIOBJ previous = font_verdana_12_bold ? SelectObject(dc, font_verdana_12_bold) : nullptr;
    DrawTextW(dc, wide(this->name_key ? text_of(this->name_key) : this->text), -1, &label,
              DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    if (previous) SelectObject(dc, previous);
    SetTextColor(dc, colour);
    SetBkMode(dc, mode);
  }
  skin_box box(const RECT& area) const {
    return home_button_box(this->images[0].width(), this->images[0].height(), area);
  }
};

// A download panel's action button: right-anchored like a caption button,
// with a white label in the font selected into the device context.
template <typename T>
class download_button_c : public button_c<T> {
 public:
  bool hit_test(int x, int y, const RECT& area) override {
    return right_anchored_hit(this->rect, x, y, area);
  }
  skin_box place_in(const RECT& area) const override { return right_anchored_box(this->rect, area); }
  void draw_text(HDC dc, const RECT& box) override {
    RECT label = box;
    const int mode = SetBkMode(dc, TRANSPARENT);
    const COLORREF colour = SetTextColor(dc, this->label_colour());
    DrawTextW(dc, wide(this->text), -1, &label, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    SetTextColor(dc, colour);
    SetBkMode(dc, mode);
  }
  void draw(HDC dc, const RECT& area) override {
    const skin_point at = right_anchored_image_origin(this->rect, area);
    this->draw_picture(dc, at.x, at.y);
    const skin_box box = right_anchored_box(this->rect, area);
    draw_text(dc, RECT{box.left, box.top, box.right, box.bottom});
  }
};

}  // namespace quillary
