// The zip helpers on a whole folder, for bench/zip:
//   zip_bench zip ARCHIVE FOLDER    archives every file below FOLDER under
//                                   its relative path ('/' between parts)
//   zip_bench unzip ARCHIVE FOLDER  extracts the archive below FOLDER
// Prints the number of files and the result.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "download/zip_archive.h"

namespace fs = std::filesystem;

namespace {

int zip_folder(const fs::path& archive_path, const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    if (item.is_regular_file()) files.push_back(item.path());
  }
  // As zip -r lists them: folder by folder, in name order.
  std::sort(files.begin(), files.end());
  quillary::zip_archive_c archive;
  if (!archive.create(archive_path.u16string())) return 1;
  size_t failed = 0;
  for (const auto& file : files) {
    if (!archive.add_file(file.u16string(), file.lexically_relative(folder).generic_string())) ++failed;
  }
  const int closed = archive.close().code;
  std::printf("files=%zu failed=%zu close=%d\n", files.size(), failed, closed);
  return failed == 0 && closed == 0 ? 0 : 1;
}

int unzip_archive(const fs::path& archive_path, const fs::path& folder) {
  quillary::unzip_archive_c archive;
  if (!archive.open(archive_path.u16string())) return 1;
  const quillary::zip_extraction extraction = archive.extract_all(fs::absolute(folder).u16string());
  std::printf("files=%zu skipped=%zu result=%d\n", extraction.extracted, extraction.skipped_unsafe,
              static_cast<int>(extraction.result.code));
  return extraction.result ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 4 ? argv[1] : "";
  if (mode == "zip") return zip_folder(argv[2], argv[3]);
  if (mode == "unzip") return unzip_archive(argv[2], argv[3]);
  std::fprintf(stderr, "usage: zip_bench zip|unzip ARCHIVE FOLDER\n");
  return 2;
}
