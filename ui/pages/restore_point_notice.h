// What the user is told of the restore point once an installation or a
// restore has started. A new point needs no word: the installer's own
// window follows, and a box after every installation would soon be clicked
// away unread. A point Windows kept from earlier, one that may be either,
// or none at all is what the user must know before trusting System Restore
// to undo the installation: those get a warning.
#pragma once

#include <cstdint>
#include <string>

#include "download/restore_point_batch.h"
#include "platform/clock.h"

namespace quillary {

// The language key of the warning; null when there is nothing to tell.
const char* restore_point_notice_key(const restore_point_outcome& outcome);

using to_local_time_fn = local_time (*)(int64_t calendar_time);

// The warning's text in the user's language, with a kept point's creation
// time in the user's time zone and a refusal's status; empty when there is
// nothing to tell.
std::u16string restore_point_notice(const restore_point_outcome& outcome,
                                    to_local_time_fn to_local = platform::local_time_of);

// "2026-12-09 08:27" for a UTC text ("2026-12-09T07:27:00Z"), in the zone
// of `to_local`; empty for any other text.
std::u16string restore_point_time_text(const std::u16string& created, to_local_time_fn to_local);

}  // namespace quillary
