#include "platform/text.h"

#include "platform/win32.h"

namespace quillary {

bool equal_ignore_case(std::u16string_view a, std::u16string_view b) {
  const std::u16string left(up_to_nul(a)), right(up_to_nul(b));
  return lstrcmpiW(wide(left), wide(right)) == 0;
}

std::string to_ansi(std::u16string_view text) {
  if (text.empty()) return {};
  const auto* source = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, source, length, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0) WideCharToMultiByte(CP_THREAD_ACP, 0, source, length, out.data(), size, nullptr, nullptr);
  return out;
}

void append_from_ansi(std::string_view text, std::u16string& out) {
  if (text.empty()) return;
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return;
  const size_t start = out.size();
  out.resize(start + size);
  MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data() + start), size);
}

std::u16string from_ansi(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, nullptr, 0);
  std::wstring out(size > 0 ? size : 0, L'\0');
  if (size > 0) MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, out.data(), size);
  return from_wide(out.c_str(), out.size());
}

}  // namespace quillary

namespace quillary {
int compare_for_display(std::u16string_view a, std::u16string_view b) {
  const std::u16string left(up_to_nul(a)), right(up_to_nul(b));
  return lstrcmpW(wide(left), wide(right));
}
}  // namespace quillary
