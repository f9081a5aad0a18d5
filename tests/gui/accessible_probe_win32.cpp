// accessible_probe: reads a program's windows as a screen reader does, from
// another process, through Microsoft Active Accessibility: each window's
// client object (AccessibleObjectFromWindow, OBJID_CLIENT) and its simple
// elements (AccessibleChildren).
//
//   accessible_probe list  TITLE [SEL]             one line per element, tab-separated:
//                                                  window class, child id (0: the
//                                                  window's own element), role, state
//                                                  (hex), name, value
//   accessible_probe press TITLE NAME [SEL] [--role ROLE]
//                                                  accDoDefaultAction on the first element
//                                                  of that name (with a default action)
//   accessible_probe wait  TITLE NAME [SEL] [--role ROLE] [--timeout MS]
//                                                  until an element of that name shows
//   accessible_probe focused TITLE [NAME] [SEL] [--role ROLE] [--timeout MS]
//                                                  the element whose state is focused, as
//                                                  list prints it; with NAME: until the
//                                                  focused element has that name (and role)
//
// TITLE is the top-level window's text, compared without regard to case;
// "*" matches any. SEL: --class C, the top-level window's class. The windows
// read are that window and its visible descendants, in the system's order.
// ROLE is one of the names printed. Exit codes: 0 done, 1 no such window or
// element (or timeout, or the action failed), 2 bad command line.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// The interface's identifier, written out: the import library's symbol does
// not read as this GUID in a static mingw-w64 link.
const GUID accessible_id = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

struct query {
  std::wstring title;
  std::wstring window_class;
  std::wstring name;
  std::wstring role;
  DWORD timeout = 10000;
};

struct element {
  std::wstring window_class;
  long child = 0;
  std::wstring role;
  long state = 0;
  std::wstring name;
  std::wstring value;
  bool has_action = false;
  IAccessible* object = nullptr;  // not owned
};

std::wstring class_name(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring role_name(long role) {
  switch (role) {
    case ROLE_SYSTEM_PUSHBUTTON: return L"pushbutton";
    case ROLE_SYSTEM_CHECKBUTTON: return L"checkbutton";
    case ROLE_SYSTEM_RADIOBUTTON: return L"radiobutton";
    case ROLE_SYSTEM_LINK: return L"link";
    case ROLE_SYSTEM_STATICTEXT: return L"text";
    case ROLE_SYSTEM_TEXT: return L"edit";
    case ROLE_SYSTEM_GRAPHIC: return L"graphic";
    case ROLE_SYSTEM_CHART: return L"chart";
    case ROLE_SYSTEM_LIST: return L"list";
    case ROLE_SYSTEM_LISTITEM: return L"listitem";
    case ROLE_SYSTEM_PROGRESSBAR: return L"progressbar";
    case ROLE_SYSTEM_PANE: return L"pane";
    case ROLE_SYSTEM_CLIENT: return L"client";
    case ROLE_SYSTEM_DIALOG: return L"dialog";
    case ROLE_SYSTEM_GROUPING: return L"grouping";
    case ROLE_SYSTEM_WINDOW: return L"window";
    default: {
      wchar_t number[32];
      std::swprintf(number, 32, L"role%ld", role);
      return number;
    }
  }
}

std::wstring take(BSTR text) {
  std::wstring result = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
  SysFreeString(text);
  return result;
}

element read_element(IAccessible* object, long child, const std::wstring& window_class) {
  element e;
  e.window_class = window_class;
  e.child = child;
  e.object = object;
  VARIANT id;
  VariantInit(&id);
  id.vt = VT_I4;
  id.lVal = child;
  VARIANT out;
  VariantInit(&out);
  if (object->get_accRole(id, &out) == S_OK && out.vt == VT_I4) e.role = role_name(out.lVal);
  VariantClear(&out);
  if (object->get_accState(id, &out) == S_OK && out.vt == VT_I4) e.state = out.lVal;
  VariantClear(&out);
  BSTR text = nullptr;
  if (object->get_accName(id, &text) == S_OK) e.name = take(text);
  text = nullptr;
  if (object->get_accValue(id, &text) == S_OK) e.value = take(text);
  text = nullptr;
  if (object->get_accDefaultAction(id, &text) == S_OK) e.has_action = !take(text).empty();
  return e;
}

// The window's element and its simple elements; the objects collected
// stay referenced in `held`.
void read_window(HWND window, std::vector<element>& out, std::vector<IAccessible*>& held) {
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), accessible_id,
                                        reinterpret_cast<void**>(&object))) ||
      !object) {
    return;
  }
  held.push_back(object);
  const std::wstring name = class_name(window);
  out.push_back(read_element(object, CHILDID_SELF, name));
  long count = 0;
  if (FAILED(object->get_accChildCount(&count)) || count <= 0) return;
  std::vector<VARIANT> children(static_cast<size_t>(count));
  long obtained = 0;
  if (FAILED(AccessibleChildren(object, 0, count, children.data(), &obtained))) return;
  for (long i = 0; i < obtained; ++i) {
    // Child windows are read as windows of their own.
    if (children[static_cast<size_t>(i)].vt == VT_I4) {
      out.push_back(read_element(object, children[static_cast<size_t>(i)].lVal, name));
    }
    VariantClear(&children[static_cast<size_t>(i)]);
  }
}

struct window_search {
  const query* q;
  HWND found = nullptr;
};

BOOL CALLBACK match_top(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<window_search*>(context);
  if (!search->q->window_class.empty() &&
      _wcsicmp(class_name(window).c_str(), search->q->window_class.c_str()) != 0) {
    return TRUE;
  }
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  if (search->q->title != L"*" && _wcsicmp(text, search->q->title.c_str()) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK collect_visible(HWND window, LPARAM context) {
  // A child counts only while it and all its ancestors show.
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

std::vector<element> read_all(const query& q, std::vector<IAccessible*>& held) {
  std::vector<element> elements;
  window_search search{&q};
  EnumWindows(match_top, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return elements;
  std::vector<HWND> windows{search.found};
  EnumChildWindows(search.found, collect_visible, reinterpret_cast<LPARAM>(&windows));
  for (HWND window : windows) read_window(window, elements, held);
  return elements;
}

void release(std::vector<IAccessible*>& held) {
  for (IAccessible* object : held) object->Release();
  held.clear();
}

void print(const element& e) {
  const std::wstring line = e.window_class + L"\t" + std::to_wstring(e.child) + L"\t" + e.role + L"\t";
  wchar_t state[16];
  std::swprintf(state, 16, L"%lx", static_cast<unsigned long>(e.state));
  const std::wstring all = line + state + L"\t" + e.name + L"\t" + e.value + L"\n";
  const int size = WideCharToMultiByte(CP_UTF8, 0, all.c_str(), static_cast<int>(all.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, all.c_str(), static_cast<int>(all.size()), bytes.data(), size, nullptr, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

const element* named(const std::vector<element>& elements, const query& q, bool with_action) {
  for (const auto& e : elements) {
    if (e.name != q.name) continue;
    if (!q.role.empty() && e.role != q.role) continue;
    if (with_action && !e.has_action) continue;
    return &e;
  }
  return nullptr;
}

int usage() {
  std::fputs("usage: accessible_probe list|press|wait|focused TITLE [NAME] [--class C] [--role R] [--timeout MS]\n", stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return usage();
  const std::wstring command = argv[1];
  query q;
  q.title = argv[2];
  int next = 3;
  if (command == L"press" || command == L"wait") {
    if (argc < 4) return usage();
    q.name = argv[3];
    next = 4;
  } else if (command == L"focused") {
    if (argc >= 4 && argv[3][0] != L'-') {
      q.name = argv[3];
      next = 4;
    }
  } else if (command != L"list") {
    return usage();
  }
  for (int i = next; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == L"--class" && has_value) {
      q.window_class = argv[++i];
    } else if (arg == L"--role" && has_value) {
      q.role = argv[++i];
    } else if (arg == L"--timeout" && has_value) {
      q.timeout = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
    } else {
      return usage();
    }
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::vector<IAccessible*> held;
  int code = 1;
  if (command == L"list") {
    const std::vector<element> elements = read_all(q, held);
    for (const auto& e : elements) print(e);
    code = elements.empty() ? 1 : 0;
  } else if (command == L"press") {
    const std::vector<element> elements = read_all(q, held);
    if (const element* e = named(elements, q, true)) {
      VARIANT id;
      VariantInit(&id);
      id.vt = VT_I4;
      id.lVal = e->child;
      code = e->object->accDoDefaultAction(id) == S_OK ? 0 : 1;
    }
  } else if (command == L"focused") {
    const DWORD start = GetTickCount();
    for (;;) {
      const std::vector<element> elements = read_all(q, held);
      const element* focused = nullptr;
      for (const auto& e : elements) {
        if (e.state & STATE_SYSTEM_FOCUSED) {
          focused = &e;
          break;
        }
      }
      const bool matches = focused && (q.name.empty() || (focused->name == q.name &&
                                                           (q.role.empty() || focused->role == q.role)));
      if (matches || (q.name.empty() && !focused) || GetTickCount() - start >= q.timeout) {
        if (focused) print(*focused);
        code = matches ? 0 : 1;
        release(held);
        break;
      }
      release(held);
      Sleep(100);
    }
  } else {
    const DWORD start = GetTickCount();
    for (;;) {
      const std::vector<element> elements = read_all(q, held);
      const bool found = named(elements, q, false) != nullptr;
      release(held);
      if (found) {
        code = 0;
        break;
      }
      if (GetTickCount() - start >= q.timeout) break;
      Sleep(100);
    }
  }
  release(held);
  CoUninitialize();
  return code;
}
