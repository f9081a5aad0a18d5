// The GDI and USER objects of the calling process, for tests and benchmarks
// that look for leaks and measure what windows cost.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillary {

// GetGuiResources answers 0 under Wine, whose handles hold their table
// index in the low 16 bits and accept a zero high word: there every index
// is asked instead.
inline DWORD gdi_objects() {
  if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return counted;
  DWORD count = 0;
  for (uintptr_t index = 0x20; index < 0x10000; ++index) {
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++count;
  }
  return count;
}

inline bool is_icon(HANDLE handle) {
  ICONINFO info{};
  if (!GetIconInfo(static_cast<HICON>(handle), &info)) return false;
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  return true;
}

inline DWORD user_objects() {
  if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return counted;
  DWORD count = 0;
  for (uintptr_t index = 0x20; index < 0xFFF0; index += 2) {
    const HANDLE handle = reinterpret_cast<HANDLE>(index);
    if (IsWindow(static_cast<HWND>(handle)) || IsMenu(static_cast<HMENU>(handle)) || is_icon(handle)) ++count;
  }
  return count;
}

}  // namespace quillary
