#include "app/startup_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  return quillary::run_program(instance, show_command);
}
