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

  bool value_names(std::vector<std::u16string>& out) override {
    out.clear();
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
      return false;
    }
    // Names are at most 16,383 characters; a value added meanwhile may be
    // longer than the longest one counted, so a name that does not fit
    // gets a buffer of the limit.
    std::vector<wchar_t> name(longest + 1);
    for (DWORD index = 0;; ++index) {
      DWORD length = static_cast<DWORD>(name.size());
      LONG result = RegEnumValueW(key_, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_MORE_DATA && name.size() < 16384) {
        name.resize(16384);
        length = static_cast<DWORD>(name.size());
        result = RegEnumValueW(key_, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
      }
      if (result == ERROR_NO_MORE_ITEMS) return true;
      if (result != ERROR_SUCCESS) return false;
      out.push_back(from_wide(name.data(), length));
    }
  }

 private:
  HKEY key_;
};

class win32_hive_c : public registry_hive_i {
 public:
  // `view` is 0 (the process's own view) or KEY_WOW64_64KEY.
  win32_hive_c(HKEY root, REGSAM view) : root_(root), view_(view) {}

  std::unique_ptr<registry_key_i> create_key(const std::u16string& path, bool& created) override {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(root_, wide(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE | view_, nullptr, &key, &disposition) != ERROR_SUCCESS) {
      return nullptr;
    }
    created = disposition != REG_OPENED_EXISTING_KEY;
    return std::make_unique<win32_key_c>(key);
  }

  std::unique_ptr<registry_key_i> open_key(const std::u16string& path) override {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, wide(path), 0, KEY_READ | view_, &key) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<win32_key_c>(key);
  }

 private:
  HKEY root_;
  REGSAM view_;
};

}  // namespace

registry_hive_i& current_user_registry() {
  static win32_hive_c hive(HKEY_CURRENT_USER, 0);
  return hive;
}

registry_hive_i& local_machine_registry() {
  // Group Policy writes the 64-bit view; a 32-bit build would otherwise be
  // sent to WOW6432Node, where no policy is.
  static win32_hive_c hive(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
  return hive;
}

}  // namespace quillary
