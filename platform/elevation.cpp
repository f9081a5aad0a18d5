#include "platform/elevation.h"

namespace quillary {

process_rights classify_rights(const token_facts& token) {
  if (token.administrators_enabled) return process_rights::administrator;
  // A filtered token exists only while UAC is on; a standard user's token
  // has no linked token, and with UAC off there is no prompt to ask for one.
  if (token.limited || token.uac_on) return process_rights::can_elevate;
  return process_rights::cannot_elevate;
}

const char* rights_name(process_rights rights) {
  switch (rights) {
    case process_rights::administrator: return "administrator";
    case process_rights::can_elevate: return "can_elevate";
    case process_rights::cannot_elevate: return "cannot_elevate";
  }
  return "";
}

}  // namespace quillary
