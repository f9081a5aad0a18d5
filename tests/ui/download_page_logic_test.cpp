// The download page's texts, decisions and places, and the device details
// table, without windows.
#include <gtest/gtest.h>

#include <iterator>
#include <set>

#include "app/language.h"
#include "test_support.h"
#include "ui/dialogs/device_details_rows.h"
#include "ui/pages/download_page_layout.h"
#include "ui/pages/download_panel_text.h"
#include "ui/pages/system_change_text.h"
#include "backup/installation_batch.h"

namespace quillary {
namespace {

class download_page_test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::load_shipped_english(); }
  static void TearDownTestSuite() { language_table() = language_table_c(); }
};

update_item item_with(std::u16string_view inf_name, std::u16string_view date, const std::string& link) {
  update_item item;
  item.append_text(update_item::hardid, u"PCI\\VEN_1&DEV_2");
  item.append_text(update_item::title, u"Driver");
  item.append_text(update_item::ver, u"2.0");
  item.append_text(update_item::guid, u"");
  item.append_text(update_item::inf_name, inf_name);
  item.append_text(update_item::manu, u"Maker");
  item.append_text(update_item::date, date);
  item.append_text(update_item::desc, u"New driver");
  item.append_link(update_item::link, link);
  item.append_link(update_item::official_link, "");
  return item;
}

// --- sizes and progress ------------------------------------------------------------

TEST(download_page_text, sizes_change_unit_just_above_each_power_of_1024) {
  EXPECT_EQ(size_text(0), u"0B");
  EXPECT_EQ(size_text(1024), u"1024B");
  EXPECT_EQ(size_text(1025), u"1.00K");
  EXPECT_EQ(size_text(1 << 20), u"1024.00K");
  EXPECT_EQ(size_text((1 << 20) + 1), u"1.00M");
  EXPECT_EQ(size_text(int64_t{1} << 30), u"1024.00M");
  EXPECT_EQ(size_text((int64_t{1} << 30) + 1), u"1.00G");
  EXPECT_EQ(size_text(4294967295), u"4.00G");
  EXPECT_EQ(size_text(-5), u"-5B");

  EXPECT_EQ(progress_text(0, 2048), u"2.00K") << "nothing written yet: the size alone";
  EXPECT_EQ(progress_text(2048, 2048), u"2.00K") << "done: the size alone";
  EXPECT_EQ(progress_text(1024, 3 << 20), u"1024B/3.00M");
  EXPECT_EQ(progress_text(4000, 2048), u"3.91K/2.00K") << "more than announced still reads as under way";
  EXPECT_LE(progress_text(int64_t{1} << 60, int64_t{1} << 61).size(), 31u);
}

// --- an installation that started nothing ------------------------------------------

TEST_F(download_page_test, each_installation_that_started_nothing_says_why_in_words_of_its_own) {
  const int nothing_started[] = {damaged_package, no_extraction_folder,   elevation_declined,
                                 elevation_failed, untrusted_setup_program};
  std::set<std::u16string> texts;
  for (const int result : nothing_started) {
    const char* key = system_change_failure_key(result);
    ASSERT_NE(key, nullptr) << result;
    EXPECT_FALSE(language_table().text_of(key).empty()) << key;
    texts.insert(language_table().text_of(key));
  }
  EXPECT_EQ(texts.size(), std::size(nothing_started));
  EXPECT_EQ(language_table().text_of(system_change_failure_key(untrusted_setup_program)),
            u"Nothing was installed: the setup program is not signed by a trusted publisher.");
  EXPECT_EQ(system_change_failure_key(package_changed), system_change_failure_key(damaged_package))
      << "a file changed since its check reads as damaged";
  EXPECT_EQ(system_change_failure_key(0), nullptr);
  EXPECT_EQ(system_change_failure_key(-1), nullptr) << "a download opened as it is started something";
}

// --- the date line ---------------------------------------------------------------

TEST_F(download_page_test, date_line_by_comparing_the_dates_as_text) {
  EXPECT_EQ(date_line(u"2012-01-05", u"2013-04-30"),
            u"Installed driver date: 2012-01-05    New driver date: 2013-04-30");
  EXPECT_EQ(date_line(u"2013-04-30", u"2013-04-30"),
            u"Installed driver date: 2013-04-30    Offered driver date: 2013-04-30");
  EXPECT_EQ(date_line(u"2013-04-30", u"0000-00-00"), u"Installed driver date: 2013-04-30")
      << "an offer without a date";
  EXPECT_EQ(date_line(u"", u"2013-04-30"), u"Installed driver date:     New driver date: 2013-04-30")
      << "no installed driver: any date is newer";
  const std::u16string hostile(400, u'9');
  EXPECT_EQ(date_line(hostile, u"2013-04-30").size(), 127u) << "cut, whatever the device tree says";
}

// --- states, actions and the menu --------------------------------------------------

TEST(download_page_text, each_state_has_its_words_action_and_menu) {
  struct row {
    download_state state;
    const char* status;
    const char* action;
    panel_action does;
    bool removable;
    bool download_all;
  };
  const row rows[] = {
      {download_state::not_downloaded, "download_not_download", "download_btn_download", panel_action::start, false, true},
      {download_state::downloading, "download_downloading", "download_btn_pause", panel_action::pause, false, false},
      {download_state::paused, "download_download_paused", "download_btn_resume", panel_action::start, true, true},
      {download_state::error, "download_download_error", "download_btn_resume", panel_action::start, true, true},
      {download_state::complete, "download_download_complete", "download_btn_setup", panel_action::install, true, false},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.state));
    EXPECT_STREQ(status_text_key(r.state), r.status);
    EXPECT_STREQ(action_key(r.state), r.action);
    EXPECT_EQ(action_for(r.state), r.does);
    EXPECT_EQ(remove_allowed(r.state), r.removable);
    EXPECT_EQ(download_all_starts(true, r.state), r.download_all);
    EXPECT_FALSE(download_all_starts(false, r.state)) << "only ticked panels";
  }
}

TEST(download_page_text, open_location_selects_the_file_of_the_state) {
  download_session_c session("http://host/x/pkg.zip", 10, u"C:\\dl", {});
  const std::u16string partial = explorer_select_parameters(download_state::paused, session);
  const std::u16string complete = explorer_select_parameters(download_state::complete, session);
  EXPECT_EQ(partial, u"/select,\"" + session.temp_path() + u"\"");
  EXPECT_EQ(complete, u"/select,\"" + session.final_path() + u"\"");
  EXPECT_NE(partial, complete);
}

// --- groups: INF paths, pictures, header and score ----------------------------------

TEST(download_page_text, a_group_installs_the_inf_files_of_its_choice) {
  std::vector<offered_device> devices(3);
  for (auto& d : devices) {
    d.items = {item_with(u"x64\\best.inf", u"2013-01-01", "http://a"),
               item_with(u"x64\\latest.inf", u"2014-01-01", "http://a")};
    d.best_item = &d.items[0];
    d.latest_item = &d.items[1];
    d.has_driver = true;
  }
  devices[2].items[0] = item_with(u"x86\\other.inf", u"2013-01-01", "http://a");
  devices[2].items[1] = item_with(u"", u"2014-01-01", "http://a");
  update_package group{"http://a", 1, offer_choice::best, devices[0].best_item,
                       {&devices[0], &devices[1], &devices[2]}};
  EXPECT_EQ(install_inf_paths(group), (std::set<std::u16string>{u"x64\\best.inf", u"x86\\other.inf"}));
  group.choice = offer_choice::latest;
  EXPECT_EQ(install_inf_paths(group), (std::set<std::u16string>{u"x64\\latest.inf"})) << "an empty name is no path";

  EXPECT_EQ(status_image_for(group), panel_status_image::not_needed);
  group.not_needed = 0;
  EXPECT_EQ(status_image_for(group), panel_status_image::needed);
  devices[1].has_driver = false;
  EXPECT_EQ(status_image_for(group), panel_status_image::no_driver) << "a device without driver comes first";
}

TEST(download_page_text, header_and_score) {
  EXPECT_STREQ(header_text_for(0).key, "download_new_drivers_found3");
  for (int n : {1, 8}) {
    EXPECT_STREQ(header_text_for(n).key, "download_new_drivers_found1");
    EXPECT_FALSE(header_text_for(n).shows_count);
  }
  EXPECT_STREQ(header_text_for(9).key, "download_new_drivers_found2");
  EXPECT_TRUE(header_text_for(9).shows_count);

  EXPECT_EQ(driver_score(10, 12), 69) << "100/144";
  EXPECT_LT(driver_score(10, 12), good_score);
  EXPECT_EQ(driver_score(84, 100), 70);
  EXPECT_GE(driver_score(84, 100), good_score);
  EXPECT_EQ(driver_score(7, 7), 100);
  EXPECT_EQ(driver_score(0, 0), 100) << "nothing offered, nothing out of date";
  EXPECT_EQ(driver_score(-2, 5), 0) << "more out of date than offered counts as none up to date";
  EXPECT_EQ(driver_score(60000, 60000), 100) << "no overflow";
}

// --- places --------------------------------------------------------------------------

TEST(download_page_layout, side_column_choices_and_status_row) {
  const download_page_layout en = place_download_page(800, 500, false);
  EXPECT_EQ(en.list.right, 550);
  EXPECT_EQ(en.bar.right, 550);
  EXPECT_EQ(en.bar.bottom, 500);
  EXPECT_EQ(en.list.bottom, en.bar.top);
  EXPECT_EQ((skin_box{561, 121, 789, 230}), en.pie);
  EXPECT_EQ((skin_box{670, 411, 790, 430}), en.faq_link);
  EXPECT_EQ(en.best_choice.left, 340);
  EXPECT_EQ(en.best_choice.right, 450);
  EXPECT_EQ(en.latest_choice.left, 460);
  EXPECT_EQ(en.latest_choice.right, 540);
  EXPECT_LE(en.whql.bottom, en.faq_link.top);
  EXPECT_LE(en.header_text.right, en.best_choice.left);
  const download_page_layout fr = place_download_page(800, 500, true);
  EXPECT_EQ(fr.best_choice.left, 310);
  EXPECT_EQ(fr.latest_choice.left, 430);
  EXPECT_EQ(fr.best_choice.right, 450) << "wider to the left only";
  EXPECT_TRUE(has_wide_choices("nl"));
  EXPECT_FALSE(has_wide_choices("de"));

  EXPECT_EQ(place_status_row(550, 1, false).status_text.left, 300);
  EXPECT_EQ(place_status_row(550, 1, true).status_text.left, 290);
  const panel_status_row row = place_status_row(550, 2, false);
  EXPECT_LT(row.progress.right, row.status_text.left);
  EXPECT_GT(row.check.top, device_line_top(1)) << "below the second device";
  EXPECT_LT(row.check.bottom, download_panel_height(2));
  EXPECT_GT(download_panel_height(2), download_panel_height(1));
}

// --- the device details table ------------------------------------------------------

TEST(device_details, thirteen_rows_with_blanks_rank_and_inf_name) {
  device_class_entry entry{{}, u"{4D36E968-E325-11CE-BFC1-08002BE10318}", u"Display adapters", u"Display"};
  device_record device;
  device.device_id = u"PCI\\VEN_10DE&DEV_0DE1";
  device.driver_description = u"Old display driver";
  device.matching_device_id = u"PCI\\VEN_10DE&DEV_0DE1";
  device.hardware_ids = {u"PCI\\VEN_10DE&DEV_0DE1&SUBSYS_1", u"PCI\\VEN_10DE&DEV_0DE1"};
  device.compatible_ids = {u"PCI\\CC_0300"};
  device.provider_name = u"Vendor";
  device.inf_path = u"oem12.inf";
  device.driver_date = u"2011-07-01";
  device.driver_version = u"8.17.12.6658";
  device.class_entry = &entry;
  device.enumerator = u"PCI";
  device.driver_rank = 0xFF0001;
  const update_item offer = item_with(u"X86\\abc.inf", u"2013-04-30", "http://x/a.zip");

  const auto rows = device_detail_rows(device, &offer);
  ASSERT_EQ(rows.size(), 13u);
  for (size_t blank : {0u, 3u, 4u, 9u, 10u, 11u, 12u}) EXPECT_EQ(rows[blank].offered, u"(blank)") << blank;
  EXPECT_STREQ(rows[0].key, "device_detail_list_device_id");
  EXPECT_STREQ(rows[12].key, "device_detail_list_rank_of_installed_driver");
  EXPECT_EQ(rows[12].current, u"00FF0001");
  EXPECT_EQ(rows[6].current, u"oem12.inf");
  EXPECT_EQ(rows[6].offered, u"abc.inf");
  EXPECT_EQ(rows[3].current, u"PCI\\VEN_10DE&DEV_0DE1&SUBSYS_1") << "the first ID only";
  EXPECT_EQ(rows[7].offered, u"2013-04-30");
  EXPECT_EQ(rows[1].offered, u"New driver");
  EXPECT_EQ(rows[9].current, u"Display");
  EXPECT_EQ(rows[10].current, u"Display adapters");

  EXPECT_EQ(inf_file_name(u"abc.inf"), u"abc.inf") << "no backslash: the whole text";
  EXPECT_EQ(inf_file_name(u"a\\b\\"), u"");
  device.class_entry = nullptr;
  device.hardware_ids.clear();
  const auto without = device_detail_rows(device, nullptr);
  EXPECT_EQ(without[3].current, u"");
  EXPECT_EQ(without[6].offered, u"(blank)") << "no offer: nothing to read";
}

}  // namespace
}  // namespace quillary
