// window_probe: the GUI test driver. It looks at and acts on the windows of
// a Wine (or Windows) session from outside, with real input.
//
//   window_probe start PROGRAM [ARG...]          starts a program; prints its process id
//   window_probe wait  TITLE [SEL] [--timeout MS] [--visible]   prints the window handle
//   window_probe find  TITLE [SEL]               prints the window handle
//   window_probe state TITLE [SEL]               {"visible":..,"iconic":..,"foreground":..}
//   window_probe tooltips                        JSON lines {"text": ..}: the visible tool tips
//                                                of every process (the tray's balloons among them)
//   window_probe post  TITLE NAME [NUMBER] [SEL] posts the registered message NAME to the window
//                                                (NUMBER as its wparam)
//   window_probe move  TITLE X Y [SEL]           moves the window's top-left corner to (X, Y)
//   window_probe objects TITLE [SEL]             {"gdi":..,"user":..}: the object counts of the
//                                                window's process
//   window_probe info  TITLE [SEL]               JSON: text, class, visible, enabled,
//                                                iconic, zoomed, foreground, window and
//                                                client rectangles and the work area of
//                                                the window's monitor (screen coordinates)
//   window_probe children TITLE CLASS [SEL]      JSON lines {"text", "visible", "window"}: every
//                                                child (at any depth) of that class, in order
//   window_probe items TITLE [SEL]               the rows of a list box or a report list view,
//                                                one JSON array of its column texts per line
//   window_probe hide|show|minimize|restore|close TITLE [SEL]
//   window_probe texts TITLE [SEL]               texts of the window's static controls
//   window_probe text  TITLE [SEL]               the window's own text
//   window_probe press TITLE BUTTON [SEL]        clicks the button with that text (BM_CLICK)
//   window_probe mouse TITLE ACTION X Y [SEL] [--window] [--delta N]
//                      ACTION: move, down, up, click, double, right (a right click),
//                      wheel (N × 120, default 1)
//                      at client coordinates, or window coordinates with --window
//                      (the caption and frame); real input through SendInput
//   window_probe key   TITLE KEY [SEL]           brings the window to the front and
//                      types KEY: escape, enter, space, tab, up, down, left, right,
//                      f10, apps (the menu key), a single character, or a
//                      virtual-key number; shift+KEY holds Shift down meanwhile
//   window_probe tree  TITLE [SEL]               JSON lines, one per item of the tree view SEL
//                      finds, depth first: text, level, box (0 none, 1 unticked,
//                      2 ticked), expanded, selected, and where to click in client
//                      coordinates: "row" (the text) and "check" (the box), or null
//                      while the item is scrolled or folded away
//   window_probe checked TITLE [SEL]             a check box's state: 0, 1, or 2 (the third)
//   window_probe pixel TITLE X Y [SEL] [--window]   the screen's colour there: #RRGGBB
//   window_probe screenshot TITLE FILE.png [SEL] [--client]  the window (or its client
//                      area) as the screen shows it, as PNG
//
// TITLE is the window's exact text, compared without regard to case; "*"
// matches any text. SEL narrows the search:
//   --class C        the top-level window's class
//   --child-class C  then a child (at any depth) of that class
//   --child-id N     then a child with that control id
//   --child-text T   then a child with that text
//   --visible        the window (and the child) must be visible
// Exit codes: 0 done, 1 no such window (or timeout, or the action failed),
// 2 bad command line.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/gui/capture_win32.h"

namespace {

struct query {
  std::wstring title;
  std::wstring window_class;
  bool visible_only = false;
  std::wstring child_class;
  std::wstring child_text;
  int child_id = -1;
  bool has_child = false;
  HWND found = nullptr;
};

std::wstring window_text(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

std::wstring class_name(HWND window) {
  wchar_t name[260] = {};
  GetClassNameW(window, name, 260);
  return name;
}

BOOL CALLBACK match_window(HWND window, LPARAM context) {
  auto* q = reinterpret_cast<query*>(context);
  if (q->title != L"*" && _wcsicmp(window_text(window).c_str(), q->title.c_str()) != 0) return TRUE;
  if (!q->window_class.empty() && _wcsicmp(class_name(window).c_str(), q->window_class.c_str()) != 0)
    return TRUE;
  if (q->visible_only && !IsWindowVisible(window)) return TRUE;
  q->found = window;
  return FALSE;
}

BOOL CALLBACK match_child(HWND window, LPARAM context) {
  auto* q = reinterpret_cast<query*>(context);
  if (!q->child_class.empty() && _wcsicmp(class_name(window).c_str(), q->child_class.c_str()) != 0)
    return TRUE;
  if (q->child_id >= 0 && GetDlgCtrlID(window) != q->child_id) return TRUE;
  if (!q->child_text.empty() && _wcsicmp(window_text(window).c_str(), q->child_text.c_str()) != 0)
    return TRUE;
  // With --visible the child must show too (two pages may hold alike controls).
  if (q->visible_only && !IsWindowVisible(window)) return TRUE;
  q->found = window;
  return FALSE;
}

HWND find(query q) {
  EnumWindows(match_window, reinterpret_cast<LPARAM>(&q));
  if (!q.found || !q.has_child) return q.found;
  HWND top = q.found;
  q.found = nullptr;
  EnumChildWindows(top, match_child, reinterpret_cast<LPARAM>(&q));
  return q.found;
}

void print_utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string buffer(static_cast<size_t>(size > 0 ? size : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer.data(), size, nullptr, nullptr);
  std::fputs(buffer.c_str(), stdout);
  std::fputc('\n', stdout);
}

std::wstring json_string(const std::wstring& text) {
  std::wstring out = L"\"";
  for (wchar_t c : text) {
    if (c == L'"' || c == L'\\') {
      out += L'\\';
      out += c;
    } else if (c < 0x20) {
      wchar_t escaped[8];
      std::swprintf(escaped, 8, L"\\u%04x", c);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + L"\"";
}

std::wstring json_rect(const RECT& r) {
  wchar_t text[96];
  std::swprintf(text, 96, L"[%ld, %ld, %ld, %ld]", r.left, r.top, r.right, r.bottom);
  return text;
}

struct child_search {
  std::wstring text;
  std::vector<HWND> statics;
  HWND button = nullptr;
};

BOOL CALLBACK collect_child(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<child_search*>(context);
  const std::wstring name = class_name(window);
  if (_wcsicmp(name.c_str(), L"Static") == 0) search->statics.push_back(window);
  if (_wcsicmp(name.c_str(), L"Button") == 0 && !search->text.empty() &&
      _wcsicmp(window_text(window).c_str(), search->text.c_str()) == 0) {
    search->button = window;
  }
  return TRUE;
}

struct class_search {
  std::wstring name;
  std::vector<HWND> found;
};

BOOL CALLBACK collect_of_class(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<class_search*>(context);
  if (_wcsicmp(class_name(window).c_str(), search->name.c_str()) == 0) search->found.push_back(window);
  return TRUE;
}

int usage() {
  std::fputs(
      "usage: window_probe start|wait|find|state|info|children|items|hide|show|minimize|restore|close|"
      "texts|text|press|mouse|key|tree|pixel|screenshot ... (see the header of window_probe_win32.cpp)\n",
      stderr);
  return 2;
}

int fail(const char* what) {
  std::fprintf(stderr, "window_probe: %s\n", what);
  return 1;
}

// --- real input ---------------------------------------------------------------

void send_mouse(DWORD flags, int wheel = 0) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.mouseData = static_cast<DWORD>(wheel);
  SendInput(1, &input, sizeof input);
}

void move_pointer(POINT at) {
  SetCursorPos(at.x, at.y);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  input.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  SendInput(1, &input, sizeof input);
}

bool mouse_action(const std::wstring& action, POINT at, int delta) {
  move_pointer(at);
  Sleep(60);
  if (action == L"move") return true;
  if (action == L"down") {
    send_mouse(MOUSEEVENTF_LEFTDOWN);
  } else if (action == L"up") {
    send_mouse(MOUSEEVENTF_LEFTUP);
  } else if (action == L"click") {
    send_mouse(MOUSEEVENTF_LEFTDOWN);
    send_mouse(MOUSEEVENTF_LEFTUP);
  } else if (action == L"right") {
    send_mouse(MOUSEEVENTF_RIGHTDOWN);
    send_mouse(MOUSEEVENTF_RIGHTUP);
  } else if (action == L"double") {
    for (int i = 0; i < 2; ++i) {
      send_mouse(MOUSEEVENTF_LEFTDOWN);
      send_mouse(MOUSEEVENTF_LEFTUP);
    }
  } else if (action == L"wheel") {
    send_mouse(MOUSEEVENTF_WHEEL, delta * WHEEL_DELTA);
  } else {
    return false;
  }
  Sleep(100);
  return true;
}

WORD virtual_key(const std::wstring& name) {
  struct named {
    const wchar_t* name;
    WORD key;
  };
  static const named keys[] = {{L"escape", VK_ESCAPE}, {L"enter", VK_RETURN}, {L"space", VK_SPACE},
                               {L"tab", VK_TAB},       {L"up", VK_UP},        {L"down", VK_DOWN},
                               {L"left", VK_LEFT},     {L"right", VK_RIGHT},  {L"f10", VK_F10},
                               {L"apps", VK_APPS}};
  for (const auto& k : keys) {
    if (_wcsicmp(name.c_str(), k.name) == 0) return k.key;
  }
  if (name.size() == 1) return static_cast<WORD>(LOBYTE(VkKeyScanW(name[0])));
  return static_cast<WORD>(_wtoi(name.c_str()));
}

void press_key(WORD key, bool shift = false) {
  INPUT inputs[4] = {};
  UINT count = 0;
  auto add = [&](WORD vk, DWORD flags) {
    inputs[count].type = INPUT_KEYBOARD;
    inputs[count].ki.wVk = vk;
    inputs[count].ki.dwFlags = flags;
    ++count;
  };
  if (shift) add(VK_SHIFT, 0);
  add(key, 0);
  add(key, KEYEVENTF_KEYUP);
  if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
  SendInput(count, inputs, sizeof(INPUT));
  Sleep(100);
}

// --- commands -------------------------------------------------------------------------

// The visible tool tips of every process (the notification area's balloons
// belong to the shell): the text of each one's first tool. The
// tool's record and its text are read in the tool tip's own process.
BOOL CALLBACK print_tooltip(HWND window, LPARAM) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (_wcsicmp(name, TOOLTIPS_CLASSW) != 0 || !IsWindowVisible(window)) return TRUE;
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process_id);
  if (!process) return TRUE;
  constexpr size_t text_chars = 1024;
  const size_t size = sizeof(TTTOOLINFOW) + text_chars * sizeof(wchar_t);
  auto* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
  if (remote) {
    auto* remote_info = reinterpret_cast<TTTOOLINFOW*>(remote);
    auto* remote_text = reinterpret_cast<wchar_t*>(remote + sizeof(TTTOOLINFOW));
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.lpszText = remote_text;
    WriteProcessMemory(process, remote_info, &info, sizeof info, nullptr);
    std::wstring text;
    if (SendMessageW(window, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(remote_info))) {
      ReadProcessMemory(process, remote_info, &info, sizeof info, nullptr);
      info.lpszText = remote_text;
      WriteProcessMemory(process, remote_info, &info, sizeof info, nullptr);
      SendMessageW(window, TTM_GETTEXTW, text_chars, reinterpret_cast<LPARAM>(remote_info));
      wchar_t buffer[text_chars] = {};
      ReadProcessMemory(process, remote_text, buffer, sizeof buffer - sizeof(wchar_t), nullptr);
      text = buffer;
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    print_utf8(L"{\"text\": " + json_string(text) + L"}");
  }
  CloseHandle(process);
  return TRUE;
}

// A tree view of another process: its item records and rectangles are read
// through a buffer in that process, since the pointers in tree-view
// messages are the receiver's.
class remote_tree {
 public:
  explicit remote_tree(HWND tree) : tree_(tree) {
    DWORD process_id = 0;
    GetWindowThreadProcessId(tree, &process_id);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process_id);
    if (process_) remote_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
  }
  ~remote_tree() {
    if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  bool ready() const { return remote_ != nullptr; }

  void print(HTREEITEM item, int level) {
    for (; item; item = next(item, TVGN_NEXT)) {
      TVITEMW tv{};
      tv.mask = TVIF_TEXT | TVIF_STATE | TVIF_HANDLE;
      tv.hItem = item;
      tv.stateMask = TVIS_STATEIMAGEMASK | TVIS_EXPANDED | TVIS_SELECTED;
      tv.pszText = reinterpret_cast<wchar_t*>(remote_ + 512);
      tv.cchTextMax = 1000;
      WriteProcessMemory(process_, remote_, &tv, sizeof tv, nullptr);
      SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote_));
      ReadProcessMemory(process_, remote_, &tv, sizeof tv, nullptr);
      wchar_t text[1001] = {};
      ReadProcessMemory(process_, remote_ + 512, text, 1000 * sizeof(wchar_t), nullptr);
      const int box = static_cast<int>((tv.state & TVIS_STATEIMAGEMASK) >> 12);
      wchar_t head[160];
      std::swprintf(head, 160, L", \"level\": %d, \"box\": %d, \"expanded\": %ls, \"selected\": %ls", level, box,
                    (tv.state & TVIS_EXPANDED) ? L"true" : L"false", (tv.state & TVIS_SELECTED) ? L"true" : L"false");
      print_utf8(L"{\"text\": " + json_string(text) + head + L", \"row\": " + row_point(item) +
                 L", \"check\": " + check_point(item) + L"}");
      print(next(item, TVGN_CHILD), level + 1);
    }
  }
  HTREEITEM root() { return next(nullptr, TVGN_ROOT); }

 private:
  HTREEITEM next(HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
  }
  bool text_rect(HTREEITEM item, RECT& rect) {
    std::memcpy(&rect, &item, sizeof item);
    WriteProcessMemory(process_, remote_, &rect, sizeof rect, nullptr);
    if (!SendMessageW(tree_, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(remote_))) return false;
    ReadProcessMemory(process_, remote_, &rect, sizeof rect, nullptr);
    RECT client{};
    GetClientRect(tree_, &client);
    return rect.bottom > 0 && rect.top < client.bottom;
  }
  static std::wstring point(int x, int y) { return L"[" + std::to_wstring(x) + L", " + std::to_wstring(y) + L"]"; }
  std::wstring row_point(HTREEITEM item) {
    RECT rect{};
    if (!text_rect(item, rect)) return L"null";
    return point((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  }
  // The middle of the stretch left of the text where the tree's hit test
  // finds the item's box.
  std::wstring check_point(HTREEITEM item) {
    RECT rect{};
    if (!text_rect(item, rect)) return L"null";
    const int y = (rect.top + rect.bottom) / 2;
    int first = -1, last = -1;
    for (int x = 0; x < rect.left; ++x) {
      TVHITTESTINFO hit{};
      hit.pt = POINT{x, y};
      WriteProcessMemory(process_, remote_, &hit, sizeof hit, nullptr);
      SendMessageW(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(remote_));
      ReadProcessMemory(process_, remote_, &hit, sizeof hit, nullptr);
      if (hit.hItem == item && (hit.flags & TVHT_ONITEMSTATEICON)) {
        if (first < 0) first = x;
        last = x;
      }
    }
    if (first < 0) return L"null";
    return point((first + last) / 2, y);
  }

  HWND tree_;
  HANDLE process_ = nullptr;
  char* remote_ = nullptr;
};

int start_program(int argc, wchar_t** argv) {
  if (argc < 3) return usage();
  std::wstring command_line;
  for (int i = 2; i < argc; ++i) {
    if (!command_line.empty()) command_line += L' ';
    command_line += L'"';
    command_line += argv[i];
    command_line += L'"';
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return fail("cannot start the program");
  }
  std::printf("%lu\n", process.dwProcessId);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

// Reads the rows of another process's list box or list view. A list view's
// texts are copied into a buffer that lives in that process.
int print_items(HWND control) {
  DWORD process_id = 0;
  GetWindowThreadProcessId(control, &process_id);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process_id);
  if (!process) return 1;
  constexpr SIZE_T text_chars = 2048;
  const SIZE_T size = sizeof(LVITEMW) + text_chars * sizeof(wchar_t);
  auto* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
  if (!remote) {
    CloseHandle(process);
    return 1;
  }
  auto read_text = [&](SIZE_T offset) {
    std::wstring text(text_chars, L'\0');
    SIZE_T got = 0;
    ReadProcessMemory(process, remote + offset, text.data(), text_chars * sizeof(wchar_t), &got);
    text.resize(wcsnlen(text.c_str(), text_chars));
    return text;
  };
  const std::wstring kind = class_name(control);
  if (_wcsicmp(kind.c_str(), L"ListBox") == 0) {
    const LRESULT count = SendMessageW(control, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      // The system carries a list box's texts across processes itself.
      const LRESULT length = SendMessageW(control, LB_GETTEXTLEN, i, 0);
      if (length < 0) continue;
      std::wstring text(static_cast<size_t>(length) + 1, L'\0');
      SendMessageW(control, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
      text.resize(wcsnlen(text.c_str(), text.size()));
      print_utf8(L"[" + json_string(text) + L"]");
    }
  } else {
    const LRESULT rows = SendMessageW(control, LVM_GETITEMCOUNT, 0, 0);
    HWND header = reinterpret_cast<HWND>(SendMessageW(control, LVM_GETHEADER, 0, 0));
    const LRESULT columns = header ? SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) : 1;
    for (LRESULT row = 0; row < rows; ++row) {
      std::wstring line = L"[";
      for (LRESULT column = 0; column < columns; ++column) {
        LVITEMW item{};
        item.iSubItem = static_cast<int>(column);
        item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
        item.cchTextMax = static_cast<int>(text_chars);
        WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
        WriteProcessMemory(process, remote + sizeof(LVITEMW), L"", sizeof(wchar_t), nullptr);
        SendMessageW(control, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
        line += (column ? L", " : L"") + json_string(read_text(sizeof(LVITEMW)));
      }
      print_utf8(line + L"]");
    }
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return usage();
  const std::wstring command = argv[1];
  if (command == L"start") return start_program(argc, argv);
  if (command == L"tooltips") {
    EnumWindows(print_tooltip, 0);
    return 0;
  }
  if (argc < 3) return usage();

  query q;
  q.title = argv[2];
  std::vector<std::wstring> positional;
  DWORD timeout = 0;
  bool window_coordinates = false, client_only = false;
  int delta = 1;
  for (int i = 3; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == L"--class" && has_value) {
      q.window_class = argv[++i];
    } else if (arg == L"--child-class" && has_value) {
      q.child_class = argv[++i];
      q.has_child = true;
    } else if (arg == L"--child-id" && has_value) {
      q.child_id = _wtoi(argv[++i]);
      q.has_child = true;
    } else if (arg == L"--child-text" && has_value) {
      q.child_text = argv[++i];
      q.has_child = true;
    } else if (arg == L"--timeout" && has_value) {
      timeout = static_cast<DWORD>(_wtoi(argv[++i]));
    } else if (arg == L"--delta" && has_value) {
      delta = _wtoi(argv[++i]);
    } else if (arg == L"--visible") {
      q.visible_only = true;
    } else if (arg == L"--window") {
      window_coordinates = true;
    } else if (arg == L"--client") {
      client_only = true;
    } else if (arg.rfind(L"--", 0) == 0 && !(arg.size() > 2 && iswdigit(arg[2]))) {
      return usage();
    } else {
      positional.push_back(arg);
    }
  }

  const DWORD start = GetTickCount();
  HWND window = find(q);
  while (!window && command == L"wait" && GetTickCount() - start < timeout) {
    Sleep(100);
    window = find(q);
  }
  if (!window) return fail("no such window");

  // A point of the window in screen coordinates from client (or window)
  // coordinates.
  const auto screen_point = [&](const std::wstring& x, const std::wstring& y) {
    POINT p{_wtoi(x.c_str()), _wtoi(y.c_str())};
    if (window_coordinates) {
      RECT bounds{};
      GetWindowRect(window, &bounds);
      p.x += bounds.left;
      p.y += bounds.top;
    } else {
      ClientToScreen(window, &p);
    }
    return p;
  };

  if (command == L"wait" || command == L"find") {
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  } else if (command == L"state") {
    std::printf("{\"visible\": %s, \"iconic\": %s, \"foreground\": %s}\n",
                IsWindowVisible(window) ? "true" : "false", IsIconic(window) ? "true" : "false",
                GetForegroundWindow() == window ? "true" : "false");
  } else if (command == L"post") {
    // A registered message, by name, posted to the window, with a number
    // as its wparam when one is given.
    if (positional.empty() || positional.size() > 2) return usage();
    const WPARAM number = positional.size() == 2 ? std::wcstoul(positional[1].c_str(), nullptr, 10) : 0;
    PostMessageW(window, RegisterWindowMessageW(positional[0].c_str()), number, 0);
  } else if (command == L"objects") {
    // The window's process's counts of GDI and USER objects.
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process_id);
    if (!process) return fail("cannot open the window's process");
    std::printf("{\"gdi\": %lu, \"user\": %lu}\n", GetGuiResources(process, GR_GDIOBJECTS),
                GetGuiResources(process, GR_USEROBJECTS));
    CloseHandle(process);
  } else if (command == L"info") {
    RECT bounds{}, client{};
    GetWindowRect(window, &bounds);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const auto flag = [](bool value) { return value ? L"true" : L"false"; };
    std::wstring json = L"{\"text\": " + json_string(window_text(window)) +
                        L", \"class\": " + json_string(class_name(window)) +
                        L", \"visible\": " + flag(IsWindowVisible(window)) +
                        L", \"enabled\": " + flag(IsWindowEnabled(window)) +
                        L", \"iconic\": " + flag(IsIconic(window)) +
                        L", \"zoomed\": " + flag(IsZoomed(window)) +
                        L", \"foreground\": " + flag(GetForegroundWindow() == window) +
                        L", \"window\": " + json_rect(bounds) + L", \"client\": " +
                        json_rect(client) + L", \"work_area\": " + json_rect(monitor.rcWork) +
                        L"}";
    print_utf8(json);
  } else if (command == L"hide" || command == L"show" || command == L"minimize" ||
             command == L"restore") {
    ShowWindow(window, command == L"hide"       ? SW_HIDE
                       : command == L"show"     ? SW_SHOW
                       : command == L"minimize" ? SW_MINIMIZE
                                                : SW_RESTORE);
  } else if (command == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
  } else if (command == L"move") {
    if (positional.size() != 2) return usage();
    SetWindowPos(window, nullptr, std::wcstol(positional[0].c_str(), nullptr, 10),
                 std::wcstol(positional[1].c_str(), nullptr, 10), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (command == L"children") {
    if (positional.empty()) return usage();
    class_search search{positional[0], {}};
    EnumChildWindows(window, collect_of_class, reinterpret_cast<LPARAM>(&search));
    for (HWND child : search.found) {
      RECT r{};
      GetWindowRect(child, &r);
      print_utf8(L"{\"text\": " + json_string(window_text(child)) + L", \"visible\": " +
                 (IsWindowVisible(child) ? L"true" : L"false") + L", \"window\": " + json_rect(r) + L"}");
    }
  } else if (command == L"items") {
    return print_items(window);
  } else if (command == L"text") {
    print_utf8(window_text(window));
  } else if (command == L"texts" || command == L"press") {
    child_search search;
    if (command == L"press") {
      if (positional.size() != 1) return usage();
      search.text = positional[0];
    }
    EnumChildWindows(window, collect_child, reinterpret_cast<LPARAM>(&search));
    if (command == L"texts") {
      for (HWND label : search.statics) {
        const std::wstring text = window_text(label);
        if (!text.empty()) print_utf8(text);
      }
    } else {
      if (!search.button) return fail("no such button");
      PostMessageW(search.button, BM_CLICK, 0, 0);
    }
  } else if (command == L"mouse") {
    if (positional.size() != 3) return usage();
    HWND top = GetAncestor(window, GA_ROOT);
    SetForegroundWindow(top);
    if (!mouse_action(positional[0], screen_point(positional[1], positional[2]), delta)) {
      return usage();
    }
  } else if (command == L"key") {
    if (positional.size() != 1) return usage();
    SetForegroundWindow(GetAncestor(window, GA_ROOT));
    Sleep(100);
    std::wstring name = positional[0];
    const bool shift = _wcsnicmp(name.c_str(), L"shift+", 6) == 0;
    if (shift) name = name.substr(6);
    press_key(virtual_key(name), shift);
  } else if (command == L"checked") {
    std::printf("%ld\n", static_cast<long>(SendMessageW(window, BM_GETCHECK, 0, 0)));
  } else if (command == L"tree") {
    remote_tree tree(window);
    if (!tree.ready()) return fail("cannot reach the tree's process");
    tree.print(tree.root(), 0);
  } else if (command == L"pixel") {
    if (positional.size() != 2) return usage();
    const POINT p = screen_point(positional[0], positional[1]);
    const COLORREF colour = quillary::gui::screen_pixel(p.x, p.y);
    if (colour == CLR_INVALID) return fail("no pixel there");
    std::printf("#%02X%02X%02X\n", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  } else if (command == L"screenshot") {
    if (positional.size() != 1) return usage();
    const bool saved = quillary::gui::save_window_png(window, positional[0], client_only);
    if (!saved) return fail("cannot save the screenshot");
  } else {
    return usage();
  }
  std::fflush(stdout);
  return 0;
}
