// Cabinets: any bytes as a cabinet, through the service's listing and the
// client's extraction and reading, both over the system's cabinet reader
// (libmspack here), without crash, leak or out-of-bounds access. The
// service's listing must hold only names the client would extract, where it
// would put them, and INF files within their limits; the client's
// extraction must write nothing outside its folder (extraction_sandbox.h)
// and, when it says the package came out whole, have extracted every file
// the listing names.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "download/package_archive.h"
#include "extraction_sandbox.h"
#include "listing_check.h"
#include "server/cab_archive.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path root = extraction_sandbox::make_root("cab-fuzz");
  static const int cleanup = std::atexit([] {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  });
  (void)cleanup;
  const fs::path cabinet = root / "input.cab";
  const fs::path outer = root / "out";
  const fs::path folder = outer / "a" / "b" / "inside";
  {
    std::ofstream(cabinet, std::ios::binary).write(reinterpret_cast<const char*>(data), size);
  }
  fs::create_directories(folder.parent_path());

  quillary::server::archive_listing listing;
  std::string reason;
  const bool listed = quillary::server::read_cabinet_archive(cabinet.string(), listing, reason);
  if (listed) listing_check::check_listing(listing);

  quillary::package_archive_c archive;
  if (archive.open(cabinet.u16string())) {
    extraction_sandbox::folder = &folder;
    const quillary::zip_extraction extraction = archive.extract_all(folder.u16string());
    extraction_sandbox::folder = nullptr;
    if (extraction.complete() && listed) {
      for (const auto& path : listing.paths) {
        // Names beyond ASCII not marked UTF-8 are decoded by each side's
        // code page (the service's Windows-1252, the client's own).
        const bool ascii = std::all_of(path.begin(), path.end(), [](char c) { return (c & 0x80) == 0; });
        if (ascii && !fs::exists(folder / fs::u8path(path))) listing_check::broken("a whole extraction without a listed file", path);
      }
    }
    uint64_t bytes = 0;
    (void)archive.read_all([&](const std::u16string&) {
      return [&](const char*, size_t piece) {
        bytes += piece;
        return true;
      };
    });
    archive.close();
  }

  extraction_sandbox::check_nothing_beside(root, folder, {cabinet, outer, outer / "a", outer / "a" / "b"});
  std::error_code ignored;
  fs::remove_all(outer, ignored);
  return 0;
}
