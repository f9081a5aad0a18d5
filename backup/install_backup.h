// The backup made before an installation: the drivers the package's
// devices have now are archived, read back whole and listed in the
// catalogue with the package they make way for, so that the installation
// can be undone. The installation waits for it.
#pragma once

#include <string>
#include <vector>

#include "backup/driver_store.h"
#include "devices/device_record.h"

namespace quillary {

// Where the backups go.
struct install_backup_place {
  std::u16string catalogue_file;  // backup.xml
  std::u16string backup_folder;
  std::string today;  // YYYY-MM-DD
};

enum class install_backup_state {
  made,        // every driver of the devices is in a verified archive
  not_needed,  // none of the devices has a driver
  failed,      // a driver could not be backed up or its archive did not read back
};
const char* install_backup_state_name(install_backup_state state);  // "made", "not_needed", "failed"

struct install_backup_outcome {
  install_backup_state state = install_backup_state::not_needed;
  // The archives made (file names in the backup folder), each listed with
  // the package's link; those made before a failure stay, as backups do.
  std::vector<std::u16string> archives;
  std::string problem;  // why it failed, in English, for the command line
};

// Backs up the store packages of the devices that have a driver. A device
// whose driver is not found in the store fails it, as nothing could bring
// that driver back.
install_backup_outcome back_up_before_installing(driver_store_c& store, const install_backup_place& place,
                                                 const std::vector<device_record>& devices, const std::string& link);

}  // namespace quillary
