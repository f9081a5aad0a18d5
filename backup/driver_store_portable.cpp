#include "backup/driver_store.h"

namespace quillary {

// The native build reads driver stores only from folders it is given.
int init_driver_store() { return -1; }
driver_store_c* driver_store() { return nullptr; }

}  // namespace quillary
