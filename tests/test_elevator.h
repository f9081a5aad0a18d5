// The process's rights and the answer to the elevation prompt, as a test
// sets them, for the test builds of the program and the command line:
//   QUILLARY_TEST_RIGHTS     administrator | can_elevate | cannot_elevate
//   QUILLARY_TEST_ELEVATION  accept (the default) | decline
//   QUILLARY_TEST_ELEVATION_LOG
//                            a file to which every prompt appends a line
//                            "prompt|PROGRAM|PARAMETERS" and then the batch
//                            it hands over, as the companion will read it
// An accepted prompt runs the companion as an ordinary process: under Wine
// every process holds the rights anyway.
#pragma once

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "platform/elevation.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text.h"

namespace quillary::testing {

class test_elevator_c : public elevator_i {
 public:
  // Runs the companion once the prompt is accepted; the system's shell when
  // not given.
  using runner = std::function<bool(const std::u16string&, const std::u16string&, uint32_t&)>;

  process_rights given_rights = process_rights::can_elevate;
  bool accept = true;
  std::u16string log_file;
  runner run;
  int prompts = 0;
  std::u16string last_parameters;

  process_rights rights() override { return given_rights; }

  elevation_answer run_elevated(const std::u16string& program, const std::u16string& parameters, uintptr_t,
                                uint32_t& exit_code) override {
    ++prompts;
    last_parameters = parameters;
    note(program, parameters);
    if (!accept) return elevation_answer::declined;
    const bool ran = run ? run(program, parameters, exit_code)
                         : platform::system_shell().run_and_wait(program, parameters, exit_code);
    return ran ? elevation_answer::ran : elevation_answer::failed;
  }

  // The batch file named by the companion's parameters (run-batch "FILE" ...).
  static std::u16string batch_file_of(const std::u16string& parameters) {
    const size_t open = parameters.find(u'"');
    const size_t close = open == std::u16string::npos ? open : parameters.find(u'"', open + 1);
    return close == std::u16string::npos ? u"" : parameters.substr(open + 1, close - open - 1);
  }

 private:
  void note(const std::u16string& program, const std::u16string& parameters) const {
    if (log_file.empty()) return;
    std::string batch;
    platform::read_whole_file(batch_file_of(parameters), batch);
    if (std::FILE* log = platform::open_file(log_file, "ab")) {
      const std::string line = "prompt|" + utf16_to_utf8(program) + "|" + utf16_to_utf8(parameters) + "\n" + batch;
      std::fwrite(line.data(), 1, line.size(), log);
      std::fclose(log);
    }
  }
};

// The elevator the environment asks for; null when QUILLARY_TEST_RIGHTS is
// not set (the system's own then stands).
inline std::unique_ptr<test_elevator_c> elevator_from_environment() {
  const char* rights = std::getenv("QUILLARY_TEST_RIGHTS");
  if (!rights) return nullptr;
  auto elevator = std::make_unique<test_elevator_c>();
  const std::string given = rights;
  elevator->given_rights = given == "administrator"    ? process_rights::administrator
                           : given == "cannot_elevate" ? process_rights::cannot_elevate
                                                       : process_rights::can_elevate;
  const char* answer = std::getenv("QUILLARY_TEST_ELEVATION");
  elevator->accept = !answer || std::string(answer) != "decline";
  if (const char* log = std::getenv("QUILLARY_TEST_ELEVATION_LOG")) elevator->log_file = utf8_to_utf16(log);
  return elevator;
}

}  // namespace quillary::testing
