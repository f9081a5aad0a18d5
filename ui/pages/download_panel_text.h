// The texts and decisions of a download panel, apart from its window: size
// and progress texts, the date line, the keys of a download's state, what
// the context menu and the download-all bar may do in each state, and the
// INF paths an installation is pointed at.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "service/scan_result.h"
#include "service/update_package_list.h"
#include "download/download_session.h"
#include "ui/skin/plain_marks.h"

namespace quillary {

// "%dB" up to 1,024 bytes, then "%.2fK", "%.2fM" (from 2^20 exclusive) and
// "%.2fG" (from 2^30 exclusive); a negative count as "%dB".
std::u16string size_text(int64_t bytes);
// The progress bar's text: the expected size, or "written/expected" while
// the download has begun and not ended; at most 31 characters.
std::u16string progress_text(int64_t written, int64_t expected);

// The date line of one device under its offer (dates as 2013-04-30,
// compared as text), cut to 127 characters.
std::u16string date_line(const std::u16string& driver_date, std::u16string_view offer_date);

// The language keys of a state: its status text and its action.
const char* status_text_key(download_state state);
// The same for a session: a refused package says why in its state's place.
const char* status_text_key(const download_session_c& session);
const char* action_key(download_state state);

// What pressing the action button does in a state.
enum class panel_action { start, pause, install };
panel_action action_for(download_state state);

// "Remove" is offered only where a file exists to remove.
bool remove_allowed(download_state state);
// Explorer's parameters that select the download's file: the final file
// once complete, the partial one before.
std::u16string explorer_select_parameters(download_state state, const download_session_c& session);
// Whether "download all" starts a panel: ticked, and a state a download
// can start from.
bool download_all_starts(bool checked, download_state state);

// The offer of a device under a choice; null without one.
const update_item* offer_of(const offered_device& device, offer_choice choice);
// The package-relative INF paths the service named for the package's
// devices under the group's choice, for the installer.
std::set<std::u16string> install_inf_paths(const update_package& group);
// What the page shows of each of those INF files' drivers: the version and
// date of the chosen offer of the first device that names it.
offered_drivers install_offered_drivers(const update_package& group);

// The rows' status picture.
enum class panel_status_image { no_driver, not_needed, needed };
panel_status_image status_image_for(const update_package& group);
// The shape that stands for the picture in high contrast.
status_mark status_mark_of(panel_status_image image);

// The header's text for the number of out-of-date devices: which key, and
// whether the count follows it.
struct header_text {
  const char* key;
  bool shows_count;
};
header_text header_text_for(int32_t out_of_date);

// The whole part of up-to-date² / offered² × 100. With no offers at all
// nothing is out of date: 100.
int32_t driver_score(int32_t up_to_date, int32_t offered);
constexpr int32_t good_score = 70;

}  // namespace quillary
