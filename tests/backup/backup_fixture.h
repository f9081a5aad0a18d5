// The fixtures of the backup tests: a Windows folder with a driver store of
// the newer layout, its devices, and a backup folder with its catalogue.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "backup/backup.h"
#include "platform/files.h"
#include "test_support.h"

namespace quillary {

inline std::u16string in(const std::u16string& folder, const std::u16string& relative) {
  return platform::join_path(folder, platform::native_separators(relative));
}

inline void write(const std::u16string& path, const std::string& bytes) {
  platform::create_directories(path.substr(0, path.find_last_of(platform::path_separator)));
  std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

inline std::string read(const std::u16string& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

inline device_record driver(const std::u16string& id, const std::u16string& inf, const std::u16string& description) {
  device_record d;
  d.device_id = id;
  d.description = u"Device " + id;
  d.inf_path = inf;
  d.driver_description = description;
  d.driver_version = u"1.2.3.4";
  d.driver_date = u"2012-03-04";
  d.provider_name = u"Maker";
  d.has_driver = true;
  return d;
}

// A Windows folder with a driver store of the newer layout: two packages,
// and the copies of their INF files in the INF folder.
class store_test : public ::testing::Test {
 protected:
  void SetUp() override {
    root = folder.below("Windows");
    const auto layout = store_layout(root, 61);
    write(in(layout.store_root, u"net.inf_amd64_1a2b\\net.inf"), "[Version]\r\nnet\r\n");
    write(in(layout.store_root, u"net.inf_amd64_1a2b\\x64\\net.sys"), "binary");
    write(in(layout.store_root, u"net.inf_amd64_1a2b\\.hidden\\skip.txt"), "never");
    write(in(layout.store_root, u"disp.inf_amd64_9f\\disp.inf"), "[Version]\r\ndisplay\r\n");
    write(in(layout.inf_directory, u"oem3.inf"), "[Version]\r\nnet\r\n");
    write(in(layout.inf_directory, u"OEM7.INF"), "[Version]\r\ndisplay\r\n");
    write(in(layout.inf_directory, u"machine.inf"), "inbox");
    devices = {driver(u"PCI\\NET1", u"oem3.inf", u"  Net Adapter: Pro/1000 \"X\" "),
               driver(u"PCI\\DISP", u"OEM7.INF", u"Display"), driver(u"PCI\\NET2", u"oem3.inf", u"Net"),
               driver(u"ACPI\\SYS", u"machine.inf", u"System"), driver(u"PCI\\NODRIVER", u"", u"")};
    devices.back().has_driver = false;
  }
  driver_store_c store(int32_t os = 61, store_lookup lookup = {}) { return driver_store_c(store_layout(root, os), lookup); }

  testing::temp_folder_c folder;
  std::u16string root;
  std::vector<device_record> devices;
};

class backup_flow : public store_test {
 protected:
  void SetUp() override {
    store_test::SetUp();
    backups = folder.below("backups");
    platform::create_directories(backups);
    catalogue_file = folder.below("backup.xml");
  }
  // The display adapter's package, backed up as Display.zip.
  int back_up_display() {
    auto s = store();
    s.collect_driver_packages(devices);
    backup_catalogue_c catalogue(catalogue_file, backups);
    backup_context context{s, catalogue, backups, "2026-01-02"};
    return backup_worker(context, {&devices[1]});
  }
  std::u16string backups, catalogue_file;
};

}  // namespace quillary
