// backup.xml: any bytes are loaded with a backup folder holding one archive.
// A load that succeeds must save and load again to the same catalogue, every
// device text included; a file that cannot be read must be set aside whole.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "backup/backup_catalogue.h"

namespace {

struct fixture {
  fixture() {
    folder = std::filesystem::temp_directory_path() / ("quillary-fuzz-catalogue-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Net.zip") << "archive";
  }
  ~fixture() { std::filesystem::remove_all(folder); }
  std::filesystem::path folder;
};

std::string read(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

bool same_device(const quillary::catalogue_device& a, const quillary::catalogue_device& b) {
  return a.id == b.id && a.desc == b.desc && a.manu == b.manu && a.name == b.name && a.version == b.version &&
         a.date == b.date && a.backup_date == b.backup_date && a.archive == b.archive;
}

bool same_entry(const quillary::catalogue_entry& a, const quillary::catalogue_entry& b) {
  if (a.file != b.file || a.date != b.date || a.devices.size() != b.devices.size()) return false;
  for (size_t i = 0; i < a.devices.size(); ++i) {
    if (!same_device(a.devices[i], b.devices[i])) return false;
  }
  return true;
}

// A catalogue that did not load is either where it was or set aside, with
// the bytes it had.
void check_kept(const quillary::backup_catalogue_c& catalogue, const std::filesystem::path& file,
                const std::string& input) {
  const auto aside = catalogue.set_aside_files();
  if (aside.size() > 1) __builtin_trap();
  const std::filesystem::path kept = aside.empty() ? file : std::filesystem::path(aside[0]);
  if (read(kept) != input) __builtin_trap();
  if (!aside.empty()) std::filesystem::remove(kept);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fixture f;
  const std::filesystem::path file = f.folder / "backup.xml";
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << input;
  quillary::backup_catalogue_c catalogue(file.u16string(), f.folder.u16string());
  if (catalogue.load() != 0) {
    check_kept(catalogue, file, input);
    return 0;
  }
  const auto first = catalogue.entries();
  if (catalogue.save() != 0) __builtin_trap();
  quillary::backup_catalogue_c again(file.u16string(), f.folder.u16string());
  if (again.load() != 0 && !first.empty()) __builtin_trap();
  const auto second = again.entries();
  if (first.size() != second.size()) __builtin_trap();
  for (size_t i = 0; i < first.size(); ++i) {
    if (!same_entry(first[i], second[i])) __builtin_trap();
  }
  return 0;
}
