#include <fcntl.h>
#include <io.h>
#include <objbase.h>

#include <cstdio>

#include "cli/cli.h"
#include "platform/authenticode.h"
#include "platform/dll_search_win32.h"
#include "platform/text.h"
#include "platform/win32.h"

int wmain(int argc, wchar_t** argv) {
  quillary::platform::load_dlls_from_system32_only();
  // Output is UTF-8 with line feeds only, the same bytes as the native build.
  _setmode(_fileno(stdout), _O_BINARY);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(quillary::utf16_to_utf8(quillary::from_wide(argv[i])));
  const int result = quillary::cli::main(arguments, quillary::platform::system_elevator(),
                                         quillary::platform::system_authenticode());
  CoUninitialize();
  return result;
}
