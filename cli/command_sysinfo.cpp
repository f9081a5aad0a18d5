#include "app/system_info.h"
#include "base/json_writer.h"
#include "cli/cli.h"

namespace quillary::cli {

int run_sysinfo(const arguments& args, context& shared) {
  if (!no_arguments("sysinfo", args)) return exit_code::usage;
  if (!take_system_snapshot(shared)) return exit_code::failed;
  if (shared.system.collect_summary() != 0) return fail("cannot connect to WMI (ROOT\\CIMV2)");

  const auto& info = shared.system.snapshot();
  const auto& summary = info.summary;
  json_writer_c json;
  json.begin_object();
  json.key("os_type").value(info.os_type);
  json.key("os_code_name").value(os_code_name_of(info));
  json.key("os_version_code").value(os_version_code_of(info));
  json.key("os_build").value(info.version.build);
  json.key("is_64bit").value(is_64bit_system(info));
  json.key("architecture").value(architecture_name(architecture_of(info)));
  json.key("system_folder").value(info.system_folder);
  json.key("oem_code_page").value(info.oem_code_page);
  json.key("module_path").value(info.module_path);
  json.key("working_folder").value(info.working_folder);
  json.key("summary").begin_object();
  json.key("model").value(summary.model);
  json.key("os_name").value(summary.os_name);
  json.key("processor").value(summary.processor);
  json.key("memory").value(summary.memory);
  json.key("disk").value(summary.disk);
  json.key("display").value(summary.display);
  json.key("sound").value(summary.sound);
  json.end_object();
  json.end_object();
  print(json.text());
  return exit_code::success;
}

}  // namespace quillary::cli
