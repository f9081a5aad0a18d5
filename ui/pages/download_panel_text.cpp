#include "ui/pages/download_panel_text.h"

#include <cstdio>

#include "app/language.h"
#include "platform/text.h"

namespace quillary {

namespace {

std::u16string ascii(const char* text) { return ascii_to_utf16(text); }

}  // namespace

std::u16string size_text(int64_t bytes) {
  constexpr double kilo = 1024.0;
  char buffer[64];
  if (bytes <= 1024) {
    std::snprintf(buffer, sizeof buffer, "%lldB", static_cast<long long>(bytes));
  } else if (bytes <= (int64_t{1} << 20)) {
    std::snprintf(buffer, sizeof buffer, "%.2fK", static_cast<double>(bytes) / kilo);
  } else if (bytes <= (int64_t{1} << 30)) {
    std::snprintf(buffer, sizeof buffer, "%.2fM", static_cast<double>(bytes) / (kilo * kilo));
  } else {
    std::snprintf(buffer, sizeof buffer, "%.2fG", static_cast<double>(bytes) / (kilo * kilo * kilo));
  }
  return ascii(buffer);
}

std::u16string progress_text(int64_t written, int64_t expected) {
  std::u16string text = size_text(expected);
  if (written != 0 && written != expected) text = size_text(written) + u"/" + text;
  if (text.size() > 31) text.resize(31);
  return text;
}

std::u16string date_line(const std::u16string& driver_date, std::u16string_view offer_date) {
  std::u16string line;
  if (std::u16string_view(driver_date) < offer_date) {
    line = format_language_text(text_of("download_date1"), {driver_date, offer_date});
  } else if (offer_date == u"0000-00-00") {
    line = format_language_text(text_of("download_date3"), {driver_date});
  } else {
    line = format_language_text(text_of("download_date2"), {driver_date, offer_date});
  }
  if (line.size() > 127) line.resize(127);
  return line;
}

const char* status_text_key(download_state state) {
  switch (state) {
    case download_state::downloading: return "download_downloading";
    case download_state::paused: return "download_download_paused";
    case download_state::error: return "download_download_error";
    case download_state::complete: return "download_download_complete";
    default: return "download_not_download";
  }
}

const char* status_text_key(const download_session_c& session) {
  if (session.state() == download_state::error) {
    if (session.https_refused()) return "download_https_refused";
    if (session.signature_refusal()) return "download_not_signed";
  }
  return status_text_key(session.state());
}

const char* action_key(download_state state) {
  switch (state) {
    case download_state::downloading: return "download_btn_pause";
    case download_state::paused:
    case download_state::error: return "download_btn_resume";
    case download_state::complete: return "download_btn_setup";
    default: return "download_btn_download";
  }
}

panel_action action_for(download_state state) {
  if (state == download_state::downloading) return panel_action::pause;
  if (state == download_state::complete) return panel_action::install;
  return panel_action::start;
}

bool remove_allowed(download_state state) {
  return state != download_state::not_downloaded && state != download_state::downloading;
}

std::u16string explorer_select_parameters(download_state state, const download_session_c& session) {
  const std::u16string& file = state == download_state::complete ? session.final_path() : session.temp_path();
  return u"/select,\"" + file + u"\"";
}

bool download_all_starts(bool checked, download_state state) {
  return checked && (state == download_state::not_downloaded || state == download_state::paused ||
                     state == download_state::error);
}

const update_item* offer_of(const offered_device& device, offer_choice choice) {
  return choice == offer_choice::latest ? device.latest_item : device.best_item;
}

std::set<std::u16string> install_inf_paths(const update_package& group) {
  std::set<std::u16string> paths;
  for (const offered_device* device : group.devices) {
    if (const update_item* offer = offer_of(*device, group.choice)) {
      const std::u16string_view inf = offer->text(update_item::inf_name);
      if (!inf.empty()) paths.emplace(inf);
    }
  }
  return paths;
}

offered_drivers install_offered_drivers(const update_package& group) {
  offered_drivers offered;
  for (const offered_device* device : group.devices) {
    const update_item* offer = offer_of(*device, group.choice);
    // A service that names no version or date vouches for none.
    if (!offer || offer->text(update_item::inf_name).empty() || offer->text(update_item::ver).empty() ||
        offer->text(update_item::date).empty()) {
      continue;
    }
    offered.emplace(std::u16string(offer->text(update_item::inf_name)),
                    offered_driver{std::u16string(offer->text(update_item::ver)),
                                   std::u16string(offer->text(update_item::date))});
  }
  return offered;
}

panel_status_image status_image_for(const update_package& group) {
  for (const offered_device* device : group.devices) {
    if (!device->has_driver) return panel_status_image::no_driver;
  }
  return group.not_needed ? panel_status_image::not_needed : panel_status_image::needed;
}

status_mark status_mark_of(panel_status_image image) {
  switch (image) {
    case panel_status_image::no_driver: return status_mark::no_driver;
    case panel_status_image::not_needed: return status_mark::up_to_date;
    case panel_status_image::needed:
    default: return status_mark::out_of_date;
  }
}

header_text header_text_for(int32_t out_of_date) {
  if (out_of_date <= 0) return {"download_new_drivers_found3", false};
  if (out_of_date < 9) return {"download_new_drivers_found1", false};
  return {"download_new_drivers_found2", true};
}

int32_t driver_score(int32_t up_to_date, int32_t offered) {
  if (offered <= 0) return 100;
  const int64_t up = up_to_date < 0 ? 0 : up_to_date;
  return static_cast<int32_t>(up * up * 100 / (int64_t{offered} * offered));
}

}  // namespace quillary
