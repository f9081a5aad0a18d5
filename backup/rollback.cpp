#include "backup/rollback.h"

#include "backup/backup.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {
namespace {

bool reads_back_whole(const std::u16string& archive_path) {
  return platform::file_exists(archive_path) && whole_archive_entries(archive_path).value_or(0) > 0;
}

}  // namespace

const char* rollback_refusal_name(rollback_refusal refusal) {
  switch (refusal) {
    case rollback_refusal::none: return "none";
    case rollback_refusal::not_installed: return "not_installed";
    case rollback_refusal::no_backup: return "no_backup";
    case rollback_refusal::backup_damaged: return "backup_damaged";
  }
  return "none";
}

std::string describe(rollback_refusal refusal) {
  switch (refusal) {
    case rollback_refusal::none: return "it can be rolled back";
    case rollback_refusal::not_installed: return "the package is not in setup.dat: it was not installed from here";
    case rollback_refusal::no_backup: return "no backup was made of the drivers it replaced";
    case rollback_refusal::backup_damaged: return "the backup of the drivers it replaced is missing or damaged";
  }
  return {};
}

rollback_plan plan_rollback(const std::string& link, const std::set<std::string>& installed,
                            const backup_catalogue_c& catalogue, const std::u16string& backup_folder) {
  rollback_plan plan;
  if (link.empty() || !installed.count(link)) {
    plan.refusal = rollback_refusal::not_installed;
    return plan;
  }
  const std::vector<catalogue_entry> backups = catalogue.entries_made_way_for(link);
  if (backups.empty()) {
    plan.refusal = rollback_refusal::no_backup;
    return plan;
  }
  for (const auto& backup : backups) {
    const std::u16string archive = platform::join_path(backup_folder, from_ansi(backup.file));
    if (!reads_back_whole(archive)) {
      plan.refusal = rollback_refusal::backup_damaged;
      plan.damaged_archive = archive;
      plan.entries.clear();
      return plan;
    }
    batch_entry entry;
    entry.what = batch_entry::kind::rollback;
    entry.path = archive;
    entry.link = link;
    entry.name = platform::file_name_part(archive);
    entry.force = true;
    for (const auto& device : backup.devices) entry.device_ids.push_back(device.id);
    plan.entries.push_back(std::move(entry));
  }
  return plan;
}

}  // namespace quillary
