#include "ui/window/accessible_win32.h"

#include <oleacc.h>

#include <string>
#include <vector>

#include "app/language.h"
#include "platform/win32.h"
#include "ui/window/keyboard_navigator_win32.h"
#include "ui/window/window_win32.h"

namespace quillary {

const GUID accessible_interface_id = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// The model speaks in the numbers of oleacc.h.
static_assert(static_cast<long>(accessible_role::push_button) == ROLE_SYSTEM_PUSHBUTTON);
static_assert(static_cast<long>(accessible_role::check_button) == ROLE_SYSTEM_CHECKBUTTON);
static_assert(static_cast<long>(accessible_role::radio_button) == ROLE_SYSTEM_RADIOBUTTON);
static_assert(static_cast<long>(accessible_role::link) == ROLE_SYSTEM_LINK);
static_assert(static_cast<long>(accessible_role::static_text) == ROLE_SYSTEM_STATICTEXT);
static_assert(static_cast<long>(accessible_role::graphic) == ROLE_SYSTEM_GRAPHIC);
static_assert(static_cast<long>(accessible_role::chart) == ROLE_SYSTEM_CHART);
static_assert(static_cast<long>(accessible_role::list) == ROLE_SYSTEM_LIST);
static_assert(static_cast<long>(accessible_role::list_item) == ROLE_SYSTEM_LISTITEM);
static_assert(static_cast<long>(accessible_role::progress_bar) == ROLE_SYSTEM_PROGRESSBAR);
static_assert(static_cast<long>(accessible_role::pane) == ROLE_SYSTEM_PANE);
static_assert(static_cast<long>(accessible_role::dialog) == ROLE_SYSTEM_DIALOG);
static_assert(static_cast<long>(accessible_role::client) == ROLE_SYSTEM_CLIENT);
static_assert(static_cast<long>(accessible_role::grouping) == ROLE_SYSTEM_GROUPING);
static_assert(accessible_state::unavailable == STATE_SYSTEM_UNAVAILABLE);
static_assert(accessible_state::selected == STATE_SYSTEM_SELECTED);
static_assert(accessible_state::focused == STATE_SYSTEM_FOCUSED);
static_assert(accessible_state::pressed == STATE_SYSTEM_PRESSED);
static_assert(accessible_state::checked == STATE_SYSTEM_CHECKED);
static_assert(accessible_state::read_only == STATE_SYSTEM_READONLY);
static_assert(accessible_state::hot_tracked == STATE_SYSTEM_HOTTRACKED);
static_assert(accessible_state::invisible == STATE_SYSTEM_INVISIBLE);
static_assert(accessible_state::focusable == STATE_SYSTEM_FOCUSABLE);
static_assert(accessible_state::selectable == STATE_SYSTEM_SELECTABLE);
static_assert(accessible_state::linked == STATE_SYSTEM_LINKED);
static_assert(accessible_state::traversed == STATE_SYSTEM_TRAVERSED);

UINT accessible_action_message() {
  static const UINT message = RegisterWindowMessageW(L"quillary.accessible_action");
  return message;
}

// The window's own scale: parts are described in its logical pixels, and
// clients read screen pixels.
display_scale scale_of_described(HWND window) {
  const window_c* owner = window_c::from_handle(window);
  return owner ? owner->scale() : display_scale{};
}

RECT accessible_screen_rect(HWND window, const accessible_item& item) {
  RECT r = scale_of_described(window).device_rect(RECT{item.rect.left, item.rect.top, item.rect.right, item.rect.bottom});
  POINT origin{0, 0};
  if (item.origin == accessible_origin::client) {
    ClientToScreen(window, &origin);
  } else {
    RECT frame{};
    GetWindowRect(window, &frame);
    origin = POINT{frame.left, frame.top};
  }
  OffsetRect(&r, origin.x, origin.y);
  return r;
}

accessible_item accessible_check_box(HWND owner, HWND box, int id, accessible_role role,
                                     const std::u16string& name) {
  accessible_item item;
  item.id = id;
  item.role = role;
  item.name = name;
  item.window = reinterpret_cast<uintptr_t>(box);
  if (!box) return item;
  RECT r{};
  GetWindowRect(box, &r);
  MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&r), 2);
  r = scale_of_described(owner).logical_rect(r);
  item.rect = {r.left, r.top, r.right, r.bottom};
  const bool checked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
  item.state = accessible_state::focusable;
  if (checked) item.state |= accessible_state::checked;
  if (GetFocus() == box) item.state |= accessible_state::focused;
  if (!IsWindowEnabled(box)) item.state |= accessible_state::unavailable;
  if (!IsWindowVisible(box)) item.state |= accessible_state::invisible;
  if (role == accessible_role::radio_button) {
    item.default_action = text_of("access_select");
  } else {
    item.default_action = text_of(checked ? "access_uncheck" : "access_check");
  }
  return item;
}

namespace {

BSTR bstr_of(const std::u16string& text) {
  return SysAllocStringLen(wide(text), static_cast<UINT>(text.size()));
}

void set_child(VARIANT* out, long child) {
  VariantInit(out);
  out->vt = VT_I4;
  out->lVal = child;
}

}  // namespace

class accessible_object_c : public IAccessible {
 public:
  accessible_object_c(HWND window, window_c& owner) : window_(window), owner_(&owner) {}

  void disconnect() {
    owner_ = nullptr;
    window_ = nullptr;
  }

  // --- IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualGUID(id, IID_IUnknown) || IsEqualGUID(id, IID_IDispatch) ||
        IsEqualGUID(id, accessible_interface_id)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // --- IDispatch: clients of IAccessible call its methods directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // --- IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (!alive()) return CO_E_OBJNOTCONNECTED;
    return AccessibleObjectFromWindow(window_, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                      reinterpret_cast<void**>(parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    accessible_view view;
    if (!read(view)) return CO_E_OBJNOTCONNECTED;
    *count = static_cast<long>(view.parts.size() + child_windows(view).size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    accessible_view view;
    if (!read(view)) return CO_E_OBJNOTCONNECTED;
    if (child.vt != VT_I4) return E_INVALIDARG;
    if (part_of_child(view, child.lVal)) return S_FALSE;  // a simple element
    const std::vector<HWND> windows = child_windows(view);
    const long index = child.lVal - static_cast<long>(view.parts.size()) - 1;
    if (index < 0 || index >= static_cast<long>(windows.size())) return E_INVALIDARG;
    return AccessibleObjectFromWindow(windows[static_cast<size_t>(index)], static_cast<DWORD>(OBJID_WINDOW),
                                      IID_IDispatch, reinterpret_cast<void**>(out));
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override {
    return text_of_item(child, out, [](const accessible_item& item) { return item.name; });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override {
    return text_of_item(child, out, [](const accessible_item& item) { return item.value; });
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override {
    return text_of_item(child, out, [](const accessible_item& item) { return item.description; });
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override {
    return text_of_item(child, out, [](const accessible_item& item) { return item.default_action; });
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    accessible_item item;
    const HRESULT found = item_of(child, item);
    if (found != S_OK) return found;
    set_child(out, static_cast<long>(item.role));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    accessible_item item;
    const HRESULT found = item_of(child, item);
    if (found != S_OK) return found;
    set_child(out, static_cast<long>(item.state));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* out) override {
    if (out) *out = nullptr;
    return alive() ? S_FALSE : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return alive() ? S_FALSE : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    accessible_item item;
    const HRESULT found = item_of(child, item);
    if (found != S_OK) return found;
    const keyboard_navigator_c* keyboard = keyboard_navigator_c::of(window_);
    const bool self = child.lVal == CHILDID_SELF;
    const std::u16string shortcut =
        keyboard ? keyboard->shortcut_of(window_, self ? whole_window_part : item.id) : std::u16string();
    if (shortcut.empty()) return S_FALSE;
    *out = SysAllocString(wide(shortcut));
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    accessible_view view;
    if (!read(view)) return CO_E_OBJNOTCONNECTED;
    const long focused = focused_child(view);
    if (focused != accessible_self || GetFocus() == window_) {
      set_child(out, focused);
      return S_OK;
    }
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
    if (out) VariantInit(out);
    return alive() ? S_FALSE : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override {
    return alive() ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    accessible_item item;
    const HRESULT found = item_of(child, item);
    if (found != S_OK) return found;
    const RECT r = accessible_screen_rect(window_, item);
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    accessible_view view;
    if (!read(view)) return CO_E_OBJNOTCONNECTED;
    if (start.vt != VT_I4) return E_INVALIDARG;
    accessible_direction way;
    switch (direction) {
      case NAVDIR_NEXT: way = accessible_direction::next; break;
      case NAVDIR_PREVIOUS: way = accessible_direction::previous; break;
      case NAVDIR_FIRSTCHILD: way = accessible_direction::first; break;
      case NAVDIR_LASTCHILD: way = accessible_direction::last; break;
      default: return S_FALSE;
    }
    const long reached = accessible_navigate(view, start.lVal, way);
    if (reached == accessible_self) return S_FALSE;
    set_child(out, reached);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    accessible_view view;
    if (!read(view)) return CO_E_OBJNOTCONNECTED;
    RECT window{};
    GetWindowRect(window_, &window);
    const POINT point{x, y};
    if (!PtInRect(&window, point)) return S_FALSE;
    std::vector<accessible_item> located = view.parts;
    for (auto& part : located) {
      const RECT r = accessible_screen_rect(window_, part);
      part.rect = {r.left, r.top, r.right, r.bottom};
    }
    set_child(out, accessible_hit(located, x, y));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    accessible_item item;
    const HRESULT found = item_of(child, item);
    if (found != S_OK) return found;
    if (item.default_action.empty()) return DISP_E_MEMBERNOTFOUND;
    if (item.state & accessible_state::unavailable) return E_FAIL;
    return PostMessageW(window_, accessible_action_message(), static_cast<WPARAM>(item.id), 0) ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~accessible_object_c() = default;
  friend accessible_object_c* make_accessible_object(HWND, window_c&);

  bool alive() const { return owner_ && window_ && IsWindow(window_); }
  bool read(accessible_view& view) {
    if (!alive()) return false;
    if (!owner_->describe(view)) return false;
    // The system knows best whether the window shows and has the focus.
    if (!IsWindowVisible(window_)) view.self.state |= accessible_state::invisible;
    if (GetFocus() == window_ && focused_child(view) == accessible_self) {
      view.self.state |= accessible_state::focused;
    }
    return true;
  }
  // The window's visible child windows that no part stands for, in the
  // system's order.
  std::vector<HWND> child_windows(const accessible_view& view) const {
    std::vector<HWND> windows;
    for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (!IsWindowVisible(child)) continue;
      bool stood_for = false;
      for (const auto& part : view.parts) stood_for = stood_for || part.window == reinterpret_cast<uintptr_t>(child);
      if (!stood_for) windows.push_back(child);
    }
    return windows;
  }
  HRESULT item_of(const VARIANT& child, accessible_item& item) {
    accessible_view view;
    if (!read(view)) return CO_E_OBJNOTCONNECTED;
    if (child.vt != VT_I4) return E_INVALIDARG;
    if (child.lVal == CHILDID_SELF) {
      item = view.self;
      item.rect = client_rect();
      return S_OK;
    }
    const auto part = part_of_child(view, child.lVal);
    if (!part) return E_INVALIDARG;
    item = view.parts[*part];
    return S_OK;
  }
  accessible_rect client_rect() const {
    RECT client{};
    GetClientRect(window_, &client);
    client = scale_of_described(window_).logical_rect(client);
    return {client.left, client.top, client.right, client.bottom};
  }
  template <typename Field>
  HRESULT text_of_item(const VARIANT& child, BSTR* out, Field field) {
    if (!out) return E_POINTER;
    *out = nullptr;
    accessible_item item;
    const HRESULT found = item_of(child, item);
    if (found != S_OK) return found;
    const std::u16string text = field(item);
    if (text.empty()) return S_FALSE;
    *out = bstr_of(text);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  LONG references_ = 1;
  HWND window_;
  window_c* owner_;
};

accessible_object_c* make_accessible_object(HWND window, window_c& owner) {
  return new accessible_object_c(window, owner);
}

LRESULT answer_accessible_object(accessible_object_c* object, WPARAM wparam) {
  return LresultFromObject(accessible_interface_id, wparam, static_cast<IAccessible*>(object));
}

void disconnect_accessible_object(accessible_object_c* object) {
  if (!object) return;
  object->disconnect();
  object->Release();
}

}  // namespace quillary
