// window_probe: looks at and acts on the top-level windows of a Wine (or
// Windows) session, for the start-up system tests.
//
//   window_probe wait  TITLE [--class C] [--timeout MS] [--visible]
//   window_probe state TITLE [--class C]        {"visible":..,"iconic":..,"foreground":..}
//   window_probe hide|show|minimize|close TITLE [--class C]
//   window_probe texts TITLE [--class C]        texts of the window's static controls
//   window_probe press TITLE BUTTON [--class C] clicks the button with that text
//
// Titles and classes compare without regard to case. Exit codes: 0 done,
// 1 no such window (or timeout), 2 bad command line.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct query {
  std::wstring title;
  std::wstring window_class;
  bool visible_only = false;
  HWND found = nullptr;
};

BOOL CALLBACK match_window(HWND window, LPARAM context) {
  auto* q = reinterpret_cast<query*>(context);
  wchar_t text[260] = {}, name[260] = {};
  GetWindowTextW(window, text, 260);
  GetClassNameW(window, name, 260);
  if (_wcsicmp(text, q->title.c_str()) != 0) return TRUE;
  if (!q->window_class.empty() && _wcsicmp(name, q->window_class.c_str()) != 0) return TRUE;
  if (q->visible_only && !IsWindowVisible(window)) return TRUE;
  q->found = window;
  return FALSE;
}

HWND find(query q) {
  EnumWindows(match_window, reinterpret_cast<LPARAM>(&q));
  return q.found;
}

std::wstring window_text(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

void print_utf8(const std::wstring& text) {
  char buffer[4096];
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
  if (size > 0) std::fwrite(buffer, 1, size - 1, stdout);
  std::fputc('\n', stdout);
}

struct child_search {
  std::wstring text;
  std::vector<HWND> statics;
  HWND button = nullptr;
};

BOOL CALLBACK collect_child(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<child_search*>(context);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (_wcsicmp(name, L"Static") == 0) search->statics.push_back(window);
  if (_wcsicmp(name, L"Button") == 0 && !search->text.empty() &&
      _wcsicmp(window_text(window).c_str(), search->text.c_str()) == 0) {
    search->button = window;
  }
  return TRUE;
}

int usage() {
  std::fputs("usage: window_probe wait|state|hide|show|minimize|close|texts|press TITLE ...\n", stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return usage();
  const std::wstring command = argv[1];
  query q;
  q.title = argv[2];
  std::wstring button;
  DWORD timeout = 0;
  for (int i = 3; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--class" && i + 1 < argc) {
      q.window_class = argv[++i];
    } else if (arg == L"--timeout" && i + 1 < argc) {
      timeout = static_cast<DWORD>(_wtoi(argv[++i]));
    } else if (arg == L"--visible") {
      q.visible_only = true;
    } else if (command == L"press" && button.empty()) {
      button = arg;
    } else {
      return usage();
    }
  }

  const DWORD start = GetTickCount();
  HWND window = find(q);
  while (!window && command == L"wait" && GetTickCount() - start < timeout) {
    Sleep(100);
    window = find(q);
  }
  if (!window) {
    std::fputs("window_probe: no such window\n", stderr);
    return 1;
  }

  if (command == L"wait") {
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  } else if (command == L"state") {
    std::printf("{\"visible\": %s, \"iconic\": %s, \"foreground\": %s}\n",
                IsWindowVisible(window) ? "true" : "false", IsIconic(window) ? "true" : "false",
                GetForegroundWindow() == window ? "true" : "false");
  } else if (command == L"hide" || command == L"show" || command == L"minimize") {
    ShowWindow(window, command == L"hide" ? SW_HIDE : command == L"show" ? SW_SHOW : SW_MINIMIZE);
  } else if (command == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
  } else if (command == L"texts" || command == L"press") {
    child_search search;
    search.text = button;
    EnumChildWindows(window, collect_child, reinterpret_cast<LPARAM>(&search));
    if (command == L"texts") {
      for (HWND label : search.statics) {
        const std::wstring text = window_text(label);
        if (!text.empty()) print_utf8(text);
      }
    } else {
      if (!search.button) {
        std::fputs("window_probe: no such button\n", stderr);
        return 1;
      }
      PostMessageW(search.button, BM_CLICK, 0, 0);
    }
  } else {
    return usage();
  }
  std::fflush(stdout);
  return 0;
}
