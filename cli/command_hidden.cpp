// The updates the user hid: listed, hidden and shown again, as the
// download page's "do not offer this again" keeps them (the user's
// settings key).
#include "app/hidden_updates.h"
#include "app/settings.h"
#include "base/json_writer.h"
#include "cli/cli.h"
#include "platform/text.h"

namespace quillary::cli {
namespace {

bool load_hidden(hidden_updates_c& hidden) {
  bool created = false;
  // The key is made as a first run of the program would make it.
  if (!current_user_registry().create_key(settings_key_path, created)) {
    fail("cannot open or create the settings key");
    return false;
  }
  hidden.load(current_user_registry(), settings_key_path);
  return true;
}

bool save_hidden(const hidden_updates_c& hidden) {
  if (hidden.save(current_user_registry(), settings_key_path)) return true;
  fail("cannot write the hidden updates into the settings key");
  return false;
}

void print_hidden(const hidden_updates_c& hidden) {
  json_writer_c json;
  json.begin_object();
  json.key("hidden").begin_array();
  for (const auto& entry : hidden.entries()) {
    json.begin_object();
    json.key("link").value(entry.link);
    json.key("device_id").value(entry.device_id);
    json.end_object();
  }
  json.end_array();
  json.end_object();
  print(json.text());
}

}  // namespace

int run_hidden(const arguments& args, context&) {
  if (!no_arguments("hidden", args)) return exit_code::usage;
  hidden_updates_c hidden;
  if (!load_hidden(hidden)) return exit_code::failed;
  print_hidden(hidden);
  return exit_code::success;
}

int run_hide(const arguments& args, context&) {
  if (args.size() < 2) return usage_error("hide: give LINK and one or more DEVICE_IDs");
  hidden_updates_c hidden;
  if (!load_hidden(hidden)) return exit_code::failed;
  for (size_t i = 1; i < args.size(); ++i) {
    if (!hidden.hide(args[0], utf8_to_utf16(args[i])) && !hidden.contains(args[0], utf8_to_utf16(args[i]))) {
      return fail("hide: \"" + args[0] + "\" for \"" + args[i] +
                  "\" cannot be hidden (a link or device ID with a blank or control character, or " +
                  std::to_string(max_hidden_updates) + " hidden already)");
    }
  }
  if (!save_hidden(hidden)) return exit_code::failed;
  print_hidden(hidden);
  return exit_code::success;
}

int run_show(const arguments& args, context&) {
  if (args.size() != 1) return usage_error("show: give LINK, or --all");
  hidden_updates_c hidden;
  if (!load_hidden(hidden)) return exit_code::failed;
  if (args[0] == "--all") {
    hidden.show_all();
  } else if (hidden.show(args[0]) == 0) {
    return fail("show: \"" + args[0] + "\" is not hidden");
  }
  if (!save_hidden(hidden)) return exit_code::failed;
  print_hidden(hidden);
  return exit_code::success;
}

}  // namespace quillary::cli
