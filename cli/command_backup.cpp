// catalogue, backup and restore: the backup catalogue, driver-store
// packages into archives, and an archive back through the installer.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/settings.h"
#include "app/system_info.h"
#include "backup/backup.h"
#include "backup/installation_batch.h"
#include "backup/restore.h"
#include "base/json_writer.h"
#include "cli/cli.h"
#include "cli/install_output.h"
#include "devices/device_inventory.h"
#include "platform/files.h"
#include "platform/restore_point.h"
#include "platform/text.h"

namespace quillary::cli {
namespace {

struct backup_options {
  std::string devices_file;
  std::string system_root;
  std::vector<std::string> device_ids;
  bool all = false;
  std::string archive;
};

// What every one of the three commands needs: the settings (backup folder),
// the device list of a scan, and the catalogue over it.
struct backup_setup {
  device_list devices;
  std::unique_ptr<backup_catalogue_c> catalogue;
  std::u16string backup_folder;
};

int prepare(const char* command, const backup_options& options, context& shared, backup_setup& setup) {
  if (!take_system_snapshot(shared)) return exit_code::failed;
  const settings_values* settings = load_user_settings(shared);
  if (!settings) return exit_code::failed;
  setup.backup_folder = settings->backup_path;
  int exit = 0;
  auto source = open_device_source(command, options.devices_file, exit);
  if (!source) return exit;
  device_inventory_c inventory(std::move(source));
  scan_progress progress;
  if (!inventory.scan_devices(progress, setup.devices)) return fail("the device scan failed");
  setup.catalogue = std::make_unique<backup_catalogue_c>(u"backup.xml", setup.backup_folder);
  setup.catalogue->load();
  return exit_code::success;
}

// An unreadable backup.xml is moved aside rather than lost: the user has to
// know where it went.
void report_set_aside(const backup_catalogue_c& catalogue) {
  for (const auto& file : catalogue.set_aside_files()) {
    const std::string name = utf16_to_utf8(file);
    std::fprintf(stderr, "quillary-cli: backup.xml could not be read; it was moved aside as %s\n", name.c_str());
  }
}

void write_catalogue(json_writer_c& json, const backup_catalogue_c& catalogue,
                     const std::vector<device_record>& devices) {
  json.begin_array();
  for (const auto& entry : catalogue.entries()) {
    json.begin_object();
    json.key("file").value(from_ansi(entry.file));
    json.key("date").value(entry.date);
    json.key("made_way_for").begin_array();
    for (const auto& link : entry.made_way_for) json.value(link);
    json.end_array();
    json.key("devices").begin_array();
    for (const auto& d : entry.devices) {
      json.begin_object();
      json.key("id").value(d.id);
      json.key("desc").value(d.desc);
      json.key("manu").value(d.manu);
      json.key("name").value(d.name);
      json.key("version").value(d.version);
      json.key("date").value(d.date);
      json.key("present").value(is_present(d, devices));
      json.end_object();
    }
    json.end_array();
    json.end_object();
  }
  json.end_array();
}

bool parse(const char* command, const arguments& args, backup_options& options, int& exit) {
  for (size_t i = 0; i < args.size(); ++i) {
    const bool has_value = i + 1 < args.size();
    if (args[i] == "--devices" && has_value) {
      options.devices_file = args[++i];
    } else if (args[i] == "--system-root" && has_value && std::string(command) == "backup") {
      options.system_root = args[++i];
    } else if (args[i] == "--device" && has_value && std::string(command) == "backup") {
      options.device_ids.push_back(args[++i]);
    } else if (args[i] == "--all" && std::string(command) == "backup") {
      options.all = true;
    } else if (std::string(command) == "restore" && options.archive.empty() && args[i].rfind("--", 0) != 0) {
      options.archive = args[i];
    } else {
      exit = usage_error(std::string(command) + ": unexpected argument \"" + args[i] + "\"");
      return false;
    }
  }
  return true;
}

}  // namespace

int run_catalogue(const arguments& args, context& shared) {
  backup_options options;
  int exit = 0;
  if (!parse("catalogue", args, options, exit)) return exit;
  backup_setup setup;
  if (const int result = prepare("catalogue", options, shared, setup)) return result;
  json_writer_c json;
  write_catalogue(json, *setup.catalogue, setup.devices.devices);
  print(json.text());
  report_set_aside(*setup.catalogue);
  return exit_code::success;
}

int run_backup(const arguments& args, context& shared) {
  backup_options options;
  int exit = 0;
  if (!parse("backup", args, options, exit)) return exit;
  if (options.all == !options.device_ids.empty()) return usage_error("backup: give --all or --device ID");
  backup_setup setup;
  if (const int result = prepare("backup", options, shared, setup)) return result;

  const std::unique_ptr<driver_store_c> own_store = open_driver_store(options.system_root, shared);
  driver_store_c* store = own_store.get();
  if (!store) return usage_error("backup: this build has no driver store; give --system-root DIR");
  store->collect_driver_packages(setup.devices.devices);

  // The ticked devices: the named ones, or one device of every package.
  std::vector<const device_record*> request;
  if (options.all) {
    for (const auto& package : store->packages()) request.push_back(package.devices.front());
  }
  for (const auto& id : options.device_ids) {
    device_record* device = find_device(setup.devices.devices, utf8_to_utf16(id));
    if (!device) return fail("no device " + id + " in the device list");
    request.push_back(device);
  }
  backup_context context{*store, *setup.catalogue, setup.backup_folder, local_date_text()};
  const int result = backup_worker(context, request);

  json_writer_c json;
  json.begin_object();
  json.key("result").value(result);
  json.key("packages").begin_array();
  for (const auto& package : store->packages()) {
    json.begin_object();
    json.key("folder").value(package.folder);
    json.key("inbox").value(package.inbox);
    json.key("archive").value(archive_path_for(context, package));
    json.key("devices").begin_array();
    for (const auto* d : package.devices) json.value(d->device_id);
    json.end_array();
    json.end_object();
  }
  json.end_array();
  json.key("catalogue");
  write_catalogue(json, *setup.catalogue, setup.devices.devices);
  json.key("set_aside").begin_array();
  for (const auto& file : setup.catalogue->set_aside_files()) json.value(file);
  json.end_array();
  json.end_object();
  print(json.text());
  report_set_aside(*setup.catalogue);
  return result == 0 ? exit_code::success : exit_code::failed;
}

int run_restore(const arguments& args, context& shared) {
  backup_options options;
  int exit = 0;
  if (!parse("restore", args, options, exit)) return exit;
  if (options.archive.empty()) return usage_error("restore: give the ARCHIVE's file name");
  if (!take_system_snapshot(shared)) return exit_code::failed;
  const settings_values* settings = load_user_settings(shared);
  if (!settings) return exit_code::failed;
  batch_entry entry;
  entry.what = batch_entry::kind::backup_archive;
  entry.path = platform::join_path(settings->backup_path, utf8_to_utf16(options.archive));
  return run_system_change(entry, shared);
}

}  // namespace quillary::cli
