#include "cli/cli.h"

int main(int argc, char** argv) {
  return quillary::cli::main(std::vector<std::string>(argv, argv + argc), quillary::platform::system_elevator(),
                             quillary::platform::system_authenticode());
}
