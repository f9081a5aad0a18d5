// Cabinet packages (.cab) for the installation: extracted below a folder and
// read back whole with the guarantees and the reports of the zip helpers
// (download/zip_archive.h), over the system's cabinet reader
// (platform/cabinet.h: SetupIterateCabinetW on Windows, libmspack natively).
// Every name is checked by the one rule for names below a folder
// (base/zip_entry_name.h) before the reader is told where it goes.
#pragma once

#include <string>

#include "download/zip_archive.h"

namespace quillary {

// Extracts every file below `folder` (an absolute path of an existing or
// creatable folder), keeping the cabinet's folders, never replacing a file
// that exists, giving each file its time. Files whose names would land
// outside `folder` (absolute names, drive letters, "..", streams, device
// names) are skipped and counted. A file that does not come out whole (a
// bad checksum, broken compressed data, a cabinet cut short or one of a set
// of several, a file that cannot be created) ends the extraction early; its
// partly written file is removed. The result fails with zip_failed only
// when `folder` is not absolute or cannot be made.
zip_extraction extract_cabinet(const std::u16string& cabinet, const std::u16string& folder);

// Reads every file to its end through the reader's checks, writing nothing
// but what a sink keeps. Stops at the first file that does not read back
// whole, or whose sink refuses a piece. The result fails with zip_failed
// when there is no cabinet at the path.
zip_reading read_cabinet(const std::u16string& cabinet, const zip_entry_sink& sink = nullptr);

}  // namespace quillary
