// Helpers shared by the unit tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <string>
#include <string_view>

#include "app/language.h"
#include "platform/task_scheduler.h"

namespace quillary {
// Readable failure messages for triggers.
inline void PrintTo(const weekly_trigger& t, std::ostream* out) {
  *out << t.begin_year << '-' << t.begin_month << '-' << t.begin_day << ' ' << t.start_hour << ':'
       << t.start_minute << " days " << t.days_of_week << " every " << t.weeks_interval
       << " flags " << t.flags;
}
}  // namespace quillary

namespace quillary::testing {

#ifdef QUILLARY_SOURCE_DIR
// The shipped language file's English texts, as the program loads them,
// in place of the process's table.
inline void load_shipped_english() {
  std::ifstream file(QUILLARY_SOURCE_DIR "/resources/language.ini", std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  language_table() = language_table_c();
  language_table().load_text(bytes, u"English", true);
}
#endif

// Text as the bytes of a UTF-16LE file, with or without its byte-order mark.
inline std::string utf16le_bytes(std::u16string_view text, bool with_mark) {
  std::string out = with_mark ? "\xFF\xFE" : "";
  for (const char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

// A fresh folder under the system's temporary folder, removed on destruction.
class temp_folder_c {
 public:
  temp_folder_c() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("quillary-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~temp_folder_c() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  temp_folder_c(const temp_folder_c&) = delete;
  temp_folder_c& operator=(const temp_folder_c&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::u16string text() const { return path_.u16string(); }
  // A path below the folder, in the platform's own spelling.
  std::u16string below(const std::string& relative) const {
    return (path_ / std::filesystem::path(relative).make_preferred()).u16string();
  }

 private:
  std::filesystem::path path_;
};

}  // namespace quillary::testing
