#include "app/startup_win32.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <winsock2.h>

#include <chrono>
#include <cwchar>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/language.h"
#include "app/policy.h"
#include "app/program_folder.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "backup/driver_store.h"
#include "devices/device_inventory.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "service/update_client.h"
#include "ui/main_window_win32.h"
#include "ui/pages/scan_page_win32.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/window/message_loop_win32.h"
#include "ui/window_messages.h"

namespace quillary {
namespace {

// Held until the process ends; the system releases it then.
HANDLE instance_mutex = nullptr;

// How long a second start waits for the running instance to answer.
constexpr UINT activation_timeout_ms = 10000;

std::vector<std::u16string> command_line_arguments() {
  std::vector<std::u16string> arguments;
  int count = 0;
  wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!list) return arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(from_wide(list[i]));
  LocalFree(list);
  return arguments;
}

BOOL CALLBACK find_main_window(HWND window, LPARAM found) {
  wchar_t title[260] = {};
  GetWindowTextW(window, title, 260);
  if (StrCmpIW(title, main_window_title) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

void show_failure(int code) {
  wchar_t text[128];
  std::swprintf(text, 128, L"Application initialization failed, error code: %d.", code);
  MessageBoxW(nullptr, text, L"Quillary", MB_ICONERROR);
}

}  // namespace

int check_single_instance() {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Quillary");
  if (!mutex || GetLastError() != ERROR_ALREADY_EXISTS) {
    // Also when the mutex cannot be made at all: the program then runs.
    instance_mutex = mutex;
    return 0;
  }
  notify_running_instance(hands_over_scan(command_line_arguments()) ? 1 : 0);
  ReleaseMutex(mutex);
  return -1;
}

void notify_running_instance(int start_scan) {
  HWND window = nullptr;
  EnumWindows(find_main_window, reinterpret_cast<LPARAM>(&window));
  if (!window) return;
  // This process was just started by the user, so it may give the running
  // instance the right to come to the foreground.
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  AllowSetForegroundWindow(owner);
  // A running instance that does not answer (hung, or ending) must not
  // keep this one waiting for good.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, UM_ACTIVATE_INSTANCE, static_cast<WPARAM>(start_scan), 0, SMTO_ABORTIFHUNG,
                      activation_timeout_ms, &ignored);
}

int initialize_application(const std::vector<std::string>& built_in_servers) {
  WSADATA sockets;
  WSAStartup(MAKEWORD(2, 2), &sockets);
  enter_program_folder();

  int failure = 0;
  if (!capture_system_snapshot()) {
    failure = startup_failure::system_snapshot;
  } else if (start_system_summary() != 0) {
    failure = startup_failure::system_summary;
  } else if (!load_settings()) {
    failure = startup_failure::settings;
  } else {
    create_skin_fonts();  // the windows' shared fonts; cannot fail
    if (load_language(settings().language, true) != 0) {
      failure = startup_failure::language_file;
    } else {
      // A language other than English takes the English texts it lacks.
      if (!equal_ignore_case(settings().language, u"English")) load_language(u"English", false);
      // An administrator's servers, when the policy names any that can be
      // used; values it cannot use are passed over (quillary-cli settings
      // names them), never a reason not to start.
      const machine_policy policy = read_machine_policy(local_machine_registry());
      const auto servers = choose_update_servers(policy, built_in_servers);
      // The publishers' keys every download and installation is checked
      // against: the built-in ones and the policy's.
      set_download_trust(
          std::make_shared<const signature_trust>(make_signature_trust(built_in_catalogue_keys(), policy)));
      if (init_device_inventory(servers.servers) != 0) failure = startup_failure::device_inventory;
    }
  }
  if (failure) {
    show_failure(failure);
    // The summary's thread may still run; it must end before the process
    // does, or its handle's destruction aborts the program.
    finish_system_summary();
    return -1;
  }
  init_driver_store();  // without the system's lookup the digest search stands in
  return 0;
}

int run_application(HINSTANCE instance, int show_command) {
  message_loop_c loop;
  register_message_loop(&loop);
  int result = -1;
  {
    main_window_c window;
    if (window.create(instance, start_switch_of(command_line_arguments()) == start_switch::autoscan)) {
      ShowWindow(window.handle(), show_command);
      result = loop.run();
    }
  }
  unregister_message_loop();
  return result;
}

void release_application() {
  finish_system_summary();
  // Downloads still running are paused, their partial files kept for the
  // next run; their threads get a moment to end, so that no transfer is
  // under way when the transfer library's global state goes.
  const bool transfers_ended = download_sessions().stop_all(std::chrono::seconds(3));
  // A scan's worker still running uses the device list and the transfer
  // state: the process then ends with both in place.
  release_device_inventory(transfers_ended && !scan_workers_running());
  CoUninitialize();
}

int run_program(HINSTANCE instance, int show_command, const std::vector<std::string>& built_in_servers) {
  if (check_single_instance() != 0) return -1;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  if (initialize_application(built_in_servers) != 0) return -1;
  const int result = run_application(instance, show_command);
  release_application();
  return result;
}

}  // namespace quillary
