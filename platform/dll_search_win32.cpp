#include "platform/dll_search_win32.h"

#include <windows.h>

namespace quillary::platform {

void load_dlls_from_system32_only() {
  // Windows 8 and later, and 7 with its loader update (KB2533623), have
  // SetDefaultDllDirectories; without it at least the current directory
  // leaves the search.
  using set_default_directories = BOOL(WINAPI*)(DWORD);
  const auto set_default = reinterpret_cast<set_default_directories>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (set_default) set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");
}

}  // namespace quillary::platform
