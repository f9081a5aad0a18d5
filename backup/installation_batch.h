// Installing and restoring change the system, which takes administrator
// rights; the program itself runs as the user. A process that holds the
// rights installs on its own. Any other hands the batch to its companion
// (quillary-cli.exe run-batch), started elevated through one prompt for
// the whole batch: the batch goes in a file the program wrote, with the
// SHA-256 of every file to install, and the file's own digest on the
// companion's command line, so that the elevated process acts only on the
// bytes the user's process chose and checked. Each entry's outcome comes
// back as the JSON the command line's install prints.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "backup/driver_store.h"
#include "backup/install_backup.h"
#include "base/sha256.h"
#include "download/installation.h"
#include "service/offer_rules.h"
#include "platform/driver_rollback.h"
#include "platform/elevation.h"

namespace quillary {

class json_value;
class json_writer_c;

// One installation of a batch.
struct batch_entry {
  // A roll back: the archive is a backup made before the package of `link`
  // was installed; its devices get their earlier drivers back, and the
  // link leaves the list of installed packages.
  enum class kind { package, backup_archive, rollback };
  kind what = kind::package;
  std::u16string path;  // the package or the backup archive, a full path
  // What its bytes must give: the digest the download was checked against,
  // else, for the companion, what they gave when the batch was made. The
  // file is installed only while it gives it (always in a batch file).
  std::optional<sha256_digest> digest;
  std::set<std::u16string> inf_paths;  // packages only
  offered_drivers offered;             // packages only: what the page showed of them
  // Packages only: the publisher's signature as the offer carried it (the
  // `.minisig` file in base64; empty when none) and the file name it must
  // name (the link's; the file's own when empty). The process that
  // installs checks it against the keys it trusts itself.
  std::string minisig;
  std::string signed_name;
  std::string link;                    // recorded in setup.dat once an installation started
  std::u16string name;                 // the title that names the restore point
  bool force = false;
  // Roll backs only: the devices Windows' own roll back is asked for first.
  std::vector<std::u16string> device_ids;
};

std::string batch_text(const std::vector<batch_entry>& entries);
// False with a reason for anything that is not a batch of full paths with
// their digests; at most `max_batch_entries` entries.
bool parse_batch(const std::string& text, std::vector<batch_entry>& entries, std::string& error);
constexpr size_t max_batch_entries = 1000;
constexpr size_t max_batch_bytes = 4 * 1024 * 1024;

// An installation's result codes beyond install_package's own: nothing was
// started for any of them.
constexpr int elevation_declined = -4;  // the user said No to the prompt
constexpr int elevation_failed = -5;    // the companion could not run or answer
constexpr int package_changed = -6;     // the file no longer gives its digest (or is held by a writer)
constexpr int package_blocked = -10;    // the machine's policy blocks the package's link
// The drivers in use could not be backed up and the user chose not to
// install without that backup.
constexpr int backup_declined = -11;

// One entry's outcome: the result code and what the installation did.
struct entry_outcome {
  int result = elevation_failed;
  install_report report;
};

// The outcome fields of the command line's install JSON (`result` and the
// report), written into an open object, and read back from one.
void write_outcome_fields(json_writer_c& json, int result, const install_report& report);
bool read_outcome(const json_value& object, entry_outcome& out);
// The companion's whole answer: {"entries": [outcome, ...]}.
bool parse_outcomes(const std::string& text, std::vector<entry_outcome>& out, std::string& error);

// The SHA-256 of a file's bytes; false when it cannot be read.
bool sha256_of_file(const std::u16string& path, sha256_digest& out);

// Where batch files are written (a fresh folder each, below this one) and
// which program takes them.
struct companion_place {
  std::u16string program;      // quillary-cli.exe beside the program
  std::u16string work_folder;  // the user's temporary folder
};

// What came of running a batch: the route it took and each entry's outcome,
// in the order given.
struct batch_run {
  process_rights rights = process_rights::administrator;
  bool prompted = false;  // the companion was asked for (one prompt)
  elevation_answer answer = elevation_answer::ran;
  std::vector<entry_outcome> outcomes;
};

// How one entry runs in a process that holds the rights: the same for the
// program run as an administrator and for the companion. A file with a
// digest is held against writers while it is checked and installed;
// `package_changed` when it does not give its digest.
struct local_installation {
  shell_i* shell = nullptr;
  restore_point_batch_c* restore_points = nullptr;
  std::u16string setup_dat;  // where links go; none when empty
  // The keys this process trusts: a package is extracted only when its
  // signature passes (none: nothing is checked).
  const signature_trust* trust = nullptr;
  // Checks a package's setup program before it starts, in the process
  // that starts it; none: no setup program starts.
  authenticode_i* authenticode = nullptr;
  // The system the driver installer is chosen for.
  installer_system system;
  // The machine policy's blocks, as this process read them: a package
  // whose link one names is not installed (none: nothing is checked).
  const package_blocks* blocked = nullptr;
  // Windows' own roll back, tried before a backup is restored (none: the
  // backup is restored).
  driver_rollback_i* rollback = nullptr;
};
entry_outcome run_entry_here(const batch_entry& entry, const local_installation& here);

// Runs the entries as one batch: here when this process holds the rights,
// else through the companion, started elevated once (its prompt owned by
// `owner`). Nothing runs for a process that cannot elevate, nor when the
// prompt is declined: every outcome then says why.
batch_run run_batch(const std::vector<batch_entry>& entries, elevator_i& elevator, const companion_place& companion,
                    const local_installation& here, uintptr_t owner);

// The companion's command line for a batch file of that digest.
std::u16string companion_parameters(const std::u16string& batch_file, const sha256_digest& digest);

// The batch entry of an installation job, with the digest its download
// was checked against when there is one.
batch_entry entry_of(const install_job& job);

// The backup a batch makes before each of its installations.
struct install_backup_step {
  driver_store_c store;  // the batch's own copy: its package list is rebuilt per job
  install_backup_place place;
  // Asked on the batch's thread when a package's backup failed: whether to
  // install it all the same. None, or a false answer: it is not installed.
  std::function<bool(const install_job& job, const install_backup_outcome& backup)> install_anyway;
};

// The backup before one job's installation; false when it failed and the
// job is not to be installed (its outcome is then `backup_declined`).
// Without a step nothing is backed up and the report says so by its empty
// state.
bool back_up_for_job(install_backup_step* step, const install_job& job, install_report& report);

// What a batch of the program's own runs through.
struct batch_runner {
  elevator_i* elevator = nullptr;
  companion_place companion;
  uintptr_t owner = 0;  // the window that owns the prompt
  // What a batch run here checks signatures against (the companion reads
  // its own from the built-in keys and the machine policy).
  std::shared_ptr<const signature_trust> trust;
  // Called on the batch's thread once every job's outcome is written: it
  // tells the window that started the batch (which reads them on its own
  // thread). None: nobody is told.
  std::function<void()> on_end;
  // Made before each installation; none: nothing is backed up.
  std::shared_ptr<install_backup_step> backup;
};

// Starts the jobs as one batch on a thread of its own, which ends each job
// with its outcome (`call.result`, `report`) and clears `busy`; a job
// already busy is left out. The batch's restore point, links, shell and
// Authenticode check are the first job's. False when none could start.
bool start_install_batch(const std::vector<std::shared_ptr<install_job>>& jobs, const batch_runner& runner);

}  // namespace quillary
