// The publisher's minisign signature of a package: the file NAME.minisig
// beside the package NAME in the catalogue folder (scripts/sign-packages
// writes them). The service does not verify signatures, the client does; the
// service only carries the file's bytes, in the reply (as `minisig`) and on
// its download route. It takes only what looks like a signature file, so
// that a stray or truncated file is reported once here instead of being
// handed to every client.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "server/package_index.h"

namespace quillary::server {

// A signature file is a few hundred bytes; anything larger is not one.
constexpr size_t max_signature_bytes = 4096;
constexpr std::string_view signature_suffix = ".minisig";

// Whether the text has the shape of a minisign signature file: four lines,
//   untrusted comment: ...
//   <base64 of the algorithm, the key number and the signature: 74 bytes>
//   trusted comment: ...
//   <base64 of the signature of the trusted comment: 64 bytes>
// each ended by a line feed (or CR LF; the last one may be missing). The
// cryptography is not checked.
bool is_plausible_signature(std::string_view text);

// Reads NAME.minisig beside the package NAME of `folder` into `signature`.
// No such file: empty, silently (the package is unsigned). A file that is
// too large, unreadable or not plausible is reported to `warn` and taken as
// none.
void read_package_signature(const std::string& folder, const std::string& package_name, std::string& signature,
                            const warning_sink& warn);

// The same for every listed package. Always read from the folder, never
// carried over from an older record: a signature can change while its
// package stays the same.
void read_package_signatures(const std::string& folder, std::vector<package_file>& files, const warning_sink& warn);

}  // namespace quillary::server
