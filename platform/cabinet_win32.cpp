// Cabinets on Windows, through SetupIterateCabinetW: the system's own
// cabinet reader decompresses the files and checks them, and writes each one
// to the path the callback fills in. It never writes where the callback did
// not say, so a name in the cabinet reaches the disk only as the caller
// placed it. Bytes meant for a sink pass through a file in a folder of our
// own below the temporary folder, read back and deleted.
//
// The reader underneath (the cabinet library's FDI) takes paths and names in
// the ANSI code page. A path the code page cannot hold exactly is never
// handed to it: the conversion would make another name of it ('?', or a
// look-alike such as '\' for a full-width backslash, outside the folder the
// caller checked). And the reader does not honour every request to stop
// (Wine's goes on to the next file after FILEOP_ABORT or an error from
// FILEEXTRACTED): once the walk has ended, every later file is skipped.
// windows.h (through win32.h) before setupapi.h, which needs its types.
#include "platform/win32.h"

#include <setupapi.h>

#include <cstdio>
#include <string>

#include "base/utf8.h"
#include "platform/cabinet.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary::platform {
namespace {

constexpr size_t sink_piece_size = 64 * 1024;
// Names tried for the folder of passing files before giving up.
constexpr int max_scratch_names = 100;

struct walk_state {
  const cabinet_chooser* choose = nullptr;
  cabinet_walk walk;
  // Set once the walk has an outcome other than done: what Windows reports
  // after an abort adds nothing.
  bool ended = false;
  // The file Windows is writing: between FILEINCABINET's FILEOP_DOIT and
  // its FILEEXTRACTED.
  bool in_progress = false;
  std::u16string current_name;
  cabinet_target current;
  std::u16string written_path;
  uint64_t expected_size = 0;
  // Where bytes for sinks pass through; made when first needed.
  std::u16string scratch_folder;
  unsigned scratch_count = 0;
};

// The file attribute of a name stored as UTF-8 (_A_NAME_IS_UTF).
constexpr WORD utf8_name_attribute = 0x80;

// The text in the ANSI code page, when it holds every character exactly
// (the bytes decode to the same text again); false otherwise.
bool to_ansi_exactly(const std::u16string& text, std::string& bytes) {
  bytes.clear();
  if (text.empty()) return true;
  // The UTF-8 code page holds everything, and takes neither flag nor default.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL defaulted = FALSE;
  const int length = static_cast<int>(text.size());
  BOOL* const defaulted_out = utf8 ? nullptr : &defaulted;
  const int size = WideCharToMultiByte(CP_ACP, flags, wide(text), length, nullptr, 0, nullptr, defaulted_out);
  if (size <= 0 || defaulted) return false;
  bytes.resize(static_cast<size_t>(size));
  if (WideCharToMultiByte(CP_ACP, flags, wide(text), length, bytes.data(), size, nullptr, defaulted_out) != size ||
      defaulted) {
    return false;
  }
  std::wstring back(static_cast<size_t>(size), L'\0');
  const int chars = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), size, back.data(), size);
  return chars == length && back.compare(0, static_cast<size_t>(chars), wide(text)) == 0;
}

bool fits_ansi_code_page(const std::u16string& text) {
  std::string ignored;
  return to_ansi_exactly(text, ignored);
}

// Whether the bytes are UTF-8 beyond ASCII, whole and well formed.
bool is_utf8_beyond_ascii(const std::string& bytes) {
  bool beyond = false;
  for (size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > bytes.size() || (length == 2 && lead < 0xC2) || (length == 4 && lead > 0xF4)) {
      return false;
    }
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    }
    beyond = beyond || length > 1;
    i += length;
  }
  return beyond;
}

// The file's name. The system decodes every name in the ANSI code page,
// those the cabinet marks as UTF-8 too (Wine's does); such a name whose
// decoded text gives back UTF-8 bytes exactly is decoded again from them.
std::u16string name_of(const FILE_IN_CABINET_INFO_W& info) {
  std::u16string name = from_wide(info.NameInCabinet);
  std::string bytes;
  if ((info.DosAttribs & utf8_name_attribute) && to_ansi_exactly(name, bytes) && is_utf8_beyond_ascii(bytes)) {
    return utf8_to_utf16(bytes);
  }
  return name;
}

UINT end_walk(walk_state& state, cabinet_status status, const std::u16string& name, UINT error) {
  state.walk.status = status;
  state.walk.failed_file = name;
  state.ended = true;
  SetLastError(error);
  return error;
}

bool make_scratch_folder(walk_state& state) {
  if (!state.scratch_folder.empty()) return true;
  const std::u16string base = temp_folder();
  if (base.empty()) return false;
  const std::u16string stem = u"quillary-cabinet-" + ascii_to_utf16(std::to_string(GetCurrentProcessId())) + u"-";
  for (int n = 1; n <= max_scratch_names; ++n) {
    const std::u16string candidate = join_path(base, stem + ascii_to_utf16(std::to_string(n)));
    if (create_new_folder(candidate)) {
      state.scratch_folder = candidate;
      return true;
    }
  }
  return false;
}

UINT abort_file(walk_state& state, FILE_IN_CABINET_INFO_W& info, cabinet_status status, const std::u16string& name,
                UINT error) {
  end_walk(state, status, name, error);
  info.Win32Error = error;
  return FILEOP_ABORT;
}

UINT file_in_cabinet(walk_state& state, FILE_IN_CABINET_INFO_W& info) {
  if (state.ended) return FILEOP_SKIP;
  cabinet_file file;
  file.name = name_of(info);
  file.size = info.FileSize;
  file.dos_date_time = (static_cast<uint32_t>(info.DosDate) << 16) | info.DosTime;
  ++state.walk.files;
  cabinet_target target = (*state.choose)(file);
  std::u16string path;
  switch (target.what) {
    case cabinet_target::kind::skip:
      return FILEOP_SKIP;
    case cabinet_target::kind::stop:
      return abort_file(state, info, cabinet_status::stopped, file.name, ERROR_CANCELLED);
    case cabinet_target::kind::file:
      path = target.path;
      break;
    case cabinet_target::kind::sink:
      if (!make_scratch_folder(state)) {
        return abort_file(state, info, cabinet_status::target_failed, file.name, ERROR_CANNOT_MAKE);
      }
      path = join_path(state.scratch_folder, ascii_to_utf16(std::to_string(++state.scratch_count)) + u".tmp");
      break;
  }
  // Windows creates the target over whatever is there: a file that exists
  // (or a link) is never handed to it. The name must fit the structure, and
  // the code page the reader converts it to.
  if (path.empty() || path.size() >= MAX_PATH) {
    return abort_file(state, info, cabinet_status::target_failed, file.name, ERROR_FILENAME_EXCED_RANGE);
  }
  if (!fits_ansi_code_page(path)) {
    return abort_file(state, info, cabinet_status::target_failed, file.name, ERROR_NO_UNICODE_TRANSLATION);
  }
  if (GetFileAttributesW(wide(path)) != INVALID_FILE_ATTRIBUTES) {
    return abort_file(state, info, cabinet_status::target_failed, file.name, ERROR_FILE_EXISTS);
  }
  path.copy(reinterpret_cast<char16_t*>(info.FullTargetName), path.size());
  info.FullTargetName[path.size()] = L'\0';
  state.current = std::move(target);
  state.current_name = file.name;
  state.written_path = path;
  state.expected_size = file.size;
  state.in_progress = true;
  return FILEOP_DOIT;
}

// Hands the passing file's bytes to the sink; false when it cannot be read
// or the sink refuses them.
bool feed_sink(const std::u16string& path, const cabinet_sink& sink) {
  if (!sink) return true;
  std::FILE* file = open_file(path, "rb");
  if (!file) return false;
  std::string piece(sink_piece_size, '\0');
  bool fed = true;
  for (;;) {
    const size_t got = std::fread(piece.data(), 1, piece.size(), file);
    if (got > 0 && !sink(piece.data(), got)) {
      fed = false;
      break;
    }
    if (got < piece.size()) {
      fed = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  return fed;
}

UINT file_extracted(walk_state& state, const FILEPATHS_W& paths) {
  if (!state.in_progress) return state.ended ? ERROR_CANCELLED : NO_ERROR;
  state.in_progress = false;
  const std::u16string& path = state.written_path;
  if (paths.Win32Error != NO_ERROR) {
    remove_file(path);
    return end_walk(state, cabinet_status::damaged, state.current_name, paths.Win32Error);
  }
  // The size the directory gives is what must have come out.
  if (!file_exists(path) || file_size(path) != state.expected_size) {
    remove_file(path);
    return end_walk(state, cabinet_status::damaged, state.current_name, ERROR_INVALID_DATA);
  }
  if (state.current.what == cabinet_target::kind::sink) {
    const bool fed = feed_sink(path, state.current.sink);
    remove_file(path);
    if (!fed) return end_walk(state, cabinet_status::target_failed, state.current_name, ERROR_CANCELLED);
  }
  ++state.walk.written;
  return NO_ERROR;
}

UINT CALLBACK on_notification(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR) {
  walk_state& state = *static_cast<walk_state*>(context);
  switch (notification) {
    case SPFILENOTIFY_FILEINCABINET:
      return file_in_cabinet(state, *reinterpret_cast<FILE_IN_CABINET_INFO_W*>(param1));
    case SPFILENOTIFY_FILEEXTRACTED:
      return file_extracted(state, *reinterpret_cast<const FILEPATHS_W*>(param1));
    case SPFILENOTIFY_NEEDNEWCABINET:
      // The header said the cabinet stands alone, yet a file goes on in
      // another one: the package is not whole.
      return end_walk(state, cabinet_status::in_a_set, state.current_name, ERROR_INVALID_DATA);
    case SPFILENOTIFY_CABINETINFO:
    default:
      return NO_ERROR;
  }
}

}  // namespace

cabinet_walk walk_cabinet_files(const std::u16string& path, const cabinet_chooser& choose) {
  walk_state state;
  state.choose = &choose;
  state.walk.status = cabinet_status::done;
  // The reader opens the cabinet by its name in the ANSI code page too.
  if (!fits_ansi_code_page(path)) return walk_ended(cabinet_status::not_a_cabinet);
  const BOOL walked = SetupIterateCabinetW(wide(path), 0, on_notification, &state);
  if (state.in_progress) {
    // Windows gave up within a file, without a word on it.
    remove_file(state.written_path);
    if (!state.ended) {
      state.walk.status = cabinet_status::damaged;
      state.walk.failed_file = state.current_name;
    }
  } else if (!walked && !state.ended) {
    // Between files, or before the first: the directory or the data.
    state.walk.status = cabinet_status::damaged;
  }
  if (!state.scratch_folder.empty()) remove_tree(state.scratch_folder);
  return state.walk;
}

}  // namespace quillary::platform
