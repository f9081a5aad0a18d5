#include "ui/pages/tree_page_win32.h"

#include <windowsx.h>

#include "app/language.h"
#include "app/settings.h"
#include "devices/device_inventory.h"
#include "platform/win32.h"
#include "resources/resource_ids.h"
#include "ui/pages/page_paint_win32.h"
#include "ui/skin/message_window_win32.h"
#include "ui/skin/palette.h"
#include "ui/skin/skin_fonts_win32.h"

namespace quillary {
namespace {

constexpr int action_width = 280;
constexpr int action_height = 56;
constexpr int tree_indent = 22;

int check_state(HWND tree, HTREEITEM item) {
  TVITEMW tv{};
  tv.mask = TVIF_STATE | TVIF_HANDLE;
  tv.hItem = item;
  tv.stateMask = TVIS_STATEIMAGEMASK;
  if (!TreeView_GetItem(tree, &tv)) return 0;
  return static_cast<int>((tv.state & TVIS_STATEIMAGEMASK) >> 12);
}

}  // namespace

tree_page_c::~tree_page_c() {
  destroy();
  if (action_images_) ImageList_Destroy(action_images_);
}

bool tree_page_c::create(HWND parent, const RECT& rect, const wchar_t* class_name) {
  const window_class_info info{class_name, CS_DBLCLKS, nullptr, nullptr};
  return window_c::create(info, parent, u"", WS_CHILD | WS_CLIPCHILDREN, 0, rect) != nullptr;
}

bool tree_page_c::on_create() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  tree_ = CreateWindowExW(0, WC_TREEVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                              TVS_SHOWSELALWAYS | TVS_DISABLEDRAGDROP,
                          0, 0, 0, 0, handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(tree_id)), instance,
                          nullptr);
  if (!tree_) return false;
  // Check boxes added after creation: the tree makes their pictures then.
  SetWindowLongPtrW(tree_, GWL_STYLE, GetWindowLongPtrW(tree_, GWL_STYLE) | TVS_CHECKBOXES);

  HWND button = CreateWindowExW(0, L"BUTTON", wide(text_of(images_.action_key)),
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, handle(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(action_id)), instance, nullptr);
  action_.set_images({0, 1, 2, -1});
  action_.set_text_font(font_verdana_22);
  action_.set_text_colour(colour_of(colour_role::button_text));
  fit_controls_to_scale();
  if (button) action_.subclass(button);
  const RECT client = logical_client();
  on_size(SIZE_RESTORED, client.right, client.bottom);

  info_header_.load(instance, bitmap_information_header);
  settings_header_.load(instance, images_.settings_header);
  return true;
}

bool tree_page_c::on_size(UINT, int, int height) {
  const tree_page_layout layout = layout_tree_page(height);
  place_child(tree_, RECT{layout.tree_x, layout.tree_y, layout.tree_x + layout.tree_width,
                          layout.tree_y + layout.tree_height});
  place_child(action_.handle(), RECT{layout.button_x, layout.button_y, layout.button_x, layout.button_y}, SWP_NOSIZE);
  return false;  // and default processing
}

void tree_page_c::on_scale_changed() { fit_controls_to_scale(); }

void tree_page_c::fit_controls_to_scale() {
  if (tree_) {
    SendMessageW(tree_, WM_SETFONT, reinterpret_cast<WPARAM>(font_for_controls(font_verdana_8, scale())), FALSE);
    TreeView_SetIndent(tree_, scale().device(tree_indent));
  }
  HIMAGELIST previous = action_images_;
  action_images_ = build_skin_image_list(GetModuleHandleW(nullptr), scale(), action_width, action_height,
                                         {bitmap_action_button_normal, bitmap_action_button_pressed,
                                          bitmap_action_button_hover});
  action_.set_image_list(action_images_);
  action_.size_to_image();
  if (previous) ImageList_Destroy(previous);
}

void tree_page_c::clear_tree() {
  forget_selection();
  TreeView_DeleteAllItems(tree_);
  TreeView_SetImageList(tree_, static_cast<HIMAGELIST>(context_.inventory.class_image_list()), TVSIL_NORMAL);
  TreeView_SetIndent(tree_, scale().device(tree_indent));
}

HTREEITEM tree_page_c::insert_item(HTREEITEM parent, const std::u16string& text, int32_t image, LPARAM data,
                                   bool check_box) {
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  std::u16string copy = text;
  insert.item.pszText = const_cast<wchar_t*>(wide(copy));
  insert.item.lParam = data;
  if (image >= 0) {
    insert.item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
  }
  HTREEITEM item = TreeView_InsertItem(tree_, &insert);
  if (item && !check_box) {
    // State picture 0: no box at all.
    TreeView_SetItemState(tree_, item, INDEXTOSTATEIMAGEMASK(0), TVIS_STATEIMAGEMASK);
  }
  return item;
}

void tree_page_c::on_notify(const NMHDR& header) {
  if (header.hwndFrom != tree_) return;
  switch (header.code) {
    case NM_CLICK: {
      const DWORD position = GetMessagePos();
      TVHITTESTINFO hit{};
      hit.pt = POINT{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
      ScreenToClient(tree_, &hit.pt);
      HTREEITEM item = TreeView_HitTest(tree_, &hit);
      // The tree toggles the box after this notification: look afterwards.
      if (item && (hit.flags & TVHT_ONITEMSTATEICON)) {
        PostMessageW(handle(), box_toggled_message, 0, reinterpret_cast<LPARAM>(item));
      }
      return;
    }
    case TVN_KEYDOWN: {
      // Space toggles the selected item's box as a click does.
      const auto& key = reinterpret_cast<const NMTVKEYDOWN&>(header);
      if (key.wVKey == VK_SPACE) {
        if (HTREEITEM item = TreeView_GetSelection(tree_)) {
          PostMessageW(handle(), box_toggled_message, 0, reinterpret_cast<LPARAM>(item));
        }
      }
      return;
    }
    case TVN_SELCHANGEDW: {
      const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
      selected_ = change.itemNew.hItem ? change.itemNew.lParam : 0;
      RedrawWindow(handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      return;
    }
    default:
      return;
  }
}

bool tree_page_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_CREATE:
      result = on_create() ? 0 : -1;
      return true;
    case WM_SETFOCUS:
      if (tree_) SetFocus(tree_);
      return true;
    case WM_SHOWWINDOW:
      // Shown by the main window (not with it, coming back from the tray).
      if (wparam && lparam == 0) fill_tree();
      return false;
    case WM_NOTIFY:
      on_notify(*reinterpret_cast<const NMHDR*>(lparam));
      return true;
    case box_toggled_message:
      box_toggled(reinterpret_cast<HTREEITEM>(lparam));
      return true;
    default:
      return window_c::handle_message(message, wparam, lparam, result);
  }
}

bool tree_page_c::on_command(int id, int code, HWND) {
  if (id == action_id && code == BN_CLICKED) action_clicked();
  return true;
}

void tree_page_c::paint_heading(HDC dc, const skin_image_c& image, int x, int y, const char* key) {
  image.draw(dc, x, y);
  draw_text_at(dc, text_of(key), x + 20, y + 2, font_verdana_9_bold, colour_of(colour_role::tree_heading));
}

bool tree_page_c::accessible_items(accessible_view& view) {
  const RECT client = logical_client();
  const tree_page_layout layout = layout_tree_page(client.bottom);
  view.self.role = accessible_role::pane;
  view.self.name = text_of(info_heading());
  auto text = [&](std::u16string name, std::u16string value, int x, int y, int right) {
    accessible_item item;
    item.role = accessible_role::static_text;
    item.name = std::move(name);
    item.value = std::move(value);
    item.state = accessible_state::read_only;
    item.rect = {x, y, right, y + layout.line_gap};
    view.parts.push_back(std::move(item));
  };
  text(text_of(info_heading()), u"", layout.info_x, layout.info_y, client.right);
  int y = layout.info_y + 30;
  for (const info_line& row : info_lines(selected_)) {
    text(text_of(row.label_key), row.value, layout.info_x, y, client.right);
    y += layout.line_gap;
  }
  text(text_of(settings_heading()), u"", layout.settings_x, layout.settings_y, client.right);
  text(text_of("config_backup_path"), context_.settings.values().backup_path, layout.settings_x,
       layout.settings_y + 30, client.right);
  return true;
}

void tree_page_c::on_paint(HDC dc, const RECT& client) {
  const tree_page_layout layout = layout_tree_page(client.bottom);
  RECT line{layout.separator_x, 0, layout.separator_x + 1, client.bottom};
  HBRUSH separator = CreateSolidBrush(colour_of(colour_role::tree_separator));
  FillRect(dc, &line, separator);
  DeleteObject(separator);

  paint_heading(dc, info_header_, layout.info_x, layout.info_y, info_heading());
  int y = layout.info_y + 30;
  for (const info_line& row : info_lines(selected_)) {
    draw_text_at(dc, label_text(text_of(row.label_key)), layout.info_x, y, font_verdana_8, colour_of(colour_role::tree_label));
    draw_text_at(dc, row.value, layout.info_x + layout.value_offset, y, font_verdana_8, colour_of(colour_role::tree_value));
    y += layout.line_gap;
  }

  paint_heading(dc, settings_header_, layout.settings_x, layout.settings_y, settings_heading());
  const std::u16string label = label_text(text_of("config_backup_path"));
  const int label_y = layout.settings_y + 30;
  draw_text_at(dc, label, layout.settings_x, label_y, font_verdana_8, colour_of(colour_role::tree_label));
  const SIZE label_size = text_extent(dc, label, font_verdana_8);
  draw_text_at(dc, context_.settings.values().backup_path, layout.settings_x + label_size.cx + 10, label_y, font_verdana_8,
               colour_of(colour_role::tree_value));
}

// --- the adapter -----------------------------------------------------------------

check_tree_i::item tree_page_c::tree_adapter_c::first_root() {
  return reinterpret_cast<item>(TreeView_GetRoot(tree_));
}
check_tree_i::item tree_page_c::tree_adapter_c::first_child(item parent) {
  return reinterpret_cast<item>(TreeView_GetChild(tree_, reinterpret_cast<HTREEITEM>(parent)));
}
check_tree_i::item tree_page_c::tree_adapter_c::next_sibling(item node) {
  return reinterpret_cast<item>(TreeView_GetNextSibling(tree_, reinterpret_cast<HTREEITEM>(node)));
}
check_tree_i::item tree_page_c::tree_adapter_c::parent_of(item node) {
  return reinterpret_cast<item>(TreeView_GetParent(tree_, reinterpret_cast<HTREEITEM>(node)));
}
bool tree_page_c::tree_adapter_c::checked(item node) {
  return check_state(tree_, reinterpret_cast<HTREEITEM>(node)) == 2;
}
void tree_page_c::tree_adapter_c::set_checked(item node, bool on) {
  HTREEITEM handle = reinterpret_cast<HTREEITEM>(node);
  if (check_state(tree_, handle) == 0) return;  // an item without a box keeps none
  TreeView_SetItemState(tree_, handle, INDEXTOSTATEIMAGEMASK(on ? 2 : 1), TVIS_STATEIMAGEMASK);
}
uintptr_t tree_page_c::tree_adapter_c::data(item node) {
  TVITEMW tv{};
  tv.mask = TVIF_PARAM | TVIF_HANDLE;
  tv.hItem = reinterpret_cast<HTREEITEM>(node);
  if (!TreeView_GetItem(tree_, &tv)) return 0;
  return static_cast<uintptr_t>(tv.lParam);
}

}  // namespace quillary
