// The about dialog's texts and the updater's place, apart from the dialog.
#pragma once

#include <string>
#include <string_view>

namespace quillary {

// The build's date and time, as the compiler writes them ("Apr 18 2013",
// "11:55:01").
std::u16string build_date();
std::u16string build_time();

// "about_info1" with its three texts: nothing, the build date and time; at
// most 1023 characters.
std::u16string about_paragraph(std::u16string_view format, std::u16string_view date, std::u16string_view time);

// The updater: update\update.exe below the program's folder.
std::u16string updater_path(const std::u16string& program_folder);

}  // namespace quillary
