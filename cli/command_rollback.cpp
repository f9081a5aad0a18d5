// rollback: undoes an installation made from here, from the backups made
// before it.
#include "app/settings.h"
#include "backup/backup_catalogue.h"
#include "backup/rollback.h"
#include "cli/cli.h"
#include "platform/text.h"
#include "service/update_client.h"

namespace quillary::cli {

int run_rollback(const arguments& args, context& shared) {
  if (args.size() != 1 || args[0].rfind("--", 0) == 0) return usage_error("rollback: give the package's LINK");
  const std::string& link = args[0];
  if (!take_system_snapshot(shared)) return exit_code::failed;
  const settings_values* settings = load_user_settings(shared);
  if (!settings) return exit_code::failed;
  std::set<std::string> installed;
  load_installed_links(u"setup.dat", installed);
  backup_catalogue_c catalogue(u"backup.xml", settings->backup_path);
  catalogue.load();
  const rollback_plan plan = plan_rollback(link, installed, catalogue, settings->backup_path);
  if (plan.refusal != rollback_refusal::none) {
    std::string reason = describe(plan.refusal);
    if (!plan.damaged_archive.empty()) reason += " (" + utf16_to_utf8(plan.damaged_archive) + ")";
    return fail("cannot roll back " + link + ": " + reason + "; nothing was changed", exit_code::rollback_refused);
  }
  // One archive per driver package the installation replaced; most
  // replace one.
  for (const auto& entry : plan.entries) {
    if (const int exit = run_system_change(entry, shared)) return exit;
  }
  return exit_code::success;
}

}  // namespace quillary::cli
