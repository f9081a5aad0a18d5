// The scrolling panel list with many panels against plain child windows
// that are each moved once, the least any list of windows can do:
//
//   panel_list_bench [PANELS] [ROUNDS]      (default 1000 panels of 60 pixels, 20 rounds)
//
// Times, in a 560-pixel-tall list under a shown top-level window, with every
// change painted before the clock stops:
//   add     adding every panel, against creating as many plain children;
//   notch   one wheel notch (15 pixels), against moving only the plain
//           children in sight by 15 pixels;
//   page    one page down, against moving the plain children in sight by a
//           page;
//   resize  one change of the list's size, against moving and sizing every
//           plain child once.
// Prints each time (milliseconds; per operation the median of ROUNDS) and
// its ratio to the baseline.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <vector>

#include "ui/skin/panel_list_win32.h"

namespace quillary {
namespace {

constexpr int list_width = 600;
constexpr int list_height = 560;
constexpr int panel_height = 60;
constexpr int notch_pixels = 15;

double now_ms() {
  static LARGE_INTEGER frequency{};
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Paints what is invalid now and handles what is queued.
void settle(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// The median time of `rounds` runs of `step` (given the round's number),
// each painted before its clock stops.
template <typename Step>
double median_time(int rounds, HWND host, Step step) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const double start = now_ms();
    step(i);
    settle(host);
    times.push_back(now_ms() - start);
  }
  std::sort(times.begin(), times.end());
  return times.empty() ? 0 : times[times.size() / 2];
}

// The list's size in round `i` of the resizes: narrower and shorter in turn.
int round_width(int i) { return list_width - (i % 2) * 40; }
int round_height(int i) { return list_height - (i % 2) * 120; }

// What each row paints, the same for panels and plain children: a fill and
// a line of text.
void paint_row(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client{};
  GetClientRect(window, &client);
  const int number = static_cast<int>(GetWindowLongPtrW(window, GWLP_ID));
  HBRUSH fill = CreateSolidBrush(number % 2 ? RGB(244, 246, 251) : RGB(255, 255, 255));
  FillRect(dc, &client, fill);
  DeleteObject(fill);
  wchar_t text[32];
  const int length = std::swprintf(text, 32, L"Package %d", number);
  SetBkMode(dc, TRANSPARENT);
  TextOutW(dc, 12, 10, text, length);
  EndPaint(window, &ps);
}

class bench_panel_c : public list_panel_c {
 public:
  explicit bench_panel_c(int number) : number_(number) {
    panel_width = list_width;
    panel_height = quillary::panel_height;
  }

 protected:
  window_class_info panel_class() const override {
    window_class_info info;
    info.name = L"BenchPanel";
    return info;
  }
  bool handle_message(UINT message, WPARAM, LPARAM, LRESULT&) override {
    if (message == WM_CREATE) SetWindowLongPtrW(handle(), GWLP_ID, number_);
    if (message != WM_PAINT) return false;
    paint_row(handle());
    return true;
  }

 private:
  int number_;
};

LRESULT CALLBACK plain_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    paint_row(window);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND make_top_window(const wchar_t* title) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW plain{};
    plain.lpfnWndProc = plain_proc;
    plain.hInstance = GetModuleHandleW(nullptr);
    plain.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    plain.lpszClassName = L"PlainRow";
    RegisterClassW(&plain);
    WNDCLASSW host{};
    host.lpfnWndProc = DefWindowProcW;
    host.hInstance = GetModuleHandleW(nullptr);
    host.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    host.lpszClassName = L"BenchHost";
    RegisterClassW(&host);
    registered = true;
  }
  HWND window = CreateWindowExW(0, L"BenchHost", title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 20,
                                20, list_width + 60, list_height + 80, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  settle(window);
  return window;
}

struct figures {
  double add = 0, notch = 0, page = 0, resize = 0;
};

figures measure_panel_list(int count, int rounds) {
  figures f;
  HWND host = make_top_window(L"Panel list");
  auto list = std::make_unique<panel_list_c<bench_panel_c>>();
  list->create(host, RECT{0, 0, list_width, list_height}, 1);
  settle(host);

  const double start = now_ms();
  for (int i = 0; i < count; ++i) list->add_panel(std::make_unique<bench_panel_c>(i));
  settle(host);
  f.add = now_ms() - start;

  const HWND handle = list->handle();
  f.notch = median_time(rounds, host, [handle](int) {
    SendMessageW(handle, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  });
  f.page = median_time(rounds, host,
                       [handle](int) { SendMessageW(handle, WM_VSCROLL, SB_PAGEDOWN, 0); });
  f.resize = median_time(rounds, host, [handle](int i) {
    SetWindowPos(handle, nullptr, 0, 0, round_width(i), round_height(i), SWP_NOMOVE | SWP_NOZORDER);
  });

  list.reset();
  DestroyWindow(host);
  return f;
}

figures measure_plain_windows(int count, int rounds) {
  figures f;
  HWND host = make_top_window(L"Plain windows");
  HWND parent = CreateWindowExW(0, L"BenchHost", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                0, list_width, list_height, host, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  settle(host);

  std::vector<HWND> rows;
  const double start = now_ms();
  for (int i = 0; i < count; ++i) {
    rows.push_back(CreateWindowExW(0, L"PlainRow", L"",
                                   WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
                                   i * panel_height, list_width, panel_height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(i)),
                                   GetModuleHandleW(nullptr), nullptr));
  }
  settle(host);
  f.add = now_ms() - start;

  // The rows in sight before or after a scroll by `pixels` move by it, one
  // at a time, each once.
  int position = 0;
  auto scroll_in_sight = [&](int pixels) {
    const int next = position + pixels;
    for (int i = 0; i < count; ++i) {
      const int y = i * panel_height;
      const bool before = y - position < list_height && y - position + panel_height > 0;
      const bool after = y - next < list_height && y - next + panel_height > 0;
      if (before || after) MoveWindow(rows[i], 0, y - next, list_width, panel_height, TRUE);
    }
    position = next;
  };
  f.notch = median_time(rounds, host, [&](int) { scroll_in_sight(notch_pixels); });
  f.page = median_time(rounds, host, [&](int) { scroll_in_sight(list_height); });
  f.resize = median_time(rounds, host, [&](int i) {
    SetWindowPos(parent, nullptr, 0, 0, round_width(i), round_height(i), SWP_NOMOVE | SWP_NOZORDER);
    for (int r = 0; r < count; ++r) {
      MoveWindow(rows[r], 0, r * panel_height - position, round_width(i), panel_height, TRUE);
    }
  });

  DestroyWindow(host);
  return f;
}

}  // namespace
}  // namespace quillary

int wmain(int argc, wchar_t** argv) {
  using namespace quillary;
  const int count = argc > 1 ? _wtoi(argv[1]) : 1000;
  const int rounds = argc > 2 ? _wtoi(argv[2]) : 20;
  if (count < 20 || rounds < 1) {
    std::fputs("usage: panel_list_bench [PANELS >= 20] [ROUNDS]\n", stderr);
    return 2;
  }
  // Each once to warm up the classes and the caches, then for real.
  measure_plain_windows(count, 2);
  measure_panel_list(count, 2);
  const figures plain = measure_plain_windows(count, rounds);
  const figures list = measure_panel_list(count, rounds);

  std::printf("%d panels of %d pixels in a list of %d; medians of %d rounds\n", count,
              panel_height, list_height, rounds);
  std::printf("%-8s %12s %12s %8s\n", "", "panel list", "plain", "ratio");
  auto row = [](const char* name, double ours, double theirs, const char* baseline) {
    std::printf("%-8s %9.2f ms %9.2f ms %8.2f   (plain: %s)\n", name, ours, theirs,
                theirs > 0 ? ours / theirs : 0.0, baseline);
  };
  row("add", list.add, plain.add, "as many windows created");
  row("notch", list.notch, plain.notch, "the windows in sight moved 15 px");
  row("page", list.page, plain.page, "the windows in sight moved a page");
  row("resize", list.resize, plain.resize, "every window moved and sized once");
  std::printf("target: a wheel notch under 2 times the plain one: %s\n",
              list.notch < 2 * plain.notch ? "met" : "NOT met");
  return 0;
}
