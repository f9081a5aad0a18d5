// The registry as the program needs it: keys below one root (the user's
// HKEY_CURRENT_USER for the settings, HKEY_LOCAL_MACHINE for the machine
// policy), values with a type and raw bytes. The Windows build uses the real
// registry; tests and the native build use an in-memory one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillary {

namespace registry_type {
constexpr uint32_t none = 0;        // REG_NONE
constexpr uint32_t sz = 1;          // REG_SZ
constexpr uint32_t expand_sz = 2;   // REG_EXPAND_SZ
constexpr uint32_t binary = 3;      // REG_BINARY
constexpr uint32_t dword = 4;       // REG_DWORD
constexpr uint32_t multi_sz = 7;    // REG_MULTI_SZ
}  // namespace registry_type

struct registry_value {
  uint32_t type = registry_type::none;
  std::vector<uint8_t> data;
};

// An open key. Closing happens when the object is destroyed.
class registry_key_i {
 public:
  virtual ~registry_key_i() = default;
  // False when the value does not exist or cannot be read.
  virtual bool query(const std::u16string& name, registry_value& out) = 0;
  virtual bool set(const std::u16string& name, uint32_t type, const void* data, size_t size) = 0;
  // Deleting a missing value is not an error.
  virtual bool remove(const std::u16string& name) = 0;
  // The names of the key's values, as they were written; false when they
  // cannot be listed.
  virtual bool value_names(std::vector<std::u16string>& out) = 0;
};

// One registry root.
class registry_hive_i {
 public:
  virtual ~registry_hive_i() = default;
  // Opens the key for reading and writing, creating it (and its parents)
  // when missing; `created` tells which. Null on failure.
  virtual std::unique_ptr<registry_key_i> create_key(const std::u16string& path, bool& created) = 0;
  // Opens an existing key for reading only. Null when missing.
  virtual std::unique_ptr<registry_key_i> open_key(const std::u16string& path) = 0;
};

// HKEY_CURRENT_USER of the running user (Windows build only).
registry_hive_i& current_user_registry();
// HKEY_LOCAL_MACHINE, where Group Policy writes the machine's policy: read
// only, in the 64-bit view whatever the program's width (Windows build; an
// empty hive natively).
registry_hive_i& local_machine_registry();

// Keys and values held in memory. Key paths and value names compare without
// regard to case, as in the registry. Keys handed out stay valid as long as
// the hive does.
class memory_registry_c : public registry_hive_i {
 public:
  std::unique_ptr<registry_key_i> create_key(const std::u16string& path, bool& created) override;
  std::unique_ptr<registry_key_i> open_key(const std::u16string& path) override;

  // Test helpers.
  bool has_key(const std::u16string& path) const;
  const registry_value* find(const std::u16string& path, const std::u16string& name) const;
  void put(const std::u16string& path, const std::u16string& name, uint32_t type,
           std::vector<uint8_t> data);
  // While set, create_key fails as a registry without write access would.
  bool refuse_create = false;

  // A value with the name it was written under.
  struct named_value {
    std::u16string name;
    registry_value value;
  };
  using values_t = std::map<std::u16string, named_value>;  // by folded name

 private:
  std::map<std::u16string, values_t> keys_;  // by folded path
};

// Value bytes of texts and numbers as the registry stores them.
std::vector<uint8_t> registry_sz_bytes(const std::u16string& text);  // with terminator
std::vector<uint8_t> registry_dword_bytes(uint32_t value);

}  // namespace quillary
