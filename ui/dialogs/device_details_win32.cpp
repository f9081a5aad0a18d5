#include "ui/dialogs/device_details_win32.h"

#include <memory>

#include "app/language.h"
#include "platform/win32.h"
#include "resources/resource_ids.h"
#include "ui/dialogs/device_details_rows.h"
#include "ui/dialogs/dialog_button_win32.h"
#include "ui/skin/message_window_win32.h"
#include "ui/skin/skin_colours.h"
#include "ui/skin/skin_fonts_win32.h"

namespace quillary {

namespace {

constexpr RECT close_rect{0, 0, 31, 21};
constexpr int button_width = 80;
constexpr int button_height = 22;

HWND make_child(const window_c& parent, const wchar_t* class_name, DWORD style, const RECT& logical, int id) {
  const RECT place = parent.scale().device_rect(logical);
  HWND child = CreateWindowExW(0, class_name, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | style, place.left,
                               place.top, place.right - place.left, place.bottom - place.top, parent.handle(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                               nullptr);
  if (HFONT font = font_for_controls(font_verdana_8, parent.scale()); child && font) {
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  return child;
}

// `width` in the display's pixels, as the list view takes it.
void add_column(HWND table, int index, const char* key, int width) {
  std::wstring text = wide(text_of(key));
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.cx = width;
  column.pszText = text.data();
  column.iSubItem = index;
  SendMessageW(table, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void set_cell(HWND table, int row, int column, const std::u16string& text) {
  std::wstring value = wide(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = value.data();
  SendMessageW(table, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

devinfo_window_c::devinfo_window_c(std::vector<device_details_entry> devices)
    : ui_window_c<devinfo_window_c>(30), devices_(std::move(devices)) {}

devinfo_window_c::~devinfo_window_c() {
  if (button_images_) ImageList_Destroy(button_images_);
}

int devinfo_window_c::run(HWND parent) {
  return static_cast<int>(run_modal(GetModuleHandleW(nullptr), dialog_device_details, parent));
}

void devinfo_window_c::initialise() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  SetWindowTextW(handle(), wide(text_of("device_detail_driver_information")));

  auto close = std::make_unique<system_button_c<devinfo_window_c>>();
  RECT place = close_rect;
  OffsetRect(&place, frame_width, frame_height);
  close->create(instance, bitmap_close_normal, bitmap_close_hover, bitmap_close_pressed, place, u"");
  close->action = &devinfo_window_c::close_clicked;
  close->name_key = "caption_close";
  add_button(std::move(close));

  device_list_ = make_child(*this, L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
                            RECT{10, 30, 622, 160}, device_list_id);
  for (const device_details_entry& device : devices_) {
    SendMessageW(device_list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(device.description)));
  }
  SendMessageW(device_list_, LB_SETCURSEL, 0, 0);

  table_ = make_child(*this, WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP,
                      RECT{10, 180, 622, 380}, details_table_id);
  SendMessageW(table_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  add_column(table_, 0, "device_detail_description", scale().device(130));
  add_column(table_, 1, "device_detail_current_driver", scale().device(231));
  add_column(table_, 2, "device_detail_new_driver", scale().device(231));
  fill_table(0);

  set_logical_size(width, height);
  centre_window(handle(), GetParent(handle()));

  button_images_ = build_skin_image_list(instance, scale(), button_width, button_height,
                                         {bitmap_dialog_button_normal, bitmap_dialog_button_pressed,
                                          bitmap_dialog_button_hover});
  prepare_dialog_button(ok_button_, handle(), IDOK, button_images_, font_verdana_8, "btn_ok", 290, 400);
  SetFocus(table_);
  set_window_region();
}

void devinfo_window_c::fill_table(size_t index) {
  if (!table_ || index >= devices_.size()) return;
  const auto& rows = devices_[index].rows;
  SendMessageW(table_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(table_, LVM_DELETEALLITEMS, 0, 0);
  if (HFONT font = font_for_controls(font_verdana_8, scale())) {
    SendMessageW(table_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    std::wstring label = wide(text_of(rows[i].key));
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = label.data();
    SendMessageW(table_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    set_cell(table_, static_cast<int>(i), 1, rows[i].current);
    set_cell(table_, static_cast<int>(i), 2, rows[i].offered);
  }
  SendMessageW(table_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(table_, nullptr, TRUE);
}

bool devinfo_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (handle_frame_message(message, wparam, lparam, result)) return true;
  switch (message) {
    case WM_INITDIALOG:
      initialise();
      result = FALSE;  // the focus is set: the details table
      return true;
    case WM_SETFOCUS:
      if (table_) SetFocus(table_);
      return table_ != nullptr;
    case WM_CTLCOLORDLG:
      result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      return true;
    default:
      return false;
  }
}

bool devinfo_window_c::on_command(int id, int code, HWND) {
  if (id == device_list_id && code == LBN_SELCHANGE) {
    const LRESULT selected = SendMessageW(device_list_, LB_GETCURSEL, 0, 0);
    if (selected >= 0) fill_table(static_cast<size_t>(selected));
    return true;
  }
  if (id == IDOK) {
    end_dialog(1);
    return true;
  }
  if (id == IDCANCEL) {
    end_dialog(2);
    return true;
  }
  return false;
}

}  // namespace quillary
