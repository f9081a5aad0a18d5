#include "backup/installation_batch.h"
#include "base/json_writer.h"
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

}  // namespace

int run_system_change(const batch_entry& entry, context& shared) {
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
  const auto trust = read_signature_trust();
  const package_blocks blocked = read_policy_blocks();
  const local_installation here{&shell,         &restore_points, u"setup.dat", trust.get(), &shared.authenticode,
                                installer_system_of(shared.system.snapshot()), &blocked};
  const companion_place companion{platform::module_file_path(), platform::temp_folder()};
  const batch_run run = run_batch({entry}, shared.elevator, companion, here, 0);
  const entry_outcome& outcome = run.outcomes.front();
  if (run.prompted && run.answer == elevation_answer::declined) {
    return fail("the request for administrator rights was declined; nothing was installed", exit_code::declined);
  }
  if (outcome.result == signature_refused) {
    return fail(describe(outcome.report.signature) + "; nothing was installed", exit_code::signature_refused);
  }
  if (outcome.result == package_blocked) {
    return fail("the machine's policy blocks the package " + entry.link + "; nothing was installed",
                exit_code::blocked);
  }
  if (outcome.result == offer_mismatch) {
    return fail(outcome.report.offer_mismatch + "; nothing was installed", exit_code::offer_mismatch);
  }
  if (const std::string reason = reason_nothing_started(outcome.result); !reason.empty()) return fail(reason);
  if (!entry.link.empty() && installation_started(outcome.result, outcome.report) && !outcome.report.link_recorded) {
    return fail("cannot record the link in setup.dat");
  }

  json_writer_c json;
  json.begin_object();
  json.key("elevated_companion").value(run.prompted);
  // An extraction names its folder (a refused setup program's too).
  if (entry.what == batch_entry::kind::package) json.key("extracted").value(!outcome.report.folder.empty());
  install_report report = outcome.report;
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
  return run_system_change(entry, shared);
}

}  // namespace quillary::cli
