#include <cstdlib>

#include "app/language.h"
#include "app/hidden_updates.h"
#include "app/outcome.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "base/ascii_text.h"
#include "base/json_writer.h"
#include "cli/cli.h"
#include "devices/device_inventory.h"
#include "service/update_package_list.h"
#include "platform/text.h"
#include "service/http_transfer.h"
#include "service/scan_job.h"
#include "service/update_client.h"

namespace quillary::cli {
namespace {

struct query_options {
  std::string devices_file;
  std::vector<std::string> servers;
  bool latest = false;
  std::string installed_file;
  update_request_info info;
};

void write_item(json_writer_c& json, const update_item& item) {
  static constexpr std::pair<const char*, update_item::text_field> texts[] = {
      {"hardid", update_item::hardid}, {"title", update_item::title}, {"ver", update_item::ver},
      {"guid", update_item::guid},     {"inf_name", update_item::inf_name}, {"manu", update_item::manu},
      {"date", update_item::date},     {"desc", update_item::desc}};
  json.begin_object();
  for (const auto& [name, field] : texts) json.key(name).value(item.text(field));
  json.key("link").value(item.link_text(update_item::link));
  json.key("official_link").value(item.link_text(update_item::official_link));
  json.key("size").value(item.size);
  json.key("cp").value(item.cp);
  json.key("sign").value(item.sign);
  json.key("feature").value(item.feature);
  json.key("targetos").value(item.targetos);
  json.key("sha256").value(item.sha256() ? to_hex(*item.sha256()) : std::string());
  // The publisher's signature as the reply carried it (for download's
  // --minisig-base64); empty when the package has none.
  json.key("minisig").value(item.signature());
  json.end_object();
}

void write_choice(json_writer_c& json, const char* name, const offered_device& d, const update_item* item) {
  json.key(name);
  if (item) {
    json.value(static_cast<int64_t>(item - d.items.data()));
  } else {
    json.null();
  }
}

std::string query_json(const scan_result_c& result, const update_package_list_c& packages) {
  json_writer_c json;
  json.begin_object();
  json.key("devices").begin_array();
  for (const auto& d : result.devices()) {
    json.begin_object();
    json.key("device_id").value(d.device_id);
    json.key("items").begin_array();
    for (const auto& item : d.items) write_item(json, item);
    json.end_array();
    // Offers the user hid for this device: not picked, nor in the rows.
    json.key("hidden_items").begin_array();
    for (const auto& item : d.hidden_items) write_item(json, item);
    json.end_array();
    write_choice(json, "best", d, d.best_item);
    write_choice(json, "latest", d, d.latest_item);
    json.key("best_is_update").value(d.best_is_update);
    json.key("latest_is_update").value(d.latest_is_update);
    json.end_object();
  }
  json.end_array();
  json.key("packages").begin_array();
  for (const auto& row : packages.rows()) {
    json.begin_object();
    json.key("link").value(row.link);
    json.key("not_needed").value(row.not_needed != 0);
    json.key("devices").begin_array();
    for (const auto* d : row.devices) json.value(d->device_id);
    json.end_array();
    json.end_object();
  }
  json.end_array();
  // Offers of the reply that the machine's policy blocks: left out above.
  json.key("blocked_offers").value(static_cast<int64_t>(result.blocked_offers()));
  json.key("hidden_packages").value(static_cast<int64_t>(result.hidden_packages()));
  json.end_object();
  return json.text();
}

bool number_argument(const std::string& text, int32_t& out) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end) return false;
  out = static_cast<int32_t>(value);
  return true;
}

// A LANGID in four hexadecimal digits, as the request carries it ("0411");
// "0000" sends none.
bool language_id_argument(const std::string& text, uint16_t& out) {
  uint64_t value = 0;
  if (text.size() != 4 || !parse_hex(text, value, 4)) return false;
  out = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

int run_query(const arguments& args, context& shared) {
  if (!take_system_snapshot(shared)) return exit_code::failed;
  shared.system.collect_summary();  // the model; a machine without WMI sends none
  query_options options;
  // What the scan page sends, in the language the program shows (read
  // from the user's settings, which this command leaves as they are); the
  // options below replace parts of it.
  const uint16_t ui_language = language_row_for(saved_language(current_user_registry())).language_id;
  options.info = request_for_system(shared.system.snapshot(), true, ui_language);

  for (size_t i = 0; i < args.size(); ++i) {
    const bool has_value = i + 1 < args.size();
    int32_t number = 0;
    if (args[i] == "--devices" && has_value) {
      options.devices_file = args[++i];
    } else if (args[i] == "--server" && has_value) {
      options.servers.push_back(args[++i]);
    } else if (args[i] == "--latest") {
      options.latest = true;
    } else if (args[i] == "--installed" && has_value) {
      options.installed_file = args[++i];
    } else if (args[i] == "--os" && has_value) {
      options.info.os_code_name = args[++i];
    } else if (args[i] == "--os-version" && has_value && number_argument(args[i + 1], number)) {
      options.info.os_version_code = number;
      ++i;
    } else if (args[i] == "--os-build" && has_value && number_argument(args[i + 1], number) && number >= 0) {
      options.info.os_build = static_cast<uint32_t>(number);
      ++i;
    } else if (args[i] == "--oem-code-page" && has_value && number_argument(args[i + 1], number)) {
      options.info.oem_code_page = static_cast<uint32_t>(number);
      ++i;
    } else if (args[i] == "--ui-language" && has_value && language_id_argument(args[i + 1], options.info.ui_language)) {
      ++i;
    } else if (args[i] == "--model" && has_value) {
      options.info.model = utf8_to_utf16(args[++i]);
    } else if (args[i] == "--ca" && has_value) {
      set_transfer_ca_bundle(args[++i]);
    } else {
      return usage_error("query: unexpected argument \"" + args[i] + "\"");
    }
  }
  if (options.servers.size() > 3) return usage_error("query: at most three servers");

  int exit = 0;
  auto source = open_device_source("query", options.devices_file, exit);
  if (!source) return exit;

  device_inventory_c inventory(std::move(source));
  // --server stands in for the machine's servers; the policy's problems are
  // told only when its servers are the ones asked.
  // The policy's blocks hold whichever servers are asked.
  std::vector<std::string> servers = options.servers;
  machine_policy policy;
  if (servers.empty()) {
    servers = read_policy_servers(policy).servers;
  } else {
    policy.blocked_packages = read_policy_blocks();
  }
  update_client_c client(std::move(servers));
  client.set_blocked_packages(policy.blocked_packages);
  // The user's hidden updates, as the program's scan sets them aside.
  hidden_updates_c hidden;
  hidden.load(current_user_registry(), settings_key_path);
  client.set_hidden_updates(std::move(hidden));
  if (!options.installed_file.empty()) client.set_installed_links_file(utf8_to_utf16(options.installed_file));
  // The scan page's own job, here on this thread.
  scan_job_progress progress;
  const scan_outcome scan = run_scan_job(inventory, client, [&] { return options.info; }, progress);
  if (scan.failed == scan_outcome::step::devices) {
    return fail("the device scan failed (last error " + std::to_string(scan.failure.code) + ")");
  }
  if (scan.failed == scan_outcome::step::query) {
    // The message the scan page would show, in English.
    load_language(u"English", true);
    const int32_t code = scan.failure.code;
    return fail("the update query failed (last error " + std::to_string(code) + "): " +
                utf16_to_utf8(query_failure_message(code, scan.request)));
  }
  const auto& packages = scan.result->packages(options.latest ? offer_choice::latest : offer_choice::best);
  print(query_json(*scan.result, packages));
  return exit_code::success;
}

}  // namespace quillary::cli
