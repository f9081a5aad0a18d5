// The native build has no device tree of its own: scans read fixtures.
#include "devices/device_inventory.h"

namespace quillary {

std::unique_ptr<device_source_i> make_system_device_source() { return nullptr; }

}  // namespace quillary
