// What the main window decides, apart from any window: where a scan stands,
// the one background scan of a run, what closing the window means, and
// what the navigation buttons do. The window (main_window_win32.*) carries
// the decisions out.
#pragma once

#include <cstdint>
#include <string>

namespace quillary {

enum class scan_state : int { idle = 0, scanning = 1, results = 3 };

// The background scan that runs once a run, 15 minutes after the window was
// hidden: none yet, running, finished (the user was told in the tray), seen
// (the window was shown since).
enum class background_scan : int { none = 0, running = 1, notified = 2, seen = 3 };

// What the window shows when the user asks for a page.
enum class page_id { home, scan, download, backup, restore };

class main_window_state_c {
 public:
  scan_state scan() const { return scan_; }
  background_scan background() const { return background_; }

  // A scan starts, whatever the state.
  void scan_started() { scan_ = scan_state::scanning; }
  // The scan and its query succeeded. True when it was the background scan
  // and the user is to be told of new drivers.
  bool scan_finished();
  // The scan failed or was given up: results of an earlier scan stay.
  void scan_abandoned();

  // The background timer fired: true when the background scan starts now.
  // While a scan runs it waits for the next period.
  bool background_timer_fired();
  // Hiding the window arms the background timer only while no background
  // scan has run: at most one per run.
  bool hiding_arms_background_timer() const { return background_ == background_scan::none; }
  // The window was shown: true when the tray icon goes back from the alert
  // to the normal icon.
  bool window_shown();

  // The page a navigation button opens: home shows the scan page while a
  // scan runs; download, backup and restore need results and otherwise
  // open nothing (the caller tells the user with blocked_message_key()).
  bool can_open(page_id page) const;
  page_id home_page() const { return scan_ == scan_state::scanning ? page_id::scan : page_id::home; }

 private:
  scan_state scan_ = scan_state::idle;
  background_scan background_ = background_scan::none;
};

// The message shown when a page cannot open yet; null when it can.
const char* blocked_message_key(page_id page);

// What closing the window does, by the close_to_tray setting: 0 quits; 1
// tells the user once that the program stays in the tray (the setting then
// becomes 2) and hides; anything else hides.
enum class close_action { quit, hide_after_notice, hide };
close_action close_action_for(uint32_t close_to_tray);

// The balloon's text of new drivers: "new_driver_notify" with the count,
// cut to the 31 characters the program allows it.
std::u16string new_driver_notice(std::u16string_view format, int count);
constexpr size_t new_driver_notice_length = 31;

// Period of the background scan's timer.
constexpr uint32_t background_scan_delay_ms = 15 * 60 * 1000;

}  // namespace quillary
