// A child window that stacks panels (one window per row: a download row,
// say) from the top down, each as wide as the list, and scrolls them with
// its own vertical scroll bar, the scroll bar's arrows and pages, and the
// mouse wheel (15 pixels a notch). Scrolling and resizing move only the
// panels that show (a list of a thousand stays as quick as a short one);
// a panel out of sight may stand at an old place until it comes into view.
#pragma once

#include <windows.h>

#include "app/language.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <vector>

#include "ui/skin/panel_scroll.h"
#include "ui/window/keyboard_navigator_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {

// The base of a panel: its own window, its place in the list's content
// (x, y) and its own size. The owner sets the size before adding it.
class list_panel_c : public window_c {
 public:
  int panel_x = 0;
  int panel_y = 0;
  int panel_width = 0;
  int panel_height = 0;

  // Creates the panel's window as a visible child of the list.
  HWND create_panel(HWND list, const RECT& rect) {
    return create(panel_class(), list, u"",
                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, rect);
  }

 protected:
  virtual window_class_info panel_class() const = 0;
};

template <typename T>
class panel_list_c : public window_c {
 public:
  HWND create(HWND parent, const RECT& rect, UINT id) {
    window_class_info class_info;
    class_info.name = L"PanelList";
    class_info.style = CS_DBLCLKS;
    class_info.background = GetSysColorBrush(COLOR_WINDOW);
    HWND list = window_c::create(class_info, parent, u"",
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_CLIPCHILDREN | WS_TABSTOP,
                                 0, rect, id);
    if (!list) return nullptr;
    const RECT client = logical_client();
    scroll_.visible_height = client.bottom;
    width_ = client.right;
    ShowScrollBar(list, SB_VERT, FALSE);
    return list;
  }

  // A list of the panels, each a child window with its own element.
  bool accessible_items(accessible_view& view) override {
    view.self.role = accessible_role::list;
    view.self.name = text_of(accessible_name_key);
    return true;
  }
  const char* accessible_name_key = "access_packages";

  // Adds a panel below the others; null when its window cannot be made.
  T* add_panel(std::unique_ptr<T> panel) {
    RECT client = logical_client();
    const int y = scroll_.content_height;
    const RECT place{0, y - scroll_.position, client.right, y - scroll_.position + panel->panel_height};
    if (!panel->create_panel(handle(), place)) return nullptr;
    panel->panel_x = 0;
    panel->panel_y = scroll_.add_panel(panel->panel_width, panel->panel_height);
    slots_.push_back(panel_slot{panel->panel_y, panel->panel_height, place.top, client.right});
    panels_.push_back(std::move(panel));
    if (scroll_.content_height > client.bottom) {
      ShowScrollBar(handle(), SB_VERT, TRUE);
      update_scroll_bar();
    }
    return panels_.back().get();
  }

  // Destroys every panel and scrolls back to the top.
  void clear() {
    panels_.clear();
    slots_.clear();
    scroll_ = panel_scroll{0, 0, 0, scroll_.visible_height};
    ShowScrollBar(handle(), SB_VERT, FALSE);
  }

  const std::vector<std::unique_ptr<T>>& panels() const { return panels_; }
  const panel_scroll& scroll() const { return scroll_; }

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override {
    switch (message) {
      case WM_VSCROLL: {
        if (lparam) return false;  // not our own bar
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(handle(), SB_VERT, &info);
        const int wanted = scroll_.position_for(LOWORD(wparam), info.nTrackPos);
        if (wanted != scroll_.position) {
          scroll_.position = wanted;
          lay_out();
        }
        return true;
      }
      case WM_MOUSEWHEEL: {
        const int before = scroll_.position;
        if (scroll_.wheel(GET_WHEEL_DELTA_WPARAM(wparam))) lay_out();
        // A turn the list used is kept from the parent, which would scroll
        // as well; one it could not use (everything fits, or the list is at
        // its end) goes on to the parent through default processing.
        return scroll_.position != before;
      }
      case WM_DESTROY:
        panels_.clear();
        slots_.clear();
        return false;
      default:
        if (message == focus_into_view_message()) {
          show_panel_of(reinterpret_cast<HWND>(wparam));
          result = 0;
          return true;
        }
        return false;
    }
  }

  // Scrolls the panel that is `window` or holds it into view.
  void show_panel_of(HWND window) {
    for (size_t i = 0; i < panels_.size() && i < slots_.size(); ++i) {
      HWND panel = panels_[i]->handle();
      if (panel != window && !IsChild(panel, window)) continue;
      const int wanted = scroll_.position_showing(slots_[i].y, slots_[i].height);
      if (wanted != scroll_.position) {
        scroll_.position = wanted;
        lay_out();
      }
      return;
    }
  }


  // The panels' windows stand in device pixels of the old scale: each is
  // placed again when it shows (the size that follows moves those in sight).
  void on_scale_changed() override {
    for (panel_slot& slot : slots_) slot.width = -1;
  }

  bool on_size(UINT, int width, int height) override {
    scroll_.visible_height = height;
    width_ = width;
    if (scroll_.visible_height < scroll_.content_height) {
      ShowScrollBar(handle(), SB_VERT, TRUE);
      lay_out();
    } else {
      // Everything shows from the top: the position is 0 again.
      scroll_.position = 0;
      ShowScrollBar(handle(), SB_VERT, FALSE);
      move_panels();
    }
    return true;
  }

 private:

  void lay_out() {
    scroll_.clamp();
    move_panels();
    update_scroll_bar();
  }

  // Puts every panel that shows, or showed until now, in its place, all in
  // one batch; the rest wait out of sight until they come into view.
  void move_panels() {
    const std::vector<size_t> moves =
        panels_to_move(slots_, scroll_.position, scroll_.visible_height, width_);
    if (moves.empty()) return;
    HDWP batch = BeginDeferWindowPos(static_cast<int>(moves.size()));
    for (size_t i : moves) {
      if (!batch) break;
      const RECT r = scale().device_rect(RECT{panels_[i]->panel_x, slots_[i].top,
                                              panels_[i]->panel_x + slots_[i].width, slots_[i].top + slots_[i].height});
      batch = DeferWindowPos(batch, panels_[i]->handle(), nullptr, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch && EndDeferWindowPos(batch)) return;
    // The system could not make or keep the batch (and dropped it): one
    // move at a time.
    for (size_t i : moves) {
      const panel_slot& slot = slots_[i];
      place_child(panels_[i]->handle(), RECT{panels_[i]->panel_x, slot.top, panels_[i]->panel_x + slot.width,
                                             slot.top + slot.height});
    }
  }

  // Sets the bar's range, page and position. Drawing the bar costs more
  // than moving the panels in sight, and with many panels a wheel notch
  // seldom moves the thumb by a whole pixel: the bar is drawn again only
  // when its look changes, and then with the next paint, once however many
  // changes came before (a thousand panels added in a row).
  void update_scroll_bar() {
    SCROLLBARINFO before{};
    before.cbSize = sizeof before;
    const bool known = GetScrollBarInfo(handle(), OBJID_VSCROLL, &before) != FALSE;
    SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0,
                    scroll_.content_height, static_cast<UINT>(scroll_.visible_height),
                    scroll_.position, 0};
    SetScrollInfo(handle(), SB_VERT, &info, FALSE);
    SCROLLBARINFO after{};
    after.cbSize = sizeof after;
    if (!GetScrollBarInfo(handle(), OBJID_VSCROLL, &after)) {
      RedrawWindow(handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
      return;
    }
    if (known && looks_the_same(before, after)) return;
    RECT area = after.rcScrollBar;
    MapWindowPoints(nullptr, handle(), reinterpret_cast<POINT*>(&area), 2);
    RedrawWindow(handle(), &area, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
  }

  static bool looks_the_same(const SCROLLBARINFO& a, const SCROLLBARINFO& b) {
    if (!EqualRect(&a.rcScrollBar, &b.rcScrollBar) || a.xyThumbTop != b.xyThumbTop ||
        a.xyThumbBottom != b.xyThumbBottom) {
      return false;
    }
    return std::equal(std::begin(a.rgstate), std::end(a.rgstate), std::begin(b.rgstate));
  }

  std::vector<std::unique_ptr<T>> panels_;
  // Where each panel's window stands, by the panels' order.
  std::vector<panel_slot> slots_;
  panel_scroll scroll_;
  int width_ = 0;  // the list's client width
};

}  // namespace quillary
