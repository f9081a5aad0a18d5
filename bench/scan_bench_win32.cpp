// The device scan against SetupAPI itself: the scan thread's work (the class
// table and the device enumeration with the driver values it reads, through
// the program's own device source) against a bare walk that makes the same
// SetupAPI and configuration-manager calls into fixed buffers and keeps
// nothing. Both run in this one process, turn about, ROUNDS times each.
// Prints one line per round, "program MS DEVICES KEPT" and "bare MS DEVICES
// DRIVER_KEYS", for bench/scan.
//
// usage: scan_bench.exe ROUNDS
#include "platform/win32.h"

#include <cfgmgr32.h>
#include <setupapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "devices/device_enumeration.h"
#include "devices/device_inventory.h"
#include "devices/device_source.h"

namespace {

using clock_type = std::chrono::steady_clock;

double milliseconds_since(clock_type::time_point start) {
  return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

// The property into `buffer`; false when it cannot be read. A property
// larger than the buffer is read again into one of its size, as the
// program does for lists.
bool property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD code, std::vector<BYTE>& buffer) {
  DWORD type = 0, required = 0;
  if (SetupDiGetDeviceRegistryPropertyW(set, &device, code, &type, buffer.data(), static_cast<DWORD>(buffer.size()),
                                        &required)) {
    return true;
  }
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  buffer.resize(required + 4);
  return SetupDiGetDeviceRegistryPropertyW(set, &device, code, &type, buffer.data(), required, &required) != FALSE;
}

struct bare_counts {
  unsigned devices = 0;
  unsigned driver_keys = 0;
};

bool nonempty_text(const std::vector<BYTE>& buffer) { return reinterpret_cast<const wchar_t*>(buffer.data())[0] != 0; }

// The calls of one scan, in the program's order and under its conditions:
// the class list and each class's name, description and image; the present
// devices, walked once to count them and once to read them; of each, its
// instance ID and properties, and of each device ID's first instance with
// both IDs and a class, the driver key's values and the node's status. (The
// installed driver's rank is not read under Wine, by the program either.)
// What it keeps is what deciding those conditions needs: the device IDs
// seen, to pass over further instances of one device as the program does.
bare_counts bare_scan(SP_CLASSIMAGELIST_DATA* images) {
  bare_counts counts;
  GUID guids[512];
  DWORD class_count = 0;
  SetupDiBuildClassInfoList(0, guids, 512, &class_count);
  wchar_t text[1024];
  for (DWORD i = 0; i < class_count && i < 512; ++i) {
    DWORD required = 0;
    if (!SetupDiClassNameFromGuidW(&guids[i], text, 1024, &required)) continue;
    SetupDiGetClassDescriptionW(&guids[i], text, 256, nullptr);
    int index = 0;
    if (images) SetupDiGetClassImageIndex(images, &guids[i], &index);
  }
  const HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return counts;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  DWORD total = 0;
  while (SetupDiEnumDeviceInfo(set, total, &device)) ++total;
  std::vector<BYTE> small(1028), list(8196);
  std::set<std::wstring> seen;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    ++counts.devices;
    DWORD required = 0;
    if (!SetupDiGetDeviceInstanceIdW(set, &device, text, 1024, &required)) continue;
    const wchar_t* cut = std::wcsrchr(text, L'\\');
    if (cut == nullptr || cut == text) continue;
    if (!property(set, device, SPDRP_FRIENDLYNAME, small) && !property(set, device, SPDRP_DEVICEDESC, small)) continue;
    property(set, device, SPDRP_ENUMERATOR_NAME, small);
    const bool has_class = property(set, device, SPDRP_CLASS, small) && nonempty_text(small);
    const bool legacy = has_class && std::wcscmp(reinterpret_cast<const wchar_t*>(small.data()), L"LegacyDriver") == 0;
    const bool has_guid = property(set, device, SPDRP_CLASSGUID, small) && nonempty_text(small);
    if (!property(set, device, SPDRP_HARDWAREID, list) || !property(set, device, SPDRP_COMPATIBLEIDS, list)) continue;
    if (!seen.emplace(text, static_cast<size_t>(cut - text)).second) continue;
    if (has_class && has_guid) {
      if (legacy) continue;
      const HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
      if (key != INVALID_HANDLE_VALUE) {
        ++counts.driver_keys;
        for (const char16_t* name : quillary::driver_value_names) {
          BYTE value[1024];
          DWORD type = 0, size = sizeof value;
          RegQueryValueExW(key, reinterpret_cast<const wchar_t*>(name), nullptr, &type, value, &size);
        }
        RegCloseKey(key);
      }
    }
    ULONG status = 0, problem = 0;
    CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0);
  }
  SetupDiDestroyDeviceInfoList(set);
  return counts;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 7;
  // Both sides load the class image list once, as the program does when
  // it makes its device source at start.
  SP_CLASSIMAGELIST_DATA images{};
  images.cbSize = sizeof images;
  const bool have_images = SetupDiGetClassImageList(&images) != FALSE;
  quillary::device_inventory_c inventory(quillary::make_system_device_source());
  for (int round = 0; round < rounds; ++round) {
    auto start = clock_type::now();
    quillary::scan_progress progress;
    quillary::device_list list;
    const quillary::outcome result = inventory.scan_devices(progress, list);
    const double program_ms = milliseconds_since(start);
    if (!result) {
      std::fprintf(stderr, "scan_bench: the scan failed\n");
      return 1;
    }
    std::printf("program %.3f %d %zu\n", program_ms, progress.total.load(), list.devices.size());

    start = clock_type::now();
    const bare_counts counts = bare_scan(have_images ? &images : nullptr);
    std::printf("bare %.3f %u %u\n", milliseconds_since(start), counts.devices, counts.driver_keys);
    std::fflush(stdout);
  }
  if (have_images) SetupDiDestroyClassImageList(&images);
  return 0;
}
