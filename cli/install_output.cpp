#include "cli/install_output.h"

#include "app/json_writer.h"

namespace quillary::cli {
namespace {

void write_installer(json_writer_c& json, const install_report& report) {
  // No driver package installer when the package had none of its INF files.
  if (!report.driver_installer_chosen) {
    json.null();
    return;
  }
  const installer_run& run = report.installer;
  json.begin_object();
  json.key("name").value(installer_name(run.installer));
  json.key("program").value(run.program);
  json.key("parameters").value(run.parameters);
  json.key("started").value(run.started);
  json.key("waited").value(run.waited);
  if (run.waited) {
    json.key("exit_code").value(run.exit_code);
    json.key("result").value(describe_pnputil_exit(run.exit_code));
  } else if (run.installer == driver_installer::none) {
    json.key("result").value("no driver package installer for this system: pnputil.exe is missing");
  }
  json.end_object();
}

// "made" is true only for a new point made for this installation. A point
// that exists (new, kept by Windows, or either) has its number and, where
// known, its creation time (UTC); without a new one, "reason" says why.
void write_restore_point(json_writer_c& json, const restore_point_outcome& outcome) {
  json.begin_object();
  json.key("made").value(outcome.state == restore_point_state::made);
  json.key("state").value(state_name(outcome.state));
  json.key("description").value(outcome.description);
  if (has_restore_point(outcome)) {
    json.key("sequence_number").value(outcome.sequence_number);
    if (!outcome.created.empty()) json.key("created").value(outcome.created);
  }
  if (outcome.state != restore_point_state::made) {
    json.key("reason").value(describe(outcome));
    json.key("status").value(outcome.status);
  }
  json.end_object();
}

}  // namespace

bool reporting_shell_c::open(const std::u16string& target, const std::u16string& parameters) {
  const bool started = platform::system_shell().open(target, parameters);
  calls.push_back({target, parameters, started, false, 0});
  return started;
}

bool reporting_shell_c::run_and_wait(const std::u16string& program, const std::u16string& parameters,
                                     uint32_t& exit_code) {
  const bool ran = platform::system_shell().run_and_wait(program, parameters, exit_code);
  calls.push_back({program, parameters, ran, ran, ran ? exit_code : 0});
  return ran;
}

void write_install_report(json_writer_c& json, const reporting_shell_c& shell, const install_report& report) {
  json.key("launched").begin_array();
  for (const auto& call : shell.calls) {
    json.begin_object();
    json.key("target").value(call.target);
    json.key("parameters").value(call.parameters);
    json.key("started").value(call.started);
    if (call.waited) json.key("exit_code").value(call.exit_code);
    json.end_object();
  }
  json.end_array();
  json.key("installer");
  write_installer(json, report);
  json.key("restore_point");
  write_restore_point(json, report.restore_point);
}

}  // namespace quillary::cli
