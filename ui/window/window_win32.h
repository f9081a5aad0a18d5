// The program's own small window layer. Every window and dialog of the
// program is a C++ object derived from window_c; the system's window
// procedure finds the object through a window property and hands each
// message to its virtual handle_message, the object's message map:
//
//   bool handle_message(UINT message, WPARAM wparam, LPARAM lparam,
//                       LRESULT& result) override {
//     switch (message) {
//       case WM_SETFOCUS: SetFocus(child_); return true;  // handled; result 0
//       case WM_SHOWWINDOW: refill(); return false;       // and default processing
//     }
//     return base::handle_message(message, wparam, lparam, result);
//   }
//
// What nearly every window does alike the base does itself, for messages
// the map leaves: painting (BeginPaint, EndPaint and, for a window that asks
// for it, the off-screen bitmap), erasing the background, and handing on
// sizes, timers and commands:
//
//   painting paint_style() const override { return painting::buffered; }
//   void on_paint(HDC dc, const RECT& client) override { ... }
//   bool on_size(UINT kind, int width, int height) override { ... }
//   bool on_timer(UINT_PTR id) override { ... }
//   bool on_command(int id, int code, HWND from) override { ... }
//
// Every size a window deals in is in logical pixels (display_scale.h): the
// base scales what it draws, the client size it reports and the windows it
// places by the window's scale(), and follows the window to a display of
// another scale (WM_DPICHANGED), giving on_scale_changed to each window.
//
// and, for screen readers, the window's accessible object (WM_GETOBJECT for
// OBJID_CLIENT), for a window that describes what it draws:
//
//   bool accessible_items(accessible_view& view) override { ... return true; }
//   void do_accessible_action(int id) override { ... the click's member ... }
//
// A message that no handler takes gets default processing: DefWindowProc for
// windows of our own classes, the control's original procedure for
// subclassed controls, and the dialog manager for dialogs. A class that
// mixes in a second message map (the skinned frame) calls it first.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/window/accessible_model.h"
#include "ui/window/display_scale.h"

namespace quillary {

class accessible_object_c;

// What a window class of ours looks like; registered on first use.
struct window_class_info {
  const wchar_t* name = nullptr;
  UINT style = 0;
  HCURSOR cursor = nullptr;       // null: the arrow
  HBRUSH background = nullptr;    // null: the window paints its background itself
  HICON icon = nullptr;
  HICON small_icon = nullptr;
};

class window_c {
 public:
  window_c() = default;
  // Destroys the window when it still exists, so that no message reaches a
  // dead object.
  virtual ~window_c();
  window_c(const window_c&) = delete;
  window_c& operator=(const window_c&) = delete;

  HWND handle() const { return window_; }

  // The scale of the display the window is on: its pixels per logical one.
  display_scale scale() const { return scale_; }
  // The client area in logical pixels, from (0, 0).
  RECT logical_client() const;
  // A mouse message's position (client coordinates) in logical pixels.
  POINT logical_point(LPARAM lparam) const;
  // Places a child window, ours or the system's, at a rectangle given in
  // this window's logical pixels (SetWindowPos's flags; SWP_NOZORDER and
  // SWP_NOACTIVATE always).
  void place_child(HWND child, const RECT& logical, UINT flags = 0) const;
  // Sizes this window to `width` × `height` logical pixels, where it is.
  void set_logical_size(int width, int height) const;
  // The window and every window of ours inside it take `scale`: each hears
  // on_scale_changed, then the window takes `device_rect` (in its parent's
  // or the screen's pixels) and everything is drawn again. What
  // WM_DPICHANGED does with the system's suggested rectangle.
  void rescale(display_scale scale, const RECT& device_rect);

  // How the base answers WM_PAINT for the window.
  enum class painting {
    none,      // default processing: the window draws nothing itself
    direct,    // on_paint draws on the window between BeginPaint and EndPaint
    buffered,  // on_paint draws into an off-screen bitmap of the client area,
               // white beneath, copied to the window at once: no flicker
  };

  // Creates a window of the class `class_info` (registering it in the calling
  // module first) whose messages come to this object. `id` is the child's
  // control id (or the menu of a top-level window). Null on failure.
  HWND create(const window_class_info& class_info, HWND parent, const std::u16string& title,
              DWORD style, DWORD ex_style, const RECT& rect, UINT_PTR id = 0);

  // Takes over the messages of an existing window (a control of a dialog
  // template, say); what this object leaves goes to the old procedure.
  bool subclass(HWND window);
  // Gives the window its old procedure back; the window lives on.
  void unsubclass();

  // Destroys the window (if any); the object stays and may create again.
  void destroy();

  // The object of a window of ours, or null.
  static window_c* from_handle(HWND window);

  // What the window shows to screen readers, built now from its state: its
  // own element and its windowless parts. False (the default): the window
  // has no accessible object of its own, and the system's standard one
  // answers for it.
  virtual bool accessible_items(accessible_view& /*view*/) { return false; }
  // Runs the default action of the part `id` (or of the window's own
  // element, by its id) exactly as a click does. Called on the window's
  // thread from a posted message, never from inside the client's call.
  virtual void do_accessible_action(int /*id*/) {}

  // The view as clients read it: accessible_items, with the keyboard focus
  // marked on the part that has it (keyboard_focus.h). False as
  // accessible_items is.
  bool describe(accessible_view& view);
  // The windowless part that the keyboard focus rests on while the window
  // has the system's focus (none: the window's first control).
  std::optional<int> focused_part() const { return focused_part_; }
  void set_focused_part(std::optional<int> part) { focused_part_ = part; }
  // The keyboard focus came, went or moved among the window's parts: its
  // focus rectangle is drawn again. The default repaints the client area.
  virtual void on_keyboard_focus_moved();

 protected:
  // The message map. True when the message is handled and `result` is its
  // answer; false sends it on to default processing.
  virtual bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  // Default processing, for handlers that want it first and then add to it.
  virtual LRESULT default_message(UINT message, WPARAM wparam, LPARAM lparam);
  // Called after the last message (WM_NCDESTROY); the handle is gone.
  virtual void on_final_message() {}

  // The base's handlers, for what the message map leaves (see above).
  virtual painting paint_style() const { return painting::none; }
  // Draws the client area `client` (the whole of it, from (0, 0)) on `dc`.
  virtual void on_paint(HDC /*dc*/, const RECT& /*client*/) {}
  // WM_ERASEBKGND: true when the background is done (the answer is 1),
  // false for default processing. A buffered window's painting covers the
  // whole client area, so by default it erases nothing: erasing first would
  // flash the background before each paint.
  virtual bool on_erase_background(HDC dc);
  // WM_SIZE, WM_TIMER and WM_COMMAND: true when handled (the answer is 0),
  // false for default processing. `kind` is SIZE_RESTORED, SIZE_MAXIMIZED,
  // ...; `code` the notification code, `from` the control (null for menus
  // and accelerators).
  virtual bool on_size(UINT /*kind*/, int /*width*/, int /*height*/) { return false; }
  virtual bool on_timer(UINT_PTR /*id*/) { return false; }
  virtual bool on_command(int /*id*/, int /*code*/, HWND /*from*/) { return false; }
  // The window's scale() changed (before its new size arrives): fonts
  // made for the system's controls are made again, pictures chosen for the
  // old scale are chosen again.
  virtual void on_scale_changed() {}
  // Draws the client area on `dc` as on_paint does, for WM_PRINTCLIENT.
  void print_client(HDC dc);

  // For dialog_c, which receives its handle with WM_INITDIALOG.
  void attach(HWND window);
  void detach();

 private:
  static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK subclass_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT dispatch(UINT message, WPARAM wparam, LPARAM lparam);
  // The message map, then the base's own handlers for what it leaves.
  bool take_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  bool handle_plumbing(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  void paint_client();
  // The focus rectangle around the focused windowless part of the client
  // area, drawn last over what on_paint drew.
  void draw_keyboard_focus(HDC dc);
  bool answer_get_object(WPARAM wparam, LPARAM lparam, LRESULT& result);
  // Tells clients what changed since they were last told: a part's (or the
  // window's own) name, value or state, or parts come and gone. Checked
  // when the window paints, which every change the window shows makes it
  // do, and only once a client has asked for the window's object.
  void announce_changes();
  struct announced_item;
  static std::vector<announced_item> announced_items(const accessible_view& view);
  friend class dialog_c;  // its dialog procedure takes messages the same way

  HWND window_ = nullptr;
  WNDPROC original_ = nullptr;  // set while subclassing
  bool in_slot_ = false;        // the object is in the window's extra bytes
  // Made on the first WM_GETOBJECT, disconnected when the window ends.
  accessible_object_c* accessible_ = nullptr;
  struct announced_item {
    std::u16string name;
    std::u16string value;
    uint32_t state = 0;
    bool operator==(const announced_item&) const = default;
  };
  std::vector<announced_item> announced_;  // the window's element, then its parts
  std::optional<int> focused_part_;
  display_scale scale_;
};

// A dialog from a template: a resource of the program or one built in
// memory (dialog_template_c). Modal dialogs run the system's dialog loop.
class dialog_c : public window_c {
 public:
  // Runs the dialog modally; the value given to end_dialog, or -1 when the
  // dialog cannot be created.
  INT_PTR run_modal(HINSTANCE instance, int template_id, HWND parent);
  INT_PTR run_modal(const DLGTEMPLATE* dialog_template, HWND parent);
  // Creates the dialog modeless; null on failure.
  HWND create_modeless(HINSTANCE instance, int template_id, HWND parent);
  HWND create_modeless(const DLGTEMPLATE* dialog_template, HWND parent);

  // Ends a modal run with `result` (a modeless dialog is destroyed).
  void end_dialog(INT_PTR result);

 protected:
  LRESULT default_message(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  static INT_PTR CALLBACK dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  bool modal_ = false;
};

// Builds a dialog template in memory, for dialogs whose layout the program
// makes itself. Sizes are dialog units, as in a resource script.
class dialog_template_c {
 public:
  dialog_template_c(DWORD style, DWORD ex_style, short x, short y, short cx, short cy,
                    const std::u16string& title, const std::u16string& font_face = u"MS Shell Dlg",
                    WORD font_points = 8);
  // A control of one of the system's classes by atom (0x0080 button,
  // 0x0081 edit, 0x0082 static, ...) or by name.
  void add_item(WORD atom, WORD id, DWORD style, short x, short y, short cx, short cy,
                const std::u16string& text);
  void add_item(const std::u16string& class_name, WORD id, DWORD style, short x, short y, short cx,
                short cy, const std::u16string& text);
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void add_item_header(WORD id, DWORD style, short x, short y, short cx, short cy);
  void add_text(const std::u16string& text);
  void align_dword();
  std::vector<WORD> words_;
};

// The window's text. GetWindowTextW may copy fewer characters than
// GetWindowTextLengthW promised (the length may count a wider encoding, or
// the text may change in between): only the characters copied count.
std::u16string window_text(HWND window);

// Centres `window` on `owner` (on its restored rectangle when it is
// minimised or hidden), or on the work area of the monitor nearest to the
// window when there is no owner; the window stays inside the work area of
// the owner's monitor either way.
void centre_window(HWND window, HWND owner);

// Where a menu opened at (x, y) goes across: a point on no monitor goes into
// the horizontal range of the nearest monitor's work area.
int clamped_menu_x(int x, int y);

}  // namespace quillary
