// Window messages shared across the program's windows.
#pragma once

#include <windows.h>

namespace quillary {

constexpr UINT UM_START_SCAN = WM_USER + 1;
// From the scan page: its result is ready (scan_window_c::take_result).
constexpr UINT UM_SCAN_FINISHED = WM_USER + 2;
constexpr UINT UM_SCAN_ABANDONED = WM_USER + 4;
// From a second instance: show and activate; wParam 1 also starts a scan.
constexpr UINT UM_ACTIVATE_INSTANCE = WM_USER + 5;

// The download page's bar to the page, which hands them on to each panel:
// tick (wParam 1) or untick the needed panels' boxes; start the ticked ones.
constexpr UINT UM_CHECK_ALL = WM_USER + 7;
constexpr UINT UM_DOWNLOAD_ALL = WM_USER + 8;
// From any page to the main window: open the settings dialog.
constexpr UINT UM_OPEN_SETTINGS = WM_USER + 9;
// From an installation batch's thread to the download page: the outcomes
// of its jobs are in, for the panels that show them.
constexpr UINT UM_INSTALLATIONS_ENDED = WM_USER + 10;
// From a page to the main window: the user hid updates or showed them
// again (ui_context::hidden); the pages get the scan's result anew.
constexpr UINT UM_HIDDEN_CHANGED = WM_USER + 11;
// Sent from an installation batch's thread to the download page when the
// drivers a package replaces could not be backed up: 1 when the user
// chooses to install all the same. A page that is gone answers 0: No.
constexpr UINT UM_ASK_INSTALL_WITHOUT_BACKUP = WM_USER + 12;
// Sent from a panel to the download page: undo the installation of the
// package whose link (a std::string) lparam points to.
constexpr UINT UM_ROLL_BACK = WM_USER + 13;

// The main window's title, by which a second instance finds it.
inline constexpr wchar_t main_window_title[] = L"Quillary";
inline constexpr wchar_t main_window_class[] = L"MainWindow";

}  // namespace quillary
