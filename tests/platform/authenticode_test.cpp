// What WinVerifyTrust's answers mean: only a clean success is trusted, and
// each documented failure gives the verdict the user is told.
#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <set>
#include <string>

#include "platform/authenticode.h"

namespace quillary {
namespace {

namespace s = trust_status;

TEST(authenticode_verdict, only_success_is_trusted) {
  EXPECT_EQ(verdict_of_status(s::success, 0), trust_verdict::trusted);
  // Whatever else comes back (an error of any facility, a code of a later
  // Windows), the program does not count as trusted.
  std::mt19937 random(7);
  for (int i = 0; i < 100000; ++i) {
    const uint32_t status = random() | 1u;
    ASSERT_NE(verdict_of_status(status, status), trust_verdict::trusted) << std::hex << status;
  }
  for (uint32_t status = 0x800B0000; status < 0x800B0200; ++status) {
    ASSERT_NE(verdict_of_status(status, 0), trust_verdict::trusted) << std::hex << status;
  }
  for (uint32_t status = 0x80092000; status < 0x80097000; ++status) {
    ASSERT_NE(verdict_of_status(status, 0), trust_verdict::trusted) << std::hex << status;
  }
}

TEST(authenticode_verdict, each_documented_failure_says_why) {
  const std::pair<uint32_t, trust_verdict> expected[] = {
      {s::subject_form_unknown, trust_verdict::unsigned_file},  // a batch file: no signature can be had
      {s::bad_digest, trust_verdict::tampered},
      {s::certificate_signature, trust_verdict::tampered},
      {s::malformed, trust_verdict::tampered},
      {s::untrusted_root, trust_verdict::untrusted},
      {s::chaining, trust_verdict::untrusted},
      {s::untrusted_test_root, trust_verdict::untrusted},
      {s::wrong_usage, trust_verdict::untrusted},
      {s::subject_not_trusted, trust_verdict::untrusted},
      {s::security_settings, trust_verdict::untrusted},
      {s::explicit_distrust, trust_verdict::distrusted},
      {s::expired, trust_verdict::expired},
      {s::revoked, trust_verdict::revoked},
      {s::revocation_failure, trust_verdict::unchecked},
      {s::revocation_offline, trust_verdict::unchecked},
      {s::provider_unknown, trust_verdict::unchecked},
      {s::action_unknown, trust_verdict::unchecked},
      {2, trust_verdict::unchecked},  // ERROR_FILE_NOT_FOUND, as Wine returns it for a missing file
      {0x80070005, trust_verdict::unchecked},  // E_ACCESSDENIED
  };
  for (const auto& [status, verdict] : expected) {
    EXPECT_EQ(verdict_of_status(status, status), verdict) << std::hex << status;
  }
}

TEST(authenticode_verdict, no_signature_is_unsigned_only_when_the_last_error_agrees) {
  // Microsoft's reading: "no signature" with one of these last errors is a
  // file without a signature; with any other the file could not be read.
  for (const uint32_t last_error : {s::no_signature, s::subject_form_unknown, s::provider_unknown}) {
    EXPECT_EQ(verdict_of_status(s::no_signature, last_error), trust_verdict::unsigned_file) << std::hex << last_error;
  }
  for (const uint32_t last_error : {0u, 2u, 5u, 32u}) {  // none, not found, access denied, sharing violation
    EXPECT_EQ(verdict_of_status(s::no_signature, last_error), trust_verdict::unchecked) << last_error;
  }
}

TEST(authenticode_verdict, names_read_back_and_unknown_names_are_refused) {
  const trust_verdict all[] = {trust_verdict::trusted,    trust_verdict::unsigned_file, trust_verdict::tampered,
                               trust_verdict::untrusted,  trust_verdict::distrusted,    trust_verdict::expired,
                               trust_verdict::revoked,    trust_verdict::unchecked};
  std::set<std::string> names;
  for (const trust_verdict verdict : all) {
    trust_verdict read = trust_verdict::trusted;
    ASSERT_TRUE(verdict_from_name(verdict_name(verdict), read)) << verdict_name(verdict);
    EXPECT_EQ(read, verdict);
    names.insert(verdict_name(verdict));
    EXPECT_FALSE(describe(verdict).empty());
  }
  EXPECT_EQ(names.size(), std::size(all));
  trust_verdict untouched = trust_verdict::unchecked;
  for (const char* name : {"", "Trusted", "trusted ", "unsigned_file", "ok"}) {
    EXPECT_FALSE(verdict_from_name(name, untouched)) << name;
    EXPECT_EQ(untouched, trust_verdict::unchecked);
  }
}

}  // namespace
}  // namespace quillary
