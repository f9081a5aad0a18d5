#include "app/last_error.h"

#include <atomic>

namespace quillary {
namespace {
// Written by whichever thread fails and read after that thread has ended;
// atomic so that the language guarantees what the program relies on.
std::atomic<int32_t> code{0};
}  // namespace

int32_t last_error() { return code.load(std::memory_order_relaxed); }

void set_last_error(int32_t value) { code.store(value, std::memory_order_relaxed); }

}  // namespace quillary
