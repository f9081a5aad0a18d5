// The user's settings: one registry key under the current user, mirrored by
// process-wide values. Loaded once at start-up, saved all together. Saving
// also keeps the log-on entry in the per-user Run key in step with `autorun`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/registry.h"

namespace quillary {

struct settings_values {
  std::u16string download_path;         // edited by the settings dialog and saved
  std::u16string active_download_path;  // used by downloads for the whole run
  std::u16string backup_path;
  std::u16string language;
  std::u16string install_date;  // "%Y-%m-%d" in UTC; "0000-00-00" until set
  uint32_t autorun = 0;
  uint32_t scan_offline = 0;
  uint32_t close_to_tray = 1;
  uint32_t scheduled_scan = 0;
};

// Capacities of the texts in characters, terminator included. A stored text
// that does not fit is not accepted.
namespace settings_capacity {
constexpr size_t path = 260;
constexpr size_t language = 32;
constexpr size_t install_date = 16;
}  // namespace settings_capacity

inline constexpr char16_t settings_key_path[] = u"SOFTWARE\\Korvane";
inline constexpr char16_t initial_key_path[] = u"SOFTWARE\\Korvane_Init";
inline constexpr char16_t run_key_path[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char16_t run_entry_name[] = u"Quillary";
inline constexpr char16_t unset_install_date[] = u"0000-00-00";

// The language name for an initial language code 1..11; null otherwise.
const char16_t* initial_language_name(uint32_t code);

// The language the program starts in, read without creating or writing
// anything (for the command line's query): the settings key's, else, as a
// user's first run seeds it, the initial key's code, else English.
std::u16string saved_language(registry_hive_i& hive);

// A REG_SZ or REG_EXPAND_SZ text of even length that ends with a terminator
// and fits `capacity` characters (terminator included); false otherwise.
bool accept_registry_text(const registry_value& value, size_t capacity, std::u16string& out);

// The settings of one user in one registry hive.
class settings_store_c {
 public:
  struct environment {
    registry_hive_i* hive = nullptr;
    std::u16string working_folder;  // the program's folder
    std::u16string module_path;     // the program's executable, for the Run entry
    std::function<std::u16string()> utc_date;  // today as "%Y-%m-%d"
  };

  explicit settings_store_c(environment env);
  ~settings_store_c();

  // Defaults, then the settings key (created and seeded on a user's first
  // run), then the folders. False only when the key can neither be opened
  // nor created. The key stays open for later saves.
  bool load(settings_values& values);
  // Writes all eight values and brings the Run entry in line; always true.
  bool save(const settings_values& values);
  // False when the Run key cannot be opened.
  bool set_run_entry(bool enabled);

  // Whether the last load found no settings key and created one.
  bool first_run() const { return first_run_; }

 private:
  void read_existing(settings_values& values);
  void seed_first_run(settings_values& values);

  environment env_;
  std::unique_ptr<registry_key_i> key_;
  bool first_run_ = false;
};

// The user's settings as a running program holds them: the values and the
// store they are loaded from and saved to. Built once at the top of the
// program (and of the command line) and handed to what reads or changes
// them.
class user_settings_c {
 public:
  explicit user_settings_c(settings_store_c::environment env) : store_(std::move(env)) {}

  settings_values& values() { return values_; }
  const settings_values& values() const { return values_; }
  bool load() { return store_.load(values_); }
  bool save() { return store_.save(values_); }
  bool set_run_entry(bool enabled) { return store_.set_run_entry(enabled); }

 private:
  settings_store_c store_;
  settings_values values_;
};

// The environment of the current user's settings for a program at
// `module_path` working in `working_folder`.
settings_store_c::environment user_settings_environment(const std::u16string& working_folder,
                                                        const std::u16string& module_path);

}  // namespace quillary
