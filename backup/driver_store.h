// The driver store: where the system keeps each installed driver's package
// (its INF with every file it brought), and the devices of the device list
// grouped by the store folder of their driver. Backups archive such folders.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "devices/device_record.h"

namespace quillary {

struct driver_package {
  bool inbox = false;          // came with Windows: its INF name does not begin with "oem"
  std::u16string folder;       // the package's folder directly below the store root
  std::vector<const device_record*> devices;  // in device-list order; never empty
};

// The system's own lookup of an installed INF in the store.
enum class lookup_result { found, not_found, unavailable };
using store_lookup = std::function<lookup_result(const std::u16string& inf_name, std::u16string& store_path)>;

class driver_store_c {
 public:
  struct layout {
    std::u16string inf_directory;  // %SYSTEMROOT%\inf
    std::u16string store_root;     // ...\DriverStore\FileRepository, or ...\DRVSTORE before Vista
    int32_t os_version_code = 0;
  };

  // `system_lookup` may be empty (the routine is missing). Before Vista the
  // store is searched by digest: the INF directory holds byte copies of the
  // INF files of DRVSTORE. The same search stands in on later systems when
  // the system's routine is missing or not implemented (as under Wine).
  driver_store_c(layout paths, store_lookup system_lookup);

  // The full path of an installed INF (such as oem3.inf) in the store.
  bool locate(const std::u16string& inf_name, std::u16string& store_path);

  // Rebuilds the package list from the device list.
  void collect_driver_packages(const std::vector<const device_record*>& devices);
  // The same over every record of a list.
  void collect_driver_packages(const std::vector<device_record>& devices);
  // The package holding the device; -1 if none (or for null).
  int package_index_of(const device_record* device) const;

  const std::vector<driver_package>& packages() const { return packages_; }
  const layout& paths() const { return paths_; }

 private:
  bool locate_by_digest(const std::u16string& inf_name, std::u16string& store_path);

  layout paths_;
  store_lookup system_lookup_;
  std::map<std::string, std::u16string> digests_;  // MD5 of an INF's bytes -> its path in the store
  bool digests_built_ = false;
  std::vector<driver_package> packages_;
};

// The folder component right below the store root of a store path; -1 when
// the path does not lie below the root.
int store_folder_name(const std::u16string& store_root, const std::u16string& store_path, std::u16string& out);

// MD5 of a file's bytes as 32 lower-case hexadecimal digits; -1 when the
// file cannot be opened.
int md5_file_hex(const std::u16string& path, std::string& out);

// Walks a folder tree depth-first, a folder before its contents, skipping
// every entry whose name begins with ".".
class dir_walker_c {
 public:
  enum mode { files = 0, directories = 1, both = 2 };
  void open(const std::u16string& root, mode what);
  // The next full path; false at the end.
  bool next(std::u16string& path);

 private:
  struct frame {
    std::u16string folder;
    std::vector<std::u16string> names;
    size_t at = 0;
  };
  std::vector<frame> stack_;
  mode mode_ = files;
};

// The store's paths below a Windows folder (%SYSTEMROOT%): the layout of
// Vista and later, or the older one.
driver_store_c::layout store_layout(const std::u16string& system_root, int32_t os_version_code);

// The system's own store for a system of `os_version_code`: its paths and
// lookup routine (without the routine the digest search stands in). The
// native build has no store of its own: null.
std::unique_ptr<driver_store_c> make_system_driver_store(int32_t os_version_code);

}  // namespace quillary
