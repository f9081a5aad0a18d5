// The accessible objects of another process's windows, read as a screen
// reader reads them.
#include "tests/gui/accessible_reader_win32.h"

#include <cwchar>

namespace quillary::gui {
namespace {

// The interface's identifier, written out: the import library's symbol does
// not read as this GUID in a static mingw-w64 link.
const GUID accessible_id = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

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

VARIANT child_id(long child) {
  VARIANT id;
  VariantInit(&id);
  id.vt = VT_I4;
  id.lVal = child;
  return id;
}

std::wstring take(BSTR text) {
  std::wstring result = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
  SysFreeString(text);
  return result;
}

accessible_element read_element(IAccessible* object, long child, const std::wstring& window_class) {
  accessible_element e;
  e.window_class = window_class;
  e.child = child;
  e.object = object;
  VARIANT id = child_id(child);
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
void read_window(HWND window, std::vector<accessible_element>& out, std::vector<IAccessible*>& held) {
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

BOOL CALLBACK collect_visible(HWND window, LPARAM context) {
  // A child counts only while it and all its ancestors show.
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

}  // namespace

accessible_reading_c::accessible_reading_c(HWND root, bool with_descendants) {
  std::vector<HWND> windows{root};
  if (with_descendants) EnumChildWindows(root, collect_visible, reinterpret_cast<LPARAM>(&windows));
  for (HWND window : windows) read_window(window, elements_, held_);
}

accessible_reading_c::~accessible_reading_c() {
  for (IAccessible* object : held_) object->Release();
}

const accessible_element* accessible_reading_c::named(const std::wstring& name, const std::wstring& role,
                                                      bool with_action) const {
  for (const auto& e : elements_) {
    if (name != L"*" && e.name != name) continue;
    if (!role.empty() && e.role != role) continue;
    if (with_action && !e.has_action) continue;
    return &e;
  }
  return nullptr;
}

const accessible_element* accessible_reading_c::focused() const {
  for (const auto& e : elements_) {
    if (e.state & STATE_SYSTEM_FOCUSED) return &e;
  }
  return nullptr;
}

std::wstring describe(const accessible_element& e) {
  wchar_t state[16];
  std::swprintf(state, 16, L"%lx", static_cast<unsigned long>(e.state));
  return e.window_class + L"\t" + std::to_wstring(e.child) + L"\t" + e.role + L"\t" + state + L"\t" +
         e.name + L"\t" + e.value;
}

bool do_default_action(const accessible_element& e) {
  return e.object->accDoDefaultAction(child_id(e.child)) == S_OK;
}

bool location(const accessible_element& e, RECT& screen) {
  long left = 0, top = 0, width = 0, height = 0;
  if (e.object->accLocation(&left, &top, &width, &height, child_id(e.child)) != S_OK) return false;
  screen = {left, top, left + width, top + height};
  return width > 0 && height > 0;
}

}  // namespace quillary::gui
