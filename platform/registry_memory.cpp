#include "platform/registry.h"

#include <cstring>

namespace quillary {
namespace {

// Registry names are case-insensitive; the in-memory hive folds ASCII,
// which is what its users store.
std::u16string fold(const std::u16string& name) {
  std::u16string out(name);
  for (auto& c : out) {
    if (c >= u'A' && c <= u'Z') c += 0x20;
  }
  return out;
}

class memory_key_c : public registry_key_i {
 public:
  memory_key_c(memory_registry_c::values_t& values, bool writable)
      : values_(values), writable_(writable) {}

  bool query(const std::u16string& name, registry_value& out) override {
    const auto it = values_.find(fold(name));
    if (it == values_.end()) return false;
    out = it->second.value;
    return true;
  }

  bool set(const std::u16string& name, uint32_t type, const void* data, size_t size) override {
    if (!writable_) return false;
    registry_value value{type, {}};
    value.data.resize(size);
    if (size) std::memcpy(value.data.data(), data, size);
    values_[fold(name)] = {name, std::move(value)};
    return true;
  }

  bool remove(const std::u16string& name) override {
    if (!writable_) return false;
    values_.erase(fold(name));
    return true;
  }

  bool value_names(std::vector<std::u16string>& out) override {
    out.clear();
    for (const auto& [folded, named] : values_) out.push_back(named.name);
    return true;
  }

 private:
  memory_registry_c::values_t& values_;
  bool writable_;
};

}  // namespace

std::unique_ptr<registry_key_i> memory_registry_c::create_key(const std::u16string& path,
                                                               bool& created) {
  if (refuse_create) return nullptr;
  const auto [it, inserted] = keys_.try_emplace(fold(path));
  created = inserted;
  return std::make_unique<memory_key_c>(it->second, true);
}

std::unique_ptr<registry_key_i> memory_registry_c::open_key(const std::u16string& path) {
  const auto it = keys_.find(fold(path));
  if (it == keys_.end()) return nullptr;
  return std::make_unique<memory_key_c>(it->second, false);
}

bool memory_registry_c::has_key(const std::u16string& path) const {
  return keys_.count(fold(path)) != 0;
}

const registry_value* memory_registry_c::find(const std::u16string& path,
                                              const std::u16string& name) const {
  const auto key = keys_.find(fold(path));
  if (key == keys_.end()) return nullptr;
  const auto value = key->second.find(fold(name));
  return value == key->second.end() ? nullptr : &value->second.value;
}

void memory_registry_c::put(const std::u16string& path, const std::u16string& name,
                            uint32_t type, std::vector<uint8_t> data) {
  keys_[fold(path)][fold(name)] = {name, registry_value{type, std::move(data)}};
}

std::vector<uint8_t> registry_sz_bytes(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  bytes.reserve((text.size() + 1) * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

std::vector<uint8_t> registry_dword_bytes(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

}  // namespace quillary
