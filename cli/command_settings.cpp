#include "app/policy.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "base/json_writer.h"
#include "cli/cli.h"
#include "download/package_signature.h"

namespace quillary::cli {

int run_settings(const arguments& args, context& shared) {
  if (!no_arguments("settings", args)) return exit_code::usage;
  if (!take_system_snapshot(shared)) return exit_code::failed;
  const settings_values* settings = load_user_settings(shared);
  if (!settings) return exit_code::failed;

  machine_policy policy;
  const update_servers_choice servers = read_policy_servers(policy);

  const auto& values = *settings;
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
  // Servers the policy's demand for https:// leaves out.
  json.key("refused_servers").begin_array();
  for (const auto& server : servers.refused) json.value(server);
  json.end_array();
  std::vector<std::string> problems = policy.problems;
  const signature_trust trust = make_signature_trust(built_in_catalogue_keys(), policy, &problems);
  json.key("require_https").value(trust.require_https);
  // Whose packages are installed: the keys trusted (where each comes from),
  // the ones revoked, and whether unsigned packages are refused.
  json.key("signatures").begin_object();
  json.key("require_signed_packages").value(trust.require_signed);
  json.key("require_signed_source")
      .value(policy.require_signed_packages ? "policy"
             : !trust.keys.empty()          ? "a key is trusted"
             : !trust.revoked.empty()       ? "a key is revoked"
                                            : "no key trusted");
  json.key("trusted_keys").begin_array();
  for (const auto& key : trust.keys) {
    json.begin_object();
    json.key("id").value(key_id_text(key.key.id));
    json.key("source").value(key.source);
    json.end_object();
  }
  json.end_array();
  json.key("revoked_keys").begin_array();
  for (const auto& id : trust.revoked) json.value(key_id_text(id));
  json.end_array();
  json.end_object();
  // The packages no user of this PC is offered, nor can download or install.
  json.key("blocked_packages").begin_array();
  for (const auto& rule : policy.blocked_packages) {
    json.begin_object();
    json.key("rule").value(rule.text);
    if (rule.what == package_block::kind::link) {
      json.key("link").value(rule.link);
    } else {
      json.key("hardware_id").value(rule.hardware_id);
      json.key("lowest_version").value(rule.lowest);
      json.key("highest_version").value(rule.highest);
    }
    json.end_object();
  }
  json.end_array();
  json.key("ignored").begin_array();
  for (const auto& line : problems) json.value(line);
  json.end_array();
  json.end_object();
  json.end_object();
  print(json.text());
  return exit_code::success;
}

}  // namespace quillary::cli
