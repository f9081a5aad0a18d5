// Installing through the rights the process has: here as an administrator,
// else through the companion, one prompt per batch, acting only on the
// files the batch names with the digests the user's process took. The
// companion here is the command line's own run-batch, run in this process
// once the test's prompt is accepted.
#include <gtest/gtest.h>

#include <fstream>

#include "backup/installation_batch.h"
#include "base/json_reader.h"
#include "base/json_writer.h"
#include "cli/cli.h"
#include "download/zip_archive.h"
#include "fake_restore_points.h"
#include "platform/files.h"
#include "platform/text.h"
#include "signing_support.h"
#include "test_elevator.h"
#include "test_support.h"

namespace quillary {
namespace {

TEST(process_rights, from_the_token_and_the_uac_switch) {
  EXPECT_EQ(classify_rights({true, false, true}), process_rights::administrator) << "elevated, or Wine";
  EXPECT_EQ(classify_rights({true, false, false}), process_rights::administrator) << "an administrator, UAC off";
  EXPECT_EQ(classify_rights({false, true, true}), process_rights::can_elevate) << "a filtered administrator";
  EXPECT_EQ(classify_rights({false, false, true}), process_rights::can_elevate) << "a standard user: credentials";
  EXPECT_EQ(classify_rights({false, false, false}), process_rights::cannot_elevate) << "a standard user, UAC off";
}

TEST(batch_file, keeps_every_field_and_refuses_what_an_elevated_process_must_not_take) {
  const std::u16string root = platform::path_separator == u'/' ? u"/d/" : u"C:\\d\\";
  batch_entry entry;
  entry.path = root + u"pkg \u00e9.zip";
  entry.digest = sha256_of("bytes");
  entry.inf_paths = {u"a\\b.inf", u"c.inf"};
  entry.link = "http://example.test/pkg.zip";
  entry.name = u"Veltrix Display";
  entry.force = true;
  batch_entry archive;
  archive.what = batch_entry::kind::backup_archive;
  archive.path = root + u"backup.zip";
  archive.digest = sha256_of("archive");
  std::vector<batch_entry> read;
  std::string error;
  ASSERT_TRUE(parse_batch(batch_text({entry, archive}), read, error)) << error;
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].path, entry.path);
  EXPECT_EQ(read[0].digest, entry.digest);
  EXPECT_EQ(read[0].inf_paths, entry.inf_paths);
  EXPECT_EQ(read[0].link, entry.link);
  EXPECT_EQ(read[0].name, entry.name);
  EXPECT_TRUE(read[0].force);
  EXPECT_EQ(read[1].what, batch_entry::kind::backup_archive);

  // A roll back goes to the companion with the devices Windows' own roll
  // back is asked for.
  batch_entry rollback = archive;
  rollback.what = batch_entry::kind::rollback;
  rollback.link = entry.link;
  rollback.device_ids = {u"PCI\\VEN_1&DEV_2", u"USB\\VID_3"};
  ASSERT_TRUE(parse_batch(batch_text({rollback}), read, error)) << error;
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].what, batch_entry::kind::rollback);
  EXPECT_EQ(read[0].device_ids, rollback.device_ids);
  EXPECT_EQ(read[0].link, entry.link);

  const auto refused = [&](batch_entry changed, const char* why) {
    EXPECT_FALSE(parse_batch(batch_text({changed}), read, error)) << why;
  };
  batch_entry relative = entry;
  relative.path = u"pkg.zip";
  refused(relative, "a relative path resolves against the elevated process's folder");
  batch_entry climbing = entry;
  climbing.path = root + u"x" + platform::path_separator + u".." + platform::path_separator + u"y.zip";
  refused(climbing, "a path that climbs");
  EXPECT_FALSE(parse_batch("{\"format\": 1, \"entries\": [{\"kind\": \"program\", \"path\": \"C:\\\\x\", "
                           "\"sha256\": \"" + to_hex(*entry.digest) + "\"}]}",
                           read, error))
      << "unknown kind";
  EXPECT_FALSE(parse_batch("{\"format\": 1, \"entries\": [{\"kind\": \"package\", \"path\": \"C:\\\\x\"}]}", read,
                           error))
      << "no digest";
  EXPECT_FALSE(parse_batch("{\"format\": 2, \"entries\": []}", read, error)) << "another format";
  EXPECT_FALSE(parse_batch("not json", read, error));
  EXPECT_FALSE(parse_batch(batch_text(std::vector<batch_entry>(max_batch_entries + 1, entry)), read, error));
}

TEST(batch_outcome, reads_back_what_the_companion_writes) {
  install_report report;
  report.folder = u"C:\\d\\pkg";
  report.driver_installer_chosen = true;
  report.installer = {driver_installer::pnputil, u"C:\\w\\pnputil.exe", u"/add-driver", true, true, 3010};
  report.link_recorded = true;
  report.restore_point.state = restore_point_state::made;
  report.restore_point.sequence_number = 77;
  report.restore_point.description = u"Quillary: before installing pkg";
  report.rollback_route = "backup";
  report.link_removed = true;
  json_writer_c json;
  json.begin_object().key("entries").begin_array().begin_object();
  write_outcome_fields(json, 0, report);
  json.end_object().begin_object();
  install_report opened;
  opened.package_opened = true;
  opened.restore_point.state = restore_point_state::protection_off;
  opened.restore_point.status = 1058;
  write_outcome_fields(json, -1, opened);
  json.end_object().end_array().end_object();

  std::vector<entry_outcome> outcomes;
  std::string error;
  ASSERT_TRUE(parse_outcomes(json.text(), outcomes, error)) << error;
  ASSERT_EQ(outcomes.size(), 2u);
  const install_report& back = outcomes[0].report;
  EXPECT_EQ(back.folder, report.folder);
  EXPECT_EQ(back.installer.installer, driver_installer::pnputil);
  EXPECT_EQ(back.installer.exit_code, 3010u);
  EXPECT_TRUE(back.installer.waited);
  EXPECT_TRUE(back.link_recorded);
  EXPECT_EQ(back.restore_point.state, restore_point_state::made);
  EXPECT_EQ(back.restore_point.sequence_number, 77);
  EXPECT_EQ(back.rollback_route, "backup") << "how the companion rolled back";
  EXPECT_TRUE(back.link_removed);
  EXPECT_TRUE(outcomes[1].report.rollback_route.empty());
  EXPECT_TRUE(installation_started(outcomes[0].result, back));
  EXPECT_EQ(outcomes[1].result, -1);
  EXPECT_FALSE(outcomes[1].report.driver_installer_chosen);
  EXPECT_TRUE(installation_started(outcomes[1].result, outcomes[1].report)) << "the package itself was opened";
  EXPECT_EQ(outcomes[1].report.restore_point.state, restore_point_state::protection_off);
  EXPECT_EQ(outcomes[1].report.restore_point.status, 1058u);
  EXPECT_FALSE(parse_outcomes("{\"entries\": [{\"installer\": null}]}", outcomes, error)) << "no result";
}

TEST(batch_outcome, a_refused_setup_program_comes_back_with_its_verdict) {
  install_report refused;
  refused.folder = u"C:\\d\\pkg";
  refused.setup_program = u"C:\\d\\pkg\\setup.exe";
  refused.setup_program_refused = true;
  refused.setup_program_trust = authenticode_answer{trust_verdict::revoked, trust_status::revoked};
  install_report started;
  started.setup_program = u"C:\\d\\other\\setup.exe";
  started.setup_program_started = true;
  started.setup_program_trust = authenticode_answer{trust_verdict::trusted, 0};
  json_writer_c json;
  json.begin_object().key("entries").begin_array();
  for (const auto& [result, report] : {std::pair{untrusted_setup_program, refused}, std::pair{0, started},
                                       std::pair{0, install_report{}}}) {
    json.begin_object();
    write_outcome_fields(json, result, report);
    json.end_object();
  }
  json.end_array().end_object();

  std::vector<entry_outcome> outcomes;
  std::string error;
  ASSERT_TRUE(parse_outcomes(json.text(), outcomes, error)) << error;
  ASSERT_EQ(outcomes.size(), 3u);
  EXPECT_EQ(outcomes[0].result, untrusted_setup_program);
  EXPECT_TRUE(outcomes[0].report.setup_program_refused);
  EXPECT_EQ(outcomes[0].report.setup_program, refused.setup_program);
  EXPECT_EQ(outcomes[0].report.setup_program_trust, refused.setup_program_trust);
  EXPECT_FALSE(installation_started(outcomes[0].result, outcomes[0].report));
  EXPECT_FALSE(outcomes[1].report.setup_program_refused);
  EXPECT_EQ(outcomes[1].report.setup_program_trust, started.setup_program_trust);
  EXPECT_TRUE(installation_started(outcomes[1].result, outcomes[1].report));
  EXPECT_FALSE(outcomes[2].report.setup_program_trust) << "no check was made: null, read as none";

  // A verdict this version does not know (a later companion's, or a
  // damaged answer) is never taken for trusted.
  ASSERT_TRUE(parse_outcomes("{\"entries\": [{\"result\": -8, \"setup_program_refused\": true, "
                             "\"setup_program_trust\": {\"verdict\": \"trusted-ish\", \"status\": 5}}]}",
                             outcomes, error))
      << error;
  ASSERT_TRUE(outcomes[0].report.setup_program_trust);
  EXPECT_EQ(outcomes[0].report.setup_program_trust->verdict, trust_verdict::unchecked);
  EXPECT_EQ(outcomes[0].report.setup_program_trust->status, 5u);
}

class installation_batch_test : public ::testing::Test {
 protected:
  void SetUp() override {
    working = platform::current_directory();
    platform::create_directories(downloads);
    platform::create_directories(work);
    elevator.run = [this](const std::u16string&, const std::u16string& parameters, uint32_t& code) {
      if (before_companion) before_companion(parameters);
      const std::u16string file = testing::test_elevator_c::batch_file_of(parameters);
      const std::string digest = utf16_to_utf8(parameters.substr(parameters.size() - 64));
      code = static_cast<uint32_t>(
          cli::main({"quillary-cli", "run-batch", utf16_to_utf8(file), "--sha256", digest}, elevator,
                    companion_authenticode));
      return true;
    };
  }
  // The companion enters the program's folder, as it does on Windows.
  void TearDown() override { platform::set_current_directory(working); }

  std::u16string package(const std::string& name) {
    const auto path = platform::join_path(downloads, utf8_to_utf16(name));
    const auto source = folder.below("entry.inf");
    { std::ofstream(std::filesystem::path(source), std::ios::binary) << "[Version]\n"; }
    zip_archive_c zip;
    EXPECT_TRUE(zip.create(path));
    EXPECT_TRUE(zip.add_file(source, "d/a.inf"));
    EXPECT_TRUE(zip.close());
    return path;
  }
  // Signed by the sample publisher, whose key this build trusts.
  batch_entry entry(const std::u16string& path) {
    batch_entry made;
    made.path = path;
    made.inf_paths = {u"d\\a.inf"};
    made.link = "http://example.test/" + utf16_to_utf8(platform::file_name_part(path));
    std::string bytes;
    EXPECT_TRUE(platform::read_whole_file(path, bytes));
    made.signed_name = package_file_name(made.link);
    made.minisig = encode_base64(testing::sample_publisher().sign_package(bytes, made.signed_name));
    return made;
  }
  // A package of nothing but a setup program.
  std::u16string setup_package(const std::string& name) {
    const auto path = platform::join_path(downloads, utf8_to_utf16(name));
    const auto source = folder.below("setup.exe");
    { std::ofstream(std::filesystem::path(source), std::ios::binary) << "MZ"; }
    zip_archive_c zip;
    EXPECT_TRUE(zip.create(path));
    EXPECT_TRUE(zip.add_file(source, "setup.exe"));
    EXPECT_TRUE(zip.close());
    return path;
  }
  batch_run run(const std::vector<batch_entry>& entries) {
    const local_installation here{&shell, &restore_points, setup_dat, nullptr, &authenticode};
    return run_batch(entries, elevator, {u"quillary-cli", work}, here, 0);
  }
  std::vector<std::u16string> downloads_now() { return platform::folder_entries(downloads); }

  testing::temp_folder_c folder;
  std::u16string downloads = folder.below("downloads");
  std::u16string work = folder.below("temp");
  std::u16string setup_dat = folder.below("setup.dat");
  std::u16string working;
  recording_shell_c shell;
  testing::counting_restore_points_c system_restore;
  restore_point_batch_c restore_points{system_restore};
  testing::test_elevator_c elevator;
  std::function<void(const std::u16string&)> before_companion;
  // The check of this process (an administrator's), and the companion's own.
  fixed_authenticode_c authenticode{trust_verdict::trusted};
  fixed_authenticode_c companion_authenticode{trust_verdict::trusted};
};

TEST_F(installation_batch_test, an_administrator_installs_here_without_a_prompt) {
  elevator.given_rights = process_rights::administrator;
  const batch_run result = run({entry(package("a.zip")), entry(package("b.zip"))});
  EXPECT_EQ(elevator.prompts, 0);
  EXPECT_FALSE(result.prompted);
  ASSERT_EQ(result.outcomes.size(), 2u);
  for (const auto& outcome : result.outcomes) {
    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(outcome.report.link_recorded);
  }
  EXPECT_EQ(system_restore.begun.size(), 1u) << "one restore point for the batch";
  std::string links;
  ASSERT_TRUE(platform::read_whole_file(setup_dat, links));
  EXPECT_EQ(links, "http://example.test/a.zip\r\nhttp://example.test/b.zip\r\n");
}

TEST_F(installation_batch_test, a_package_that_no_longer_gives_its_downloads_digest_is_installed_by_nobody) {
  const auto a = package("a.zip");
  batch_entry checked = entry(a);
  checked.digest = sha256_of("the bytes the download was checked against");
  for (const process_rights rights : {process_rights::administrator, process_rights::can_elevate}) {
    elevator.given_rights = rights;
    const batch_run result = run({checked});
    EXPECT_EQ(result.outcomes.at(0).result, package_changed) << rights_name(rights);
    EXPECT_FALSE(platform::is_directory(platform::join_path(downloads, u"a"))) << "not extracted";
  }
  EXPECT_EQ(elevator.prompts, 1) << "the companion was asked, and refused it";
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_FALSE(platform::file_exists(setup_dat));
}

TEST_F(installation_batch_test, a_package_whose_link_the_policy_blocks_is_installed_by_nobody) {
  // As the companion runs each entry, with the blocks it read itself.
  package_block rule;
  std::string why;
  ASSERT_TRUE(parse_package_block(u"http://example.test/b.zip", rule, why)) << why;
  const package_blocks blocked = {rule};
  local_installation here{&shell, &restore_points, setup_dat, nullptr, &authenticode};
  here.blocked = &blocked;
  EXPECT_EQ(run_entry_here(entry(package("a.zip")), here).result, 0);
  EXPECT_EQ(run_entry_here(entry(package("b.zip")), here).result, package_blocked);
  EXPECT_FALSE(platform::is_directory(platform::join_path(downloads, u"b"))) << "not extracted";
  EXPECT_EQ(shell.calls.size(), 1u) << "only a.zip's installer started";
  std::string links;
  ASSERT_TRUE(platform::read_whole_file(setup_dat, links));
  EXPECT_EQ(links, "http://example.test/a.zip\r\n");
}

TEST_F(installation_batch_test, a_user_who_cannot_elevate_gets_nothing_started_and_no_prompt) {
  elevator.given_rights = process_rights::cannot_elevate;
  const auto before = downloads_now();
  const batch_run result = run({entry(package("a.zip"))});
  EXPECT_EQ(elevator.prompts, 0);
  EXPECT_EQ(result.outcomes.at(0).result, elevation_failed);
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_FALSE(platform::file_exists(setup_dat));
}

TEST_F(installation_batch_test, a_declined_prompt_leaves_setup_dat_and_the_download_folder_as_they_were) {
  elevator.accept = false;
  const std::vector<batch_entry> entries = {entry(package("a.zip")), entry(package("b.zip"))};
  const auto before = downloads_now();
  const batch_run result = run(entries);
  EXPECT_EQ(elevator.prompts, 1) << "one prompt for the whole batch";
  EXPECT_EQ(result.answer, elevation_answer::declined);
  for (const auto& outcome : result.outcomes) {
    EXPECT_EQ(outcome.result, elevation_declined);
    EXPECT_FALSE(installation_started(outcome.result, outcome.report));
  }
  EXPECT_EQ(downloads_now(), before) << "nothing extracted";
  EXPECT_FALSE(platform::file_exists(setup_dat));
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_TRUE(system_restore.begun.empty());
  EXPECT_TRUE(platform::folder_entries(work).empty()) << "the batch's folder goes";
}

TEST_F(installation_batch_test, the_companion_gets_one_batch_of_exactly_the_chosen_files_with_their_digests) {
  const auto a = package("a.zip");
  const auto b = package("b.zip");
  std::string handed;
  before_companion = [&](const std::u16string& parameters) {
    platform::read_whole_file(testing::test_elevator_c::batch_file_of(parameters), handed);
  };
  const batch_run result = run({entry(a), entry(b)});
  EXPECT_EQ(elevator.prompts, 1);
  EXPECT_TRUE(result.prompted);
  std::vector<batch_entry> received;
  std::string error;
  ASSERT_TRUE(parse_batch(handed, received, error)) << error;
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].path, a);
  EXPECT_EQ(received[1].path, b);
  sha256_digest digest{};
  ASSERT_TRUE(sha256_of_file(a, digest));
  EXPECT_EQ(received[0].digest, digest);
  ASSERT_EQ(result.outcomes.size(), 2u);
  for (const auto& outcome : result.outcomes) {
    EXPECT_EQ(outcome.result, 0) << "extracted by the companion";
    EXPECT_TRUE(platform::is_directory(outcome.report.folder));
    EXPECT_TRUE(outcome.report.driver_installer_chosen);
  }
  EXPECT_TRUE(shell.calls.empty()) << "nothing was started by the user's process";
  EXPECT_TRUE(platform::folder_entries(work).empty());
}

TEST_F(installation_batch_test, the_companion_installs_nothing_of_a_file_or_batch_changed_after_the_prompt) {
  const auto a = package("a.zip");
  const auto b = package("b.zip");
  before_companion = [&](const std::u16string&) {
    std::ofstream(std::filesystem::path(b), std::ios::binary | std::ios::app) << "more";
  };
  batch_run result = run({entry(a), entry(b)});
  ASSERT_EQ(result.outcomes.size(), 2u);
  EXPECT_EQ(result.outcomes[0].result, 0);
  EXPECT_EQ(result.outcomes[1].result, package_changed);
  EXPECT_FALSE(platform::is_directory(platform::join_path(downloads, u"b"))) << "not extracted";

  // A batch rewritten under the companion (another path in it) is refused whole.
  const auto c = package("c.zip");
  before_companion = [&](const std::u16string& parameters) {
    std::vector<batch_entry> entries = {entry(c)};
    sha256_digest digest{};
    sha256_of_file(c, digest);
    entries[0].digest = digest;
    const std::u16string file = testing::test_elevator_c::batch_file_of(parameters);
    std::ofstream(std::filesystem::path(file), std::ios::binary | std::ios::trunc) << batch_text(entries);
  };
  result = run({entry(a)});
  EXPECT_EQ(result.outcomes.at(0).result, elevation_failed);
  EXPECT_FALSE(platform::is_directory(platform::join_path(downloads, u"c")));
}

// The setup program is checked where it would start: here for an
// administrator, in the companion otherwise; a refusal comes back whole.
TEST_F(installation_batch_test, a_setup_program_windows_does_not_trust_is_refused_where_it_would_start) {
  elevator.given_rights = process_rights::administrator;
  authenticode.answer = {trust_verdict::untrusted, trust_status::untrusted_root};
  batch_entry here_entry = entry(setup_package("here.zip"));
  here_entry.inf_paths.clear();
  batch_run result = run({here_entry});
  EXPECT_EQ(result.outcomes.at(0).result, untrusted_setup_program);
  EXPECT_EQ(authenticode.checked.size(), 1u);
  EXPECT_TRUE(companion_authenticode.checked.empty());
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_FALSE(platform::file_exists(setup_dat)) << "no link recorded";
  EXPECT_TRUE(system_restore.begun.empty()) << "nor a restore point asked for";

  elevator.given_rights = process_rights::can_elevate;
  authenticode.answer = {trust_verdict::trusted, 0};
  companion_authenticode.answer = {trust_verdict::tampered, trust_status::bad_digest};
  batch_entry elevated_entry = entry(setup_package("elevated.zip"));
  elevated_entry.inf_paths.clear();
  result = run({elevated_entry});
  ASSERT_TRUE(result.prompted);
  const entry_outcome& outcome = result.outcomes.at(0);
  EXPECT_EQ(outcome.result, untrusted_setup_program);
  EXPECT_TRUE(outcome.report.setup_program_refused);
  EXPECT_FALSE(outcome.report.setup_program_started);
  EXPECT_EQ(outcome.report.setup_program,
            platform::join_path(platform::join_path(downloads, u"elevated"), u"setup.exe"));
  EXPECT_EQ(outcome.report.setup_program_trust,
            (authenticode_answer{trust_verdict::tampered, trust_status::bad_digest}));
  EXPECT_EQ(companion_authenticode.checked, std::vector<std::u16string>{outcome.report.setup_program});
  EXPECT_EQ(authenticode.checked.size(), 1u) << "the user's process checks nothing the companion starts";
  EXPECT_FALSE(outcome.report.link_recorded);
}

}  // namespace
}  // namespace quillary

namespace quillary {
namespace {

TEST_F(installation_batch_test, the_installing_process_checks_the_signature_against_its_own_keys) {
  ASSERT_TRUE(testing::sample_publisher().usable()) << "the sample key is in the repository";
  const auto a = package("a.zip");
  batch_entry unsigned_entry = entry(a);
  unsigned_entry.minisig.clear();
  // The user's process may trust whatever it likes: the companion trusts
  // the keys built into it (the sample publisher's) and the machine policy.
  const testing::test_signer_c strangers_key(9);
  std::string bytes;
  ASSERT_TRUE(platform::read_whole_file(a, bytes));
  batch_entry strangers = entry(a);
  strangers.minisig = encode_base64(strangers_key.sign_package(bytes, "a.zip"));
  batch_entry renamed = entry(a);
  renamed.signed_name = "b.zip";

  const batch_run result = run({unsigned_entry, strangers, renamed, entry(a)});
  ASSERT_EQ(result.outcomes.size(), 4u);
  EXPECT_EQ(result.outcomes[0].result, signature_refused);
  EXPECT_EQ(result.outcomes[0].report.signature, signature_verdict::unsigned_package);
  EXPECT_EQ(result.outcomes[1].report.signature, signature_verdict::unknown_key);
  EXPECT_EQ(result.outcomes[2].report.signature, signature_verdict::other_file)
      << "a signature of a.zip does not pass for b.zip";
  EXPECT_EQ(result.outcomes[3].result, 0) << "the sample publisher's own";
  EXPECT_EQ(result.outcomes[3].report.signature, signature_verdict::valid);
  EXPECT_EQ(shell.calls.size(), 0u);

  // An administrator's process checks with the keys it holds.
  elevator.given_rights = process_rights::administrator;
  signature_trust trust;
  trust.keys.push_back({strangers_key.key(), "policy"});
  trust.require_signed = true;
  const local_installation here{&shell, &restore_points, setup_dat, &trust, &authenticode};
  const batch_run local = run_batch({strangers, entry(a)}, elevator, {u"quillary-cli", work}, here, 0);
  EXPECT_EQ(local.outcomes.at(0).result, 0);
  EXPECT_EQ(local.outcomes.at(1).report.signature, signature_verdict::unknown_key);
  EXPECT_EQ(local.outcomes.at(1).result, signature_refused);
}

TEST(batch_file, carries_the_signature_and_the_offered_drivers_both_ways) {
  batch_entry entry;
  entry.path = platform::path_separator == u'/' ? u"/downloads/a.zip" : u"C:\\downloads\\a.zip";
  entry.digest = sha256_of("a");
  entry.minisig = "dW50cnVzdGVk";
  entry.signed_name = "a.zip";
  entry.offered[u"d\\a.inf"] = offered_driver{u"1.2.3.4", u"2024-05-06"};
  std::vector<batch_entry> read;
  std::string error;
  ASSERT_TRUE(parse_batch(batch_text({entry}), read, error)) << error;
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].minisig, entry.minisig);
  EXPECT_EQ(read[0].signed_name, "a.zip");
  EXPECT_EQ(read[0].offered, entry.offered);

  json_writer_c json;
  install_report report;
  report.signature = signature_verdict::other_file;
  report.offer_mismatch = "d\\a.inf: DriverVer 1.0 where the offer said 1.2.3.4";
  json.begin_object();
  write_outcome_fields(json, signature_refused, report);
  json.end_object();
  std::vector<entry_outcome> outcomes;
  ASSERT_TRUE(parse_outcomes("{\"entries\": [" + json.text() + "]}", outcomes, error)) << error;
  EXPECT_EQ(outcomes.at(0).report.signature, signature_verdict::other_file);
  EXPECT_EQ(outcomes.at(0).report.offer_mismatch, report.offer_mismatch);
  EXPECT_NE(json.text().find("another package file"), std::string::npos) << "the reason, for people";
}

}  // namespace
}  // namespace quillary
