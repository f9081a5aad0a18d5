// Checks that the texts of every language fit the places the windows give
// them, measured with the skin's own fonts on this system: message box texts
// in their three lines, button labels on their button pictures, navigation
// labels, check boxes, the download page's choices, the side bar, the home
// and scan pages' texts, and the tray balloon's length. At 100, 125, 150 and
// 200 % display scale: the program measures and places in logical pixels
// and draws through a scaling device context, where a font is rasterised at
// the display's size, and hinting makes a text's width grow unevenly with
// it; so each text is measured on such a context at each scale.
//
//   language_fit PATH\language.ini
//
// Prints each text that does not fit and exits 1 when there is one.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/language.h"
#include "platform/text.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/dialogs/about_text.h"
#include "ui/dialogs/settings_rules.h"
#include "ui/pages/download_page_layout.h"
#include "ui/pages/home_layout.h"
#include "ui/skin/message_box_layout.h"
#include "ui/skin/wrapped_text_win32.h"
#include "ui/window/display_scale_win32.h"

namespace {

using quillary::utf16_to_utf8;

int failures = 0, checked = 0;

const char16_t* const languages[] = {u"English", u"Deutsch", u"Español", u"Français",
                                     u"Italiano", u"日本語", u"简体中文", u"繁體中文",
                                     u"Nederlands", u"Português", u"العربية"};

// Texts shown in the message box, with a value for their placeholder.
const char* const message_keys[] = {
    "system_tray_warning", "home_download_msg", "home_backup_msg", "home_restore_msg",
    "quit_confirm", "remove_confirm", "download_all_warning", "download_warning",
    "backup_no_driver", "backup_failed", "backup_completed", "restore_no_backup",
    "restore_no_driver", "error_internal_error", "error_invalid_date", "error_network_error",
    "error_network_timeout", "config_language_change_notice", "download_setup_require",
    "download_setup_warning", "download_setup_damaged", "download_setup_failed",
    "download_setup_declined", "download_setup_elevation_failed", "download_setup_signature",
    "download_setup_mismatch", "download_setup_blocked", "download_setup_untrusted",
    "download_backup_failed", "download_rollback_question", "download_rollback_done",
    "download_rollback_no_backup", "download_rollback_failed",
    "restore_point_reused", "restore_point_reused_undated", "restore_point_unknown",
    "restore_point_not_supported", "restore_point_protection_off", "restore_point_safe_mode",
    "restore_point_disk_full", "restore_point_busy", "restore_point_refused"};

class fit_checker {
 public:
  fit_checker(HDC dc, quillary::language_table_c& table, const std::u16string& language, int percent)
      : dc_(dc), table_(table), language_(utf16_to_utf8(language) + " at " + std::to_string(percent) + " %") {}

  // The text of `key` on one line no wider than `width` in `font`.
  void single_line(const char* key, HFONT font, int width, const char* place) {
    single_line_of(table_.text_of(key), key, font, width, place);
  }
  // The same for a text built from `key`'s.
  void single_line_of(const std::u16string& text, const char* key, HFONT font, int width, const char* place) {
    SelectObject(dc_, font);
    SIZE size{};
    GetTextExtentPoint32W(dc_, reinterpret_cast<const wchar_t*>(text.c_str()), static_cast<int>(text.size()), &size);
    ++checked;
    if (size.cx > width) report(key, place, std::to_string(size.cx) + " px wide, room for " + std::to_string(width));
  }
  // A text wrapped into `width` by the skin's word wrap, in at most
  // `height` pixels (the about box's paragraph, two-line check boxes).
  void wrapped_of(const std::u16string& text, const char* key, HFONT font, int width, int height, int gap,
                  const char* place) {
    SelectObject(dc_, font);
    RECT rect{0, 0, width, 1000};
    quillary::draw_wrapped_text(dc_, text, rect, gap, DT_CALCRECT);
    ++checked;
    if (rect.bottom > height) report(key, place, "needs " + std::to_string(rect.bottom) + " px of " + std::to_string(height));
  }
  void report_now(const char* key, const char* place, const std::string& detail) {
    ++checked;
    report(key, place, detail);
  }

  // A paragraph wrapped into `width` in `font`, no taller than `height`.
  void paragraph(const char* key, HFONT font, int width, int height, int gap, const char* place) {
    SelectObject(dc_, font);
    RECT rect{0, 0, width, height};
    quillary::draw_wrapped_text(dc_, table_.text_of(key), rect, gap, DT_CALCRECT);
    ++checked;
    if (rect.bottom > height) {
      report(key, place, "needs " + std::to_string(rect.bottom) + " px of " + std::to_string(height));
    }
  }
  // A line that takes the second face where the first is too wide.
  void single_line_either(const std::u16string& text, const char* key, HFONT first, HFONT second, int width,
                          const char* place) {
    if (extent(text, first) <= width) {
      ++checked;
      return;
    }
    single_line_of(text, key, second, width, place);
  }
  int extent(const std::u16string& text, HFONT font) {
    SelectObject(dc_, font);
    SIZE size{};
    GetTextExtentPoint32W(dc_, reinterpret_cast<const wchar_t*>(text.c_str()), static_cast<int>(text.size()), &size);
    return size.cx;
  }

  // The message box: verdana 10 in (80,30)-(272,100), 6 pixels between lines.
  void message(const char* key) {
    std::u16string text = table_.text_of(key);
    if (const auto at = text.find(u"%d"); at != std::u16string::npos) text.replace(at, 2, u"404");
    // A restore point's time, as the pages show it.
    if (const auto at = text.find(u"%s"); at != std::u16string::npos) text.replace(at, 2, u"2026-12-09 08:27");
    SelectObject(dc_, quillary::font_verdana_10);
    const auto& box = quillary::message_box_text;
    RECT rect{box.left, box.top, box.right, box.bottom};
    quillary::draw_wrapped_text(dc_, text, rect, 6, DT_CALCRECT);
    ++checked;
    if (rect.bottom > box.bottom) {
      report(key, "message box",
             "needs " + std::to_string(rect.bottom - box.top) + " px of " + std::to_string(box.bottom - box.top));
    }
  }

 private:
  void report(const char* key, const char* place, const std::string& detail) {
    ++failures;
    std::printf("FAIL %s %s (%s): \"%s\" %s\n", language_.c_str(), key, place,
                utf16_to_utf8(table_.text_of(key)).c_str(), detail.c_str());
  }

  HDC dc_;
  quillary::language_table_c& table_;
  std::string language_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: language_fit PATH\\language.ini\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  if (bytes.str().empty()) {
    std::printf("FAIL cannot read %ls\n", argv[1]);
    return 1;
  }
  quillary::create_skin_fonts();
  HDC dc = CreateCompatibleDC(nullptr);

  for (const int dpi : {96, 120, 144, 192}) {
  const quillary::display_scale scale = quillary::display_scale::of(dpi);
  quillary::draw_in_device_pixels(dc);
  quillary::draw_in_logical_pixels(dc, scale);
  for (const char16_t* language : languages) {
    quillary::language_table_c table;
    table.load_text(bytes.str(), language, true);
    table.load_text(bytes.str(), u"English", false);
    const std::string code = quillary::language_row_for(language).code;
    const bool long_words = code == "de" || code == "it" || code == "es" || code == "pt";
    const bool wide_choices = code == "fr" || code == "es" || code == "pt" || code == "nl";
    fit_checker check(dc, table, language, dpi * 100 / 96);

    for (const char* key : message_keys) check.message(key);
    // Message box buttons, 70 x 24, verdana 9 bold.
    for (const char* key : {"btn_ok", "btn_cancel", "btn_yes", "btn_no", "btn_retry"})
      check.single_line(key, quillary::font_verdana_9_bold, 70 - 6, "message box button");
    // The settings dialog's four buttons, 80 x 22, verdana 8.
    for (const char* key : {"btn_ok", "btn_cancel", "top_download", "top_backup"})
      check.single_line(key, quillary::font_verdana_8, 80 - 6, "settings button");
    // The about dialog's updater button, 130 x 24.
    check.single_line("about_btn_check", quillary::font_verdana_8, 130 - 8, "about button");
    // Navigation labels under their 83-pixel pictures.
    for (const char* key : {"top_home", "top_download", "top_backup", "top_restore", "top_settings"})
      check.single_line(key, long_words ? quillary::font_verdana_8 : quillary::font_verdana_8_bold, 83 - 4,
                        "navigation button");
    // The backup and restore pages' 280-pixel button, verdana 22.
    for (const char* key : {"btn_backup", "btn_restore"})
      check.single_line(key, quillary::font_verdana_22, 280 - 16, "action button");
    // Settings check boxes sized 205 x 16 (the template's two lines for fr, es, pt).
    if (code != "fr" && code != "es" && code != "pt")
      for (const char* key : {"config_close_to_system_tray", "config_start_when_windows_startup"})
        check.single_line(key, quillary::font_verdana_8, 205 - 18, "check box");
    // The download page's two choices, between fixed distances from the right edge.
    const int wider = wide_choices ? 30 : 0;
    check.single_line("download_cbb_best", quillary::font_verdana_8, 110 + wider - 18, "choice");
    check.single_line("download_cbb_latest", quillary::font_verdana_8, 80 + wider - 18, "choice");
    // The download page at its smallest (800 x 500, the list 550 wide less
    // its scroll bar): the header left of the choices in the smallest of its
    // faces, the panels' buttons, states and date lines, the bar, and the
    // side column.
    const quillary::download_page_layout page = quillary::place_download_page(800, 500, wide_choices);
    const int header_room = page.header_text.right - page.header_text.left;
    // (in two lines where one is too short; the count needs one).
    for (const char* key : {"download_new_drivers_found1", "download_new_drivers_found3"})
      check.paragraph(key, quillary::font_verdana_8_bold, header_room, quillary::download_header_height - 8, 0,
                      "download header");
    check.single_line_of(table.text_of("download_new_drivers_found2") + u"999", "download_new_drivers_found2",
                         quillary::font_verdana_8_bold, header_room, "download header");
    // The link that brings hidden updates back, under the header's text.
    check.single_line_of(quillary::format_language_text(table.text_of("download_show_hidden"), 999),
                         "download_show_hidden", quillary::font_verdana_8, header_room, "hidden updates link");
    for (const char* key : {"download_btn_download", "download_btn_pause", "download_btn_resume", "download_btn_setup"})
      check.single_line(key, quillary::font_verdana_8_bold, quillary::download_panel_metrics::button_width - 6,
                        "panel button");
    const int panel_width = page.list.right - GetSystemMetrics(SM_CXVSCROLL);
    const quillary::panel_status_row row = quillary::place_status_row(panel_width, 1, code == "fr");
    for (const char* key : {"download_not_download", "download_downloading", "download_download_paused",
                            "download_download_error", "download_download_complete", "download_installing",
                            "download_not_signed", "download_https_refused"})
      check.single_line_either(table.text_of(key), key, quillary::font_verdana_8_bold, quillary::font_verdana_8,
                               row.status_text.right - row.status_text.left, "panel state");
    const int date_room = panel_width - 14 - quillary::download_panel_metrics::text_left;
    for (const char* key : {"download_date1", "download_date2"})
      check.single_line_either(quillary::format_language_text(table.text_of(key), {u"2013-04-30", u"2013-04-30"}), key,
                               quillary::font_verdana_8, quillary::font_arial_8, date_room, "panel date line");
    check.single_line("download_all_check", quillary::font_verdana_8, 240 - 20, "download-all box");
    check.single_line_either(table.text_of("download_all_button"), "download_all_button", quillary::font_verdana_8_bold,
                             quillary::font_verdana_8, 106 - 6, "download-all button");
    const int side = page.legend.right - page.legend.left;
    check.single_line("sidebar_score", quillary::font_verdana_10_bold, side, "score title");
    for (const char* key : {"sidebar_out_of_date", "sidebar_no_driver", "sidebar_up_to_date"})
      check.single_line_of(quillary::format_language_text(table.text_of(key), 9999), key, quillary::font_verdana_8,
                           side - 16, "legend line");
    check.single_line_of(quillary::format_language_text(table.text_of("sidebar_total"), 9999), "sidebar_total",
                         quillary::font_verdana_8, side, "legend line");
    check.paragraph("sidebar_whql", quillary::font_verdana_8, page.whql.right - page.whql.left,
                    page.whql.bottom - page.whql.top, 2, "WHQL paragraph");
    // (the link grows to the left for its text).
    check.single_line("sidebar_see_faq", quillary::font_verdana_8, side, "FAQ link");
    // Side-bar labels: the values move in for the widest one; the values'
    // column keeps at least 120 of the bar's 250 pixels.
    for (const char* key : {"sidebar_model", "sidebar_os", "sidebar_cpu", "sidebar_memory",
                            "sidebar_display", "sidebar_sound", "sidebar_storage"})
      check.single_line(key, quillary::font_verdana_8, 250 - 120 - 10 - 6, "side bar label");
    check.single_line("sidebar_system_info", quillary::font_verdana_10_bold, 247 - 54 - 8, "side bar heading");
    // The home page: the title, the three step names on the banner (their
    // segments less the step number), the foot line.
    check.single_line("home_scan_for_driver_updates", quillary::font_verdana_12_bold, 540 - 15, "home title");
    // (a name too wide in its language's face takes the smaller one).
    const quillary::home_layout home = quillary::place_home(790, 470, 520, 100, 2);
    const char* const steps[3] = {"home_scan_for_drivers", "home_download", "home_install"};
    for (int i = 0; i < 3; ++i) {
      check.single_line(steps[i], quillary::font_verdana_8_bold, home.step_room[i], "home step");
    }
    check.single_line("home_brindle_automatically", quillary::font_verdana_8_bold, 540 - 40, "home foot");
    // The scan page: the header between its two pictures, the title and the
    // status lines across the main area's frame, the waiting box.
    check.single_line("scan_scanning", quillary::font_verdana_16_bold, 540 - 10 - 120 - 80 - 10, "scan header");
    check.single_line("scan_scanning_your_computer", quillary::font_verdana_12_bold, 540 - 2 * 90, "scan title");
    check.single_line_of(table.text_of("scan_status") + table.text_of("scan_status2") + u"...", "scan_status2",
                         quillary::font_verdana_10, 540 - 20 - 2 * 15, "status line");
    check.single_line_of(table.text_of("scan_time_elapsed") + u"00:00:00", "scan_time_elapsed",
                         quillary::font_verdana_10, 540 - 20 - 2 * 15, "status line");
    check.single_line_of(table.text_of("scan_waiting") + u"...", "scan_waiting", quillary::font_verdana_10,
                         200 - 45 - 5, "waiting box");
    // The tray balloon keeps 31 characters: a count of three digits must stay.
    if (quillary::format_language_text(table.text_of("new_driver_notify"), 999).size() > 31)
      check.report_now("new_driver_notify", "tray balloon", "longer than 31 characters with a count of 999");
    // Panel labels "%s:" before their values, 90 pixels in.
    for (const char* key : {"device_detail_list_device_id", "device_detail_list_device_desc",
                            "device_detail_list_manufacturer", "device_detail_list_inf_name",
                            "device_detail_list_inf_date", "device_detail_list_inf_version", "backup_date"})
      check.single_line(key, quillary::font_verdana_8, 90 - 10, "panel label");
    // The backup and restore pages' headings on their 460-pixel pictures.
    for (const char* key : {"device_detail_driver_information", "backup_info", "backup_settings", "restore_settings"})
      check.single_line(key, quillary::font_verdana_9_bold, 460 - 20 - 10, "panel heading");
    // The settings dialog: the left column's headings end before the
    // divider, the right column's at the dialog's edge; the right column's
    // check boxes keep the template's size, two lines of 270 pixels.
    const int divider = quillary::divider_x(code);
    for (const char* key : {"config_close_option", "config_startup_option", "config_language"})
      check.single_line(key, quillary::font_verdana_8_bold, divider - 95 - 5, "settings heading");
    for (const char* key : {"config_scan_option", "config_scheduled_task"})
      check.single_line(key, quillary::font_verdana_8_bold, 640 - 340 - 20, "settings heading");
    for (const char* key : {"config_download_path", "config_backup_path"})
      check.single_line(key, quillary::font_verdana_8_bold, 468 - 93, "settings heading");
    for (const char* key : {"config_scan_non_present_devices", "config_enable_scheduled_automatic_scan"})
      check.wrapped_of(table.text_of(key), key, quillary::font_verdana_8, 270 - 18, 32, 0, "check box");
    if (code == "fr" || code == "es" || code == "pt")
      for (const char* key : {"config_close_to_system_tray", "config_start_when_windows_startup"})
        check.wrapped_of(table.text_of(key), key, quillary::font_verdana_8, 222 - 18, 32, 0, "check box");
    // The about dialog: the name on the header, the two lines on the band,
    // the paragraph in its box, Close on its button.
    check.single_line("about_name", quillary::font_arial_25_bold, 490 - 90, "about name");
    for (const char* key : {"about_copyright", "about_information"})
      check.single_line(key, quillary::font_verdana_8, 470 - 15, "about line");
    check.wrapped_of(quillary::about_paragraph(table.text_of("about_info1"), u"Apr 18 2013", u"11:55:01"),
                     "about_info1", quillary::font_verdana_8, 455 - 10, 100 - 20, 6, "about box");
    check.single_line("about_btn_bk", quillary::font_verdana_8, 130 - 8, "about button");
  }
  }
  DeleteDC(dc);
  std::printf("%d texts measured in %zu languages at 4 scales: %s\n", checked, std::size(languages),
              failures ? "some do not fit" : "all fit");
  return failures ? 1 : 0;
}
