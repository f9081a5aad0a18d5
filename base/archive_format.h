// Which archive format a driver package is in, told by its first bytes:
// vendors and the Microsoft Update Catalog ship packages as zip archives and
// as cabinets (.cab), and a file's name is only what the link called it.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillary {

enum class archive_format {
  unknown,  // neither signature: a setup program, say, or a zip with something before it
  zip,      // "PK": a local file header, or the end record of an empty archive
  cabinet,  // "MSCF"
};

// The most of a file's start that the decisions below look at: a cabinet's
// fixed header (CFHEADER without its reserved area).
inline constexpr size_t archive_header_size = 36;

// The format the first bytes of a file say (fewer bytes than the header are
// taken as they are: an empty or tiny file is unknown).
archive_format archive_format_of(std::string_view first_bytes);

enum class cabinet_header_verdict {
  whole,        // one cabinet on its own
  too_short,    // fewer bytes than a cabinet's header: a cut-off file
  not_cabinet,  // no "MSCF"
  in_a_set,     // continued from or into another cabinet file: it cannot be read whole alone
  unsupported,  // a format version other than 1.3, which Windows reads
};

// What a cabinet's header says of it. A package is one file: a cabinet that
// needs the next or the previous one of its set would come out partly.
cabinet_header_verdict check_cabinet_header(std::string_view first_bytes);

}  // namespace quillary
