#include "app/startup_win32.h"
#include "service/update_client.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  return quillary::run_program(instance, show_command, quillary::configured_servers());
}
