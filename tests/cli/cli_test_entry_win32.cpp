// quillary-cli-test.exe: the command line exactly as shipped, with the
// process's rights and the elevation prompt's answer taken from the
// environment (see tests/test_elevator.h). The shipped quillary-cli.exe
// has no such seam.
#include <fcntl.h>
#include <io.h>
#include <objbase.h>

#include <cstdio>

#include "cli/cli.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "tests/test_elevator.h"

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(quillary::utf16_to_utf8(quillary::from_wide(argv[i])));
  const auto test_elevator = quillary::testing::elevator_from_environment();
  quillary::elevator_i& elevator =
      test_elevator ? static_cast<quillary::elevator_i&>(*test_elevator) : quillary::platform::system_elevator();
  const int result = quillary::cli::main(arguments, elevator);
  CoUninitialize();
  return result;
}
