#include "app/last_error.h"

namespace quillary {
namespace {
thread_local int32_t code = 0;
}  // namespace

int32_t last_error() { return code; }

void set_last_error(int32_t value) { code = value; }

}  // namespace quillary
