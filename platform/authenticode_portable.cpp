// The native build runs on Linux, which has no Authenticode, and starts no
// programs (its shell refuses). Every file stays unchecked, and an
// installation that would start a setup program refuses it, as it would a
// program Windows could not check; the native tests of that decision give
// their verdicts through a fake.
#include "platform/authenticode.h"

namespace quillary::platform {
namespace {

class no_authenticode_c : public authenticode_i {
 public:
  authenticode_answer check(const std::u16string&) override { return {}; }
};

}  // namespace

authenticode_i& system_authenticode() {
  static no_authenticode_c none;
  return none;
}

}  // namespace quillary::platform
