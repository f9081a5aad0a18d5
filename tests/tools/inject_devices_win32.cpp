// inject_devices FIXTURE.json: writes the classes and devices of a raw scan
// into the device tree of the running Wine prefix, so that the real SetupAPI
// code of the program meets realistic devices. Classes the prefix lacks are
// installed; each device is created under its full instance ID with its
// properties and driver-key values, and registered; a device that exists
// already is updated. A device the fixture marks as not present is left out:
// Wine lists every device in its tree as present.
//
// Exit codes: 0 done, 1 a step failed (one line on stderr), 2 bad input.
#include "platform/win32.h"

#include <setupapi.h>

#include <cstring>

#include <cstdio>
#include <string>
#include <vector>

#include "devices/raw_scan.h"
#include "platform/files.h"
#include "platform/text.h"

namespace {

using namespace quillary;

int failure(const std::string& what) {
  std::fprintf(stderr, "inject_devices: %s (error %lu)\n", what.c_str(), GetLastError());
  return 1;
}

std::vector<BYTE> multi_sz(const std::vector<std::u16string>& items) {
  std::u16string all;
  for (const auto& item : items) all += item + u'\0';
  all += u'\0';
  const auto* bytes = reinterpret_cast<const BYTE*>(all.data());
  return std::vector<BYTE>(bytes, bytes + all.size() * 2);
}

std::vector<BYTE> sz(const std::u16string& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * 2);
}

bool install_class(const raw_class& c) {
  if (!c.name) return true;  // a class without a readable name stays out
  const std::wstring key = L"SYSTEM\\CurrentControlSet\\Control\\Class\\" + std::wstring(wide(c.guid));
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const auto name = sz(*c.name), description = sz(c.description);
  RegSetValueExW(handle, L"Class", 0, REG_SZ, name.data(), static_cast<DWORD>(name.size()));
  RegSetValueExW(handle, nullptr, 0, REG_SZ, description.data(), static_cast<DWORD>(description.size()));
  RegCloseKey(handle);
  return true;
}

bool set_property(HDEVINFO set, SP_DEVINFO_DATA& data, DWORD code, const std::vector<BYTE>& bytes) {
  return SetupDiSetDeviceRegistryPropertyW(set, &data, code, bytes.data(), static_cast<DWORD>(bytes.size()));
}

int inject_device(const raw_device& d) {
  if (!d.instance_id || !d.present) return 0;
  GUID guid = GUID_NULL;
  if (const auto it = d.texts.find(device_property::class_guid); it != d.texts.end()) {
    class_guid parsed;
    if (parse_guid(it->second, parsed)) std::memcpy(&guid, parsed.bytes, sizeof guid);
  }
  const std::string name = utf16_to_utf8(*d.instance_id);
  HDEVINFO set = SetupDiCreateDeviceInfoList(&guid, nullptr);
  if (set == INVALID_HANDLE_VALUE) return failure("cannot make a device set for " + name);
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;
  int result = 0;
  std::u16string description;
  if (const auto it = d.texts.find(device_property::device_desc); it != d.texts.end()) {
    description = it->second;
  }
  const bool created = SetupDiCreateDeviceInfoW(set, wide(*d.instance_id), &guid,
                                                description.empty() ? nullptr : wide(description),
                                                nullptr, 0, &data);
  if (!created && !(GetLastError() == ERROR_DEVINST_ALREADY_EXISTS &&
                    SetupDiOpenDeviceInfoW(set, wide(*d.instance_id), nullptr, 0, &data))) {
    result = failure("cannot create " + name);
  } else {
    const std::pair<device_property, DWORD> texts[] = {
        {device_property::device_desc, SPDRP_DEVICEDESC},
        {device_property::friendly_name, SPDRP_FRIENDLYNAME},
        {device_property::class_name, SPDRP_CLASS},
    };
    for (const auto& [property, code] : texts) {
      if (const auto it = d.texts.find(property); it != d.texts.end()) set_property(set, data, code, sz(it->second));
    }
    if (const auto it = d.lists.find(device_property::hardware_id); it != d.lists.end()) {
      set_property(set, data, SPDRP_HARDWAREID, multi_sz(it->second));
    }
    if (const auto it = d.lists.find(device_property::compatible_ids); it != d.lists.end()) {
      set_property(set, data, SPDRP_COMPATIBLEIDS, multi_sz(it->second));
    }
    if (created && !SetupDiRegisterDeviceInfo(set, &data, 0, nullptr, nullptr, nullptr)) {
      result = failure("cannot register " + name);
    }
    if (result == 0 && d.driver) {
      HKEY key = SetupDiCreateDevRegKeyW(set, &data, DICS_FLAG_GLOBAL, 0, DIREG_DRV, nullptr, nullptr);
      if (key == INVALID_HANDLE_VALUE) {
        result = failure("cannot create the driver key of " + name);
      } else {
        for (const auto& [value_name, value] : *d.driver) {
          const auto bytes = sz(value);
          RegSetValueExW(key, wide(value_name), 0, REG_SZ, bytes.data(), static_cast<DWORD>(bytes.size()));
        }
        RegCloseKey(key);
      }
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: inject_devices FIXTURE.json\n");
    return 2;
  }
  std::string text, error;
  raw_scan scan;
  if (!platform::read_whole_file(from_wide(argv[1]), text) || !raw_scan_from_json(text, scan, error)) {
    std::fprintf(stderr, "inject_devices: %s\n", error.empty() ? "cannot read the fixture" : error.c_str());
    return 2;
  }
  for (const auto& c : scan.classes) {
    if (!install_class(c)) return failure("cannot install class " + utf16_to_utf8(c.guid));
  }
  int injected = 0;
  for (const auto& d : scan.devices) {
    if (const int result = inject_device(d)) return result;
    injected += d.instance_id && d.present ? 1 : 0;
  }
  std::printf("inject_devices: %zu classes, %d devices\n", scan.classes.size(), injected);
  return 0;
}
