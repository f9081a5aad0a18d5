// The numbers of the resources in quillary.exe: bitmaps, icons, menus,
// dialog templates, and the command and control ids inside the menus and
// dialogs. This file is the one list of them: resources/draw_skin.py reads
// it to name the pictures it draws and writes resource_ids_rc.h, the same
// numbers as #defines for the resource compiler, which quillary.rc includes.
// Keep one "name = number," per line.
#pragma once

#ifndef RC_INVOKED
namespace quillary {

enum resource_id : int {
  // --- Icons --------------------------------------------------------------
  icon_application = 128,  // window, taskbar and tray
  icon_alert = 373,        // tray icon while new drivers wait

  // --- Main window header (on the caption band) ------------------------------
  // Navigation buttons, 83 x 67 each; the label is drawn by the program.
  bitmap_top_home_normal = 236,
  bitmap_top_home_hover = 237,
  bitmap_top_home_pressed = 238,
  bitmap_top_download_normal = 239,
  bitmap_top_download_hover = 240,
  bitmap_top_download_pressed = 241,
  bitmap_top_backup_normal = 258,
  bitmap_top_backup_hover = 259,
  bitmap_top_backup_pressed = 260,
  bitmap_top_restore_normal = 264,
  bitmap_top_restore_hover = 265,
  bitmap_top_restore_pressed = 266,
  bitmap_top_settings_normal = 270,
  bitmap_top_settings_hover = 271,
  bitmap_top_settings_pressed = 272,
  // The strip along the top of the header, 5 x 24, tiled across.
  bitmap_header_strip = 273,
  // Caption buttons on the strip, 30 x 21 each.
  bitmap_caption_menu_normal = 274,
  bitmap_caption_menu_hover = 275,
  bitmap_caption_menu_pressed = 276,
  bitmap_caption_minimise_normal = 277,
  bitmap_caption_minimise_hover = 278,
  bitmap_caption_minimise_pressed = 279,
  bitmap_caption_maximise_normal = 280,
  bitmap_caption_maximise_hover = 281,
  bitmap_caption_maximise_pressed = 282,
  bitmap_caption_restore_normal = 283,  // the maximise button while maximised
  bitmap_caption_restore_hover = 284,
  bitmap_caption_restore_pressed = 285,
  bitmap_caption_close_normal = 286,
  bitmap_caption_close_hover = 287,
  bitmap_caption_close_pressed = 288,
  // Product logo, 161 x 50.
  bitmap_logo = 335,

  // --- Home page: banner (520 x 100) and start button (450 x 120) per language
  bitmap_start_button_en_normal = 290,
  bitmap_start_button_en_hover = 291,
  bitmap_start_button_en_pressed = 292,
  bitmap_banner_en = 300,
  bitmap_banner_ar = 412,
  bitmap_banner_pt = 414,
  bitmap_banner_it = 415,
  bitmap_start_button_ar_normal = 416,
  bitmap_start_button_ar_hover = 417,
  bitmap_start_button_ar_pressed = 418,
  bitmap_start_button_nl_normal = 419,
  bitmap_start_button_nl_hover = 420,
  bitmap_start_button_nl_pressed = 421,
  bitmap_start_button_pt_normal = 422,
  bitmap_start_button_pt_hover = 423,
  bitmap_start_button_pt_pressed = 424,
  bitmap_start_button_it_normal = 425,
  bitmap_start_button_it_hover = 426,
  bitmap_start_button_it_pressed = 427,
  bitmap_banner_de = 452,
  bitmap_banner_fr = 453,
  bitmap_banner_jp = 454,
  bitmap_banner_es = 455,
  bitmap_start_button_de_normal = 456,
  bitmap_start_button_de_hover = 457,
  bitmap_start_button_de_pressed = 458,
  bitmap_start_button_fr_normal = 459,
  bitmap_start_button_fr_hover = 460,
  bitmap_start_button_fr_pressed = 461,
  bitmap_start_button_jp_normal = 462,
  bitmap_start_button_jp_hover = 463,
  bitmap_start_button_jp_pressed = 464,
  bitmap_start_button_es_normal = 465,
  bitmap_start_button_es_hover = 466,
  bitmap_start_button_es_pressed = 467,

  // The home page's foot: a rule along the bottom (520 x 2) and, above it,
  // the picture before "home_brindle_automatically" (24 x 24).
  bitmap_home_footer_rule = 480,
  bitmap_home_footer_icon = 481,
  // Scan page: the picture before "scan_scanning" (56 x 56) and the one at
  // the right of the header (120 x 56).
  bitmap_scan_header_icon = 482,
  bitmap_scan_header_art = 483,
  // Side bar of the home and scan pages: the heading picture (242 x 56); the
  // program writes "sidebar_system_info" on it at (54, 23) of the picture.
  bitmap_side_bar_header = 484,

  // --- Download page -------------------------------------------------------------
  // A panel's action button, 90 x 24, and the bar's "download all", 106 x 27;
  // the program writes their texts.
  bitmap_panel_button_normal = 485,
  bitmap_panel_button_hover = 486,
  bitmap_panel_button_pressed = 487,
  bitmap_download_all_normal = 488,
  bitmap_download_all_hover = 489,
  bitmap_download_all_pressed = 490,
  // The mark before each device of a panel, 16 x 16.
  bitmap_status_needed = 491,
  bitmap_status_not_needed = 492,
  bitmap_status_no_driver = 493,

  // --- Dialog frames, message box, settings, about ----------------------------
  // Caption close button of the dialogs, 31 x 21.
  bitmap_close_normal = 323,
  bitmap_close_hover = 324,
  bitmap_close_pressed = 325,
  // Buttons of the settings and device details dialogs, 80 x 22.
  bitmap_dialog_button_normal = 329,
  bitmap_dialog_button_hover = 330,
  bitmap_dialog_button_pressed = 331,
  // Divider between the settings columns, 3 x 217.
  bitmap_settings_divider = 332,
  // About dialog: header picture 64 x 64, band 460 x 2, buttons 130 x 24.
  bitmap_about_header = 340,
  bitmap_about_band = 341,
  bitmap_about_button_normal = 348,
  bitmap_about_button_hover = 349,
  bitmap_about_button_pressed = 350,
  // Message box pictures, 48 x 48, and buttons, 70 x 24.
  bitmap_message_error = 351,
  bitmap_message_warning = 352,
  bitmap_message_information = 353,
  bitmap_message_question = 354,
  bitmap_message_button_normal = 356,
  bitmap_message_button_hover = 357,
  bitmap_message_button_pressed = 358,

  // --- Backup and restore pages ------------------------------------------------
  // The large action button, 280 x 56; its text is drawn by the program.
  bitmap_action_button_normal = 468,
  bitmap_action_button_hover = 469,
  bitmap_action_button_pressed = 470,
  // Panel headings, 460 x 22; the heading text starts at (20, 2).
  bitmap_backup_settings_header = 471,
  bitmap_information_header = 472,
  bitmap_restore_settings_header = 475,

  // --- Menus and their commands ------------------------------------------------
  menu_main = 333,  // caption button and tray icon
  command_settings = 32775,
  command_help = 32779,
  command_about = 32780,
  command_exit = 32781,
  menu_download_panel = 336,  // right click on a download panel
  command_panel_settings = 32789,
  command_panel_information = 32790,
  command_panel_remove = 32791,
  command_panel_action = 32792,
  command_panel_open_location = 32793,
  command_panel_hide = 32794,
  command_panel_rollback = 32795,

  // --- Dialog templates and their controls ------------------------------------
  dialog_settings = 313,
  control_download_path = 1000,
  control_backup_path = 1001,
  control_browse_download_path = 1002,
  control_browse_backup_path = 1003,
  control_start_with_windows = 1004,
  control_close_to_tray = 1005,
  control_scheduled_scan = 1006,
  control_language = 1007,
  control_scan_non_present = 1008,
  dialog_device_details = 338,
  dialog_about = 339,
};

}  // namespace quillary
#endif
