// The command line's report of an installation: the restore point's member,
// which the program also reads back from an installation run elsewhere.
#include "cli/install_output.h"

#include <gtest/gtest.h>

#include "backup/installation_batch.h"
#include "base/json_reader.h"
#include "base/json_writer.h"

namespace quillary {
namespace {

// The command line's report of an installation that made this outcome.
json_value report_of(const restore_point_outcome& outcome) {
  install_report report;
  report.restore_point = outcome;
  json_writer_c json;
  json.begin_object();
  write_install_report(json, cli::reporting_shell_c{}, 0, report);
  json.end_object();
  json_value document;
  std::string error;
  EXPECT_TRUE(parse_json(json.text(), document, error)) << error;
  return document;
}

json_value restore_point_member(const restore_point_outcome& outcome) {
  const json_value document = report_of(outcome);
  const json_value* member = document.find("restore_point");
  return member ? *member : json_value{};
}

std::vector<std::string> names_of(const json_value& object) {
  std::vector<std::string> names;
  for (const auto& [name, value] : object.members()) names.push_back(name);
  return names;
}

TEST(install_output, a_point_windows_kept_is_not_made_and_names_its_number_and_time) {
  restore_point_outcome kept;
  kept.state = restore_point_state::reused;
  kept.sequence_number = 41;
  kept.created = u"2026-12-08T18:05:00Z";
  kept.description = u"Quillary: before installing Veltrix Display 9.17";
  const json_value point = restore_point_member(kept);
  EXPECT_EQ(names_of(point), (std::vector<std::string>{"made", "state", "description", "sequence_number", "created",
                                                       "reason", "status"}));
  ASSERT_TRUE(point.find("made")->is_bool());
  EXPECT_FALSE(point.find("made")->boolean());
  EXPECT_EQ(point.find("state")->text(), "reused");
  EXPECT_EQ(restore_point_state_from_name(point.find("state")->text()), restore_point_state::reused);
  EXPECT_EQ(point.find("sequence_number")->text(), "41");
  EXPECT_EQ(point.find("created")->text(), "2026-12-08T18:05:00Z");
  EXPECT_EQ(point.find("reason")->text(),
            "Windows made no new restore point and kept restore point 41 of 2026-12-08T18:05:00Z: it makes at most "
            "one a day");
  EXPECT_EQ(point.find("status")->text(), "0");

  // As the program reads it back from the elevated companion.
  entry_outcome back;
  ASSERT_TRUE(read_outcome(report_of(kept), back));
  EXPECT_EQ(back.report.restore_point.state, restore_point_state::reused);
  EXPECT_EQ(back.report.restore_point.sequence_number, 41);
  EXPECT_EQ(back.report.restore_point.created, kept.created);
}

TEST(install_output, only_a_new_point_is_made_and_a_missing_one_has_no_number) {
  restore_point_outcome made;
  made.state = restore_point_state::made;
  made.sequence_number = 42;
  made.created = u"2026-12-09T07:27:00Z";
  const json_value fresh = restore_point_member(made);
  EXPECT_TRUE(fresh.find("made")->boolean());
  EXPECT_EQ(names_of(fresh), (std::vector<std::string>{"made", "state", "description", "sequence_number", "created"}));

  restore_point_outcome unknown;
  unknown.state = restore_point_state::unknown_whether_new;
  unknown.sequence_number = 42;
  const json_value either = restore_point_member(unknown);
  EXPECT_FALSE(either.find("made")->boolean());
  EXPECT_EQ(either.find("state")->text(), "unknown_whether_new");
  EXPECT_EQ(either.find("sequence_number")->text(), "42");
  EXPECT_EQ(either.find("created"), nullptr) << "a time nobody could read is left out";

  restore_point_outcome off;
  off.state = restore_point_state::protection_off;
  off.status = 1058;
  const json_value none = restore_point_member(off);
  EXPECT_FALSE(none.find("made")->boolean());
  EXPECT_EQ(none.find("sequence_number"), nullptr);
  EXPECT_EQ(none.find("reason")->text(), "system protection is turned off");
  EXPECT_EQ(none.find("status")->text(), "1058");
}

}  // namespace
}  // namespace quillary
