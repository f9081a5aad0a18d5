// Zip extraction: any bytes are opened as an archive and extracted into a
// folder of their own, without crash, leak or out-of-bounds access, and
// without writing anything outside that folder (extraction_sandbox.h checks
// every call that writes as it happens, and the folder's surroundings
// afterwards).
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "download/zip_archive.h"
#include "extraction_sandbox.h"

namespace fs = std::filesystem;

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

  quillary::unzip_archive_c archive;
  if (archive.open(archive_path.u16string())) {
    extraction_sandbox::folder = &folder;
    (void)archive.extract_all(folder.u16string());
    extraction_sandbox::folder = nullptr;
    archive.close();
  }

  extraction_sandbox::check_nothing_beside(root, folder, {archive_path, outer, outer / "a", outer / "a" / "b"});
  std::error_code ignored;
  fs::remove_all(outer, ignored);
  return 0;
}
