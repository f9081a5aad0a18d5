#include "app/hidden_updates.h"

#include <algorithm>

#include "base/utf8.h"

namespace quillary {
namespace {

std::u16string folded(std::u16string_view id) {
  std::u16string out(id);
  for (auto& c : out) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return out;
}

// What an entry may hold: a link has no blank, tab or control character
// (the service's links are URLs), a device ID no tab or control character.
bool usable_link(std::string_view link) {
  return !link.empty() && std::none_of(link.begin(), link.end(), [](char c) {
    return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
  });
}
bool usable_device_id(std::u16string_view id) {
  return !id.empty() && std::none_of(id.begin(), id.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; });
}

}  // namespace

hidden_updates_c::key hidden_updates_c::key_of(std::string_view link, std::u16string_view device_id) {
  return {std::string(link), folded(device_id)};
}

bool hidden_updates_c::contains(std::string_view link, std::u16string_view device_id) const {
  return !keys_.empty() && keys_.count(key_of(link, device_id)) != 0;
}

bool hidden_updates_c::hide(std::string_view link, std::u16string_view device_id) {
  if (!usable_link(link) || !usable_device_id(device_id) || entries_.size() >= max_hidden_updates) return false;
  if (!keys_.insert(key_of(link, device_id)).second) return false;
  entries_.push_back({std::string(link), std::u16string(device_id)});
  return true;
}

size_t hidden_updates_c::show(std::string_view link) {
  const size_t before = entries_.size();
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [&](const hidden_update& entry) { return entry.link == link; }),
                 entries_.end());
  for (auto it = keys_.begin(); it != keys_.end();) {
    it = it->first == link ? keys_.erase(it) : std::next(it);
  }
  return before - entries_.size();
}

void hidden_updates_c::show_all() {
  entries_.clear();
  keys_.clear();
}

std::u16string hidden_updates_text(const std::vector<hidden_update>& entries) {
  std::u16string text;
  for (const auto& entry : entries) {
    text += utf8_to_utf16(entry.link);
    text += u'\t';
    text += entry.device_id;
    text += u'\0';
  }
  text += u'\0';
  return text;
}

std::vector<hidden_update> parse_hidden_updates(std::u16string_view text) {
  std::vector<hidden_update> out;
  while (!text.empty()) {
    const size_t end = std::min(text.find(u'\0'), text.size());
    const std::u16string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    const size_t tab = line.find(u'\t');
    if (tab == std::u16string_view::npos) continue;
    hidden_update entry{utf16_to_utf8(line.substr(0, tab)), std::u16string(line.substr(tab + 1))};
    if (usable_link(entry.link) && usable_device_id(entry.device_id)) out.push_back(std::move(entry));
  }
  return out;
}

bool hidden_updates_c::load(registry_hive_i& hive, const std::u16string& settings_key) {
  const auto key = hive.open_key(settings_key);
  if (!key) return false;
  show_all();
  registry_value value;
  if (!key->query(hidden_updates_value, value) || value.type != registry_type::multi_sz) return true;
  std::u16string text(value.data.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(value.data[2 * i] | value.data[2 * i + 1] << 8);
  }
  for (auto& entry : parse_hidden_updates(text)) hide(entry.link, entry.device_id);
  return true;
}

bool hidden_updates_c::save(registry_hive_i& hive, const std::u16string& settings_key) const {
  bool created = false;
  const auto key = hive.create_key(settings_key, created);
  if (!key) return false;
  if (entries_.empty()) return key->remove(hidden_updates_value);
  // The list's text ends in the second NUL the registry's bytes add.
  std::u16string text = hidden_updates_text(entries_);
  text.pop_back();
  const std::vector<uint8_t> bytes = registry_sz_bytes(text);
  return key->set(hidden_updates_value, registry_type::multi_sz, bytes.data(), bytes.size());
}

}  // namespace quillary
