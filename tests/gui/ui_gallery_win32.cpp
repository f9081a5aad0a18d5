// ui_gallery: shows the skin's widgets on their own, to look at them and to
// drive them from outside in the GUI tests.
//
//   ui_gallery render DIR        writes PNG screenshots into DIR:
//                                message-box-typeN-LANG.png (types 0 to 4 in
//                                en, ja and ar), skin-frame.png, panel-list.png,
//                                pie-chart.png
//   ui_gallery message TYPE [LANGUAGE]   shows one message box (title "") and
//                                exits with its answer
//   ui_gallery owned-message TYPE   shows a window titled "Message owner",
//                                minimises it, shows a message box over it,
//                                prints "owner enabled" (or "owner disabled")
//                                when the box has gone, and exits with its
//                                answer
//   ui_gallery frame             shows a skinned window titled "Skin frame" with
//                                close, maximise, minimise and menu caption
//                                buttons; prints each click ("close", "maximise",
//                                "minimise", "menu"); the close button ends the
//                                program
//
// Texts come from language.ini beside the program, the language's section
// first and English for what it lacks.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "app/language.h"
#include "app/program_folder.h"
#include "platform/win32.h"
#include "tests/gui/capture_win32.h"
#include "tests/ui/ui_test_support_win32.h"
#include "ui/skin/message_window_win32.h"
#include "ui/skin/panel_list_win32.h"
#include "ui/skin/pie_chart_win32.h"
#include "ui/skin/skin_colours.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/skin/ui_window_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {
namespace {
using testing::pump;

void use_language(const std::u16string& name) {
  language_table() = language_table_c();
  const std::u16string file = program_folder() + u"\\language.ini";
  language_table().load_file(file, name, true);
  language_table().load_file(file, u"English", false);
}

bool save_window(HWND window, const std::wstring& path, bool client_only = false) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const bool saved = gui::save_window_png(window, path, client_only);
  std::wprintf(L"%ls %ls\n", saved ? L"wrote" : L"FAILED", path.c_str());
  return saved;
}

// --- a skinned frame ------------------------------------------------------------

class gallery_frame_c : public window_c, public ui_window_c<gallery_frame_c> {
 public:
  gallery_frame_c() : ui_window_c<gallery_frame_c>(30) {}
  ~gallery_frame_c() override { destroy(); }

  bool open(const RECT& place, bool quit_on_close) {
    quit_on_close_ = quit_on_close;
    window_class_info class_info;
    class_info.name = L"SkinFrame";
    class_info.style = CS_DBLCLKS;
    class_info.background = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    if (!create(class_info, nullptr, u"Skin frame",
                WS_CAPTION | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 0,
                place)) {
      return false;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    add(instance, {286, 287, 288}, 0, &gallery_frame_c::close_clicked);
    add(instance, {280, 281, 282}, 30, &gallery_frame_c::maximise_clicked);
    add(instance, {277, 278, 279}, 60, &gallery_frame_c::minimise_clicked);
    add(instance, {274, 275, 276}, 90, &gallery_frame_c::menu_clicked);
    set_window_region();
    ShowWindow(handle(), SW_SHOWNORMAL);
    UpdateWindow(handle());
    return true;
  }

 protected:
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override {
    if (handle_frame_message(message, wparam, lparam, result)) return true;
    if (message == WM_DESTROY && quit_on_close_) PostQuitMessage(0);
    return false;
  }
  bool on_size(UINT, int, int) override {
    set_window_region();
    return false;
  }

 private:
  struct images {
    int normal, hover, pressed;
  };
  void add(HINSTANCE instance, images pictures, int from_right, void (gallery_frame_c::*action)()) {
    auto button = std::make_unique<system_button_c<gallery_frame_c>>();
    RECT r{from_right, 0, from_right + 30, 21};
    OffsetRect(&r, frame_height, frame_width);
    button->create(instance, pictures.normal, pictures.hover, pictures.pressed, r, u"");
    button->action = action;
    add_button(std::move(button));
  }
  void report(const char* what) {
    std::printf("%s\n", what);
    std::fflush(stdout);
  }
  void close_clicked() {
    report("close");
    DestroyWindow(handle());
  }
  void maximise_clicked() {
    report("maximise");
    ShowWindow(handle(), IsZoomed(handle()) ? SW_RESTORE : SW_MAXIMIZE);
  }
  void menu_clicked() { report("menu"); }
  void minimise_clicked() {
    report("minimise");
    ShowWindow(handle(), SW_MINIMIZE);
  }
  bool quit_on_close_ = false;
};

// --- a plain host window ----------------------------------------------------------

class host_c : public window_c {
 public:
  ~host_c() override { destroy(); }
  bool open(const std::u16string& title, int width, int height) {
    window_class_info class_info;
    class_info.name = L"GalleryHost";
    class_info.background = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RECT place{60, 60, 60 + width, 60 + height};
    AdjustWindowRect(&place, WS_OVERLAPPEDWINDOW, FALSE);
    OffsetRect(&place, 60 - place.left, 60 - place.top);
    if (!create(class_info, nullptr, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, place)) return false;
    ShowWindow(handle(), SW_SHOWNORMAL);
    return true;
  }
};

class gallery_panel_c : public list_panel_c {
 public:
  explicit gallery_panel_c(int number) : number_(number) {
    panel_width = 380;
    panel_height = 64;
  }

 protected:
  window_class_info panel_class() const override {
    window_class_info class_info;
    class_info.name = L"GalleryPanel";
    return class_info;
  }
  painting paint_style() const override { return painting::direct; }
  void on_paint(HDC dc, const RECT& client) override {
    HBRUSH fill = CreateSolidBrush(number_ % 2 ? skin_colour::panel_tint : skin_colour::panel_ground);
    FillRect(dc, &client, fill);
    DeleteObject(fill);
    HBRUSH frame = CreateSolidBrush(skin_colour::panel_frame);
    FrameRect(dc, &client, frame);
    DeleteObject(frame);
    SelectObject(dc, font_verdana_9_bold);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, skin_colour::panel_class_text);
    wchar_t text[64];
    std::swprintf(text, 64, L"Package %d", number_);
    TextOutW(dc, 12, 10, text, static_cast<int>(wcslen(text)));
    SelectObject(dc, font_verdana_8);
    SetTextColor(dc, skin_colour::plain_text);
    std::swprintf(text, 64, L"Device %d: installed 2012-01-0%d, offered 2013-04-30", number_,
                  number_ % 9 + 1);
    TextOutW(dc, 12, 34, text, static_cast<int>(wcslen(text)));
  }

 private:
  int number_;
};

// --- message boxes ---------------------------------------------------------------

std::function<void(HWND)> box_action;
int box_ticks = 0;

void CALLBACK on_box_timer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND box = GetActiveWindow();
  wchar_t name[16] = {};
  if (box) GetClassNameW(box, name, 16);
  if (!box || wcscmp(name, L"#32770") != 0 || !IsWindowVisible(box)) return;
  if (++box_ticks < 4) return;  // painted and settled
  KillTimer(nullptr, id);
  if (box_action) box_action(box);
}

// The kinds by the numbers the GUI tests give on the command line (and the
// screenshots' names carry).
message_kind kind_of(int type) {
  static const message_kind kinds[] = {message_kind::note,     message_kind::warning, message_kind::failure,
                                       message_kind::question, message_kind::retry,   message_kind::cautious_question};
  return type >= 0 && type < 6 ? kinds[type] : static_cast<message_kind>(type);
}

// An answer as the exit code the GUI tests read: 1 for OK, Yes and Retry, 2
// for No and Cancel, 0 for the close button, -1 when no box showed.
int exit_code(message_answer answer) {
  switch (answer) {
    case message_answer::ok:
    case message_answer::yes:
    case message_answer::retry: return 1;
    case message_answer::no:
    case message_answer::cancel: return 2;
    case message_answer::closed: return 0;
    default: return -1;
  }
}

const char* message_key(int type) {
  static const char* keys[] = {"backup_completed", "backup_no_driver",      "download_setup_declined",
                               "quit_confirm",     "error_network_timeout", "download_backup_failed"};
  return type >= 0 && type < 6 ? keys[type] : "backup_completed";
}

int render(const std::wstring& folder) {
  int failures = 0;
  struct language {
    const char16_t* name;
    const wchar_t* code;
  };
  for (const language& l : {language{u"English", L"en"}, language{u"日本語", L"ja"},
                            language{u"العربية", L"ar"}}) {
    use_language(l.name);
    for (int type = 0; type <= 5; ++type) {
      const std::wstring path =
          folder + L"\\message-box-type" + std::to_wstring(type) + L"-" + l.code + L".png";
      box_ticks = 0;
      box_action = [&](HWND box) {
        if (!save_window(box, path)) ++failures;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      };
      SetTimer(nullptr, 0, 100, on_box_timer);
      show_message(nullptr, text_of(message_key(type)), kind_of(type));
    }
  }
  use_language(u"English");

  {
    gallery_frame_c frame;
    if (!frame.open(RECT{80, 80, 500, 340}, false)) return 1;
    pump(400);
    if (!save_window(frame.handle(), folder + L"\\skin-frame.png")) ++failures;
  }
  {
    host_c host;
    host.open(u"Panel list", 400, 300);
    panel_list_c<gallery_panel_c> list;
    list.create(host.handle(), RECT{0, 0, 400, 300}, 1);
    for (int i = 1; i <= 8; ++i) list.add_panel(std::make_unique<gallery_panel_c>(i));
    // Scrolled by two wheel notches: 30 pixels.
    SendMessageW(list.handle(), WM_MOUSEWHEEL,
                 static_cast<WPARAM>(static_cast<WORD>(-2 * WHEEL_DELTA)) << 16, 0);
    pump(400);
    if (!save_window(host.handle(), folder + L"\\panel-list.png", true)) ++failures;
  }
  {
    host_c host;
    host.open(u"Pie chart", 500, 300);
    CPieChart page_chart;
    page_chart.create(host.handle(), u"Pie Chart", RECT{10, 10, 238, 119});
    page_chart.set_background(0xFF000000 | GetSysColor(COLOR_BTNFACE));
    page_chart.set_labels(false);
    page_chart.set_tilt(35);
    page_chart.set_thickness(50);
    page_chart.set_pie_rect(RECT{60, 20, 165, 100});
    page_chart.clear_slices();
    page_chart.add_slice(u"out", text_of("sidebar_out_of_date"), 3, 0xFFFF0000);
    page_chart.add_slice(u"none", text_of("sidebar_no_driver"), 1, 0xFFFFFF00);
    page_chart.add_slice(u"up", text_of("sidebar_up_to_date"), 8, 0xFF16CD1F);
    for (const char16_t* name : {u"out", u"none", u"up"}) {
      page_chart.set_explode(page_chart.find_slice(name), 5);
    }
    CPieChart large;
    large.create(host.handle(), u"Large", RECT{250, 10, 490, 290});
    large.set_tilt(50);
    large.set_thickness(40);
    large.add_slice(u"a", u"", 5, 0xFF4472C4);
    large.add_slice(u"b", u"", 3, 0xFFED7D31);
    large.add_slice(u"c", u"", 2, 0xFFA5A5A5);
    large.add_slice(u"d", u"", 4, 0xFF70AD47);
    large.set_explode(large.find_slice(u"b"), 8);
    pump(400);
    if (!save_window(host.handle(), folder + L"\\pie-chart.png", true)) ++failures;
  }
  return failures ? 1 : 0;
}

}  // namespace
}  // namespace quillary

int wmain(int argc, wchar_t** argv) {
  using namespace quillary;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  create_skin_fonts();
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"render" && argc == 3) return render(argv[2]);
  if (command == L"message" && (argc == 3 || argc == 4)) {
    use_language(argc == 4 ? from_wide(argv[3]) : u"English");
    const int type = _wtoi(argv[2]);
    return exit_code(show_message(nullptr, text_of(message_key(type)), kind_of(type)));
  }
  if (command == L"owned-message" && argc == 3) {
    use_language(u"English");
    const int type = _wtoi(argv[2]);
    host_c owner;
    if (!owner.open(u"Message owner", 400, 300)) return -1;
    ShowWindow(owner.handle(), SW_MINIMIZE);
    testing::pump(300);
    const int answer = exit_code(show_message(owner.handle(), text_of(message_key(type)), kind_of(type)));
    std::printf("owner %s\n", IsWindowEnabled(owner.handle()) ? "enabled" : "disabled");
    std::fflush(stdout);
    return answer;
  }
  if (command == L"frame" && argc == 2) {
    gallery_frame_c frame;
    if (!frame.open(RECT{100, 100, 520, 360}, true)) return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return 0;
  }
  std::fputs("usage: ui_gallery render DIR | message TYPE [LANGUAGE] | owned-message TYPE | frame\n", stderr);
  return 2;
}
