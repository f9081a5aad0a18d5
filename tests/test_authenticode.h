// The Authenticode check as a test sets it, for the test builds of the
// program and the command line (Wine's own check trusts any signature
// whose digest matches, so the other verdicts cannot be had from it):
//   QUILLARY_TEST_AUTHENTICODE  a verdict that every check answers: trusted,
//                               unsigned, tampered, untrusted, distrusted,
//                               expired, revoked or unchecked; "real" or
//                               unset: WinVerifyTrust itself. A name of no
//                               verdict answers "unchecked", so that a test
//                               that misspells one still starts nothing.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/authenticode.h"

namespace quillary::testing {

// The check the environment asks for; null for the system's own.
inline std::unique_ptr<fixed_authenticode_c> authenticode_from_environment() {
  const char* name = std::getenv("QUILLARY_TEST_AUTHENTICODE");
  if (!name || std::string(name).empty() || std::string(name) == "real") return nullptr;
  trust_verdict verdict = trust_verdict::unchecked;
  verdict_from_name(name, verdict);
  return std::make_unique<fixed_authenticode_c>(verdict);
}

}  // namespace quillary::testing
