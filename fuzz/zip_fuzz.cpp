// Zip extraction: any bytes are opened as an archive and extracted into a
// folder of their own, without crash, leak or out-of-bounds access, and
// without writing anything outside that folder (extraction_sandbox.h checks
// every call that writes as it happens, and the folder's surroundings
// afterwards). The service lists the same bytes: its listing must hold what
// any listing holds (listing_check.h), and each INF file it reads must be
// byte for byte the file the client extracts, as the service reads INF
// files in its own way, not through the client's library.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "download/zip_archive.h"
#include "extraction_sandbox.h"
#include "listing_check.h"
#include "server/zip_archive.h"

namespace fs = std::filesystem;

namespace {

// Each INF file the service read against the file the client extracted.
// Only names that stand for one file either way are compared: of two
// entries of one name (or of names alike but for case) the client keeps
// the first, and the service reads both.
void compare_infs(const quillary::server::archive_listing& listing, const fs::path& folder) {
  std::map<std::string, int> uses;
  for (const auto& path : listing.paths) {
    std::string folded = path;
    std::transform(folded.begin(), folded.end(), folded.begin(), [](char c) { return c | 0x20; });
    ++uses[folded];
  }
  for (const auto& inf : listing.infs) {
    std::string folded = inf.path;
    std::transform(folded.begin(), folded.end(), folded.begin(), [](char c) { return c | 0x20; });
    const bool ascii = std::all_of(inf.path.begin(), inf.path.end(), [](char c) { return (c & 0x80) == 0; });
    if (!ascii || uses[folded] != 1) continue;
    std::ifstream file(folder / inf.path, std::ios::binary);
    if (!file) listing_check::broken("an INF file read but not extracted", inf.path);
    const std::string extracted((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (extracted != inf.data) listing_check::broken("an INF file read otherwise than extracted", inf.path);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path root = extraction_sandbox::make_root("zip-fuzz");
  static const int cleanup = std::atexit([] {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  });
  (void)cleanup;
  const fs::path archive_path = root / "input.zip";
  // Deep enough that climbing out by a few levels still lands in `root`.
  const fs::path outer = root / "out";
  const fs::path folder = outer / "a" / "b" / "inside";
  {
    std::ofstream(archive_path, std::ios::binary).write(reinterpret_cast<const char*>(data), size);
  }
  // The extraction makes the folder itself, but nothing above it.
  fs::create_directories(folder.parent_path());

  quillary::server::archive_listing listing;
  std::string reason;
  const bool listed = quillary::server::read_archive(archive_path.string(), listing, reason);
  if (listed) listing_check::check_listing(listing);

  quillary::unzip_archive_c archive;
  if (archive.open(archive_path.u16string())) {
    extraction_sandbox::folder = &folder;
    const quillary::zip_extraction extraction = archive.extract_all(folder.u16string());
    extraction_sandbox::folder = nullptr;
    archive.close();
    if (listed && extraction.complete()) compare_infs(listing, folder);
  }

  extraction_sandbox::check_nothing_beside(root, folder, {archive_path, outer, outer / "a", outer / "a" / "b"});
  std::error_code ignored;
  fs::remove_all(outer, ignored);
  return 0;
}
