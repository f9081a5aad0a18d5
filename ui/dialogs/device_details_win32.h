// The device details dialog: for the devices one offered package is for,
// what the installed driver says beside what the offered one says. The
// upper list names the devices; the table below shows the selected one.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "ui/dialogs/device_details_rows.h"
#include "ui/skin/ui_window_win32.h"
#include "ui/window/bitmap_button_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {

class devinfo_window_c : public dialog_c, public ui_window_c<devinfo_window_c> {
 public:
  explicit devinfo_window_c(std::vector<device_details_entry> devices);
  ~devinfo_window_c() override;

  // Runs modally over `parent`: 1 for OK or Enter, 2 for Escape, 0 for the
  // caption's close button; -1 when it cannot be shown.
  int run(HWND parent);

  static constexpr int width = 640;
  static constexpr int height = 480;
  static constexpr int device_list_id = 1001;
  static constexpr int details_table_id = 1002;

 protected:
  // Screen readers read the dialog by its caption and press its caption's
  // buttons.
  bool accessible_items(accessible_view& view) override { return describe_as_dialog(view); }
  void do_accessible_action(int id) override { frame_part_action(id); }
  bool handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  bool on_command(int id, int code, HWND from) override;

 private:
  void initialise();
  void fill_table(size_t index);
  void close_clicked() { end_dialog(0); }

  std::vector<device_details_entry> devices_;
  HWND device_list_ = nullptr;
  HWND table_ = nullptr;
  bitmap_button_c ok_button_;
  HIMAGELIST button_images_ = nullptr;
};

}  // namespace quillary
