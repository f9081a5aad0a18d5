#include <algorithm>

#include "app/settings.h"
#include "app/system_info.h"
#include "backup/backup_catalogue.h"
#include "backup/install_backup.h"
#include "backup/installation_batch.h"
#include "base/json_writer.h"
#include "devices/device_inventory.h"
#include "download/package_devices.h"
#include "cli/cli.h"
#include "cli/install_output.h"
#include "download/package_signature.h"
#include "platform/files.h"
#include "platform/restore_point.h"
#include "platform/text.h"

namespace quillary::cli {
namespace {

std::u16string absolute(const std::string& path) {
  const std::u16string text = utf8_to_utf16(path);
  const bool rooted = !text.empty() && (text[0] == u'/' || text[0] == u'\\' || (text.size() > 1 && text[1] == u':'));
  return rooted ? text : platform::join_path(platform::current_directory(), text);
}

// Why nothing was started, for the results that start nothing; empty for
// the others.
std::string reason_nothing_started(int result) {
  switch (result) {
    case damaged_package:
      return "the package is damaged or incomplete: an entry could not be extracted whole; nothing was started";
    case no_extraction_folder: return "no folder could be made to extract the package into";
    case package_changed: return "the file changed after it was checked (or is being written); nothing was started";
    case offer_mismatch: return "the package does not hold the driver its offer named; nothing was started";
    case elevation_failed: return "the elevated companion (quillary-cli.exe run-batch) could not run or answer";
    default: return {};
  }
}

// The line on stderr for a setup program that was not started.
std::string refusal_line(const install_report& report) {
  const trust_verdict verdict = report.setup_program_trust ? report.setup_program_trust->verdict
                                                           : trust_verdict::unchecked;
  return "the package's setup program was not started, as Windows does not trust its signature (" +
         describe(verdict) + "); nothing was installed";
}

// Where the drivers an installation replaces come from: the system's own
// device tree and store, or a fixture and a Windows folder's store.
struct backup_source {
  std::string devices_file;
  std::string system_root;
};

// The devices of the PC that the package's INF files name; false with the
// exit code when they cannot be listed.
bool package_devices_here(const std::vector<std::string>& infs, const backup_source& from,
                          std::vector<device_record>& out, int& exit) {
  auto source = open_device_source("install", from.devices_file, exit);
  if (!source) return false;
  device_inventory_c inventory(std::move(source));
  device_list devices;
  scan_progress progress;
  if (!inventory.scan_devices(progress, devices)) {
    exit = fail("the device scan failed");
    return false;
  }
  out = devices_for_package(infs, devices.devices);
  return true;
}

// Backs up what the package replaces before it is installed, into the
// backup folder with the package's link, as the program does: 0 to go on
// (the report says what was made), else the exit code.
int back_up_replaced_drivers(const batch_entry& entry, const backup_source& from, context& shared,
                             install_report& report) {
  std::vector<std::string> infs;
  // A package without INF files (a setup program, or no archive at all)
  // names no device, and so replaces no driver that we could keep; a
  // damaged one installs nothing. One whose INF files are too large to
  // read is no reason to go on without a backup.
  switch (read_package_infs(entry.path, contained_inf_paths(entry.inf_paths), infs)) {
    case package_infs::too_large:
      report.backup_state = install_backup_state_name(install_backup_state::failed);
      return fail("the package's INF files are too large to find the devices it is for; nothing was installed "
                  "(--no-backup installs without a backup)",
                  exit_code::backup_failed);
    case package_infs::not_an_archive:
    case package_infs::damaged:
      report.backup_state = install_backup_state_name(install_backup_state::not_needed);
      return exit_code::success;
    case package_infs::read:
      break;
  }
  if (infs.empty()) {
    report.backup_state = install_backup_state_name(install_backup_state::not_needed);
    return exit_code::success;
  }
  const settings_values* settings = load_user_settings(shared);
  if (!settings) return exit_code::failed;
  std::vector<device_record> devices;
  int exit = exit_code::success;
  if (!package_devices_here(infs, from, devices, exit)) return exit;

  const std::unique_ptr<driver_store_c> store = open_driver_store(from.system_root, shared);
  install_backup_outcome backup;
  const auto has_driver = [](const device_record& device) { return device.has_driver; };
  if (store) {
    const install_backup_place place{u"backup.xml", settings->backup_path, local_date_text()};
    backup = back_up_before_installing(*store, place, devices, entry.link);
  } else if (std::any_of(devices.begin(), devices.end(), has_driver)) {
    backup.state = install_backup_state::failed;
    backup.problem = "this build has no driver store of its own; give --system-root DIR";
  }
  report.backup_state = install_backup_state_name(backup.state);
  report.backup_archives = backup.archives;
  report.backup_problem = backup.problem;
  if (backup.state == install_backup_state::failed) {
    return fail("the drivers in use could not be backed up: " + backup.problem +
                    "; nothing was installed (--no-backup installs without a backup)",
                exit_code::backup_failed);
  }
  return exit_code::success;
}

int refuse_blocked(const std::string& link) {
  return fail("the machine's policy blocks the package " + link + "; nothing was installed", exit_code::blocked);
}

}  // namespace

int run_system_change(const batch_entry& entry, context& shared, const install_report* backup) {
  const process_rights rights = shared.elevator.rights();
  if (rights == process_rights::cannot_elevate) {
    return fail("installing drivers needs administrator rights, and this user cannot get them");
  }
  reporting_shell_c shell;
  // One installation is a batch of its own: one restore point before it.
  restore_point_batch_c restore_points(platform::system_restore_points());
  // As the program records it: only once an installation has started, in
  // the program's folder (the current directory by now).
  // Checked against this process's own keys (a companion reads its own).
  const own_installation_c own;
  const local_installation here = own.here(shell, restore_points, shared);
  const companion_place companion{platform::module_file_path(), platform::temp_folder()};
  const batch_run run = run_batch({entry}, shared.elevator, companion, here, 0);
  const entry_outcome& outcome = run.outcomes.front();
  if (run.prompted && run.answer == elevation_answer::declined) {
    return fail("the request for administrator rights was declined; nothing was installed", exit_code::declined);
  }
  if (outcome.result == signature_refused) {
    return fail(describe(outcome.report.signature) + "; nothing was installed", exit_code::signature_refused);
  }
  if (outcome.result == package_blocked) return refuse_blocked(entry.link);
  if (outcome.result == offer_mismatch) {
    return fail(outcome.report.offer_mismatch + "; nothing was installed", exit_code::offer_mismatch);
  }
  if (const std::string reason = reason_nothing_started(outcome.result); !reason.empty()) return fail(reason);
  if (entry.what == batch_entry::kind::package && !entry.link.empty() &&
      installation_started(outcome.result, outcome.report) && !outcome.report.link_recorded) {
    return fail("cannot record the link in setup.dat");
  }

  json_writer_c json;
  json.begin_object();
  json.key("elevated_companion").value(run.prompted);
  // An extraction names its folder (a refused setup program's too).
  if (entry.what == batch_entry::kind::package) json.key("extracted").value(!outcome.report.folder.empty());
  if (entry.what == batch_entry::kind::rollback) json.key("archive").value(entry.path);
  install_report report = outcome.report;
  if (backup) {
    report.backup_state = backup->backup_state;
    report.backup_archives = backup->backup_archives;
    report.backup_problem = backup->backup_problem;
  }
  // Where it would have gone, for a download that is no archive.
  if (report.folder.empty() && entry.what == batch_entry::kind::package) {
    report.folder = extraction_folder(entry.path, platform::parent_folder(entry.path));
  }
  if (run.prompted) {
    write_outcome_fields(json, outcome.result, report);  // what the companion started, it reported
  } else {
    write_install_report(json, shell, outcome.result, report);
  }
  json.end_object();
  print(json.text());
  if (outcome.result == untrusted_setup_program) {
    return fail(refusal_line(outcome.report), exit_code::untrusted_setup_program);
  }
  return outcome.result == 0 || entry.what == batch_entry::kind::package ? exit_code::success : exit_code::failed;
}

int run_install(const arguments& args, context& shared) {
  std::string package, minisig_file;
  batch_entry entry;
  backup_source backup_from;
  bool no_backup = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const bool has_value = i + 1 < args.size();
    if (args[i] == "--inf" && has_value) {
      entry.inf_paths.insert(utf8_to_utf16(args[++i]));
    } else if (args[i] == "--link" && has_value) {
      entry.link = args[++i];
    } else if (args[i] == "--name" && has_value) {
      entry.name = utf8_to_utf16(args[++i]);
    } else if (args[i] == "--minisig" && has_value) {
      minisig_file = args[++i];
    } else if (args[i] == "--offered" && i + 3 < args.size()) {
      // --offered INF VERSION DATE: what the offer said of that INF's driver.
      entry.offered[utf8_to_utf16(args[i + 1])] = offered_driver{utf8_to_utf16(args[i + 2]), utf8_to_utf16(args[i + 3])};
      i += 3;
    } else if (args[i] == "--force") {
      entry.force = true;
    } else if (args[i] == "--no-backup") {
      no_backup = true;
    } else if (args[i] == "--devices" && has_value) {
      backup_from.devices_file = args[++i];
    } else if (args[i] == "--system-root" && has_value) {
      backup_from.system_root = args[++i];
    } else if (package.empty() && args[i].rfind("--", 0) != 0) {
      package = args[i];
    } else {
      return usage_error("install: unexpected argument \"" + args[i] + "\"");
    }
  }
  if (package.empty()) return usage_error("install: give the PACKAGE file");
  // Relative to where the command was given, before the program's folder
  // becomes the current directory (where the installers are found).
  entry.path = absolute(package);
  if (!platform::file_exists(entry.path)) return fail("no such package: " + package);
  // The signature beside the package (as `download` keeps it), unless
  // another is named; it must name the link's file, or the package's own.
  if (minisig_file.empty() && platform::file_exists(entry.path + u".minisig")) {
    minisig_file = utf16_to_utf8(entry.path + u".minisig");
  }
  if (!minisig_file.empty() && !read_minisig_file("install", minisig_file, entry.minisig)) return exit_code::failed;
  entry.signed_name = entry.link.empty() ? utf16_to_utf8(platform::file_name_part(entry.path))
                                         : package_file_name(entry.link);
  if (!take_system_snapshot(shared)) return exit_code::failed;
  // A package the policy blocks is refused before anything is backed up
  // for it (the process that installs checks again).
  if (rule_blocking_link(read_policy_blocks(), entry.link)) return refuse_blocked(entry.link);
  install_report backup;
  backup.backup_state = "skipped";
  if (!no_backup) {
    if (const int exit = back_up_replaced_drivers(entry, backup_from, shared, backup)) return exit;
  }
  return run_system_change(entry, shared, &backup);
}

}  // namespace quillary::cli
