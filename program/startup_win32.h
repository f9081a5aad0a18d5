// The program's start on the window thread: one instance per log-on, the
// numbered preparation steps, the objects every window works with (built
// here once, handed down), the main window's message loop, and teardown.
// The top of the tree: the only code that builds the program's objects.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/system_info.h"

namespace quillary {

class authenticode_i;
class elevator_i;
class shell_i;

// Start-up failure codes shown in the failure message.
namespace startup_failure {
constexpr int system_snapshot = 1;
constexpr int system_summary = 2;
constexpr int settings = 3;
constexpr int language_file = 4;
constexpr int device_inventory = 5;
}  // namespace startup_failure

// What the program is built with; its test build replaces parts of it.
struct program_options {
  // The update servers asked when the machine's policy names none.
  std::vector<std::string> built_in_servers;
  // The system's own where null.
  shell_i* shell = nullptr;
  elevator_i* elevator = nullptr;
  authenticode_i* authenticode = nullptr;
  // The WMI connection of the system summary; the system's where empty.
  background_summary_c::connector wmi;
};

// 0 when this process is the first instance; -1 after the command line has
// been handed to the running one.
int check_single_instance();
// Finds the running instance's main window by its title and sends it
// UM_ACTIVATE_INSTANCE, waiting until it has been handled.
void notify_running_instance(int start_scan);

// The whole program: the entry point's body.
int run_program(HINSTANCE instance, int show_command, const program_options& options);

}  // namespace quillary
