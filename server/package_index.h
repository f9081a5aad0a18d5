// The package files of a catalogue folder as the service knows them before
// it opens the archives: name, size, modification time, SHA-256 and the
// publisher's signature file beside it (see package_signature.h).
//
// `--write-index FILE` keeps these records in the catalogue image it writes
// (catalogue_image.h), so that writing it again hashes only the packages
// that changed. The text index of earlier services (read_package_index)
// listed only these records; it is still read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillary::server {

using warning_sink = std::function<void(const std::string&)>;

struct package_file {
  std::string name;  // the file name in the folder (bytes as on disk)
  uint64_t size = 0;
  int64_t modified = 0;  // the file's modification time, in nanoseconds of the file clock
  std::string sha256;    // 64 lower-case hexadecimal digits
  std::string minisig;   // the bytes of NAME.minisig; empty when the package has none
};

// The package files (*.zip and *.cab) directly in `folder` (not its
// sub-folders), in name order, without digests. Files of 4 GiB or more are
// reported to `warn` and left out (the client reads `size` into 32 bits).
// False when the folder cannot be listed.
bool list_package_files(const std::string& folder, const warning_sink& warn, std::vector<package_file>& out,
                        std::string& reason);

// Fills in every file's digest: from `known` where a record has the same
// name, size and time, else by reading the file. Files that cannot be read
// are reported to `warn` and dropped.
void hash_package_files(const std::string& folder, std::vector<package_file>& files,
                        const std::vector<package_file>& known, const warning_sink& warn);

// The index file: a first line naming the format ("quillary-package-index
// 2"), then one line per package, "SHA256 SIZE TIME SIGNATURE NAME", where
// SIGNATURE is the base64 of the package's signature file or "-" for none.
// False with a reason when the file cannot be read or is not such an index;
// an index of the first format, which had no signatures, is refused too, so
// that a service never offers signed packages without their signatures.
bool read_package_index(const std::string& path, std::vector<package_file>& out, std::string& reason);
// Written beside its place and then renamed over it, so that a service
// loading it meanwhile reads the old index or the new one, never half.
bool write_package_index(const std::string& path, const std::vector<package_file>& files, std::string& reason);

// Whether the file in `folder` still has the size and time the record says.
bool package_file_unchanged(const std::string& folder, const package_file& file);

}  // namespace quillary::server
