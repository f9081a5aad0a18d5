// The native build has no registry: settings live in memory for the run,
// so every run looks like the first run of a new user, and no machine
// policy is ever set.
#include "platform/registry.h"

namespace quillary {

registry_hive_i& current_user_registry() {
  static memory_registry_c hive;
  return hive;
}

registry_hive_i& local_machine_registry() {
  static memory_registry_c hive;
  return hive;
}

}  // namespace quillary
