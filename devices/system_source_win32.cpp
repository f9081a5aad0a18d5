// The system's device tree through SetupAPI and the configuration manager.
#include "platform/win32.h"

#include <cfgmgr32.h>
#include <setupapi.h>

#include <cstring>
#include <cwchar>
#include <mutex>
#include <vector>

#include "devices/device_inventory.h"
#include "platform/system.h"

namespace quillary {
namespace {

DWORD property_code(device_property property) {
  switch (property) {
    case device_property::device_desc: return SPDRP_DEVICEDESC;
    case device_property::hardware_id: return SPDRP_HARDWAREID;
    case device_property::compatible_ids: return SPDRP_COMPATIBLEIDS;
    case device_property::class_name: return SPDRP_CLASS;
    case device_property::class_guid: return SPDRP_CLASSGUID;
    case device_property::friendly_name: return SPDRP_FRIENDLYNAME;
    case device_property::enumerator_name: return SPDRP_ENUMERATOR_NAME;
  }
  return SPDRP_DEVICEDESC;
}

GUID to_system(const class_guid& guid) {
  GUID out;
  static_assert(sizeof out == sizeof guid.bytes);
  std::memcpy(&out, guid.bytes, sizeof out);
  return out;
}

// The text in `size` bytes of UTF-16, up to its first terminator.
std::u16string text_in(const std::vector<BYTE>& buffer, DWORD size) {
  const auto* units = reinterpret_cast<const char16_t*>(buffer.data());
  const size_t count = std::min<size_t>(size, buffer.size()) / 2;
  return std::u16string(std::u16string_view(units, count).substr(0, std::u16string_view(units, count).find(u'\0')));
}

// The strings of a REG_MULTI_SZ value, up to the first empty one.
std::vector<std::u16string> list_in(const std::vector<BYTE>& buffer, DWORD size) {
  const auto* units = reinterpret_cast<const char16_t*>(buffer.data());
  const std::u16string_view all(units, std::min<size_t>(size, buffer.size()) / 2);
  std::vector<std::u16string> out;
  size_t at = 0;
  while (at < all.size()) {
    const size_t end = std::min(all.find(u'\0', at), all.size());
    if (end == at) break;
    out.emplace_back(all.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

class setupapi_source_c : public device_source_i {
 public:
  setupapi_source_c() = default;
  ~setupapi_source_c() override {
    close_devices();
    if (have_images_) SetupDiDestroyClassImageList(&images_);
  }
  setupapi_source_c(const setupapi_source_c&) = delete;
  setupapi_source_c& operator=(const setupapi_source_c&) = delete;

  bool list_classes(std::vector<class_guid>& out) override {
    std::vector<GUID> guids(64);
    DWORD required = 0;
    while (!SetupDiBuildClassInfoList(0, guids.data(), static_cast<DWORD>(guids.size()), &required)) {
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
      guids.resize(required);
    }
    guids.resize(std::min<size_t>(required, guids.size()));
    out.clear();
    for (const GUID& guid : guids) {
      class_guid entry;
      std::memcpy(entry.bytes, &guid, sizeof guid);
      out.push_back(entry);
    }
    return true;
  }

  std::u16string class_description(const class_guid& guid) override {
    wchar_t text[256] = {};
    const GUID g = to_system(guid);
    return SetupDiGetClassDescriptionW(&g, text, 256, nullptr) ? from_wide(text) : std::u16string();
  }

  bool class_name(const class_guid& guid, std::u16string& out) override {
    const GUID g = to_system(guid);
    std::vector<wchar_t> text(1024);
    DWORD required = 0;
    if (!SetupDiClassNameFromGuidW(&g, text.data(), static_cast<DWORD>(text.size()), &required)) {
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
      text.assign(required + 1, L'\0');
      if (!SetupDiClassNameFromGuidW(&g, text.data(), static_cast<DWORD>(text.size()), &required)) {
        return false;
      }
    }
    out = from_wide(text.data());
    return true;
  }

  int32_t class_image_index(const class_guid& guid) override {
    int index = 0;
    const GUID g = to_system(guid);
    if (SP_CLASSIMAGELIST_DATA* list = images()) SetupDiGetClassImageIndex(list, &g, &index);
    return index;
  }

  void* class_image_list() override {
    SP_CLASSIMAGELIST_DATA* list = images();
    return list ? list->ImageList : nullptr;
  }

  bool open_devices(bool all_devices) override {
    close_devices();
    set_ = SetupDiGetClassDevsW(nullptr, nullptr, nullptr,
                                DIGCF_ALLCLASSES | (all_devices ? 0 : DIGCF_PRESENT));
    return set_ != INVALID_HANDLE_VALUE;
  }

  void close_devices() override {
    if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
    set_ = INVALID_HANDLE_VALUE;
  }

  bool select_device(uint32_t index) override {
    device_ = SP_DEVINFO_DATA{};
    device_.cbSize = sizeof device_;
    if (SetupDiEnumDeviceInfo(set_, index, &device_)) {
      failed_ = false;
      return true;
    }
    failed_ = GetLastError() != ERROR_NO_MORE_ITEMS;
    return false;
  }

  bool enumeration_failed() override { return failed_; }

  bool instance_id(std::u16string& out) override {
    std::vector<wchar_t> text(512);
    DWORD required = 0;
    while (!SetupDiGetDeviceInstanceIdW(set_, &device_, text.data(), static_cast<DWORD>(text.size()),
                                        &required)) {
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= text.size()) return false;
      text.assign(required, L'\0');
    }
    out = from_wide(text.data());
    return true;
  }

  bool text_property(device_property property, std::u16string& out) override {
    std::vector<BYTE> buffer;
    DWORD size = 0;
    if (!read_property(property, 1024, REG_SZ, buffer, size)) return false;
    out = text_in(buffer, size);
    return true;
  }

  bool multi_property(device_property property, std::vector<std::u16string>& out) override {
    std::vector<BYTE> buffer;
    DWORD size = 0;
    if (!read_property(property, 8192, REG_MULTI_SZ, buffer, size)) return false;
    out = list_in(buffer, size);
    return true;
  }

  bool read_driver_values(driver_values& out) override {
    HKEY key = SetupDiOpenDevRegKey(set_, &device_, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return false;
    out.clear();
    for (const char16_t* name : driver_value_names) {
      std::vector<BYTE> buffer(1024);
      DWORD type = 0, size = static_cast<DWORD>(buffer.size());
      LONG result;
      while ((result = RegQueryValueExW(key, wide(name), nullptr, &type, buffer.data(), &size)) ==
             ERROR_MORE_DATA) {
        buffer.resize(size + 2);
        size = static_cast<DWORD>(buffer.size());
      }
      if (result == ERROR_SUCCESS && type == REG_SZ) out[name] = text_in(buffer, size);
    }
    RegCloseKey(key);
    return true;
  }

  bool driver_rank(const std::u16string& inf_path, uint32_t& out) override {
    // The rank comes only from SetupDiGetDriverInstallParamsW, which Wine
    // exports without implementing it: there the rank cannot be read.
    using get_params_fn = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, PSP_DRVINFO_DATA_W,
                                        PSP_DRVINSTALL_PARAMS);
    static const auto get_driver_install_params = reinterpret_cast<get_params_fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"setupapi.dll"),
                                               "SetupDiGetDriverInstallParamsW")));
    if (!get_driver_install_params || platform::is_wine()) return false;

    SP_DEVINSTALL_PARAMS_W params{};
    params.cbSize = sizeof params;
    if (!SetupDiGetDeviceInstallParamsW(set_, &device_, &params)) return false;
    params.Flags |= DI_ENUMSINGLEINF;
    params.FlagsEx |= DI_FLAGSEX_INSTALLEDDRIVER | DI_FLAGSEX_ALLOWEXCLUDEDDRVS;
    std::wcsncpy(params.DriverPath, wide(inf_path), MAX_PATH - 1);
    if (!SetupDiSetDeviceInstallParamsW(set_, &device_, &params)) return false;
    if (!SetupDiBuildDriverInfoList(set_, &device_, SPDIT_COMPATDRIVER)) return false;
    SP_DRVINFO_DATA_V2_W info{};
    info.cbSize = sizeof info;
    SP_DRVINSTALL_PARAMS install{};
    install.cbSize = sizeof install;
    const bool ok = SetupDiEnumDriverInfoW(set_, &device_, SPDIT_COMPATDRIVER, 0, &info) &&
                    get_driver_install_params(set_, &device_, &info, &install);
    SetupDiDestroyDriverInfoList(set_, &device_, SPDIT_COMPATDRIVER);
    if (ok) out = install.Rank;
    return ok;
  }

  bool devnode_status_ok() override {
    ULONG status = 0, problem = 0;
    return CM_Get_DevNode_Status(&status, &problem, device_.DevInst, 0) == CR_SUCCESS;
  }

 private:
  // A property into a buffer of `first_size` bytes; when it does not fit and
  // is of type `growable`, into one of the size it needs. The bytes are kept
  // whatever the type: a text read of a list gives its first string.
  bool read_property(device_property property, DWORD first_size, DWORD growable,
                     std::vector<BYTE>& buffer, DWORD& size) {
    buffer.assign(first_size + 4, 0);
    DWORD type = 0, required = 0;
    if (SetupDiGetDeviceRegistryPropertyW(set_, &device_, property_code(property), &type,
                                          buffer.data(), first_size, &required)) {
      size = required;
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || type != growable) return false;
    buffer.assign(required + 4, 0);
    if (!SetupDiGetDeviceRegistryPropertyW(set_, &device_, property_code(property), &type,
                                           buffer.data(), required, &required)) {
      return false;
    }
    size = required;
    return true;
  }

  // The class icons load with the first scan, not when the program starts:
  // the list holds an icon of every device class. The scan's thread and the
  // pages may ask first.
  SP_CLASSIMAGELIST_DATA* images() {
    std::call_once(images_loaded_, [this] {
      images_.cbSize = sizeof images_;
      have_images_ = SetupDiGetClassImageList(&images_) != FALSE;
    });
    return have_images_ ? &images_ : nullptr;
  }

  std::once_flag images_loaded_;
  SP_CLASSIMAGELIST_DATA images_{};
  bool have_images_ = false;
  HDEVINFO set_ = INVALID_HANDLE_VALUE;
  SP_DEVINFO_DATA device_{};
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<device_source_i> make_system_device_source() {
  return std::make_unique<setupapi_source_c>();
}

}  // namespace quillary
