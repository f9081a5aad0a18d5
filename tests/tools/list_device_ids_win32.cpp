// list_device_ids: prints every device instance ID the system keeps, one per
// line in UTF-8: a second route to the device tree, to check what a SetupAPI
// scan lists against. It asks the configuration manager
// (CM_Get_Device_ID_ListW); where that answers nothing, as Wine 8's stub
// does, it reads the instance keys under HKLM\SYSTEM\CurrentControlSet\Enum,
// where the system records every device instance with its class GUID. The
// route taken is named on stderr.
#include "platform/win32.h"

#include <cfgmgr32.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/text.h"

namespace {

void print(const std::wstring& id) {
  const std::string line = quillary::utf16_to_utf8(quillary::from_wide(id.c_str())) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
}

std::vector<std::wstring> subkeys(HKEY key) {
  std::vector<std::wstring> names;
  wchar_t name[512];
  for (DWORD i = 0;; ++i) {
    DWORD length = 512;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

std::vector<std::wstring> from_configuration_manager() {
  std::vector<std::wstring> ids;
  ULONG size = 0;
  if (CM_Get_Device_ID_List_SizeW(&size, nullptr, CM_GETIDLIST_FILTER_NONE) != CR_SUCCESS || size < 2) {
    return ids;
  }
  std::vector<wchar_t> list(size + 2);
  if (CM_Get_Device_ID_ListW(nullptr, list.data(), size, CM_GETIDLIST_FILTER_NONE) != CR_SUCCESS) return ids;
  for (const wchar_t* id = list.data(); *id; id += wcslen(id) + 1) ids.emplace_back(id);
  return ids;
}

std::vector<std::wstring> from_enum_tree() {
  std::vector<std::wstring> ids;
  HKEY root = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Enum", 0, KEY_READ, &root) !=
      ERROR_SUCCESS) {
    return ids;
  }
  for (const auto& bus : subkeys(root)) {
    HKEY bus_key = nullptr;
    if (RegOpenKeyExW(root, bus.c_str(), 0, KEY_READ, &bus_key) != ERROR_SUCCESS) continue;
    for (const auto& device : subkeys(bus_key)) {
      HKEY device_key = nullptr;
      if (RegOpenKeyExW(bus_key, device.c_str(), 0, KEY_READ, &device_key) != ERROR_SUCCESS) continue;
      for (const auto& instance : subkeys(device_key)) {
        const std::wstring id = bus + L"\\" + device + L"\\" + instance;
        wchar_t guid[64];
        DWORD size = sizeof guid;
        if (RegGetValueW(device_key, instance.c_str(), L"ClassGUID", RRF_RT_REG_SZ, nullptr, guid, &size) ==
            ERROR_SUCCESS) {
          ids.push_back(id);
        }
      }
      RegCloseKey(device_key);
    }
    RegCloseKey(bus_key);
  }
  RegCloseKey(root);
  return ids;
}

}  // namespace

int main() {
  auto ids = from_configuration_manager();
  const char* route = "configuration manager";
  if (ids.empty()) {
    ids = from_enum_tree();
    route = "registry Enum tree";
  }
  std::fprintf(stderr, "list_device_ids: %zu devices from the %s\n", ids.size(), route);
  for (const auto& id : ids) print(id);
  return ids.empty() ? 1 : 0;
}
