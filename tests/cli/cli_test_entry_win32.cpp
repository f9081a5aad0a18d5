// quillary-cli-test.exe: the command line exactly as shipped, with the
// process's rights, the elevation prompt's answer and the Authenticode
// verdict taken from the environment (see tests/test_elevator.h and
// tests/test_authenticode.h). The shipped quillary-cli.exe has no such seam.
#include <fcntl.h>
#include <io.h>
#include <objbase.h>

#include <cstdio>

#include "cli/cli.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "tests/test_authenticode.h"
#include "tests/test_elevator.h"

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(quillary::utf16_to_utf8(quillary::from_wide(argv[i])));
  const auto test_elevator = quillary::testing::elevator_from_environment();
  quillary::elevator_i& elevator =
      test_elevator ? static_cast<quillary::elevator_i&>(*test_elevator) : quillary::platform::system_elevator();
  const auto test_authenticode = quillary::testing::authenticode_from_environment();
  quillary::authenticode_i& authenticode = test_authenticode
                                               ? static_cast<quillary::authenticode_i&>(*test_authenticode)
                                               : quillary::platform::system_authenticode();
  const int result = quillary::cli::main(arguments, elevator, authenticode);
  CoUninitialize();
  return result;
}
