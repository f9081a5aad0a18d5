// What install and restore report: every program they started, the driver
// package installer's outcome and the restore point's.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "backup/installation_batch.h"
#include "download/installation.h"
#include "platform/shell.h"

namespace quillary {
class json_writer_c;
}

namespace quillary::cli {

// Passes every launch to the system's shell and keeps what it was asked.
class reporting_shell_c : public shell_i {
 public:
  struct call {
    std::u16string target, parameters;
    bool started = false;
    bool waited = false;
    uint32_t exit_code = 0;
  };
  bool open(const std::u16string& target, const std::u16string& parameters) override;
  bool run_and_wait(const std::u16string& program, const std::u16string& parameters, uint32_t& exit_code) override;
  std::vector<call> calls;
};

struct context;

// What an installation in this process checks against and uses of its own
// (never the user's process's word): the keys it trusts and the blocks of
// the machine's policy as it reads them, and Windows' own roll back.
// Installed links go to setup.dat in the current directory.
class own_installation_c {
 public:
  own_installation_c();
  local_installation here(shell_i& shell, restore_point_batch_c& restore_points, context& shared) const;

 private:
  std::shared_ptr<const signature_trust> trust_;
  package_blocks blocked_;
  std::unique_ptr<driver_rollback_i> rollback_;
};

// The outcome's members (the result, what was started, the restore point)
// and "launched", every program the shell was asked to start, of the open
// object.
void write_install_report(json_writer_c& json, const reporting_shell_c& shell, int result,
                          const install_report& report);

}  // namespace quillary::cli
