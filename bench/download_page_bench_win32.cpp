// bench/download-page: what a rebuild of the download page costs. In one
// process, turn about, a list of N package panels is built as the page
// builds it (the groups, then one download_panel_c per group in the
// scrolling list, painted), and N plain child windows (static controls
// holding the same texts) are made and painted the same way. Prints the
// median of each over the rounds, their ratio, and the GDI and USER objects
// one panel costs.
//
// usage: download_page_bench.exe [PANELS] [ROUNDS]   (from the folder holding language.ini)
#include <windows.h>

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

struct bench_devices {
  std::vector<device_class_entry> classes;
  std::vector<offered_device> devices;
};

bench_devices make_devices(int count) {
  bench_devices made;
  made.classes = {{{}, u"", u"Network adapters", u"Net"}, {{}, u"", u"Sound, video and game controllers", u"MEDIA"},
                  {{}, u"", u"Imaging devices", u"Image"}};
  made.devices.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    offered_device& d = made.devices[static_cast<size_t>(i)];
    d.class_entry = &made.classes[static_cast<size_t>(i) % made.classes.size()];
    d.class_name = d.class_entry->name;
    d.description = u"Bench device " + ascii_to_utf16(std::to_string(i + 1)) + u" with a long descriptive name";
    d.driver_date = u"2010-01-01";
    d.has_driver = true;
    update_item item;
    for (auto field : {update_item::hardid, update_item::title, update_item::ver, update_item::guid,
                       update_item::inf_name, update_item::manu}) {
      item.append_text(field, u"x");
    }
    item.append_text(update_item::date, u"2030-01-15");
    item.append_text(update_item::desc, u"x");
    item.append_link(update_item::link, "http://bench.test/packages/p" + std::to_string(i) + ".zip");
    item.append_link(update_item::official_link, "");
    item.size = 700000;
    d.items.push_back(std::move(item));
    d.best_item = d.latest_item = &d.items.front();
    d.best_is_update = d.latest_is_update = true;
  }
  return made;
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

int run(int panel_count, int rounds) {
  load_language(u"English", true);
  create_skin_fonts();
  bench_devices made = make_devices(panel_count);
  update_package_list_c packages;
  packages.build(made.devices, offer_choice::best);

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
  DestroyWindow(host);
  return 0;
}

}  // namespace
}  // namespace quillary

int wmain(int argc, wchar_t** argv) {
  const int panels = argc > 1 ? std::max(1, _wtoi(argv[1])) : 300;
  const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 7;
  return quillary::run(panels, rounds);
}
