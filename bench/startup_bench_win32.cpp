// Times a program's start until its main window is fully painted, as the
// user sees it: from CreateProcess until every given pixel of the screen,
// at a place relative to the window of the given class, shows its colour.
// Then ends the program.
//
//   startup_bench CLASS X,Y,RRGGBB [X,Y,RRGGBB ...] -- PROGRAM [ARG ...]
//
// X and Y count from the window's top-left corner; the window is expected
// centred on the work area, 800 × 600. Prints the milliseconds; exits 1 when
// the window is not painted within 60 seconds, or when the screen shows
// its colours already before the start.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct expected_pixel {
  int x, y;
  COLORREF colour;
};

bool painted(HWND window, const std::vector<expected_pixel>& pixels) {
  RECT rect{};
  if (!IsWindowVisible(window) || !GetWindowRect(window, &rect)) return false;
  HDC screen = GetDC(nullptr);
  bool all = true;
  for (const auto& p : pixels) {
    if (GetPixel(screen, rect.left + p.x, rect.top + p.y) != p.colour) {
      all = false;
      break;
    }
  }
  ReleaseDC(nullptr, screen);
  return all;
}

// Whether the places of the pixels (the window will open centred, where
// an earlier run's stood) show anything else than the pixels' colours now.
bool screen_differs(const std::vector<expected_pixel>& pixels) {
  RECT work{0, 0, 800, 600};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int left = work.left + (work.right - work.left - 800) / 2;
  const int top = work.top + (work.bottom - work.top - 600) / 2;
  for (int attempt = 0; attempt < 100; ++attempt) {
    HDC screen = GetDC(nullptr);
    bool differs = false;
    for (const auto& p : pixels) differs = differs || GetPixel(screen, left + p.x, top + p.y) != p.colour;
    ReleaseDC(nullptr, screen);
    if (differs) return true;
    Sleep(10);
  }
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int separator = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--") == 0) separator = i;
  }
  if (argc < 5 || separator < 3 || separator + 1 >= argc) {
    std::fputs("usage: startup_bench CLASS X,Y,RRGGBB ... -- PROGRAM [ARG ...]\n", stderr);
    return 2;
  }
  std::vector<expected_pixel> pixels;
  for (int i = 2; i < separator; ++i) {
    int x = 0, y = 0;
    unsigned rgb = 0;
    if (std::swscanf(argv[i], L"%d,%d,%x", &x, &y, &rgb) != 3) return 2;
    pixels.push_back({x, y, RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF)});
  }
  std::wstring command;
  for (int i = separator + 1; i < argc; ++i) command += (command.empty() ? L"\"" : L" \"") + std::wstring(argv[i]) + L"\"";

  // What the screen showed of an earlier run must not count: the desktop
  // paints over it first.
  RedrawWindow(GetDesktopWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  if (!screen_differs(pixels)) {
    std::fputs("startup_bench: the screen still shows the window's colours before the start\n", stderr);
    return 1;
  }

  LARGE_INTEGER frequency, begin, now;
  QueryPerformanceFrequency(&frequency);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  QueryPerformanceCounter(&begin);
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fputs("startup_bench: cannot start the program\n", stderr);
    return 1;
  }
  double elapsed = -1;
  for (;;) {
    HWND window = FindWindowW(argv[1], nullptr);
    QueryPerformanceCounter(&now);
    const double ms = 1000.0 * static_cast<double>(now.QuadPart - begin.QuadPart) / static_cast<double>(frequency.QuadPart);
    if (window && painted(window, pixels)) {
      elapsed = ms;
      break;
    }
    if (ms > 60000) break;
    Sleep(1);
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  if (elapsed < 0) {
    std::fputs("startup_bench: the window was not painted within 60 seconds\n", stderr);
    return 1;
  }
  std::printf("%.1f\n", elapsed);
  return 0;
}
