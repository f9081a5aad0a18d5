#include <memory>

#include "backup/driver_store.h"
#include "platform/win32.h"

namespace quillary {
namespace {

using store_location_fn = BOOL(WINAPI*)(PCWSTR inf_name, void* platform, PCWSTR locale, PWSTR buffer,
                                        DWORD size, PDWORD required);

}  // namespace

std::unique_ptr<driver_store_c> make_system_driver_store(int32_t version) {
  wchar_t root[MAX_PATH] = {};
  ExpandEnvironmentStringsW(L"%SYSTEMROOT%", root, MAX_PATH);
  store_lookup lookup;
  if (version >= 60) {
    HMODULE setupapi = LoadLibraryW(L"Setupapi.dll");  // stays loaded for the run
    const auto routine = setupapi ? reinterpret_cast<store_location_fn>(reinterpret_cast<void*>(
                                        GetProcAddress(setupapi, "SetupGetInfDriverStoreLocationW")))
                                  : nullptr;
    if (routine) {
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
  return std::make_unique<driver_store_c>(store_layout(from_wide(root), version), std::move(lookup));
}

}  // namespace quillary
