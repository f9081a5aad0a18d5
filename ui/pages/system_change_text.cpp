#include "ui/pages/system_change_text.h"

#include "backup/installation_batch.h"

namespace quillary {

const char* system_change_failure_key(int result) {
  switch (result) {
    case damaged_package:
    case package_changed: return "download_setup_damaged";
    case no_extraction_folder: return "download_setup_failed";
    case elevation_declined: return "download_setup_declined";
    case elevation_failed: return "download_setup_elevation_failed";
    case signature_refused: return "download_setup_signature";
    case offer_mismatch: return "download_setup_mismatch";
    case package_blocked: return "download_setup_blocked";
    case untrusted_setup_program: return "download_setup_untrusted";
    default: return nullptr;
  }
}

}  // namespace quillary
