#include "backup/install_backup.h"

#include "backup/backup.h"
#include "backup/backup_catalogue.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {

const char* install_backup_state_name(install_backup_state state) {
  switch (state) {
    case install_backup_state::made: return "made";
    case install_backup_state::not_needed: return "not_needed";
    case install_backup_state::failed: return "failed";
  }
  return "failed";
}

install_backup_outcome back_up_before_installing(driver_store_c& store, const install_backup_place& place,
                                                 const std::vector<device_record>& devices, const std::string& link) {
  install_backup_outcome outcome;
  const auto fail = [&](std::string problem) {
    outcome.state = install_backup_state::failed;
    outcome.problem = std::move(problem);
    return outcome;
  };
  std::vector<const device_record*> with_driver;
  for (const auto& device : devices) {
    if (device.has_driver) with_driver.push_back(&device);
  }
  if (with_driver.empty()) return outcome;
  store.collect_driver_packages(with_driver);
  for (const device_record* device : with_driver) {
    if (store.package_index_of(device) < 0) {
      return fail("the driver of " + utf16_to_utf8(device->device_id) + " (" + utf16_to_utf8(device->inf_path) +
                  ") is not in the driver store");
    }
  }
  if (place.backup_folder.empty() || !platform::create_directories(place.backup_folder) ||
      !platform::is_directory(place.backup_folder)) {
    return fail("the backup folder " + utf16_to_utf8(place.backup_folder) + " cannot be made");
  }
  backup_catalogue_c catalogue(place.catalogue_file, place.backup_folder);
  catalogue.load();
  backup_context context{store, catalogue, place.backup_folder, place.today};
  for (size_t i = 0; i < store.packages().size(); ++i) {
    const std::u16string archive = archive_path_for(context, store.packages()[i]);
    if (backup_package(context, i, link) != 0) {
      return fail("the driver package " + utf16_to_utf8(store.packages()[i].folder) +
                  " could not be archived, read back and listed as " + utf16_to_utf8(archive));
    }
    outcome.archives.push_back(platform::file_name_part(archive));
  }
  outcome.state = install_backup_state::made;
  return outcome;
}

}  // namespace quillary
