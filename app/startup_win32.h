// The program's start-up on the window thread: one instance per log-on,
// the numbered preparation steps, the main window's message loop, teardown.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace quillary {

// Start-up failure codes shown in the failure message.
namespace startup_failure {
constexpr int system_snapshot = 1;
constexpr int system_summary = 2;
constexpr int settings = 3;
constexpr int language_file = 4;
constexpr int device_inventory = 5;
}  // namespace startup_failure

// 0 when this process is the first instance; -1 after the command line has
// been handed to the running one.
int check_single_instance();
// Finds the running instance's main window by its title and sends it
// UM_ACTIVATE_INSTANCE, waiting until it has been handled.
void notify_running_instance(int start_scan);
// 0, or -1 after the failure message has been shown. The update query asks
// the servers of the machine's policy, else `built_in_servers`.
int initialize_application(const std::vector<std::string>& built_in_servers);
// Creates, shows and runs the main window; the loop's exit code, or -1.
int run_application(HINSTANCE instance, int show_command);
void release_application();

// The whole program: the entry point's body. `built_in_servers` are the
// update servers the program was built with (configured_servers()); its
// test build passes the addresses of its tests' services instead.
int run_program(HINSTANCE instance, int show_command, const std::vector<std::string>& built_in_servers);

}  // namespace quillary
