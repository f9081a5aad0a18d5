#include "platform/authenticode.h"

#include "platform/win32.h"

#include <softpub.h>
#include <wintrust.h>

namespace quillary::platform {
namespace {

// The names the portable mapping uses are Windows' own values.
static_assert(trust_status::no_signature == static_cast<uint32_t>(TRUST_E_NOSIGNATURE));
static_assert(trust_status::subject_form_unknown == static_cast<uint32_t>(TRUST_E_SUBJECT_FORM_UNKNOWN));
static_assert(trust_status::provider_unknown == static_cast<uint32_t>(TRUST_E_PROVIDER_UNKNOWN));
static_assert(trust_status::explicit_distrust == static_cast<uint32_t>(TRUST_E_EXPLICIT_DISTRUST));
static_assert(trust_status::subject_not_trusted == static_cast<uint32_t>(TRUST_E_SUBJECT_NOT_TRUSTED));
static_assert(trust_status::security_settings == static_cast<uint32_t>(CRYPT_E_SECURITY_SETTINGS));
static_assert(trust_status::bad_digest == static_cast<uint32_t>(TRUST_E_BAD_DIGEST));
static_assert(trust_status::untrusted_root == static_cast<uint32_t>(CERT_E_UNTRUSTEDROOT));
static_assert(trust_status::chaining == static_cast<uint32_t>(CERT_E_CHAINING));
static_assert(trust_status::expired == static_cast<uint32_t>(CERT_E_EXPIRED));
static_assert(trust_status::revoked == static_cast<uint32_t>(CERT_E_REVOKED));
static_assert(trust_status::revocation_failure == static_cast<uint32_t>(CERT_E_REVOCATION_FAILURE));
static_assert(trust_status::certificate_signature == static_cast<uint32_t>(TRUST_E_CERT_SIGNATURE));

// The file's embedded signature only: a program signed through a catalog
// (as Windows' own programs are) counts as unsigned. Vendors sign their
// setup programs themselves.
class win_verify_trust_c : public authenticode_i {
 public:
  authenticode_answer check(const std::u16string& path) override {
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = wide(path);
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    // Revocation of every certificate but the root (whose trust is the
    // root store's, and which names no one to revoke it). A publisher whose
    // signing key was stolen is revoked: its programs must not start with
    // administrator rights. Windows' Authenticode policy keeps its own
    // tolerance of revocation servers that cannot be reached (by default a
    // PC offline is not refused for that); where an administrator's policy
    // demands an answer and none comes, the verdict is "unchecked", and
    // the program does not start.
    data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    data.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    // No interactive user to ask: the companion runs hidden, and the
    // program's answer is its own message.
    const HWND no_user = static_cast<HWND>(INVALID_HANDLE_VALUE);
    SetLastError(ERROR_SUCCESS);
    const LONG status = WinVerifyTrust(no_user, &action, &data);
    const DWORD last_error = GetLastError();
    // The state the check kept is released whatever it answered.
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(no_user, &action, &data);
    const uint32_t code = static_cast<uint32_t>(status);
    return {verdict_of_status(code, last_error), code};
  }
};

}  // namespace

authenticode_i& system_authenticode() {
  static win_verify_trust_c authenticode;
  return authenticode;
}

}  // namespace quillary::platform
