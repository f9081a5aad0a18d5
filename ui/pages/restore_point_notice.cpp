#include "ui/pages/restore_point_notice.h"

#include <cstdio>

#include "app/language.h"
#include "platform/text.h"

namespace quillary {

std::u16string restore_point_time_text(const std::u16string& created, to_local_time_fn to_local) {
  int64_t seconds = 0;
  if (!seconds_of_utc_time_text(created, seconds)) return {};
  const local_time local = to_local(seconds);
  if (local.year == 0) return {};  // no local time for it
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", local.year, local.month, local.day, local.hour,
                local.minute);
  return ascii_to_utf16(text);
}

const char* restore_point_notice_key(const restore_point_outcome& outcome) {
  switch (outcome.state) {
    case restore_point_state::not_asked:
    case restore_point_state::made: return nullptr;
    case restore_point_state::reused: {
      int64_t seconds = 0;
      return seconds_of_utc_time_text(outcome.created, seconds) ? "restore_point_reused"
                                                                : "restore_point_reused_undated";
    }
    case restore_point_state::unknown_whether_new: return "restore_point_unknown";
    case restore_point_state::not_supported: return "restore_point_not_supported";
    case restore_point_state::protection_off: return "restore_point_protection_off";
    case restore_point_state::failed: break;
  }
  switch (refusal_of(outcome.status)) {
    case restore_point_refusal::safe_mode: return "restore_point_safe_mode";
    case restore_point_refusal::disk_full: return "restore_point_disk_full";
    case restore_point_refusal::busy: return "restore_point_busy";
    case restore_point_refusal::other: break;
  }
  return "restore_point_refused";
}

std::u16string restore_point_notice(const restore_point_outcome& outcome, to_local_time_fn to_local) {
  const char* key = restore_point_notice_key(outcome);
  if (!key) return {};
  const std::u16string& text = text_of(key);
  if (outcome.state == restore_point_state::reused) {
    const std::u16string when = restore_point_time_text(outcome.created, to_local);
    // A time that has no local form falls back to the text without one.
    if (when.empty()) return text_of("restore_point_reused_undated");
    return format_language_text(text, {when});
  }
  // Only a refusal without a reason of its own shows its status.
  return format_language_text(text, static_cast<long long>(outcome.status));
}

}  // namespace quillary
