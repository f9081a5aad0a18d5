#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>

#include "platform/driver_rollback.h"
#include "platform/system.h"
#include "platform/text.h"

namespace quillary {
namespace {

constexpr DWORD rollback_flag_no_ui = 0x00000001;  // ROLLBACK_FLAG_NO_UI of newdev.h
using rollback_routine = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, HWND, DWORD, PBOOL);

bool instance_of(const std::u16string& instance_id, const std::u16string& device_id) {
  return instance_id.size() > device_id.size() + 1 && instance_id[device_id.size()] == u'\\' &&
         instance_id.find(u'\\', device_id.size() + 1) == std::u16string::npos &&
         equal_ignore_case(std::u16string_view(instance_id).substr(0, device_id.size()), device_id);
}

class system_rollback_c : public driver_rollback_i {
 public:
  system_rollback_c() {
    // From the system folder only: a newdev.dll beside the program must
    // never be loaded into a process with administrator rights.
    library_ = LoadLibraryExW(L"newdev.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!library_ && GetLastError() == ERROR_INVALID_PARAMETER) {
      // Systems without the search flags (Vista and 7 without KB2533623).
      wchar_t folder[MAX_PATH];
      const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
      if (length > 0 && length < MAX_PATH - 12) {
        library_ = LoadLibraryW((std::wstring(folder, length) + L"\\newdev.dll").c_str());
      }
    }
    // Wine exports the routine as a stub that ends the calling process:
    // there Windows' own roll back is taken to be missing.
    if (library_ && !platform::is_wine()) {
      routine_ = reinterpret_cast<rollback_routine>(GetProcAddress(library_, "DiRollbackDriver"));
    }
  }
  ~system_rollback_c() override {
    if (library_) FreeLibrary(library_);
  }

  rollback_result roll_back(const std::u16string& device_id) override {
    rollback_result result;
    if (!routine_) return result;
    HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
      result.answer = rollback_answer::failed;
      result.error = GetLastError();
      return result;
    }
    result.answer = rollback_answer::no_device;
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
      wchar_t instance[MAX_DEVICE_ID_LEN + 1] = {};
      if (!SetupDiGetDeviceInstanceIdW(set, &data, instance, MAX_DEVICE_ID_LEN + 1, nullptr)) continue;
      if (!instance_of(reinterpret_cast<const char16_t*>(instance), device_id)) continue;
      BOOL reboot = FALSE;
      if (routine_(set, &data, nullptr, rollback_flag_no_ui, &reboot)) {
        result.reboot_needed = result.reboot_needed || reboot;
        if (result.answer == rollback_answer::no_device) result.answer = rollback_answer::rolled_back;
        continue;
      }
      const DWORD error = GetLastError();
      result.error = error;
      result.answer = error == ERROR_NO_MORE_ITEMS ? rollback_answer::no_earlier_driver
                      : error == ERROR_CALL_NOT_IMPLEMENTED ? rollback_answer::unavailable
                                                            : rollback_answer::failed;
      break;
    }
    SetupDiDestroyDeviceInfoList(set);
    return result;
  }

 private:
  HMODULE library_ = nullptr;
  rollback_routine routine_ = nullptr;
};

}  // namespace

std::unique_ptr<driver_rollback_i> system_driver_rollback() { return std::make_unique<system_rollback_c>(); }

}  // namespace quillary
