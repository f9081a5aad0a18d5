#include "app/settings.h"
#include "app/system_info.h"
#include "cli/cli.h"
#include "app/json_writer.h"

namespace quillary::cli {

int run_settings(const arguments& args) {
  if (!no_arguments("settings", args)) return exit_code::usage;
  if (!take_system_snapshot()) return exit_code::failed;
  if (!load_settings()) return fail("cannot open or create the settings key");

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
  json.end_object();
  print(json.text());
  return exit_code::success;
}

}  // namespace quillary::cli
