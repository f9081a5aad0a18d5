#include "cli/install_output.h"

#include "backup/installation_batch.h"
#include "base/json_writer.h"
#include "cli/cli.h"

namespace quillary::cli {

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

own_installation_c::own_installation_c()
    : trust_(read_signature_trust()), blocked_(read_policy_blocks()), rollback_(system_driver_rollback()) {}

local_installation own_installation_c::here(shell_i& shell, restore_point_batch_c& restore_points,
                                            context& shared) const {
  return local_installation{&shell,
                            &restore_points,
                            u"setup.dat",
                            trust_.get(),
                            &shared.authenticode,
                            installer_system_of(shared.system.snapshot()),
                            &blocked_,
                            rollback_.get()};
}

void write_install_report(json_writer_c& json, const reporting_shell_c& shell, int result,
                          const install_report& report) {
  write_outcome_fields(json, result, report);
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
}

}  // namespace quillary::cli
