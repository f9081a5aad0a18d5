// Administrator rights and User Account Control. With UAC on (the default),
// an administrator's programs run with a filtered token that holds none of
// the rights; only a process started elevated (the "runas" verb, after the
// user's consent) holds them. The program runs as the user and starts only
// the step that changes the system elevated. Tests present any token and
// any answer to the prompt through their own implementation.
#pragma once

#include <cstdint>
#include <string>

namespace quillary {

// How this process stands towards administrator rights.
enum class process_rights {
  administrator,   // the token holds them: an elevated start, UAC off for an administrator, or Wine
  can_elevate,     // a filtered administrator (consent prompt) or a standard user with UAC on
                   // (Windows asks for an administrator's credentials)
  cannot_elevate,  // a standard user with UAC off: nothing can give this user the rights
};

// What the token says, as GetTokenInformation and the UAC policy report it.
struct token_facts {
  bool administrators_enabled = false;  // IsUserAnAdmin: the group is enabled in the token
  bool limited = false;                 // TokenElevationTypeLimited: a filtered administrator
  bool uac_on = true;                   // EnableLUA is not 0
};

process_rights classify_rights(const token_facts& token);
const char* rights_name(process_rights rights);  // "administrator", "can_elevate", "cannot_elevate"

enum class elevation_answer {
  ran,       // the program ran elevated to its end
  declined,  // the user said No to the prompt (or closed it)
  failed,    // it could not be started (missing program, no elevation service, ...)
};

class elevator_i {
 public:
  virtual ~elevator_i() = default;
  virtual process_rights rights() = 0;
  // Starts the program (a full path) elevated with the parameters, its
  // window hidden and the prompt owned by `owner` (a window handle, or 0),
  // and waits for it to end: its exit code when it ran.
  virtual elevation_answer run_elevated(const std::u16string& program, const std::u16string& parameters,
                                        uintptr_t owner, uint32_t& exit_code) = 0;
};

namespace platform {
// The token of this process and Windows' own elevation prompt; natively an
// administrator that cannot elevate anything else.
elevator_i& system_elevator();
}  // namespace platform

}  // namespace quillary
