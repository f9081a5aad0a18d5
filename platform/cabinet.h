// Cabinet files (.cab), the other archive format of driver packages: read
// through Windows' own cabinet support (SetupIterateCabinetW) in the Windows
// build and through libmspack natively, behind one walk over the cabinet's
// files in the order of its directory. For each file the caller decides,
// before any of its bytes are read, whether and where they go; the rules of
// which names may land where stay with the callers (base/zip_entry_name.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quillary::platform {

// One file as the cabinet's directory lists it.
struct cabinet_file {
  // As this system decodes it: UTF-8 when the cabinet marks the name so,
  // else the ANSI code page (UTF-8 natively). Separators as stored: '\'.
  std::u16string name;
  // The name's bytes as stored and whether they are marked UTF-8; natively
  // only (the service decodes unmarked names as Windows-1252), empty on
  // Windows, where the system hands out the decoded name alone.
  std::string raw_name;
  bool utf8_name = false;
  uint64_t size = 0;
  // The DOS date in the high 16 bits, the time in the low 16, as zip
  // entries carry them (download/zip_archive.h set_file_time).
  uint32_t dos_date_time = 0;
};

// Takes a file's bytes in pieces; false refuses them and ends the walk.
using cabinet_sink = std::function<bool(const char* data, size_t size)>;

// Where one file's bytes go.
struct cabinet_target {
  enum class kind {
    skip,  // not read at all
    file,  // written to `path`, a new file: nothing may be there yet (never replaced, links never followed)
    sink,  // handed to `sink`; with none, only read to their end, which checks them
    stop,  // end the walk here
  };
  kind what = kind::skip;
  std::u16string path;
  cabinet_sink sink;
};

using cabinet_chooser = std::function<cabinet_target(const cabinet_file& file)>;

enum class cabinet_status {
  done,           // every file was offered; each given a target came out whole
  // Nothing there to read, or no cabinet's signature; on Windows also a
  // path the system's reader cannot be given (cabinet_win32.cpp).
  not_a_cabinet,
  in_a_set,       // one cabinet of a set spread over several files: it cannot be read whole alone
  damaged,        // the directory, a checksum or compressed data is broken, or the file ends early
  // A target file could not be made or written, or a sink refused (Windows
  // may report a file it could not write as damaged).
  target_failed,
  stopped,        // the chooser said stop
};

struct cabinet_walk {
  cabinet_status status = cabinet_status::not_a_cabinet;
  size_t files = 0;             // files offered to the chooser
  size_t written = 0;           // files given a file or sink target that came out whole
  std::u16string failed_file;   // the file at which a walk that did not finish ended; empty when before any
};

// A walk that ended before any file.
inline cabinet_walk walk_ended(cabinet_status status) {
  cabinet_walk walk;
  walk.status = status;
  return walk;
}

// Walks the cabinet at `path`. Files written before a failure stay (the
// caller's folder holds them); the file being written when it came is
// removed. A cabinet whose header names a previous or next cabinet, or
// whose format version is not the one Windows reads (1.3), is not walked.
cabinet_walk walk_cabinet(const std::u16string& path, const cabinet_chooser& choose);

// The system's side: the walk over a cabinet already known to be whole by
// its header (cabinet_portable.cpp, cabinet_win32.cpp).
cabinet_walk walk_cabinet_files(const std::u16string& path, const cabinet_chooser& choose);

}  // namespace quillary::platform
