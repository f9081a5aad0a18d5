// What the program's windows are handed by the program's start: the
// long-lived objects, each built once above the windows. A window takes
// what it needs from here and reaches nothing process-wide.
#pragma once

#include <memory>

namespace quillary {

class authenticode_i;
class background_work_c;
class device_inventory_c;
class download_registry_c;
class driver_store_c;
class elevator_i;
class shell_i;
class system_info_c;
class update_client_c;
class user_hidden_updates_c;
class user_settings_c;

struct ui_context {
  user_settings_c& settings;
  // The snapshot taken at start and the summary read in the background.
  system_info_c& system;
  device_inventory_c& inventory;
  update_client_c& updates;
  // Every download of the run; it checks packages against the keys the
  // program trusts.
  download_registry_c& downloads;
  // The system's driver store; null where the build has none.
  driver_store_c* driver_store;
  // Opens folders, Explorer, links and installers.
  shell_i& shell;
  // Tells the process's rights and starts the elevated companion.
  elevator_i& elevator;
  // Checks a setup program before this process starts it.
  authenticode_i& authenticode;
  // Counts the background jobs still running (see ui/window/background_job.h).
  background_work_c& work;
  // The updates the user chose not to be offered again, and where they are
  // kept. A page that changes them tells the main window (UM_HIDDEN_CHANGED).
  user_hidden_updates_c& hidden;
};

}  // namespace quillary
