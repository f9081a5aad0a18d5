#include "backup/driver_store.h"

namespace quillary {

// The native build reads driver stores only from folders it is given.
std::unique_ptr<driver_store_c> make_system_driver_store(int32_t) { return nullptr; }

}  // namespace quillary
