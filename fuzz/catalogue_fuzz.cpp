// backup.xml: any bytes are loaded against a small device list and a backup
// folder with one archive; a load that succeeds must save and load again to
// the same catalogue.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "backup/backup_catalogue.h"

namespace {

struct fixture {
  fixture() {
    folder = std::filesystem::temp_directory_path() / ("quillary-fuzz-catalogue-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Net.zip") << "archive";
    devices.resize(2);
    devices[0].device_id = u"PCI\\A";
    devices[1].device_id = u"PCI\\B";
  }
  ~fixture() { std::filesystem::remove_all(folder); }
  std::filesystem::path folder;
  std::vector<quillary::device_record> devices;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fixture f;
  const auto file = (f.folder / "backup.xml").u16string();
  std::ofstream(std::filesystem::path(file), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  quillary::backup_catalogue_c catalogue(file, f.folder.u16string(), f.devices);
  if (catalogue.load() != 0) return 0;
  const auto first = catalogue.entries();
  if (catalogue.save() != 0) __builtin_trap();
  quillary::backup_catalogue_c again(file, f.folder.u16string(), f.devices);
  if (again.load() != 0 && !first.empty()) __builtin_trap();
  const auto second = again.entries();
  if (first.size() != second.size()) __builtin_trap();
  for (size_t i = 0; i < first.size(); ++i) {
    if (first[i].file != second[i].file || first[i].date != second[i].date ||
        first[i].devices.size() != second[i].devices.size()) {
      __builtin_trap();
    }
  }
  return 0;
}
