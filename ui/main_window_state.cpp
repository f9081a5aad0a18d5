#include "ui/main_window_state.h"

#include "app/language.h"

namespace quillary {

bool main_window_state_c::scan_finished() {
  scan_ = scan_state::results;
  if (background_ != background_scan::running) return false;
  background_ = background_scan::notified;
  return true;
}

void main_window_state_c::scan_abandoned() {
  if (scan_ == scan_state::scanning) scan_ = scan_state::idle;
}

bool main_window_state_c::background_timer_fired() {
  if (scan_ != scan_state::idle) return false;
  background_ = background_scan::running;
  scan_started();
  return true;
}

bool main_window_state_c::window_shown() {
  if (background_ != background_scan::notified) return false;
  background_ = background_scan::seen;
  return true;
}

bool main_window_state_c::can_open(page_id page) const {
  switch (page) {
    case page_id::download:
    case page_id::backup:
    case page_id::restore:
      return scan_ == scan_state::results;
    case page_id::home:
    case page_id::scan:
      return true;
  }
  return false;
}

const char* blocked_message_key(page_id page) {
  switch (page) {
    case page_id::download: return "home_download_msg";
    case page_id::backup: return "home_backup_msg";
    case page_id::restore: return "home_restore_msg";
    default: return nullptr;
  }
}

close_action close_action_for(uint32_t close_to_tray) {
  if (close_to_tray == 0) return close_action::quit;
  return close_to_tray == 1 ? close_action::hide_after_notice : close_action::hide;
}

std::u16string new_driver_notice(std::u16string_view format, int count) {
  std::u16string text = format_language_text(format, count);
  if (text.size() > new_driver_notice_length) {
    // Never between the two halves of a character.
    size_t cut = new_driver_notice_length;
    if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;
    text.resize(cut);
  }
  return text;
}

}  // namespace quillary
