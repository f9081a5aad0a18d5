#include "program/startup_win32.h"
#include "service/update_client.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  quillary::program_options options;
  options.built_in_servers = quillary::configured_servers();
  return quillary::run_program(instance, show_command, options);
}
