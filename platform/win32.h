// Helpers for the Windows layer only: the bridge between the program's
// UTF-16 strings and the wide-character API.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>
#include <string_view>

namespace quillary {

inline const wchar_t* wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::u16string from_wide(const wchar_t* text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

inline std::u16string from_wide(const wchar_t* text, size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// Owns one reference to a COM interface and releases it when it goes.
template <typename T>
class com_ptr {
 public:
  com_ptr() = default;
  com_ptr(const com_ptr&) = delete;
  com_ptr& operator=(const com_ptr&) = delete;
  ~com_ptr() {
    if (p) p->Release();
  }
  T** out() { return &p; }
  void** out_void() { return reinterpret_cast<void**>(&p); }
  IUnknown** out_unknown() { return reinterpret_cast<IUnknown**>(&p); }
  T* operator->() const { return p; }
  T* get() const { return p; }
  explicit operator bool() const { return p != nullptr; }

  T* p = nullptr;
};

// Frees a string the COM allocator handed out.
class co_string {
 public:
  co_string() = default;
  co_string(const co_string&) = delete;
  co_string& operator=(const co_string&) = delete;
  ~co_string() { CoTaskMemFree(p); }
  wchar_t** out() { return &p; }
  std::u16string text() const { return from_wide(p); }

 private:
  wchar_t* p = nullptr;
};

}  // namespace quillary
