#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/outcome.h"
#include "base/json_writer.h"
#include "cli/cli.h"
#include "devices/device_inventory.h"
#include "devices/raw_scan.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary::cli {
namespace {

struct scan_options {
  bool all = false;
  bool raw = false;
  std::string devices_file;
};

void write_device(json_writer_c& json, const device_record& d) {
  auto list = [&](const char* name, const std::vector<std::u16string>& items) {
    json.key(name).begin_array();
    for (const auto& item : items) json.value(item);
    json.end_array();
  };
  json.begin_object();
  json.key("device_id").value(d.device_id);
  json.key("class_name").value(d.class_name);
  json.key("class_guid").value(d.class_guid);
  json.key("description").value(d.description);
  json.key("enumerator").value(d.enumerator);
  list("hardware_ids", d.hardware_ids);
  list("compatible_ids", d.compatible_ids);
  json.key("instance_count").value(d.instance_count);
  json.key("inf_path").value(d.inf_path);
  json.key("driver_date").value(d.driver_date);
  json.key("driver_description").value(d.driver_description);
  json.key("driver_version").value(d.driver_version);
  json.key("provider_name").value(d.provider_name);
  json.key("matching_device_id").value(d.matching_device_id);
  json.key("driver_rank").value(static_cast<int64_t>(d.driver_rank));
  json.key("has_driver").value(d.has_driver);
  json.key("status_ok").value(d.status_ok);
  json.key("class").begin_object();
  json.key("name").value(d.class_entry->name);
  json.key("description").value(d.class_entry->description);
  json.key("guid").value(d.class_entry->guid_text);
  json.end_object();
  json.end_object();
}

std::string scan_json(const device_list& list, const scan_progress& progress) {
  json_writer_c json;
  json.begin_object();
  json.key("total").value(progress.total.load());
  json.key("current").value(progress.current.load());
  json.key("classes").begin_array();
  for (const auto& c : list.classes) {
    json.begin_object();
    json.key("name").value(c.name);
    json.key("description").value(c.description);
    json.key("guid").value(c.guid_text);
    json.key("image_index").value(c.image_index);
    json.end_object();
  }
  json.end_array();
  json.key("devices").begin_array();
  for (const auto& d : list.devices) write_device(json, d);
  json.end_array();
  json.end_object();
  return json.text();
}

// Runs the scan, showing its progress on a terminal as the scan page would.
outcome run_scan(device_inventory_c& inventory, scan_progress& progress, device_list& list) {
  if (!platform::stderr_is_terminal()) return inventory.scan_devices(progress, list);
  outcome result;
  std::atomic<bool> done{false};
  std::thread scan([&] {
    result = inventory.scan_devices(progress, list);
    done = true;
  });
  while (!done) {
    const char16_t* name = progress.current_name.load();
    std::fprintf(stderr, "\rscanning %d/%d %-60.60s", progress.current.load(), progress.total.load(),
                 name ? utf16_to_utf8(name).c_str() : "");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  scan.join();
  std::fprintf(stderr, "\r%-80s\r", "");
  return result;
}

}  // namespace

int run_scan(const arguments& args, context& shared) {
  scan_options options;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--all") {
      options.all = true;
    } else if (args[i] == "--raw") {
      options.raw = true;
    } else if (args[i] == "--devices" && i + 1 < args.size()) {
      options.devices_file = args[++i];
    } else {
      return usage_error("scan: unexpected argument \"" + args[i] + "\"");
    }
  }

  int exit = 0;
  auto source = open_device_source("scan", options.devices_file, exit);
  if (!source) return exit;

  if (options.raw) {
    raw_scan raw;
    capture_raw_scan(*source, options.all, raw);
    print(raw_scan_to_json(raw));
    return exit_code::success;
  }
  device_inventory_c inventory(std::move(source));
  scan_progress progress;
  progress.all_devices = options.all ? 1 : 0;
  device_list list;
  const outcome scanned = run_scan(inventory, progress, list);
  if (!scanned) return fail("the device scan failed (last error " + std::to_string(scanned.code) + ")");
  print(scan_json(list, progress));
  return exit_code::success;
}

}  // namespace quillary::cli
