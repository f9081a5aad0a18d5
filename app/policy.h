// The machine's policy: what an administrator decides for every user of a
// PC, without rebuilding the program and without touching anyone's
// settings. Group Policy (with the templates in resources/policy/) writes it
// under HKEY_LOCAL_MACHINE; the program only reads it, once at start-up.
//
// Whoever can write there is trusted, but what is written may be a typo or
// a value of the wrong type: each value that cannot be used is ignored and
// told about in one line, and the program goes on with what it would do
// without it. A policy never stops the program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <optional>

#include "app/package_block.h"
#include "base/minisign.h"
#include "platform/registry.h"

namespace quillary {

inline constexpr char16_t machine_policy_key_path[] = u"SOFTWARE\\Policies\\Korvane\\Quillary";

// The update servers' base addresses, asked in this order.
inline constexpr const char16_t* policy_update_server_values[] = {u"UpdateServer1", u"UpdateServer2",
                                                                  u"UpdateServer3"};
// Whether unsigned packages may be installed (REG_DWORD 0 or 1). Without
// it they may not as soon as a publisher's key is trusted.
inline constexpr char16_t policy_require_signed_value[] = u"RequireSignedPackages";
// 1: update servers and package links must be https:// addresses.
inline constexpr char16_t policy_require_https_value[] = u"RequireHttps";
// Sub-keys whose values (any names, as a Group Policy list writes them)
// are publishers' public keys to trust (minisign's base64 key line), and
// keys no longer to trust (a key ID as minisign prints it, or the key).
inline constexpr char16_t policy_trusted_keys_key[] = u"TrustedKeys";
inline constexpr char16_t policy_revoked_keys_key[] = u"RevokedKeys";
// A sub-key whose values (any names) are packages never to offer, download
// or install: a package link, a hardware ID, or a hardware ID with a
// version range (see app/package_block.h).
inline constexpr char16_t policy_blocked_packages_key[] = u"BlockedPackages";

// Every value the program reads from the policy key; any other is reported.
std::vector<std::u16string> machine_policy_value_names();

// Longest server address taken, in characters.
constexpr size_t max_server_address_length = 2048;

struct machine_policy {
  // The servers the policy names that can be used, in order; empty when it
  // names none.
  std::vector<std::string> update_servers;
  // Publishers' keys the administrator trusts, and key IDs revoked.
  std::vector<minisign_public_key> trusted_keys;
  std::vector<minisign_key_id> revoked_keys;
  // Unset unless the policy says; see policy_require_signed_value.
  std::optional<bool> require_signed_packages;
  bool require_https = false;
  // The administrator's blocks, in the order the list gives them.
  std::vector<package_block> blocked_packages;
  // One line per value ignored: its name and why, such as
  //   policy value UpdateServer2 ignored: "ftp://x" is not an http:// or https:// address
  std::vector<std::string> problems;
};

// The policy in `hive` (HKEY_LOCAL_MACHINE, or an in-memory one in tests).
// A missing key is an empty policy; an empty text counts as not set: it is
// what an optional box of the template left blank stands for.
machine_policy read_machine_policy(registry_hive_i& hive);

// Empty when `address` can be an update server's base address: "http://" or
// "https://" (in any letter case), a host name or address (an IPv6 one in
// brackets), an optional port from 1 to 65535, then any path; printable
// ASCII only (no blanks, no control characters; a "%" starts two hex
// digits), at most max_server_address_length characters. Otherwise why not,
// as the end of a sentence about the address ("is not an http:// ...").
std::string server_address_problem(std::u16string_view address);

// The servers the update query asks: the policy's when it names any, else
// the ones the program was built with.
// With `require_https`, servers that are not https:// are left out (and
// listed in `refused`).
struct update_servers_choice {
  std::vector<std::string> servers;
  std::vector<std::string> refused;
  bool from_policy = false;
  const char* source() const { return from_policy ? "policy" : "built-in"; }
};
update_servers_choice choose_update_servers(const machine_policy& policy, std::vector<std::string> built_in);

// Whether a link or address starts with "https://" (in any letter case).
bool is_https_address(std::string_view address);

}  // namespace quillary
