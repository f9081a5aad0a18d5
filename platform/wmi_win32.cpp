#include "platform/wmi.h"

#include <wbemidl.h>

#include "platform/win32.h"

namespace quillary::platform {
namespace {

struct bstr {
  BSTR value;
  explicit bstr(const std::u16string& text) : value(SysAllocString(wide(text))) {}
  ~bstr() { SysFreeString(value); }
  bstr(const bstr&) = delete;
  bstr& operator=(const bstr&) = delete;
};

// The property as text: strings as they are, numbers and other scalar types
// through the system's own conversion. False for null or unconvertible values.
bool variant_text(VARIANT& value, std::u16string& out) {
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) return false;
  if (value.vt != VT_BSTR && FAILED(VariantChangeType(&value, &value, 0, VT_BSTR))) return false;
  out = value.bstrVal ? from_wide(value.bstrVal, SysStringLen(value.bstrVal)) : std::u16string();
  return true;
}

class wmi_connection_c : public wmi_connection_i {
 public:
  wmi_connection_c() = default;
  com_ptr<IWbemLocator> locator;
  com_ptr<IWbemServices> services;

  int for_each_value(const std::u16string& query, const std::u16string& property,
                     const std::function<bool(const std::u16string&)>& visit) override {
    com_ptr<IEnumWbemClassObject> instances;
    const bstr language(u"WQL"), text(query);
    if (FAILED(services->ExecQuery(language.value, text.value,
                                   WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                   instances.out()))) {
      return -1;
    }
    for (;;) {
      com_ptr<IWbemClassObject> instance;
      ULONG returned = 0;
      instances->Next(WBEM_INFINITE, 1, instance.out(), &returned);
      if (returned == 0) break;
      VARIANT value;
      VariantInit(&value);
      std::u16string found;
      const bool have = SUCCEEDED(instance->Get(wide(property), 0, &value, nullptr, nullptr)) &&
                        variant_text(value, found);
      VariantClear(&value);
      if (have && !visit(found)) break;
    }
    return 0;
  }
};

}  // namespace

wmi_thread_scope_c::wmi_thread_scope_c() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}

wmi_thread_scope_c::~wmi_thread_scope_c() {
  if (initialised_) CoUninitialize();
}

std::unique_ptr<wmi_connection_i> connect_wmi(const std::u16string& name_space) {
  // Security can be set once per process; a second caller finds it set
  // (RPC_E_TOO_LATE), which leaves it usable.
  const HRESULT security =
      CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                           RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  if (FAILED(security) && security != RPC_E_TOO_LATE) return nullptr;

  auto connection = std::make_unique<wmi_connection_c>();
  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              connection->locator.out_void()))) {
    return nullptr;
  }
  const bstr name(name_space);
  if (FAILED(connection->locator->ConnectServer(name.value, nullptr, nullptr, nullptr, 0, nullptr,
                                                nullptr, connection->services.out()))) {
    return nullptr;
  }
  if (FAILED(CoSetProxyBlanket(connection->services.p, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE,
                               nullptr, RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE,
                               nullptr, EOAC_NONE))) {
    return nullptr;
  }
  return connection;
}

}  // namespace quillary::platform
