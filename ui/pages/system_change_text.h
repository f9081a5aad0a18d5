// What the pages tell the user about an installation or restore that
// started nothing.
#pragma once

namespace quillary {

// The message key by the result (a damaged or changed package, no folder
// to unpack it into, the prompt for administrator rights declined, the
// elevated step unable to run, a setup program Windows does not trust);
// null for a result that started something.
const char* system_change_failure_key(int result);

}  // namespace quillary
