#include "platform/registry.h"

#include "platform/win32.h"

namespace quillary {
namespace {

class win32_key_c : public registry_key_i {
 public:
  explicit win32_key_c(HKEY key) : key_(key) {}
  ~win32_key_c() override { RegCloseKey(key_); }
  win32_key_c(const win32_key_c&) = delete;
  win32_key_c& operator=(const win32_key_c&) = delete;

  bool query(const std::u16string& name, registry_value& out) override {
    // The size can change between the two calls; retry while it grows.
    for (int attempt = 0; attempt < 4; ++attempt) {
      DWORD type = 0, size = 0;
      if (RegQueryValueExW(key_, wide(name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return false;
      }
      out.data.resize(size);
      const LONG result = RegQueryValueExW(key_, wide(name), nullptr, &type,
                                           size ? out.data.data() : nullptr, &size);
      if (result == ERROR_MORE_DATA) continue;
      if (result != ERROR_SUCCESS) return false;
      out.type = type;
      out.data.resize(size);
      return true;
    }
    return false;
  }

  bool set(const std::u16string& name, uint32_t type, const void* data, size_t size) override {
    return RegSetValueExW(key_, wide(name), 0, type, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
  }

  bool remove(const std::u16string& name) override {
    const LONG result = RegDeleteValueW(key_, wide(name));
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
  }

 private:
  HKEY key_;
};

class win32_hive_c : public registry_hive_i {
 public:
  explicit win32_hive_c(HKEY root) : root_(root) {}

  std::unique_ptr<registry_key_i> create_key(const std::u16string& path, bool& created) override {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(root_, wide(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &key, &disposition) != ERROR_SUCCESS) {
      return nullptr;
    }
    created = disposition != REG_OPENED_EXISTING_KEY;
    return std::make_unique<win32_key_c>(key);
  }

  std::unique_ptr<registry_key_i> open_key(const std::u16string& path) override {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, wide(path), 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<win32_key_c>(key);
  }

 private:
  HKEY root_;
};

}  // namespace

registry_hive_i& current_user_registry() {
  static win32_hive_c hive(HKEY_CURRENT_USER);
  return hive;
}

}  // namespace quillary
