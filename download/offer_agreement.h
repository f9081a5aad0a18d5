// Whether an extracted driver package is the one the update service
// offered: the INF the offer names must be in it, and that INF's DriverVer
// must say the offer's date and version. The service wrote the offer from
// that very directive, read by the same code (base/inf_driver_ver.h), so a
// difference means the package is not what was offered (swapped on the
// server or on the way, or a catalogue out of step with its files), and
// nothing of it may be installed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillary {

enum class offer_verdict {
  matches,
  inf_missing,      // no such file in the package, or a name that would leave it
  inf_unreadable,   // larger than the limit, unreadable, not INF text, or without a valid DriverVer
  date_differs,     // the DriverVer date is not the offer's
  version_differs,  // the DriverVer version is not the offer's (or the offer's is no version)
};

struct offer_agreement {
  offer_verdict verdict = offer_verdict::inf_missing;
  // One English line for the command line saying what disagrees, with the
  // values found; empty when the package matches.
  std::string reason;
};

// The service reads no larger INF file, so no package it offers needs one.
inline constexpr uint64_t max_offer_inf_size = 8u << 20;

// The verdict on the bytes of the INF. The dates must be equal as texts
// (the offer's is YYYY-MM-DD, as the INF's is made); the versions must
// both be dotted versions of one to four numbers and have the same
// numbers, a missing one counting as 0: "1.2" is "1.2.0.0" and "01.2" is
// "1.2", as the system and the program's own ranking of versions
// (version_greater) see them, while "1,2", which that ranking would take
// for 1.2, is refused, as the service never writes it. The date is
// checked first.
offer_agreement check_inf_against_offer(std::string_view inf_bytes, std::u16string_view offered_version,
                                        std::u16string_view offered_date);

// The same for the INF at `inf_path` below `extraction_folder`: a
// package-relative path with backslashes (either separator is taken). A
// path that is empty, holds a NUL or would leave the folder counts as
// missing.
offer_agreement check_offer_agreement(const std::u16string& extraction_folder, std::u16string_view inf_path,
                                      std::u16string_view offered_version, std::u16string_view offered_date);

}  // namespace quillary
