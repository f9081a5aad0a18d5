// Undoing an installation the program made: the backups made before it
// (listed with its link) are checked, and become roll-back entries of a
// batch, which the process with the rights runs (see installation_batch.h).
#pragma once

#include <set>
#include <string>
#include <vector>

#include "backup/backup_catalogue.h"
#include "backup/installation_batch.h"

namespace quillary {

// Why a roll back cannot be done; nothing is changed then.
enum class rollback_refusal {
  none,
  not_installed,   // the link is not in the list of installed packages
  no_backup,       // no backup was listed as made before it
  backup_damaged,  // such a backup is gone or does not read back whole
};
const char* rollback_refusal_name(rollback_refusal refusal);
// In English, for the command line.
std::string describe(rollback_refusal refusal);

struct rollback_plan {
  rollback_refusal refusal = rollback_refusal::none;
  std::vector<batch_entry> entries;  // one per backup made before the package
  std::u16string damaged_archive;    // the archive that failed its check
};

// The roll back of the package of `link`: every archive listed as made
// before it, each read back whole before anything is asked for. `installed`
// are the links of setup.dat.
rollback_plan plan_rollback(const std::string& link, const std::set<std::string>& installed,
                            const backup_catalogue_c& catalogue, const std::u16string& backup_folder);

}  // namespace quillary
