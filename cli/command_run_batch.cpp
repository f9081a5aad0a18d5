// The elevated companion: runs a batch of installations and restores that
// the program (running as the user) wrote, and writes each one's outcome
// beside the batch. An elevated process must act on nothing but what the
// user's process chose and checked: the batch must give the digest its
// command line names (the command line travels through Windows' elevation
// service, out of reach of the user's other programs), every file must
// still give the digest the batch names, and it stays held against writers
// while it is installed. Paths come from the batch alone; the installers
// and setup.dat are the companion's own, in its folder. A package is
// extracted only when its publisher's signature passes the companion's own
// check.
#include "backup/installation_batch.h"
#include "base/json_writer.h"
#include "base/sha256.h"
#include "cli/cli.h"
#include "cli/install_output.h"
#include "platform/files.h"
#include "platform/restore_point.h"
#include "platform/text.h"

namespace quillary::cli {
namespace {

// Extracted into the file's own folder: not one that leads elsewhere.
bool in_a_folder_of_its_own(const batch_entry& entry) {
  return !platform::is_link(platform::parent_folder(entry.path));
}

}  // namespace

int run_batch_file(const arguments& args, context& shared) {
  if (args.size() != 3 || args[1] != "--sha256") return usage_error("run-batch: give BATCH --sha256 HEX");
  const std::u16string batch_file = utf8_to_utf16(args[0]);
  sha256_digest expected{};
  if (!parse_sha256_hex(args[2], expected)) return usage_error("run-batch: --sha256 takes 64 hexadecimal digits");
  // Read before anything else changes the current directory.
  std::string text;
  if (platform::is_link(platform::parent_folder(batch_file)) || platform::file_size(batch_file) > max_batch_bytes ||
      !platform::read_whole_file(batch_file, text)) {
    return fail("run-batch: cannot read the batch");
  }
  if (sha256_of(text) != expected) return fail("run-batch: the batch is not the one its digest names; nothing was run");
  std::vector<batch_entry> entries;
  std::string error;
  if (!parse_batch(text, entries, error)) return fail("run-batch: " + error);
  if (!take_system_snapshot(shared)) return exit_code::failed;

  // The batch's installations share one restore point.
  restore_point_batch_c restore_points(platform::system_restore_points());
  // The keys are the companion's own (built in, and the machine policy that
  // only administrators write): the user's process cannot vouch for a
  // package to the elevated one. So are the blocks: the machine's, read here.
  const own_installation_c own;
  json_writer_c json;
  json.begin_object();
  json.key("entries").begin_array();
  for (const auto& entry : entries) {
    reporting_shell_c shell;
    const local_installation here = own.here(shell, restore_points, shared);
    // Every entry of a batch has its digest: run_entry_here installs the
    // file only while it gives it, held against writers.
    entry_outcome outcome;
    outcome.result = package_changed;
    if (in_a_folder_of_its_own(entry)) outcome = run_entry_here(entry, here);
    json.begin_object();
    write_install_report(json, shell, outcome.result, outcome.report);
    json.end_object();
  }
  json.end_array();
  json.end_object();
  print(json.text());
  // Never over anything that is there: the program made the folder and
  // nothing in it but the batch.
  if (!platform::write_new_file(batch_file + u".outcome", json.text())) {
    return fail("run-batch: cannot write the outcome beside the batch");
  }
  return exit_code::success;
}

}  // namespace quillary::cli
