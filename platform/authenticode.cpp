#include "platform/authenticode.h"

namespace quillary {
namespace {

constexpr trust_verdict all_verdicts[] = {
    trust_verdict::trusted,    trust_verdict::unsigned_file, trust_verdict::tampered, trust_verdict::untrusted,
    trust_verdict::distrusted, trust_verdict::expired,       trust_verdict::revoked,  trust_verdict::unchecked,
};

}  // namespace

const char* verdict_name(trust_verdict verdict) {
  switch (verdict) {
    case trust_verdict::trusted: return "trusted";
    case trust_verdict::unsigned_file: return "unsigned";
    case trust_verdict::tampered: return "tampered";
    case trust_verdict::untrusted: return "untrusted";
    case trust_verdict::distrusted: return "distrusted";
    case trust_verdict::expired: return "expired";
    case trust_verdict::revoked: return "revoked";
    case trust_verdict::unchecked: return "unchecked";
  }
  return "";
}

bool verdict_from_name(std::string_view name, trust_verdict& verdict) {
  for (const trust_verdict candidate : all_verdicts) {
    if (name == verdict_name(candidate)) {
      verdict = candidate;
      return true;
    }
  }
  return false;
}

std::string describe(trust_verdict verdict) {
  switch (verdict) {
    case trust_verdict::trusted: return "signed by a publisher Windows trusts";
    case trust_verdict::unsigned_file: return "not signed (or of a kind that cannot carry a signature)";
    case trust_verdict::tampered: return "the signature does not match the file: it was changed after signing";
    case trust_verdict::untrusted: return "signed, but not by a publisher Windows trusts";
    case trust_verdict::distrusted: return "signed with a certificate that is marked as not to be trusted";
    case trust_verdict::expired: return "signed with a certificate that has expired";
    case trust_verdict::revoked: return "signed with a certificate that has been revoked";
    case trust_verdict::unchecked: return "the signature could not be checked";
  }
  return "";
}

trust_verdict verdict_of_status(uint32_t status, uint32_t last_error) {
  namespace s = trust_status;
  switch (status) {
    case s::success: return trust_verdict::trusted;
    case s::no_signature:
      // "No signature" also comes of a file that could not be read; the
      // last error tells which (Microsoft's own example reads it so).
      return last_error == s::no_signature || last_error == s::subject_form_unknown ||
                     last_error == s::provider_unknown
                 ? trust_verdict::unsigned_file
                 : trust_verdict::unchecked;
    // No SIP knows the file's kind: it cannot carry a signature that
    // Windows checks (batch files, text).
    case s::subject_form_unknown: return trust_verdict::unsigned_file;
    case s::bad_digest:
    case s::certificate_signature:
    case s::no_signer_certificate:
    case s::counter_signer:
    case s::time_stamp:
    case s::malformed: return trust_verdict::tampered;
    case s::explicit_distrust: return trust_verdict::distrusted;
    case s::expired:
    case s::validity_period_nesting: return trust_verdict::expired;
    case s::revoked: return trust_verdict::revoked;
    case s::untrusted_root:
    case s::untrusted_test_root:
    case s::untrusted_ca:
    case s::chaining:
    case s::issuer_chaining:
    case s::wrong_usage:
    case s::purpose:
    case s::role:
    case s::path_length:
    case s::critical:
    case s::basic_constraints:
    case s::financial_criteria:
    case s::trust_failure:
    // Not trusted by the administrator's policy: the publisher is not in
    // the trusted publishers and users may not trust one themselves.
    case s::subject_not_trusted:
    case s::security_settings: return trust_verdict::untrusted;
    // Whether a certificate was revoked stayed unknown (the policy asks for
    // an answer), and anything else: a file that cannot be opened, a trust
    // provider that is missing.
    default: return trust_verdict::unchecked;
  }
}

}  // namespace quillary
