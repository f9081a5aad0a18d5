#include "app/json_writer.h"
#include "app/policy.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "cli/cli.h"

namespace quillary::cli {

int run_settings(const arguments& args) {
  if (!no_arguments("settings", args)) return exit_code::usage;
  if (!take_system_snapshot()) return exit_code::failed;
  if (!load_settings()) return fail("cannot open or create the settings key");

  machine_policy policy;
  const update_servers_choice servers = read_policy_servers(policy);

  const auto& values = settings();
  json_writer_c json;
  json.begin_object();
  json.key("download_path").value(values.download_path);
  json.key("backup_path").value(values.backup_path);
  json.key("language").value(values.language);
  json.key("install_date").value(values.install_date);
  json.key("autorun").value(values.autorun);
  json.key("scan_offline").value(values.scan_offline);
  json.key("close_to_tray").value(values.close_to_tray);
  json.key("scheduled_scan").value(values.scheduled_scan);
  // Not a setting of the user's, but what an administrator decided for the
  // machine, which the same command shows.
  json.key("policy").begin_object();
  json.key("update_servers").begin_array();
  for (const auto& server : servers.servers) json.value(server);
  json.end_array();
  json.key("source").value(servers.source());
  json.key("ignored").begin_array();
  for (const auto& line : policy.problems) json.value(line);
  json.end_array();
  json.end_object();
  json.end_object();
  print(json.text());
  return exit_code::success;
}

}  // namespace quillary::cli
