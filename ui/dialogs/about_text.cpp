#include "ui/dialogs/about_text.h"

#include "app/language.h"
#include "platform/text.h"

namespace quillary {

std::u16string build_date() { return ascii_to_utf16(__DATE__); }
std::u16string build_time() { return ascii_to_utf16(__TIME__); }

std::u16string about_paragraph(std::u16string_view format, std::u16string_view date, std::u16string_view time) {
  std::u16string text = format_language_text(format, {u"", date, time});
  if (text.size() > 1023) text.resize(1023);
  return text;
}

std::u16string updater_path(const std::u16string& program_folder) {
  std::u16string path = program_folder;
  if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
  return path + u"update\\update.exe";
}

}  // namespace quillary
