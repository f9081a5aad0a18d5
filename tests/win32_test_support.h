// Helpers for the tests of the Windows layer, which run under Wine.
#pragma once

#include <windows.h>

namespace quillary::testing {

// True when the tests run under Wine, whose answers (Windows 7 SP1, 64-bit)
// the tests know in advance.
inline bool running_under_wine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace quillary::testing
