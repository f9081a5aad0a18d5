// What the backup and restore pages share: a tree with check boxes on the
// left, an information panel and a settings panel on the right, one large
// image button, and the notifications that tie them together. Each page
// says what fills its tree, what a toggled box means, what the button does
// and what the panels show.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "service/scan_result.h"
#include "ui/pages/backup_tree.h"
#include "ui/skin/skin_image_win32.h"
#include "ui/window/bitmap_button_win32.h"
#include "ui/ui_context.h"
#include "ui/window/window_win32.h"

namespace quillary {

class tree_page_c : public window_c {
 public:
  ~tree_page_c() override;
  bool create(HWND parent, const RECT& rect, const wchar_t* class_name);
  HWND tree() const { return tree_; }
  // A scan finished: the page shows its devices (and keeps them) from its
  // next showing until the next scan's.
  void take_result(shared_scan_result result) { result_ = std::move(result); }

  // The information and settings panels as texts, for screen readers (the
  // tree and the action button answer for themselves).
  bool accessible_items(accessible_view& view) override;

  static constexpr int tree_id = 100;
  static constexpr int action_id = 101;
  // Posted to the page after the tree has toggled a box (lParam: the item).
  static constexpr UINT box_toggled_message = WM_USER + 100;

 protected:
  struct panel_images {
    int settings_header;
    const char* action_key;
  };
  tree_page_c(panel_images images, ui_context& context) : context_(context), images_(images) {}

  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  painting paint_style() const override { return painting::buffered; }
  void on_paint(HDC dc, const RECT& client) override;
  bool on_size(UINT kind, int width, int height) override;
  void on_scale_changed() override;
  bool on_command(int id, int code, HWND from) override;

  virtual void fill_tree() = 0;
  virtual void box_toggled(HTREEITEM item) = 0;
  virtual void action_clicked() = 0;
  // The information panel's heading and lines for the selected item data.
  virtual const char* info_heading() const = 0;
  virtual std::vector<info_line> info_lines(LPARAM selected) const = 0;
  virtual const char* settings_heading() const = 0;

  // Empties the tree and gives it the class pictures and the indent.
  void clear_tree();
  HTREEITEM insert_item(HTREEITEM parent, const std::u16string& text, int32_t image, LPARAM data,
                        bool check_box);
  LPARAM selected() const { return selected_; }
  void forget_selection() { selected_ = 0; }

  // The tree control as the check rules see it.
  class tree_adapter_c : public check_tree_i {
   public:
    explicit tree_adapter_c(HWND tree) : tree_(tree) {}
    item first_root() override;
    item first_child(item parent) override;
    item next_sibling(item node) override;
    item parent_of(item node) override;
    bool checked(item node) override;
    void set_checked(item node, bool on) override;
    uintptr_t data(item node) override;

   private:
    HWND tree_;
  };

  ui_context& context_;
  shared_scan_result result_;

 private:
  bool on_create();
  void on_notify(const NMHDR& header);
  void paint_heading(HDC dc, const skin_image_c& image, int x, int y, const char* key);

  panel_images images_;
  HWND tree_ = nullptr;
  bitmap_button_c action_;
  HIMAGELIST action_images_ = nullptr;
  // The tree's font and indent and the action button's pictures, in the
  // display's pixels as the system's controls take them.
  void fit_controls_to_scale();
  skin_image_c info_header_;
  skin_image_c settings_header_;
  LPARAM selected_ = 0;
};

}  // namespace quillary
