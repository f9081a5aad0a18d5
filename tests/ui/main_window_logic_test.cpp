// The main window's decisions and the home and scan pages' words and
// places, without windows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "app/language.h"
#include "test_support.h"
#include "devices/device_record.h"
#include "platform/clock.h"
#include "ui/main_window_state.h"
#include "ui/pages/download_counts.h"
#include "ui/pages/home_layout.h"
#include "ui/pages/scan_status.h"

namespace quillary {
namespace {

// --- the scan state and the one background scan -------------------------------

TEST(main_window_state, navigation_needs_results_and_home_shows_a_running_scan) {
  main_window_state_c state;
  for (page_id page : {page_id::download, page_id::backup, page_id::restore}) {
    EXPECT_FALSE(state.can_open(page));
    EXPECT_NE(blocked_message_key(page), nullptr);
  }
  EXPECT_STREQ(blocked_message_key(page_id::download), "home_download_msg");
  EXPECT_EQ(state.home_page(), page_id::home);
  state.scan_started();
  EXPECT_EQ(state.home_page(), page_id::scan);
  EXPECT_FALSE(state.can_open(page_id::download)) << "no results while scanning";
  EXPECT_FALSE(state.scan_finished()) << "not a background scan: nobody to tell";
  EXPECT_TRUE(state.can_open(page_id::restore));
  EXPECT_EQ(state.home_page(), page_id::home);

  // A later scan that fails keeps the earlier results; one that fails
  // without results leaves nothing.
  state.scan_started();
  state.scan_abandoned();
  EXPECT_EQ(state.scan(), scan_state::idle) << "abandoning a running scan ends it";
  state.scan_started();
  state.scan_finished();
  state.scan_abandoned();
  EXPECT_EQ(state.scan(), scan_state::results) << "abandoning after results keeps them";
}

TEST(main_window_state, at_most_one_background_scan_a_run) {
  main_window_state_c state;
  EXPECT_TRUE(state.hiding_arms_background_timer());
  EXPECT_TRUE(state.background_timer_fired());
  EXPECT_EQ(state.scan(), scan_state::scanning);
  EXPECT_FALSE(state.hiding_arms_background_timer()) << "one has run";
  EXPECT_FALSE(state.window_shown()) << "nothing to take back before the notice";
  EXPECT_TRUE(state.scan_finished()) << "the background scan tells the user";
  EXPECT_EQ(state.background(), background_scan::notified);
  EXPECT_TRUE(state.window_shown()) << "the normal icon comes back";
  EXPECT_FALSE(state.window_shown()) << "once";
  EXPECT_FALSE(state.background_timer_fired()) << "never with results";
}

TEST(main_window_state, a_timer_during_a_scan_waits_and_an_abandoned_background_scan_tells_a_later_one) {
  main_window_state_c state;
  state.scan_started();
  EXPECT_FALSE(state.background_timer_fired());
  EXPECT_EQ(state.background(), background_scan::none);
  state.scan_abandoned();
  EXPECT_TRUE(state.background_timer_fired());
  state.scan_abandoned();
  EXPECT_EQ(state.background(), background_scan::running);
  state.scan_started();
  EXPECT_TRUE(state.scan_finished()) << "the next successful scan of the run notifies";
}

TEST(main_window_state, closing_by_the_close_to_tray_setting) {
  EXPECT_EQ(close_action_for(0), close_action::quit);
  EXPECT_EQ(close_action_for(1), close_action::hide_after_notice);
  EXPECT_EQ(close_action_for(2), close_action::hide);
  EXPECT_EQ(close_action_for(7), close_action::hide);
}

TEST(main_window_state, the_new_driver_notice_is_cut_to_31_characters) {
  EXPECT_EQ(new_driver_notice(u"Driver updates available: %d", 3), u"Driver updates available: 3");
  const std::u16string long_format = u"Es sind neue Treiber verfügbar: %d";
  EXPECT_EQ(new_driver_notice(long_format, 12), long_format.substr(0, 31));
  // Never half a character: a pair cut in two loses both halves.
  const std::u16string pairs = std::u16string(30, u'x') + u"\U0001F600%d";
  EXPECT_EQ(new_driver_notice(pairs, 1), std::u16string(30, u'x'));
  EXPECT_EQ(new_driver_notice(u"%s %d %%", 5), u"5 %d %") << "only %d and %s take values, in turn";
}

TEST(language_format, placeholders_are_filled_in_turn_and_never_handed_to_printf) {
  EXPECT_EQ(format_language_text(u"Dates: %s / %s", {u"2024-01-01", u"2025-02-02"}), u"Dates: 2024-01-01 / 2025-02-02");
  EXPECT_EQ(format_language_text(u"%d%% of %s", {u"50"}), u"50% of %s") << "values run out: it stays";
  EXPECT_EQ(format_language_text(u"%n %x %", {u"1"}), u"%n %x %") << "anything else stays as it is";
  EXPECT_EQ(format_language_text(u"HTTP %d", 503), u"HTTP 503");
  EXPECT_EQ(format_language_text(u"%d", -7), u"-7");
}

// --- the scan page's status ------------------------------------------------------

class scan_status_test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::load_shipped_english(); }
  // The table is the process's: the next tests start without these texts.
  static void TearDownTestSuite() { language_table() = language_table_c(); }
};

TEST_F(scan_status_test, elapsed_time_is_a_time_of_day_of_the_difference) {
  EXPECT_EQ(elapsed_text(1000, 1075), u"00:01:15");
  EXPECT_EQ(elapsed_text(0, 3 * 3600 + 2 * 60 + 1), u"03:02:01");
  // 23:59:30 to 00:00:45 the next day, in any zone: the calendar times say
  // how long, not the clock faces.
  const int64_t before_midnight = 1767225570;  // 2025-12-31 23:59:30 UTC
  EXPECT_EQ(elapsed_text(before_midnight, before_midnight + 75), u"00:01:15");
  EXPECT_EQ(elapsed_text(1075, 1000), u"00:00:00") << "a clock set back reads as no time";
  EXPECT_EQ(elapsed_text(0, 86400 + 61), u"00:01:01") << "a day and more, as a time of day";
}

TEST_F(scan_status_test, the_start_time_is_local_east_of_utc_too) {
#ifndef _WIN32
  const char* previous = std::getenv("TZ");
  const std::string saved = previous ? previous : "";
  setenv("TZ", "JST-9", 1);  // nine hours east of UTC, no summer time
  tzset();
  const local_time start = platform::local_time_of(1767225570);  // 23:59:30 UTC
  EXPECT_EQ(clock_text(start), u"08:59:30");
  scan_status_input input;
  input.start_local = start;
  input.start = 1767225570;
  input.now = input.start + 75;
  const auto lines = status_lines(input);
  EXPECT_EQ(lines[0], u"Start time: 08:59:30");
  EXPECT_EQ(lines[1], u"Time elapsed: 00:01:15") << "not nine hours more";
  if (previous) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
#else
  GTEST_SKIP() << "the time zone comes from the system here";
#endif
}

TEST_F(scan_status_test, five_lines_by_phase_with_dots_while_querying) {
  scan_status_input input;
  input.phase = scan_phase::scanning_devices;
  input.start_local = local_time{2026, 1, 2, 5, 9, 8, 7};
  input.start = 100;
  input.now = 102;
  input.items = 42;
  input.current_item = u"USB Root Hub";
  auto lines = status_lines(input);
  EXPECT_EQ(lines[0], u"Start time: 09:08:07");
  EXPECT_EQ(lines[1], u"Time elapsed: 00:00:02");
  EXPECT_EQ(lines[2], u"Status: Scanning devices");
  EXPECT_EQ(lines[3], u"Items scanned: 42");
  EXPECT_EQ(lines[4], u"Current item: USB Root Hub");
  input.phase = scan_phase::querying;
  for (int64_t now = 300; now < 303; ++now) {
    input.now = now;
    const std::u16string dots(static_cast<size_t>(now % 3 + 1), u'.');
    EXPECT_EQ(status_lines(input)[2], u"Status: Checking for driver updates" + dots);
  }
  EXPECT_EQ(widest_status_text(), u"Status: Checking for driver updates");
}

TEST(scan_status, the_status_area_is_centred_in_the_main_area) {
  // 790 wide: the main area is 540; a narrow text runs from a sixth to five sixths.
  status_area area = place_status_area(790, 470, 200, 16);
  EXPECT_EQ(area.left, 90);
  EXPECT_EQ(area.right, 450);
  EXPECT_EQ(area.bottom - area.top, 5 * 16 + 40);
  EXPECT_EQ(area.top, (470 - 120) / 2);
  // A text wider than two thirds of the main area is centred on itself.
  area = place_status_area(790, 470, 400, 16);
  EXPECT_EQ(area.left, 70);
  EXPECT_EQ(area.right, 470);
  // Re-centred for another size.
  area = place_status_area(1200, 800, 200, 16);
  EXPECT_EQ(area.left, 950 / 6);
  EXPECT_EQ(area.top, (800 - 120) / 2);
}

TEST(scan_status, progress_is_a_share_of_the_total) {
  EXPECT_EQ(progress_permille(0, 0), 0);
  EXPECT_EQ(progress_permille(5, 0), 0) << "no total yet";
  EXPECT_EQ(progress_permille(30, 60), 500);
  EXPECT_EQ(progress_permille(70, 60), 1000) << "never past the end";
  EXPECT_EQ(progress_permille(2000000000, 2100000000), 952) << "no overflow";
}

// --- the home page ---------------------------------------------------------------

TEST(home_layout, banner_steps_and_foot) {
  const home_layout layout = place_home(790, 470, 520, 100, 2);
  EXPECT_EQ(layout.banner.x, 10);  // (790 - 250 - 520) / 2
  EXPECT_EQ(layout.banner.y, 50);  // ends 10 above the button at (470 - 150) / 2
  EXPECT_EQ(layout.steps[0].x, 36);
  EXPECT_EQ(layout.steps[1].x, 236);
  EXPECT_EQ(layout.steps[2].x, 409);
  EXPECT_EQ(layout.steps[0].y, 75);
  EXPECT_EQ(layout.step_room[0], 124) << "up to the banner's first picture";
  EXPECT_EQ(layout.footer_rule.y, 470 - 2 - 10);
  EXPECT_EQ(layout.footer_icon.y, layout.footer_rule.y - 25);
  EXPECT_EQ(layout.footer_text.x, 40);
}

TEST(home_layout, side_bar_values_move_in_for_long_labels) {
  EXPECT_EQ(side_bar_indent(true, "en", 30), 55);
  EXPECT_EQ(side_bar_indent(true, "fr", 30), 72);
  EXPECT_EQ(side_bar_indent(true, "nl", 30), 72);
  EXPECT_EQ(side_bar_indent(false, "fr", 30), 72);
  EXPECT_EQ(side_bar_indent(false, "nl", 30), 55);
  EXPECT_EQ(side_bar_indent(false, "de", 60), 76) << "a label never touches its value";
}

// --- the download page's counters ---------------------------------------------------

TEST(download_counts, devices_count_by_their_instances) {
  std::vector<offered_device> devices(4);
  devices[0].instance_count = 2;  // out of date, with a driver
  devices[0].has_driver = true;
  devices[0].best_is_update = true;
  devices[0].items.resize(1);
  devices[1].instance_count = 3;  // no driver
  devices[1].best_is_update = true;
  devices[1].latest_is_update = true;
  devices[1].items.resize(2);
  devices[2].has_driver = true;  // offered, up to date
  devices[2].items.resize(1);
  devices[2].latest_is_update = true;
  devices[3].has_driver = true;  // nothing offered
  const download_counts best = count_devices(devices, offer_choice::best);
  EXPECT_EQ(best.out_of_date, 2);
  EXPECT_EQ(best.no_driver, 3);
  EXPECT_EQ(best.offered, 6);
  EXPECT_EQ(best.up_to_date(), 1);
  const download_counts latest = count_devices(devices, offer_choice::latest);
  EXPECT_EQ(latest.out_of_date, 1);
  EXPECT_EQ(latest.up_to_date(), 2);
}

}  // namespace
}  // namespace quillary
