// Authenticode: whether Windows trusts the signature of a program before an
// elevated process starts it. A setup program from a downloaded package
// runs with administrator rights; it starts only when it is signed, the
// signature matches its bytes, and the certificate chain ends at a root
// Windows trusts (WinVerifyTrust on Windows). What WinVerifyTrust answers is
// turned into a verdict here, apart from the call, so that the mapping is
// tested natively. Tests give any verdict through their own implementation.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillary {

enum class trust_verdict {
  trusted,      // signed, unchanged since, by a publisher whose chain Windows trusts
  unsigned_file,  // no signature, or a kind of file that cannot carry one (a .bat, a .cmd)
  tampered,     // signed, but the file changed after signing, or the signature itself is damaged
  untrusted,    // the chain does not end at a root Windows trusts, or policy trusts no such publisher
  distrusted,   // a certificate of the chain is explicitly marked as not trusted
  expired,      // a certificate of the chain is outside its validity period
  revoked,      // a certificate of the chain was revoked by its issuer
  unchecked,    // the check itself failed: unreadable file, no trust provider, revocation unknown
};

// A verdict with the status it came from (WinVerifyTrust's return value;
// 0 where no call was made).
struct authenticode_answer {
  trust_verdict verdict = trust_verdict::unchecked;
  uint32_t status = 0;
  bool operator==(const authenticode_answer&) const = default;
};

// "trusted", "unsigned", "tampered", "untrusted", "distrusted", "expired",
// "revoked", "unchecked": stable, for the install JSON and the test seams.
const char* verdict_name(trust_verdict verdict);
bool verdict_from_name(std::string_view name, trust_verdict& verdict);
// What the verdict means, in English for the command line.
std::string describe(trust_verdict verdict);

// WinVerifyTrust's answer (its return value and the thread's last error
// right after it) as a verdict.
trust_verdict verdict_of_status(uint32_t status, uint32_t last_error);

// What WinVerifyTrust returns, by name (the values of winerror.h, which the
// native build does not have).
namespace trust_status {
constexpr uint32_t success = 0;
constexpr uint32_t provider_unknown = 0x800B0001;      // TRUST_E_PROVIDER_UNKNOWN
constexpr uint32_t action_unknown = 0x800B0002;        // TRUST_E_ACTION_UNKNOWN
constexpr uint32_t subject_form_unknown = 0x800B0003;  // TRUST_E_SUBJECT_FORM_UNKNOWN
constexpr uint32_t subject_not_trusted = 0x800B0004;   // TRUST_E_SUBJECT_NOT_TRUSTED
constexpr uint32_t no_signature = 0x800B0100;          // TRUST_E_NOSIGNATURE
constexpr uint32_t expired = 0x800B0101;               // CERT_E_EXPIRED
constexpr uint32_t validity_period_nesting = 0x800B0102;  // CERT_E_VALIDITYPERIODNESTING
constexpr uint32_t role = 0x800B0103;                  // CERT_E_ROLE
constexpr uint32_t path_length = 0x800B0104;           // CERT_E_PATHLENCONST
constexpr uint32_t critical = 0x800B0105;              // CERT_E_CRITICAL
constexpr uint32_t purpose = 0x800B0106;               // CERT_E_PURPOSE
constexpr uint32_t issuer_chaining = 0x800B0107;       // CERT_E_ISSUERCHAINING
constexpr uint32_t malformed = 0x800B0108;             // CERT_E_MALFORMED
constexpr uint32_t untrusted_root = 0x800B0109;        // CERT_E_UNTRUSTEDROOT
constexpr uint32_t chaining = 0x800B010A;              // CERT_E_CHAINING
constexpr uint32_t trust_failure = 0x800B010B;         // TRUST_E_FAIL
constexpr uint32_t revoked = 0x800B010C;               // CERT_E_REVOKED
constexpr uint32_t untrusted_test_root = 0x800B010D;   // CERT_E_UNTRUSTEDTESTROOT
constexpr uint32_t revocation_failure = 0x800B010E;    // CERT_E_REVOCATION_FAILURE
constexpr uint32_t wrong_usage = 0x800B0110;           // CERT_E_WRONG_USAGE
constexpr uint32_t explicit_distrust = 0x800B0111;     // TRUST_E_EXPLICIT_DISTRUST
constexpr uint32_t untrusted_ca = 0x800B0112;          // CERT_E_UNTRUSTEDCA
constexpr uint32_t system_error = 0x80096001;          // TRUST_E_SYSTEM_ERROR
constexpr uint32_t no_signer_certificate = 0x80096002;  // TRUST_E_NO_SIGNER_CERT
constexpr uint32_t counter_signer = 0x80096003;        // TRUST_E_COUNTER_SIGNER
constexpr uint32_t certificate_signature = 0x80096004;  // TRUST_E_CERT_SIGNATURE
constexpr uint32_t time_stamp = 0x80096005;            // TRUST_E_TIME_STAMP
constexpr uint32_t bad_digest = 0x80096010;            // TRUST_E_BAD_DIGEST
constexpr uint32_t basic_constraints = 0x80096019;     // TRUST_E_BASIC_CONSTRAINTS
constexpr uint32_t financial_criteria = 0x8009601E;    // TRUST_E_FINANCIAL_CRITERIA
constexpr uint32_t no_revocation_check = 0x80092012;   // CRYPT_E_NO_REVOCATION_CHECK
constexpr uint32_t revocation_offline = 0x80092013;    // CRYPT_E_REVOCATION_OFFLINE
constexpr uint32_t security_settings = 0x80092026;     // CRYPT_E_SECURITY_SETTINGS
}  // namespace trust_status

class authenticode_i {
 public:
  virtual ~authenticode_i() = default;
  // Whether Windows trusts the file's embedded signature, checked as it is
  // on disk now, with no window shown.
  virtual authenticode_answer check(const std::u16string& path) = 0;
};

namespace platform {
// WinVerifyTrust on Windows. The native build has no Authenticode and runs
// no programs (its shell refuses): every file is "unchecked", so nothing
// would start. Native tests give their verdicts through a fake.
authenticode_i& system_authenticode();
}  // namespace platform

// Gives every file the same answer and keeps the paths it was asked about,
// in order: for tests, and for the test builds' seam (where installations
// of several panels may ask at once).
class fixed_authenticode_c : public authenticode_i {
 public:
  explicit fixed_authenticode_c(trust_verdict verdict, uint32_t status = 0) : answer{verdict, status} {}
  authenticode_answer check(const std::u16string& path) override {
    const std::lock_guard<std::mutex> hold(mutex_);
    checked.push_back(path);
    return answer;
  }
  authenticode_answer answer;
  std::vector<std::u16string> checked;  // read once the installations ended

 private:
  std::mutex mutex_;
};

}  // namespace quillary
