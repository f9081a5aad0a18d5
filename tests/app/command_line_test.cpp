#include "app/command_line.h"

#include <gtest/gtest.h>

namespace quillary {
namespace {

TEST(command_line, only_a_single_argument_is_a_switch) {
  EXPECT_EQ(start_switch_of({u"quillary.exe", u"--autorun"}), start_switch::autorun);
  EXPECT_EQ(start_switch_of({u"quillary.exe", u"--AutoRun"}), start_switch::autorun);
  EXPECT_EQ(start_switch_of({u"quillary.exe", u"--AUTOSCAN"}), start_switch::autoscan);
  EXPECT_EQ(start_switch_of({u"quillary.exe"}), start_switch::none);
  EXPECT_EQ(start_switch_of({u"quillary.exe", u"--autorun", u"x"}), start_switch::none);
  EXPECT_EQ(start_switch_of({u"quillary.exe", u"autorun"}), start_switch::none);
  EXPECT_EQ(start_switch_of({}), start_switch::none);
}

TEST(command_line, only_autorun_hands_a_scan_to_the_running_instance) {
  EXPECT_TRUE(hands_over_scan({u"q.exe", u"--autoRUN"}));
  EXPECT_FALSE(hands_over_scan({u"q.exe", u"--autoscan"}));
  EXPECT_FALSE(hands_over_scan({u"q.exe", u"--autorun", u"--autorun"}));
}

}  // namespace
}  // namespace quillary
