#include "platform/restore_point.h"

#include "platform/system.h"
#include "platform/wmi.h"
#include "platform/win32.h"

#include <srrestoreptapi.h>

#include <algorithm>

namespace quillary::platform {
namespace {

using set_restore_point_fn = BOOL(WINAPI*)(PRESTOREPOINTINFOW, PSTATEMGRSTATUS);

// srclient.dll from the system folder only, never one planted beside the
// program; looked up once and kept for the life of the process. Microsoft
// asks callers to load it at run time rather than link it.
set_restore_point_fn find_set_restore_point() {
  static const set_restore_point_fn function = [] {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return set_restore_point_fn{};
    const std::wstring path = std::wstring(folder, length) + L"\\srclient.dll";
    const HMODULE library = LoadLibraryW(path.c_str());
    if (!library) return set_restore_point_fn{};
    return reinterpret_cast<set_restore_point_fn>(
        reinterpret_cast<void*>(GetProcAddress(library, "SRSetRestorePointW")));
  }();
  return function;
}

// System Restore works through COM; the installation threads have not
// joined an apartment of their own.
class com_on_this_thread_c {
 public:
  com_on_this_thread_c() : joined_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
  ~com_on_this_thread_c() {
    if (joined_) CoUninitialize();
  }
  com_on_this_thread_c(const com_on_this_thread_c&) = delete;
  com_on_this_thread_c& operator=(const com_on_this_thread_c&) = delete;

 private:
  bool joined_;
};

bool set_restore_point(DWORD event, int64_t sequence_number, const std::u16string& description,
                       STATEMGRSTATUS& status) {
  const auto set = find_set_restore_point();
  if (!set) return false;
  RESTOREPOINTINFOW info{};
  info.dwEventType = event;
  info.dwRestorePtType = DEVICE_DRIVER_INSTALL;
  info.llSequenceNumber = sequence_number;
  const size_t length = std::min<size_t>(description.size(), MAX_DESC_W - 1);
  std::copy_n(description.data(), length, reinterpret_cast<char16_t*>(info.szDescription));
  status = STATEMGRSTATUS{};
  com_on_this_thread_c com;
  return set(&info, &status) != FALSE;
}

class system_restore_c : public restore_points_i {
 public:
  restore_point_answer begin_driver_change(const std::u16string& description) override {
    if (!find_set_restore_point()) return {};
    // One apartment for WMI and System Restore alike.
    com_on_this_thread_c com;
    // Listing the points may need the administrator's rights that
    // installing needs too; without them (or without WMI) whether the point
    // is new stays unknown, and is reported so.
    const auto points = connect_wmi(u"ROOT\\DEFAULT");
    restore_point_answer answer = ask_for_restore_point(points.get(), [&](int64_t& sequence_number, uint32_t& code) {
      STATEMGRSTATUS status;
      const bool made = set_restore_point(BEGIN_SYSTEM_CHANGE, 0, description, status);
      sequence_number = status.llSequenceNumber;
      code = status.nStatus;
      return made;
    });
    answer.supported = true;
    // Wine's call is a placeholder that refuses without a reason: there is
    // no System Restore behind it.
    if (!answer.made && answer.status == ERROR_SUCCESS && is_wine()) answer.supported = false;
    return answer;
  }

  void end_change(int64_t sequence_number) override {
    STATEMGRSTATUS status;
    set_restore_point(END_SYSTEM_CHANGE, sequence_number, u"", status);
  }
};

}  // namespace

restore_points_i& system_restore_points() {
  static system_restore_c restore_points;
  return restore_points;
}

}  // namespace quillary::platform
