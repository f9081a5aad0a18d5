// bench/download-page: what a rebuild of the download page costs. In one
// process, turn about, a list of N package panels is built as the page
// builds it (the groups, then one download_panel_c per group in the
// scrolling list, painted), and N plain child windows (static controls
// holding the same texts) are made and painted the same way. Prints the
// median of each over the rounds, their ratio, and the GDI and USER objects
// one panel costs; then, with the page built from a scan of DEVICES devices
// (2,000 by default; the first PANELS of them offered a package each), the
// process's peak working set and its GDI and USER objects against Windows'
// quotas.
//
// usage: download_page_bench.exe [PANELS] [ROUNDS] [DEVICES]   (from the folder holding language.ini)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "app/language.h"
#include "app/hidden_updates.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "devices/device_inventory.h"
#include "devices/raw_scan.h"
#include "download/download_session.h"
#include "platform/authenticode.h"
#include "platform/elevation.h"
#include "platform/registry.h"
#include "service/scan_result.h"
#include "service/update_client.h"
#include "service/update_package_list.h"
#include "ui/window/background_job.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "resources/resource_ids.h"
#include "tests/gui/object_counts_win32.h"
#include "ui/pages/download_page_layout.h"
#include "ui/pages/download_panel_text.h"
#include "ui/pages/download_panel_win32.h"
#include "ui/skin/panel_list_win32.h"
#include "ui/skin/skin_colours.h"
#include "ui/skin/skin_fonts_win32.h"

namespace quillary {
namespace {

using clock_type = std::chrono::steady_clock;

// A PC of `device_count` devices, scanned as the program scans (through
// the fixture source, into a scan result), of which the first
// `offered_count` are each offered a package of their own.
std::unique_ptr<scan_result_c> scan_devices(int device_count, int offered_count) {
  raw_scan scan;
  scan.classes = {{u"{4D36E972-E325-11CE-BFC1-08002BE10318}", u"Net", u"Network adapters", 0},
                  {u"{4D36E96C-E325-11CE-BFC1-08002BE10318}", u"MEDIA", u"Sound, video and game controllers", 0},
                  {u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}", u"Image", u"Imaging devices", 0}};
  for (int i = 0; i < device_count; ++i) {
    const raw_class& device_class = scan.classes[static_cast<size_t>(i) % scan.classes.size()];
    char id[64];
    std::snprintf(id, sizeof id, "PCI\\VEN_%04X&DEV_%04X", 0x1000 + i / 4096, i % 4096);
    const std::u16string hardware_id = ascii_to_utf16(id);
    raw_device device;
    device.instance_id = hardware_id + u"\\4&1A2B3C&0&00E0";
    device.texts[device_property::device_desc] =
        u"Bench device " + ascii_to_utf16(std::to_string(i + 1)) + u" with a long descriptive name";
    device.texts[device_property::class_name] = *device_class.name;
    device.texts[device_property::class_guid] = device_class.guid;
    device.lists[device_property::hardware_id] = {hardware_id, hardware_id + u"&REV_01"};
    device.lists[device_property::compatible_ids] = {u"PCI\\CC_020000", u"PCI\\CC_0200"};
    device.driver = driver_values{{u"DriverVersion", u"1.0.0.0"}, {u"InfPath", u"oem1.inf"},
                                  {u"DriverDate", u"1-1-2010"}, {u"DriverDesc", u"Bench driver"},
                                  {u"MatchingDeviceId", hardware_id}, {u"ProviderName", u"Bench"}};
    device.rank = 0x00FF2000;
    scan.devices.push_back(std::move(device));
  }
  device_inventory_c inventory(make_fixture_source(std::move(scan)));
  scan_progress progress;
  std::unique_ptr<scan_result_c> result = scan_into_result(inventory, progress);
  if (!result) return nullptr;
  int offered = 0;
  for (offered_device& d : result->devices_to_fill()) {
    if (offered == offered_count) break;
    update_item item;
    for (auto field : {update_item::hardid, update_item::title, update_item::ver, update_item::guid,
                       update_item::inf_name, update_item::manu}) {
      item.append_text(field, u"x");
    }
    item.append_text(update_item::date, u"2030-01-15");
    item.append_text(update_item::desc, u"x");
    item.append_link(update_item::link, "http://bench.test/packages/p" + std::to_string(offered++) + ".zip");
    item.append_link(update_item::official_link, "");
    item.size = 700000;
    d.items.push_back(std::move(item));
    d.best_item = d.latest_item = &d.items.front();
    d.best_is_update = d.latest_is_update = true;
  }
  result->finish();
  return result;
}

LRESULT CALLBACK host_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND make_host() {
  WNDCLASSW host_class{};
  host_class.lpfnWndProc = host_procedure;
  host_class.hInstance = GetModuleHandleW(nullptr);
  host_class.lpszClassName = L"DownloadPageBench";
  host_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  RegisterClassW(&host_class);
  HWND host = CreateWindowExW(0, L"DownloadPageBench", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 600,
                              500, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  return host;
}

void drain() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// The texts a panel shows, as one plain window would hold them.
std::u16string panel_texts(const update_package& group) {
  std::u16string text = group.devices.front()->class_entry->description;
  for (const device_record* device : group.devices) {
    text += u"\n" + device->description + u"\n" + date_line(device->driver_date, group.item->text(update_item::date));
  }
  return text + u"\nWHQL " + progress_text(0, group.item->size) + u" " + text_of("download_not_download");
}

double build_panels(panel_list_c<download_panel_c>& list, const update_package_list_c& packages,
                    const download_panel_context& context) {
  const auto start = clock_type::now();
  SendMessageW(list.handle(), WM_SETREDRAW, FALSE, 0);
  list.clear();
  RECT client{};
  GetClientRect(list.handle(), &client);
  for (const update_package& group : packages.rows()) {
    auto panel = std::make_unique<download_panel_c>(group, context);
    panel->panel_width = client.right;
    panel->panel_height = download_panel_height(group.devices.size());
    list.add_panel(std::move(panel));
  }
  SendMessageW(list.handle(), WM_SETREDRAW, TRUE, 0);
  RedrawWindow(list.handle(), nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

double build_plain(HWND parent, std::vector<HWND>& windows, const update_package_list_c& packages) {
  const auto start = clock_type::now();
  SendMessageW(parent, WM_SETREDRAW, FALSE, 0);
  for (HWND window : windows) DestroyWindow(window);
  windows.clear();
  RECT client{};
  GetClientRect(parent, &client);
  int y = 0;
  for (const update_package& group : packages.rows()) {
    const int height = download_panel_height(group.devices.size());
    HWND window = CreateWindowExW(0, L"STATIC", wide(panel_texts(group)), WS_CHILD | WS_VISIBLE | SS_LEFT, 0, y,
                                  client.right, height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_verdana_8), FALSE);
    windows.push_back(window);
    y += height;
  }
  SendMessageW(parent, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(parent, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Windows' default per-process quotas of GDI and USER objects
// (GDIProcessHandleQuota, USERProcessHandleQuota).
constexpr DWORD object_quota = 10000;

double mib(SIZE_T bytes) { return static_cast<double>(bytes) / (1 << 20); }

int run(int device_count, int panel_count, int rounds) {
  load_language(u"English", true);
  create_skin_fonts();
  const std::unique_ptr<scan_result_c> scanned = scan_devices(device_count, panel_count);
  if (!scanned) {
    std::fprintf(stderr, "download_page_bench: the scan failed\n");
    return 1;
  }
  const update_package_list_c& packages = scanned->packages(offer_choice::best);

  HWND host = make_host();
  recording_shell_c shell;
  skin_image_c pictures[3];
  pictures[0].load(GetModuleHandleW(nullptr), bitmap_status_no_driver);
  pictures[1].load(GetModuleHandleW(nullptr), bitmap_status_not_needed);
  pictures[2].load(GetModuleHandleW(nullptr), bitmap_status_needed);
  skin_image_c buttons[3];
  buttons[0].load(GetModuleHandleW(nullptr), bitmap_panel_button_normal);
  buttons[1].load(GetModuleHandleW(nullptr), bitmap_panel_button_hover);
  buttons[2].load(GetModuleHandleW(nullptr), bitmap_panel_button_pressed);
  role_brush_c tint(colour_role::panel_tint);
  // The program's objects, as its start builds them, over nothing of the
  // machine's: the panels find their downloads in the registry.
  memory_registry_c registry;
  user_settings_c settings(settings_store_c::environment{&registry, u"", u"", [] { return std::u16string(); }});
  system_info_c system;
  device_inventory_c inventory(make_fixture_source(raw_scan{}));
  update_client_c updates({});
  download_registry_c downloads(u"");
  background_work_c work;
  user_hidden_updates_c hidden(registry, settings_key_path);
  ui_context program{settings, system, inventory, updates, downloads, nullptr, shell, platform::system_elevator(),
                     platform::system_authenticode(), work, hidden};
  download_panel_context context{&program, nullptr, nullptr, &shell, &tint, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)),
                                 pictures, buttons};
  panel_list_c<download_panel_c> list;
  list.create(host, RECT{0, 0, 560, 440}, 1);
  // A plain window list of the same size beside it, shown in turn.
  HWND plain_parent = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 560, 440, host,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
  std::vector<HWND> plain;
  drain();

  const DWORD gdi_before = gdi_objects(), user_before = user_objects();
  build_panels(list, packages, context);
  drain();
  const DWORD gdi_with = gdi_objects(), user_with = user_objects();
  list.clear();
  drain();

  std::vector<double> panel_times, plain_times;
  for (int round = 0; round < rounds; ++round) {
    ShowWindow(plain_parent, SW_HIDE);
    ShowWindow(list.handle(), SW_SHOW);
    panel_times.push_back(build_panels(list, packages, context));
    drain();
    ShowWindow(list.handle(), SW_HIDE);
    ShowWindow(plain_parent, SW_SHOW);
    plain_times.push_back(build_plain(plain_parent, plain, packages));
    drain();
  }
  const double panels = median(panel_times), plains = median(plain_times);
  std::printf("download page, %d panels: median %.0f ms to build and paint\n", panel_count, panels);
  std::printf("plain child windows:      median %.0f ms\n", plains);
  std::printf("ratio: %.2f (target: at most 3)\n", panels / plains);
  std::printf("per panel: %.1f GDI objects, %.1f USER objects\n",
              static_cast<double>(gdi_with - gdi_before) / panel_count,
              static_cast<double>(user_with - user_before) / panel_count);
  // The whole process, with the scan of every device and the page's panels
  // built again: the objects and the peak working set of this bench
  // process, which holds the program's records and the page, not its other
  // windows.
  build_panels(list, packages, context);
  drain();
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  const bool have_memory = K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory) != FALSE;
  const DWORD gdi_total = gdi_objects(), user_total = user_objects();
  std::printf("%d devices scanned, %zu packages on the page:\n", device_count, packages.rows().size());
  if (have_memory) {
    std::printf("  peak working set %.1f MiB (target: under 150, %s)\n", mib(memory.PeakWorkingSetSize),
                mib(memory.PeakWorkingSetSize) < 150 ? "met" : "not met");
  } else {
    std::printf("  peak working set: cannot be read\n");
  }
  std::printf("  %lu GDI and %lu USER objects (target: each under %lu, half the quota of %lu; %s)\n", gdi_total,
              user_total, object_quota / 2, object_quota,
              gdi_total < object_quota / 2 && user_total < object_quota / 2 ? "met" : "not met");
  DestroyWindow(host);
  return 0;
}

}  // namespace
}  // namespace quillary

int wmain(int argc, wchar_t** argv) {
  const int panels = argc > 1 ? std::max(1, _wtoi(argv[1])) : 300;
  const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 7;
  const int devices = argc > 3 ? std::max(panels, _wtoi(argv[3])) : 2000;
  return quillary::run(devices, panels, rounds);
}
