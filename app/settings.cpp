#include "app/settings.h"

#include <cstring>

#include "app/system_info.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace quillary {
namespace {

// The registry values carry the settings' own names.
constexpr char16_t download_path_name[] = u"download_path";
constexpr char16_t backup_path_name[] = u"backup_path";
constexpr char16_t language_name[] = u"language";
constexpr char16_t install_date_name[] = u"install_date";
constexpr char16_t autorun_name[] = u"autorun";
constexpr char16_t scan_offline_name[] = u"scan_offline";
constexpr char16_t close_to_tray_name[] = u"close_to_tray";
constexpr char16_t scheduled_scan_name[] = u"scheduled_scan";

// A number is read as four bytes into its variable without looking at the
// type; a value larger than that is refused like a missing one, and a
// shorter one replaces only the low bytes it has.
void read_number(registry_key_i& key, const char16_t* name, uint32_t& variable) {
  registry_value value;
  if (!key.query(name, value) || value.data.size() > sizeof variable) return;
  for (size_t i = 0; i < value.data.size(); ++i) {
    variable = (variable & ~(uint32_t{0xFF} << (8 * i))) | (uint32_t{value.data[i]} << (8 * i));
  }
}

void read_text(registry_key_i& key, const char16_t* name, size_t capacity, std::u16string& variable) {
  registry_value value;
  if (key.query(name, value)) accept_registry_text(value, capacity, variable);
}

// A folder setting; an empty text keeps the default in `variable`.
void read_folder(registry_key_i& key, const char16_t* name, std::u16string& variable) {
  std::u16string folder = variable;
  read_text(key, name, settings_capacity::path, folder);
  if (!folder.empty()) variable = std::move(folder);
}

void write_text(registry_key_i& key, const char16_t* name, const std::u16string& text) {
  const auto bytes = registry_sz_bytes(text);
  key.set(name, registry_type::sz, bytes.data(), bytes.size());
}

void write_number(registry_key_i& key, const char16_t* name, uint32_t number) {
  const auto bytes = registry_dword_bytes(number);
  key.set(name, registry_type::dword, bytes.data(), bytes.size());
}

std::u16string truncated(const std::u16string& text, size_t capacity) {
  return text.substr(0, capacity - 1);
}

// A first run's language: the initial key's code, where it names one;
// `language` keeps its value otherwise.
void read_initial_language(registry_hive_i& hive, std::u16string& language) {
  if (auto initial = hive.open_key(initial_key_path)) {
    // A key without the value reads as code 9.
    uint32_t code = 9;
    read_number(*initial, language_name, code);
    if (const char16_t* name = initial_language_name(code)) language = truncated(name, settings_capacity::language);
  }
}

}  // namespace

const char16_t* initial_language_name(uint32_t code) {
  static constexpr const char16_t* names[] = {
      u"English",    u"Deutsch",  u"Español",  u"Français", u"Italiano",  u"日本語",
      u"简体中文", u"繁體中文", u"Nederlands", u"Português", u"العربية"};
  return code >= 1 && code <= std::size(names) ? names[code - 1] : nullptr;
}

std::u16string saved_language(registry_hive_i& hive) {
  std::u16string language = u"English";
  if (auto key = hive.open_key(settings_key_path)) {
    read_text(*key, language_name, settings_capacity::language, language);
  } else {
    read_initial_language(hive, language);
  }
  return language;
}

bool accept_registry_text(const registry_value& value, size_t capacity, std::u16string& out) {
  const auto& data = value.data;
  if (value.type != registry_type::sz && value.type != registry_type::expand_sz) return false;
  if (data.size() % 2 != 0 || data.size() > capacity * 2) return false;
  if (data.empty()) {
    out.clear();
    return true;
  }
  if (data[data.size() - 2] != 0 || data[data.size() - 1] != 0) return false;
  std::u16string text;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  out = std::move(text);
  return true;
}

settings_store_c::settings_store_c(environment env) : env_(std::move(env)) {}
settings_store_c::~settings_store_c() = default;

bool settings_store_c::load(settings_values& values) {
  values = settings_values{};
  values.active_download_path = platform::join_path(env_.working_folder, u"download");
  values.download_path = values.active_download_path;
  values.backup_path = platform::join_path(env_.working_folder, u"backup");
  values.language = u"English";
  values.install_date = unset_install_date;

  bool created = false;
  key_ = env_.hive->create_key(settings_key_path, created);
  if (!key_) return false;
  first_run_ = created;
  if (created) {
    seed_first_run(values);
  } else {
    read_existing(values);
  }

  // Failures here are for the users of the folders to report.
  for (const auto* folder : {&values.active_download_path, &values.backup_path}) {
    if (!platform::is_directory(*folder)) platform::create_directories(*folder);
  }
  return true;
}

void settings_store_c::read_existing(settings_values& values) {
  read_number(*key_, autorun_name, values.autorun);
  read_number(*key_, scan_offline_name, values.scan_offline);
  read_number(*key_, close_to_tray_name, values.close_to_tray);
  read_number(*key_, scheduled_scan_name, values.scheduled_scan);

  // An empty folder would put packages and archives in the root of the
  // current drive: it stands for the default folder.
  read_folder(*key_, download_path_name, values.active_download_path);
  values.download_path = values.active_download_path;
  read_folder(*key_, backup_path_name, values.backup_path);
  read_text(*key_, language_name, settings_capacity::language, values.language);
  read_text(*key_, install_date_name, settings_capacity::install_date, values.install_date);

  if (values.install_date == unset_install_date) {
    values.install_date = truncated(env_.utc_date(), settings_capacity::install_date);
    write_text(*key_, install_date_name, values.install_date);
  }
}

void settings_store_c::seed_first_run(settings_values& values) {
  values.install_date = truncated(env_.utc_date(), settings_capacity::install_date);
  read_initial_language(*env_.hive, values.language);
  save(values);
}

bool settings_store_c::save(const settings_values& values) {
  if (key_) {
    write_text(*key_, download_path_name, values.download_path);
    write_text(*key_, backup_path_name, values.backup_path);
    write_text(*key_, language_name, values.language);
    write_text(*key_, install_date_name, values.install_date);
    write_number(*key_, autorun_name, values.autorun);
    write_number(*key_, scan_offline_name, values.scan_offline);
    write_number(*key_, close_to_tray_name, values.close_to_tray);
    write_number(*key_, scheduled_scan_name, values.scheduled_scan);
  }
  set_run_entry(values.autorun != 0);
  return true;
}

bool settings_store_c::set_run_entry(bool enabled) {
  bool created = false;
  const auto run = env_.hive->create_key(run_key_path, created);
  if (!run) return false;
  if (enabled) {
    // No quotes and no arguments: a log-on start carries no switch.
    write_text(*run, run_entry_name, env_.module_path);
  } else {
    run->remove(run_entry_name);
  }
  return true;
}

settings_store_c::environment user_settings_environment(const std::u16string& working_folder,
                                                        const std::u16string& module_path) {
  return settings_store_c::environment{&current_user_registry(), working_folder, module_path,
                                       platform::utc_date_text};
}

}  // namespace quillary
