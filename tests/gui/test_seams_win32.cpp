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
//   QUILLARY_TEST_SERVERS        the update service's addresses, separated by
//                                blanks, instead of the three built in
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/startup_win32.h"
#include "service/update_client.h"
#include "ui/main_window_win32.h"

namespace {

std::wstring object_log;
UINT count_message = 0;

// GetGuiResources answers 0 under Wine, whose handles hold their table
// index in the low 16 bits and accept a zero high word: there every index
// is asked instead.
DWORD gdi_objects() {
  if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return counted;
  DWORD count = 0;
  for (uintptr_t index = 0x20; index < 0x10000; ++index) {
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++count;
  }
  return count;
}

bool is_icon(HANDLE handle) {
  ICONINFO info{};
  if (!GetIconInfo(static_cast<HICON>(handle), &info)) return false;
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  return true;
}

DWORD user_objects() {
  if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return counted;
  DWORD count = 0;
  for (uintptr_t index = 0x20; index < 0xFFF0; index += 2) {
    const HANDLE handle = reinterpret_cast<HANDLE>(index);
    if (IsWindow(static_cast<HWND>(handle)) || IsMenu(static_cast<HMENU>(handle)) || is_icon(handle)) ++count;
  }
  return count;
}

LRESULT CALLBACK watch_messages(int code, WPARAM wparam, LPARAM lparam) {
  const MSG* message = reinterpret_cast<const MSG*>(lparam);
  if (code == HC_ACTION && wparam == PM_REMOVE && message->message == count_message) {
    const DWORD gdi = gdi_objects();
    const DWORD user = user_objects();
    if (FILE* log = _wfopen(object_log.c_str(), L"a")) {
      std::fprintf(log, "%lu %lu\n", gdi, user);
      std::fclose(log);
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  if (const wchar_t* delay = _wgetenv(L"QUILLARY_TEST_BACKGROUND_MS")) {
    quillary::main_window_c::set_background_scan_delay(static_cast<uint32_t>(std::wcstoul(delay, nullptr, 10)));
  }
  if (const char* servers = std::getenv("QUILLARY_TEST_SERVERS")) {
    std::istringstream words(servers);
    std::vector<std::string> list;
    for (std::string server; words >> server;) list.push_back(server);
    quillary::override_configured_servers(list);
  }
  if (const wchar_t* log = _wgetenv(L"QUILLARY_TEST_OBJECT_LOG")) {
    object_log = log;
    count_message = RegisterWindowMessageW(L"QuillaryTestCountObjects");
    SetWindowsHookExW(WH_GETMESSAGE, watch_messages, nullptr, GetCurrentThreadId());
  }
  return quillary::run_program(instance, show_command);
}
