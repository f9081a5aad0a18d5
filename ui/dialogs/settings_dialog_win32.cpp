#include "ui/dialogs/settings_dialog_win32.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <memory>

#include "app/language.h"
#include "app/scan_task.h"
#include "app/system_info.h"
#include "ui/ui_context.h"
#include "app/settings.h"
#include "platform/win32.h"
#include "resources/resource_ids.h"
#include "ui/dialogs/dialog_button_win32.h"
#include "ui/dialogs/settings_rules.h"
#include "ui/skin/message_window_win32.h"
#include "ui/skin/palette.h"
#include "ui/skin/skin_fonts_win32.h"

namespace quillary {
namespace {

constexpr int button_width = 80;
constexpr int button_height = 22;
constexpr RECT close_rect{0, 0, 31, 21};

struct static_text {
  const char* key;
  int x, y;
};
constexpr static_text headings[] = {
    {"config_download_path", 93, 32}, {"config_backup_path", 93, 86},  {"config_close_option", 95, 150},
    {"config_startup_option", 95, 210}, {"config_scan_option", 340, 150}, {"config_scheduled_task", 340, 210},
    {"config_language", 95, 268},
};

struct check_box {
  int item;
  const char* key;
  int x, y;
};
constexpr check_box boxes[] = {
    {control_close_to_tray, "config_close_to_system_tray", 95, 170},
    {control_start_with_windows, "config_start_when_windows_startup", 95, 230},
    {control_scan_non_present, "config_scan_non_present_devices", 340, 170},
    {control_scheduled_scan, "config_enable_scheduled_automatic_scan", 340, 230},
};

constexpr int edits[] = {control_download_path, control_backup_path};

int box_state(HWND dialog, int item) { return static_cast<int>(IsDlgButtonChecked(dialog, item)); }

}  // namespace

config_window_c::config_window_c(user_settings_c& settings, std::u16string module_path, int skin_caption)
    : ui_window_c<config_window_c>(skin_caption), settings_(settings), module_path_(std::move(module_path)) {}

config_window_c::~config_window_c() {
  if (button_images_) ImageList_Destroy(button_images_);
  if (frame_brush_) DeleteObject(frame_brush_);
  if (white_brush_) DeleteObject(white_brush_);
}

INT_PTR config_window_c::run(HWND owner) { return run_modal(GetModuleHandleW(nullptr), dialog_settings, owner); }

void show_settings_dialog(HWND owner, ui_context& context) {
  // A page's menu hands its own window: the dialog belongs to the top one.
  HWND top = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  config_window_c dialog(context.settings, context.system.snapshot().module_path, 30);
  dialog.run(top ? top : owner);
}

void config_window_c::place(int item, int x, int y, int cx, int cy) {
  HWND control = GetDlgItem(handle(), item);
  if (!control) return;
  place_child(control, RECT{x, y, x + cx, y + cy}, cx <= 0 || cy <= 0 ? SWP_NOSIZE : 0);
}

void config_window_c::initialise() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  settings_values& values = settings_.values();

  auto close = std::make_unique<system_button_c<config_window_c>>();
  RECT close_place = close_rect;
  OffsetRect(&close_place, frame_width, frame_height);
  close->create(instance, bitmap_close_normal, bitmap_close_hover, bitmap_close_pressed, close_place, u"");
  close->action = &config_window_c::close_clicked;
  close->name_key = "caption_close";
  add_button(std::move(close));
  // The caption is what screen readers and the task bar call the dialog:
  // in the program's language, as the button that opens it reads.
  SetWindowTextW(handle(), wide(text_of("top_settings")));
  divider_.load(instance, bitmap_settings_divider);
  button_images_ = build_skin_image_list(instance, scale(), button_width, button_height,
                                         {bitmap_dialog_button_normal, bitmap_dialog_button_pressed,
                                          bitmap_dialog_button_hover});
  const struct {
    bitmap_button_c& button;
    int item;
    const char* text_key;
    int x, y;
  } image_buttons[] = {{download_button_, control_browse_download_path, "top_download", 468, 54},
                       {backup_button_, control_browse_backup_path, "top_backup", 468, 105},
                       {ok_button_, IDOK, "btn_ok", 375, 360},
                       {cancel_button_, IDCANCEL, "btn_cancel", 155, 360}};
  for (const auto& b : image_buttons) {
    prepare_dialog_button(b.button, handle(), b.item, button_images_, font_verdana_8, b.text_key, b.x, b.y);
  }

  frame_brush_ = CreateSolidBrush(colour_of(colour_role::settings_heading));
  white_brush_ = CreateSolidBrush(colour_of(colour_role::settings_ground));
  set_logical_size(width, height);
  centre_window(handle(), GetWindow(handle(), GW_OWNER));

  for (const check_box& box : boxes) SetDlgItemTextW(handle(), box.item, wide(text_of(box.key)));
  HWND languages = GetDlgItem(handle(), control_language);
  for (const auto& name : language_list()) SendMessageW(languages, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(name)));
  SendMessageW(languages, CB_SETCURSEL, static_cast<WPARAM>(language_table().current_index()), 0);
  // What is checked on OK must be what is saved: no longer than a setting holds.
  for (int item : edits) SendDlgItemMessageW(handle(), item, EM_LIMITTEXT, max_path_characters, 0);
  bool texts_set = true;
  const std::u16string* paths[] = {&values.download_path, &values.backup_path};
  for (size_t i = 0; i < std::size(edits) && texts_set; ++i) {
    if (!SetDlgItemTextW(handle(), edits[i], wide(*paths[i]))) {
      MessageBeep(MB_ICONWARNING);
      SetFocus(GetDlgItem(handle(), edits[i]));
      texts_set = false;
    }
  }
  if (texts_set) {
    CheckDlgButton(handle(), control_start_with_windows, box_state_for(values.autorun));
    CheckDlgButton(handle(), control_scan_non_present, box_state_for(values.scan_offline));
    CheckDlgButton(handle(), control_scheduled_scan, box_state_for(values.scheduled_scan));
  }

  set_window_region();
  CheckDlgButton(handle(), control_close_to_tray, box_state_for(values.close_to_tray));
  const int fonted[] = {control_download_path, control_backup_path, control_close_to_tray,
                        control_start_with_windows, control_scan_non_present, control_scheduled_scan,
                        control_language, IDOK, IDCANCEL};
  HFONT control_font = font_for_controls(font_verdana_8, scale());
  for (int item : fonted) {
    SendDlgItemMessageW(handle(), item, WM_SETFONT, reinterpret_cast<WPARAM>(control_font), TRUE);
  }
  place(control_download_path, 100, 58, 350, 18);
  place(control_backup_path, 100, 110, 350, 18);
  const bool long_texts = has_long_texts(language_code());
  for (const check_box& box : boxes) {
    const bool sized = !long_texts && (box.item == control_close_to_tray || box.item == control_start_with_windows);
    place(box.item, box.x, box.y, sized ? 205 : 0, sized ? 16 : 0);
  }
  place(control_language, 95, 290);
}

bool config_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (handle_frame_message(message, wparam, lparam, result)) return true;
  switch (message) {
    case WM_INITDIALOG:
      initialise();
      result = TRUE;
      return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORDLG: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetBkMode(dc, TRANSPARENT);
      SetBkColor(dc, colour_of(colour_role::settings_ground));
      if (HFONT font = font_for_controls(font_verdana_8, scale())) SelectObject(dc, font);
      result = reinterpret_cast<LRESULT>(white_brush_);
      return true;
    }
    default:
      return false;
  }
}

bool config_window_c::on_erase_background(HDC dc) {
  const RECT client = logical_client();
  FillRect(dc, &client, white_brush_);
  return true;
}

bool config_window_c::on_command(int id, int code, HWND) {
  switch (id) {
    case IDOK:
      if (code == BN_CLICKED) ok();
      return true;
    case IDCANCEL:
      if (code == BN_CLICKED) cancel();
      return true;
    case control_browse_download_path:
      if (code == BN_CLICKED) pick_folder(control_download_path);
      return true;
    case control_browse_backup_path:
      if (code == BN_CLICKED) pick_folder(control_backup_path);
      return true;
    case control_scheduled_scan:
      scheduled_scan_clicked();
      return true;
    default:
      return false;
  }
}

void config_window_c::on_paint(HDC dc, const RECT&) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour_of(colour_role::settings_heading));
  HGDIOBJ previous = font_verdana_8_bold ? SelectObject(dc, font_verdana_8_bold) : nullptr;
  for (const static_text& heading : headings) {
    const std::u16string& text = text_of(heading.key);
    TextOutW(dc, heading.x, heading.y, wide(text), static_cast<int>(text.size()));
  }
  if (previous) SelectObject(dc, previous);
  for (int item : edits) {
    HWND edit = GetDlgItem(handle(), item);
    if (!edit) continue;
    RECT frame{};
    GetWindowRect(edit, &frame);
    MapWindowPoints(nullptr, handle(), reinterpret_cast<POINT*>(&frame), 2);
    frame = scale().logical_rect(frame);
    OffsetRect(&frame, -2, -2);
    frame.left -= 5;
    frame.right += 5;
    frame.top -= 3;
    frame.bottom += 3;
    FrameRect(dc, &frame, frame_brush_);
  }
  divider_.draw(dc, divider_x(language_code()), 140);
}

void config_window_c::pick_folder(int edit) {
  BROWSEINFOW browse{};
  browse.hwndOwner = GetActiveWindow();
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
  if (!chosen) return;
  wchar_t path[MAX_PATH] = {};
  if (SHGetPathFromIDListW(chosen, path)) SetDlgItemTextW(handle(), edit, path);
  CoTaskMemFree(chosen);
}

void config_window_c::scheduled_scan_clicked() {
  if (box_state(handle(), control_scheduled_scan) == BST_CHECKED) {
    // Results are not examined: without a task service only the setting
    // saved with OK changes.
    create_scan_task(module_path_);
    enable_scan_task(true);
    edit_scan_task(handle());
  } else {
    enable_scan_task(false);
  }
}

void config_window_c::ok() {
  std::u16string paths[2];
  for (size_t i = 0; i < std::size(edits); ++i) {
    paths[i] = window_text(GetDlgItem(handle(), edits[i]));
    if (!PathIsDirectoryW(wide(paths[i]))) {
      MessageBoxW(handle(), L"invalid download path", L"Quillary", MB_OK);
      return;
    }
  }
  settings_values& values = settings_.values();
  values.download_path = bounded(paths[0], max_path_characters);
  values.backup_path = bounded(paths[1], max_path_characters);
  values.autorun = box_state(handle(), control_start_with_windows) == BST_CHECKED ? 1 : 0;
  values.scan_offline = box_state(handle(), control_scan_non_present) == BST_CHECKED ? 1 : 0;
  values.scheduled_scan = box_state(handle(), control_scheduled_scan) == BST_CHECKED ? 1 : 0;

  const auto selected = static_cast<int32_t>(SendDlgItemMessageW(handle(), control_language, CB_GETCURSEL, 0, 0));
  language_table_c& table = language_table();
  if (language_changed(selected, table.current_index()) &&
      selected < static_cast<int32_t>(table.language_list().size())) {
    values.language = bounded(table.language_list()[static_cast<size_t>(selected)], max_language_characters);
    table.set_current_index(selected);
    show_message(handle(), text_of("config_language_change_notice"), message_kind::note);
  }
  values.close_to_tray = close_to_tray_from_box(static_cast<uint32_t>(box_state(handle(), control_close_to_tray)));
  settings_.save();
  end_dialog(1);
}

void config_window_c::cancel() {
  const uint32_t shown = box_state(handle(), control_scheduled_scan) == BST_CHECKED ? 1 : 0;
  const uint32_t saved = settings_.values().scheduled_scan;
  if (shown != saved) enable_scan_task(saved != 0);
  end_dialog(2);
}

}  // namespace quillary
