#include <memory>

#include "app/system_info.h"
#include "backup/driver_store.h"
#include "platform/win32.h"

namespace quillary {
namespace {

using store_location_fn = BOOL(WINAPI*)(PCWSTR inf_name, void* platform, PCWSTR locale, PWSTR buffer,
                                        DWORD size, PDWORD required);

std::unique_ptr<driver_store_c> process_store;

}  // namespace

int init_driver_store() {
  wchar_t root[MAX_PATH] = {};
  ExpandEnvironmentStringsW(L"%SYSTEMROOT%", root, MAX_PATH);
  const int32_t version = os_version_code();
  int result = 0;
  store_lookup lookup;
  if (version >= 60) {
    HMODULE setupapi = LoadLibraryW(L"Setupapi.dll");  // stays loaded for the run
    const auto routine = setupapi ? reinterpret_cast<store_location_fn>(reinterpret_cast<void*>(
                                        GetProcAddress(setupapi, "SetupGetInfDriverStoreLocationW")))
                                  : nullptr;
    if (!routine) {
      result = -1;
    } else {
      lookup = [routine](const std::u16string& inf_name, std::u16string& store_path) {
        wchar_t buffer[MAX_PATH] = {};
        if (routine(wide(inf_name), nullptr, nullptr, buffer, MAX_PATH, nullptr)) {
          store_path = from_wide(buffer);
          return lookup_result::found;
        }
        // Wine exports the routine without implementing it.
        return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED ? lookup_result::unavailable : lookup_result::not_found;
      };
    }
  }
  process_store = std::make_unique<driver_store_c>(store_layout(from_wide(root), version), std::move(lookup));
  return result;
}

driver_store_c* driver_store() { return process_store.get(); }

}  // namespace quillary
