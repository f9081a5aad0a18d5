// quillary-test.exe: the program exactly as shipped, started through the
// seams its GUI tests set in the environment. The shipped quillary.exe has
// none of them.
//
//   QUILLARY_TEST_BACKGROUND_MS  how long the window stays hidden before the
//                                background scan (instead of 15 minutes)
//   QUILLARY_TEST_OBJECT_LOG     a file to which each "QuillaryTestCountObjects"
//                                message posted to any window of the program
//                                appends a line "GDI USER": the process's
//                                counts of GDI and USER objects
//   QUILLARY_TEST_SHELL_LOG      a file to which the program's shell
//                                appends a line "target|parameters" for each
//                                thing it opens; Explorer and folders are only
//                                written down, programs (the installers) run
//   QUILLARY_TEST_SERVERS        the update service's addresses, separated by
//                                blanks, instead of the three built in (a
//                                machine policy naming servers still wins,
//                                as it does over the built-in ones)
//   QUILLARY_TEST_INSTALL_HOLD   a file: while it exists, a program the shell
//                                is asked to start (an installer) waits after
//                                its log line, so that a test can act while an
//                                installation is under way
//   QUILLARY_TEST_RIGHTS, QUILLARY_TEST_ELEVATION, QUILLARY_TEST_ELEVATION_LOG
//                                the process's rights and the answer to the
//                                elevation prompt (see tests/test_elevator.h)
//   QUILLARY_TEST_AUTHENTICODE   the verdict of every setup program's check
//                                in this process (see tests/test_authenticode.h;
//                                the companion quillary-cli.exe has its own)
//   QUILLARY_TEST_HIGH_CONTRAST  "1": the program draws as under a
//                                high-contrast theme, with the system's
//                                colours, although Wine's
//                                SPI_GETHIGHCONTRAST never reports one
//   QUILLARY_TEST_DISPLAY_SCALE  "1": a "QuillaryTestDisplayScale" message
//                                posted to a window of the program with a
//                                DPI as its wparam moves the window's top
//                                window to a display of that DPI, as far as
//                                the window can tell: it gets WM_DPICHANGED
//                                with the rectangle Windows would suggest.
//                                Wine shows one display at one scale.
//   QUILLARY_TEST_WMI            "unavailable": the WMI connection of the
//                                system summary cannot be made, five
//                                seconds after it is tried (so that a test
//                                sees the window made meanwhile)
//
// It also answers the GUI test driver's questions about its open menus
// (tests/gui/menu_reader_win32.h), which Wine lets no other process read.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <sstream>
#include <string>
#include <vector>

#include "program/startup_win32.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "platform/wmi.h"
#include "service/update_client.h"
#include "tests/gui/menu_reader_win32.h"
#include "tests/gui/object_counts_win32.h"
#include "tests/test_authenticode.h"
#include "tests/test_elevator.h"
#include "ui/main_window_win32.h"
#include "ui/skin/palette_win32.h"
#include "ui/window/window_win32.h"

namespace {

std::wstring object_log;
UINT count_message = 0;

UINT display_scale_message = 0;

// What Windows sends a per-monitor aware window that moves to a display of
// `dpi`: the new DPI, and a rectangle of the window's size at that DPI with
// its top-left corner kept.
void move_to_display_of(HWND window, UINT dpi) {
  HWND top = GetAncestor(window, GA_ROOT);
  const quillary::window_c* object = quillary::window_c::from_handle(top);
  const int old_dpi = object ? object->scale().dpi : 96;
  RECT r{};
  GetWindowRect(top, &r);
  RECT suggested{r.left, r.top, r.left + MulDiv(r.right - r.left, static_cast<int>(dpi), old_dpi),
                 r.top + MulDiv(r.bottom - r.top, static_cast<int>(dpi), old_dpi)};
  SendMessageW(top, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

LRESULT CALLBACK watch_messages(int code, WPARAM wparam, LPARAM lparam) {
  const MSG* message = reinterpret_cast<const MSG*>(lparam);
  if (code == HC_ACTION && wparam == PM_REMOVE && display_scale_message &&
      message->message == display_scale_message) {
    move_to_display_of(message->hwnd, static_cast<UINT>(message->wParam));
  }
  if (code == HC_ACTION && wparam == PM_REMOVE && count_message && message->message == count_message) {
    const DWORD gdi = quillary::gdi_objects();
    const DWORD user = quillary::user_objects();
    if (FILE* log = _wfopen(object_log.c_str(), L"a")) {
      std::fprintf(log, "%lu %lu\n", gdi, user);
      std::fclose(log);
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

// Writes down what the page opens. A window of Explorer would stay open
// behind the test: folders and Explorer itself are not started.
class logging_shell_c : public quillary::shell_i {
 public:
  logging_shell_c(std::wstring path, std::wstring hold) : path_(std::move(path)), hold_(std::move(hold)) {}
  bool open(const std::u16string& target, const std::u16string& parameters) override {
    if (FILE* log = _wfopen(path_.c_str(), L"ab")) {
      const std::string line = quillary::utf16_to_utf8(target + u"|" + parameters) + "\n";
      std::fwrite(line.data(), 1, line.size(), log);
      std::fclose(log);
    }
    const DWORD attributes = GetFileAttributesW(quillary::wide(target));
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (folder || _wcsicmp(quillary::wide(target), L"explorer.exe") == 0) return true;
    while (!hold_.empty() && GetFileAttributesW(hold_.c_str()) != INVALID_FILE_ATTRIBUTES) Sleep(50);
    return quillary::platform::system_shell().open(target, parameters);
  }
  bool run_and_wait(const std::u16string& program, const std::u16string& parameters,
                    uint32_t& exit_code) override {
    return quillary::platform::system_shell().run_and_wait(program, parameters, exit_code);
  }

 private:
  std::wstring path_;
  std::wstring hold_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  quillary::gui::start_menu_reader(instance);
  if (const wchar_t* delay = _wgetenv(L"QUILLARY_TEST_BACKGROUND_MS")) {
    quillary::main_window_c::set_background_scan_delay(static_cast<uint32_t>(std::wcstoul(delay, nullptr, 10)));
  }
  quillary::program_options options;
  if (const char* addresses = std::getenv("QUILLARY_TEST_SERVERS")) {
    std::istringstream words(addresses);
    for (std::string server; words >> server;) options.built_in_servers.push_back(server);
  }
  if (options.built_in_servers.empty()) options.built_in_servers = quillary::configured_servers();
  if (const wchar_t* log = _wgetenv(L"QUILLARY_TEST_OBJECT_LOG")) {
    object_log = log;
    count_message = RegisterWindowMessageW(L"QuillaryTestCountObjects");
  }
  if (const wchar_t* scale = _wgetenv(L"QUILLARY_TEST_DISPLAY_SCALE"); scale && std::wcscmp(scale, L"1") == 0) {
    display_scale_message = RegisterWindowMessageW(L"QuillaryTestDisplayScale");
  }
  if (count_message || display_scale_message) {
    SetWindowsHookExW(WH_GETMESSAGE, watch_messages, nullptr, GetCurrentThreadId());
  }
  if (const wchar_t* log = _wgetenv(L"QUILLARY_TEST_SHELL_LOG")) {
    const wchar_t* hold = _wgetenv(L"QUILLARY_TEST_INSTALL_HOLD");
    static logging_shell_c shell(log, hold ? hold : L"");
    options.shell = &shell;
  }
  if (const wchar_t* wmi = _wgetenv(L"QUILLARY_TEST_WMI"); wmi && std::wcscmp(wmi, L"unavailable") == 0) {
    options.wmi = []() -> std::unique_ptr<quillary::wmi_connection_i> {
      Sleep(5000);
      return nullptr;
    };
  }
  if (const wchar_t* contrast = _wgetenv(L"QUILLARY_TEST_HIGH_CONTRAST")) {
    if (std::wcscmp(contrast, L"1") == 0) quillary::assume_high_contrast(true);
  }
  static const auto elevator = quillary::testing::elevator_from_environment();
  options.elevator = elevator.get();
  static const auto authenticode = quillary::testing::authenticode_from_environment();
  options.authenticode = authenticode.get();
  return quillary::run_program(instance, show_command, options);
}
