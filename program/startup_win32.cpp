#include "program/startup_win32.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <winsock2.h>

#include <chrono>
#include <memory>
#include <cwchar>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/hidden_updates.h"
#include "app/language.h"
#include "app/policy.h"
#include "app/program_folder.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "backup/driver_store.h"
#include "devices/device_inventory.h"
#include "download/download_session.h"
#include "download/package_signature.h"
#include "platform/authenticode.h"
#include "platform/dll_search_win32.h"
#include "platform/elevation.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "service/http_transfer.h"
#include "service/update_client.h"
#include "ui/main_window_win32.h"
#include "ui/skin/palette_win32.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/ui_context.h"
#include "ui/window/background_job.h"
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

namespace {

// The objects of one run, built in the order of the preparation steps and
// released in reverse. Each window is handed what it needs (ui_context).
class program_c {
 public:
  explicit program_c(const program_options& options)
      : options_(options),
        shell_(options.shell ? *options.shell : platform::system_shell()),
        elevator_(options.elevator ? *options.elevator : platform::system_elevator()),
        authenticode_(options.authenticode ? *options.authenticode : platform::system_authenticode()) {}
  ~program_c() { release(); }

  // 0, or -1 after the failure message has been shown.
  int initialize();
  int run(HINSTANCE instance, int show_command);

 private:
  void release();

  const program_options& options_;
  shell_i& shell_;
  elevator_i& elevator_;
  authenticode_i& authenticode_;
  system_info_c system_;
  std::unique_ptr<user_settings_c> settings_;
  user_hidden_updates_c hidden_{current_user_registry(), settings_key_path};
  std::unique_ptr<device_inventory_c> inventory_;
  std::unique_ptr<update_client_c> updates_;
  std::unique_ptr<download_registry_c> downloads_;
  std::unique_ptr<driver_store_c> driver_store_;
  background_work_c work_;
  bool initialized_ = false;
};

int program_c::initialize() {
  WSADATA sockets;
  WSAStartup(MAKEWORD(2, 2), &sockets);
  enter_program_folder();

  int failure = 0;
  if (!system_.capture()) {
    failure = startup_failure::system_snapshot;
  } else if (system_.start_summary(options_.wmi) != 0) {
    // Only where the summary's thread cannot be made is the connection
    // tried here; otherwise run() learns its outcome.
    failure = startup_failure::system_summary;
  } else {
    const system_snapshot& snapshot = system_.snapshot();
    settings_ = std::make_unique<user_settings_c>(
        user_settings_environment(snapshot.working_folder, snapshot.module_path));
    if (!settings_->load()) failure = startup_failure::settings;
  }
  if (!failure) {
    create_skin_fonts();  // the windows' shared fonts; cannot fail
    const settings_values& settings = settings_->values();
    if (load_language(settings.language, true) != 0) {
      failure = startup_failure::language_file;
    } else {
      // A language other than English takes the English texts it lacks.
      if (!equal_ignore_case(settings.language, u"English")) load_language(u"English", false);
      // An administrator's servers, when the policy names any that can be
      // used; values it cannot use are passed over (quillary-cli settings
      // names them), never a reason not to start.
      const machine_policy policy = read_machine_policy(local_machine_registry());
      const auto servers = choose_update_servers(policy, options_.built_in_servers);
      // The publishers' keys every download and installation is checked
      // against: the built-in ones and the policy's.
      downloads_ = std::make_unique<download_registry_c>(
          settings.active_download_path, download_options{},
          std::make_shared<const signature_trust>(make_signature_trust(built_in_catalogue_keys(), policy)));
      // The transfer library makes its global state with the first transfer.
      auto source = make_system_device_source();
      if (!source) {
        failure = startup_failure::device_inventory;
      } else {
        inventory_ = std::make_unique<device_inventory_c>(std::move(source));
        updates_ = std::make_unique<update_client_c>(servers.servers);
        updates_->set_blocked_packages(policy.blocked_packages);
        // The updates the user chose not to be offered again (an unreadable
        // list hides nothing).
        hidden_.load();
        updates_->set_hidden_updates(hidden_.list());
      }
    }
  }
  if (failure) {
    show_failure(failure);
    // The summary's thread may still run; it must end before the process
    // does, or its handle's destruction aborts the program.
    system_.finish_summary();
    return -1;
  }
  // Without the system's lookup the digest search stands in.
  driver_store_ = make_system_driver_store(os_version_code_of(system_.snapshot()));
  initialized_ = true;
  return 0;
}

int program_c::run(HINSTANCE instance, int show_command) {
  ui_context context{*settings_, system_,       *inventory_,  *updates_, *downloads_, driver_store_.get(),
                     shell_,     elevator_,     authenticode_, work_,       hidden_};
  message_loop_c loop;
  register_message_loop(&loop);
  int result = -1;
  bool no_wmi = false;
  {
    main_window_c window(context);
    if (window.create(instance)) {
      // The WMI connection is made on the summary's thread while the window
      // is made, which is most of the start-up; without it the program
      // does not start, and the window it made never shows.
      no_wmi = system_.summary_connection() != 0;
      if (!no_wmi) {
        if (start_switch_of(command_line_arguments()) == start_switch::autoscan) window.scan_at_once();
        ShowWindow(window.handle(), show_command);
        result = loop.run();
      }
    }
  }
  unregister_message_loop();
  if (no_wmi) {
    // The window's end posted the quit of a loop that never ran; left in
    // the queue it would close the message box at once.
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    show_failure(startup_failure::system_summary);
  }
  return result;
}

void program_c::release() {
  if (!initialized_) return;
  system_.finish_summary();
  // Downloads still running are paused, their partial files kept for the
  // next run; their threads get a moment to end, so that no transfer is
  // under way when the transfer library's global state goes.
  const bool transfers_ended = downloads_->stop_all(std::chrono::seconds(3));
  // While background work still runs (a download, a scan), the process
  // ends with everything it uses in place.
  if (!transfers_ended || work_.any_running()) {
    (void)inventory_.release();
    (void)updates_.release();
    (void)downloads_.release();
    return;
  }
  // No transfer object may outlive the library's global state.
  updates_.reset();
  transfer_library_cleanup();
  inventory_.reset();
}

}  // namespace

int run_program(HINSTANCE instance, int show_command, const program_options& options) {
  platform::load_dlls_from_system32_only();
  if (check_single_instance() != 0) return -1;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  refresh_program_palette();
  int result = -1;
  {
    program_c program(options);
    if (program.initialize() == 0) result = program.run(instance, show_command);
  }
  CoUninitialize();
  return result;
}

}  // namespace quillary
