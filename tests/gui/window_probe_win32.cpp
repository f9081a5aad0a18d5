// window_probe: the GUI test driver. It looks at and acts on the windows of
// a Wine (or Windows) session from outside, with real input, and reads the
// program's controls as a screen reader does, by name and role.
//
//   window_probe serve                           answers commands from its input, one a line
//                                                (see serve() below): one process for a test
//   window_probe access list TITLE [SEL] [--own] the accessible elements of the window and its
//                                                visible descendants (with --own: the window's
//                                                own only), one a line, tab-separated:
//                                                window class, child id, role, state (hex),
//                                                name, value
//   window_probe access get|wait|gone TITLE NAME [SEL] [--role R]   an element of that name:
//                                                its line, until it shows, until it has gone
//   window_probe access press TITLE NAME [SEL] [--role R]   its default action, as a screen
//                                                reader does it
//   window_probe access click TITLE NAME [SEL] [--role R] [--right|--double]   a real click
//                                                at the element's middle
//   window_probe access where TITLE NAME [SEL] [--role R]   its rectangle on the screen
//   window_probe access focused TITLE [NAME] [SEL] [--role R]   the focused element's line;
//                                                with NAME: until the focused one has it
//                                                The access commands wait up to --timeout MS
//                                                (10000 unless told) for what they look for.
//   window_probe registry set KEY NAME dword|text VALUE | get KEY NAME | delete KEY
//                                                as reg add, reg query and reg delete (KEY:
//                                                HKCU\... or HKLM\...); get prints 0x… or the text
//   window_probe path UNIX_PATH                  the path as Windows programs see it (Wine only)
//   window_probe menu choose|get TEXT [--timeout MS]   the item of that text in the program's
//                                                open menu: a real click on it, or its state
//                                                {"grey":..,"checked":..}; only the test build
//                                                answers (tests/gui/menu_reader_win32.h)
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

#include "tests/gui/accessible_reader_win32.h"
#include "tests/gui/capture_win32.h"
#include "tests/gui/menu_reader_win32.h"

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

// Makes the window the foreground window and waits (2 s at most, on a busy
// machine) until the system says it is.
bool bring_to_front(HWND top) {
  const DWORD start = GetTickCount();
  SetForegroundWindow(top);
  while (GetForegroundWindow() != top) {
    if (GetTickCount() - start > 2000) return false;
    Sleep(20);
    SetForegroundWindow(top);
  }
  return true;
}

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

int start_program(const std::vector<std::wstring>& args) {
  if (args.size() < 2) return usage();
  std::wstring command_line;
  for (size_t i = 1; i < args.size(); ++i) {
    if (!command_line.empty()) command_line += L' ';
    command_line += L'"';
    command_line += args[i];
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

// What follows TITLE: the window's selection, options and plain words.
struct command_line {
  query q;
  std::vector<std::wstring> positional;
  DWORD timeout = 0;
  bool timeout_given = false;
  bool window_coordinates = false, client_only = false;
  bool own_elements_only = false;  // access: the window's elements, not its children's
  int delta = 1;
  std::wstring role;
  std::wstring mouse = L"click";  // what `access click` does: click, right or double
};

bool parse(const std::vector<std::wstring>& args, size_t first, command_line& line) {
  for (size_t i = first; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == L"--class" && has_value) {
      line.q.window_class = args[++i];
    } else if (arg == L"--child-class" && has_value) {
      line.q.child_class = args[++i];
      line.q.has_child = true;
    } else if (arg == L"--child-id" && has_value) {
      line.q.child_id = _wtoi(args[++i].c_str());
      line.q.has_child = true;
    } else if (arg == L"--child-text" && has_value) {
      line.q.child_text = args[++i];
      line.q.has_child = true;
    } else if (arg == L"--timeout" && has_value) {
      line.timeout = static_cast<DWORD>(_wtoi(args[++i].c_str()));
      line.timeout_given = true;
    } else if (arg == L"--delta" && has_value) {
      line.delta = _wtoi(args[++i].c_str());
    } else if (arg == L"--role" && has_value) {
      line.role = args[++i];
    } else if (arg == L"--visible") {
      line.q.visible_only = true;
    } else if (arg == L"--window") {
      line.window_coordinates = true;
    } else if (arg == L"--client") {
      line.client_only = true;
    } else if (arg == L"--own") {
      line.own_elements_only = true;
    } else if (arg == L"--right") {
      line.mouse = L"right";
    } else if (arg == L"--double") {
      line.mouse = L"double";
    } else if (arg.rfind(L"--", 0) == 0 && !(arg.size() > 2 && iswdigit(arg[2]))) {
      return false;
    } else {
      line.positional.push_back(arg);
    }
  }
  return true;
}

// --- accessible elements --------------------------------------------------------

void print_rect(const RECT& r) { print_utf8(json_rect(r)); }

// access SUB TITLE [NAME] [SEL] [--role R] [--timeout MS] [--right|--double]:
// the program's elements as a screen reader reads them, found by name. The
// commands that look for an element wait for it to show (10 s unless told).
int access_command(const std::vector<std::wstring>& args) {
  if (args.size() < 3) return usage();
  const std::wstring& sub = args[1];
  command_line line;
  line.q.title = args[2];
  if (!parse(args, 3, line)) return usage();
  const bool wants_name = sub == L"press" || sub == L"click" || sub == L"where" || sub == L"wait" ||
                          sub == L"gone" || sub == L"get";
  if (wants_name && line.positional.size() != 1) return usage();
  if (!wants_name && sub != L"list" && sub != L"focused") return usage();
  if (line.positional.size() > 1) return usage();
  const std::wstring name = line.positional.empty() ? std::wstring() : line.positional[0];
  const DWORD timeout = line.timeout_given ? line.timeout : (sub == L"list" ? 0 : 10000);

  const DWORD start = GetTickCount();
  for (;;) {
    const bool last_try = GetTickCount() - start >= timeout;
    HWND root = find(line.q);
    if (root) {
      const quillary::gui::accessible_reading_c reading(root, !line.own_elements_only);
      if (sub == L"list") {
        for (const auto& e : reading.elements()) print_utf8(quillary::gui::describe(e));
        return reading.elements().empty() ? 1 : 0;
      }
      if (sub == L"focused") {
        const auto* focused = reading.focused();
        const bool matches = focused && (name.empty() || (focused->name == name &&
                                                          (line.role.empty() || focused->role == line.role)));
        if (matches || (name.empty() && !focused) || last_try) {
          if (focused) print_utf8(quillary::gui::describe(*focused));
          return matches ? 0 : 1;
        }
      } else {
        const auto* e = reading.named(name, line.role, sub == L"press");
        if (sub == L"gone") {
          if (!e) return 0;
        } else if (e) {
          if (sub == L"wait") return 0;
          if (sub == L"get") {
            print_utf8(quillary::gui::describe(*e));
            return 0;
          }
          if (sub == L"press") return quillary::gui::do_default_action(*e) ? 0 : fail("the action failed");
          RECT r{};
          if (!quillary::gui::location(*e, r)) return fail("the element has no place on the screen");
          if (sub == L"where") {
            print_rect(r);
            return 0;
          }
          SetForegroundWindow(GetAncestor(root, GA_ROOT));
          const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
          return mouse_action(line.mouse, centre, 1) ? 0 : usage();
        }
      }
    }
    if (!root && sub == L"gone") return 0;
    if (last_try) return fail(root ? "no such element" : "no such window");
    Sleep(100);
  }
}

// --- menus ------------------------------------------------------------------------

// Where the open menus of the program's test build show an item of that
// text; asked of the test build's menu reader.
quillary::gui::menu_item_place menu_item(const std::wstring& text) {
  quillary::gui::menu_item_place none;
  HWND reader = FindWindowW(quillary::gui::menu_reader_class, nullptr);
  if (!reader) return none;
  COPYDATASTRUCT data{};
  data.cbData = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  data.lpData = const_cast<wchar_t*>(text.c_str());
  DWORD_PTR reply = 0;
  if (!SendMessageTimeoutW(reader, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000,
                           &reply)) {
    return none;
  }
  return quillary::gui::unpack(static_cast<LRESULT>(reply));
}

// menu choose|get TEXT [--timeout MS]: waits (5 s unless told) for an open
// menu with that item; choose clicks it with real input, get prints its state.
int menu_command(const std::vector<std::wstring>& args) {
  if (args.size() < 3) return usage();
  command_line line;
  if (!parse(args, 3, line) || !line.positional.empty()) return usage();
  const std::wstring& sub = args[1];
  if (sub != L"choose" && sub != L"get") return usage();
  const DWORD timeout = line.timeout_given ? line.timeout : 5000;
  const DWORD start = GetTickCount();
  quillary::gui::menu_item_place place = menu_item(args[2]);
  while (!place.found && GetTickCount() - start < timeout) {
    Sleep(100);
    place = menu_item(args[2]);
  }
  if (!place.found) return fail("no open menu has that item");
  if (sub == L"get") {
    std::printf("{\"grey\": %s, \"checked\": %s}\n", (place.state & (MF_GRAYED | MF_DISABLED)) ? "true" : "false",
                (place.state & MF_CHECKED) ? "true" : "false");
    return 0;
  }
  return mouse_action(L"click", POINT{place.x, place.y}, 1) ? 0 : 1;
}

// path UNIX_PATH: the path as Windows programs see it, as winepath -w
// answers, without a Wine process started for it.
int print_windows_path(const std::vector<std::wstring>& args) {
  if (args.size() != 2) return usage();
  using dos_name_function = WCHAR*(CDECL*)(const char*);
  const auto dos_name = reinterpret_cast<dos_name_function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (!dos_name) return fail("not under Wine");
  const int size = WideCharToMultiByte(CP_UTF8, 0, args[1].c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string unix_path(static_cast<size_t>(size > 0 ? size : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, args[1].c_str(), -1, unix_path.data(), size, nullptr, nullptr);
  WCHAR* path = dos_name(unix_path.c_str());
  if (!path) return fail("no such path");
  print_utf8(path);
  HeapFree(GetProcessHeap(), 0, path);
  return 0;
}

// --- the registry ------------------------------------------------------------------

// "HKCU\\path" or "HKLM\\path": the root key and the path below it.
bool split_key(const std::wstring& key, HKEY& root, std::wstring& path) {
  const size_t slash = key.find(L'\\');
  const std::wstring head = key.substr(0, slash);
  path = slash == std::wstring::npos ? std::wstring() : key.substr(slash + 1);
  if (_wcsicmp(head.c_str(), L"HKCU") == 0) {
    root = HKEY_CURRENT_USER;
  } else if (_wcsicmp(head.c_str(), L"HKLM") == 0) {
    root = HKEY_LOCAL_MACHINE;
  } else {
    return false;
  }
  return !path.empty();
}

// registry set KEY NAME dword|text VALUE | get KEY NAME | delete KEY: what
// reg add, reg query and reg delete do, without a Wine process each. get
// prints a number as 0x… (as reg query does) and a text as it is.
int registry_command(const std::vector<std::wstring>& args) {
  if (args.size() < 3) return usage();
  const std::wstring& sub = args[1];
  HKEY root = nullptr;
  std::wstring path;
  if (!split_key(args[2], root, path)) return usage();
  if (sub == L"delete" && args.size() == 3) {
    const LSTATUS status = RegDeleteTreeW(root, path.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) RegDeleteKeyW(root, path.c_str());
    return 0;
  }
  if (sub == L"set" && args.size() == 6) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
      return fail("cannot open the key");
    }
    LSTATUS status = ERROR_INVALID_PARAMETER;
    if (args[4] == L"dword") {
      const DWORD number = static_cast<DWORD>(std::wcstoul(args[5].c_str(), nullptr, 0));
      status = RegSetValueExW(key, args[3].c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                              sizeof number);
    } else if (args[4] == L"text") {
      status = RegSetValueExW(key, args[3].c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(args[5].c_str()),
                              static_cast<DWORD>((args[5].size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : fail("cannot set the value");
  }
  if (sub == L"get" && args.size() == 4) {
    DWORD type = 0, size = 0;
    if (RegGetValueW(root, path.c_str(), args[3].c_str(), RRF_RT_ANY, &type, nullptr, &size) != ERROR_SUCCESS) {
      return 1;
    }
    std::vector<BYTE> data(size + 2 * sizeof(wchar_t));  // room for the NULs a text may lack
    if (RegGetValueW(root, path.c_str(), args[3].c_str(), RRF_RT_ANY, &type, data.data(), &size) != ERROR_SUCCESS) {
      return 1;
    }
    if (type == REG_DWORD) {
      DWORD number = 0;
      std::memcpy(&number, data.data(), sizeof number);
      std::printf("0x%lx\n", static_cast<unsigned long>(number));
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
      print_utf8(reinterpret_cast<const wchar_t*>(data.data()));
    } else if (type == REG_MULTI_SZ) {
      // One line a string (the buffer ends in two NULs, one of them ours).
      for (auto* text = reinterpret_cast<const wchar_t*>(data.data()); *text; text += wcslen(text) + 1) {
        print_utf8(text);
      }
    } else {
      return fail("neither a number nor a text");
    }
    return 0;
  }
  return usage();
}

int run(const std::vector<std::wstring>& args) {
  if (args.empty()) return usage();
  const std::wstring& command = args[0];
  if (command == L"start") return start_program(args);
  if (command == L"access") return access_command(args);
  if (command == L"menu") return menu_command(args);
  if (command == L"path") return print_windows_path(args);
  if (command == L"registry") return registry_command(args);
  if (command == L"tooltips") {
    EnumWindows(print_tooltip, 0);
    return 0;
  }
  if (args.size() < 2) return usage();

  command_line line;
  line.q.title = args[1];
  if (!parse(args, 2, line)) return usage();
  const query& q = line.q;
  const std::vector<std::wstring>& positional = line.positional;
  const DWORD timeout = line.timeout;
  const bool window_coordinates = line.window_coordinates, client_only = line.client_only;
  const int delta = line.delta;

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
    // Keys go to the foreground window: typed only once it is that one.
    if (!bring_to_front(GetAncestor(window, GA_ROOT))) return fail("the window does not come to the front");
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
  return 0;
}

std::wstring wide(const std::string& utf8) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
  return text;
}

// serve: one command a line, its words separated by tabs, the first word a
// tag of the caller's choosing; after each command's output a line of the
// record separator (0x1e), the tag and the exit code. One driver process
// answers a whole test, instead of a Wine process started for every question.
int serve() {
  std::string line;
  for (int c; (c = std::fgetc(stdin)) != EOF;) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::wstring> words;
    size_t begin = 0;
    for (;;) {
      const size_t tab = line.find('\t', begin);
      words.push_back(wide(line.substr(begin, tab == std::string::npos ? std::string::npos : tab - begin)));
      if (tab == std::string::npos) break;
      begin = tab + 1;
    }
    line.clear();
    const std::wstring tag = words.front();
    words.erase(words.begin());
    const int code = run(words);
    std::fflush(stderr);
    print_utf8(L"\x1e" + tag + L" " + std::to_wstring(code));
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int code = 0;
  if (argc == 2 && std::wstring(argv[1]) == L"serve") {
    code = serve();
  } else {
    code = run(std::vector<std::wstring>(argv + 1, argv + argc));
    std::fflush(stdout);
  }
  CoUninitialize();
  return code;
}
