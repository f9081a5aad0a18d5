// Updates a user chose not to be offered again ("do not offer this
// again"): a package link for the devices it was offered to. Kept per user
// in the settings key, so that it holds across restarts and rescans; a
// newer package for the same device has a link of its own and is offered.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace quillary {

// The value under the settings key: REG_MULTI_SZ, one "LINK<TAB>DEVICE ID"
// a string.
inline constexpr char16_t hidden_updates_value[] = u"hidden_updates";
// More than any user hides by hand; a longer list in the registry is cut
// here rather than slowing every scan.
constexpr size_t max_hidden_updates = 10000;

struct hidden_update {
  std::string link;          // byte for byte, as the service sends it
  std::u16string device_id;  // compared without regard to letter case
};

class hidden_updates_c {
 public:
  bool contains(std::string_view link, std::u16string_view device_id) const;
  // Whether anything is hidden at all.
  bool empty() const { return keys_.empty(); }
  size_t size() const { return keys_.size(); }

  // False when it was hidden already, or the list is full.
  bool hide(std::string_view link, std::u16string_view device_id);
  // Shows the link again for every device; how many entries went.
  size_t show(std::string_view link);
  void show_all();
  // In the order they were hidden.
  const std::vector<hidden_update>& entries() const { return entries_; }

  // From the settings key of `hive` (a missing value is an empty list;
  // strings that are no entry are skipped). False when the key is missing.
  bool load(registry_hive_i& hive, const std::u16string& settings_key);
  // Writes the whole list; false when the key cannot be written.
  bool save(registry_hive_i& hive, const std::u16string& settings_key) const;

 private:
  using key = std::pair<std::string, std::u16string>;
  static key key_of(std::string_view link, std::u16string_view device_id);

  std::vector<hidden_update> entries_;
  std::set<key> keys_;
};

// The user's list as a running program holds it, with the hive whose
// settings key keeps it. Built once at the top and handed down.
class user_hidden_updates_c {
 public:
  user_hidden_updates_c(registry_hive_i& hive, std::u16string settings_key)
      : hive_(hive), settings_key_(std::move(settings_key)) {}
  hidden_updates_c& list() { return list_; }
  const hidden_updates_c& list() const { return list_; }
  bool load() { return list_.load(hive_, settings_key_); }
  bool save() const { return list_.save(hive_, settings_key_); }

 private:
  registry_hive_i& hive_;
  std::u16string settings_key_;
  hidden_updates_c list_;
};

// The REG_MULTI_SZ text of the entries, and the entries read back from one.
std::u16string hidden_updates_text(const std::vector<hidden_update>& entries);
std::vector<hidden_update> parse_hidden_updates(std::u16string_view text);

}  // namespace quillary
