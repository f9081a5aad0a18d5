#include "ui/pages/download_panel_win32.h"

#include <windowsx.h>
#include <commctrl.h>

#include <algorithm>

#include "app/hidden_updates.h"
#include "app/language.h"
#include "app/program_folder.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "resources/resource_ids.h"
#include "service/update_client.h"
#include "ui/dialogs/device_details_rows.h"
#include "ui/dialogs/device_details_win32.h"
#include "ui/pages/download_page_layout.h"
#include "ui/pages/download_panel_text.h"
#include "ui/pages/page_paint_win32.h"
#include "ui/pages/restore_point_notice.h"
#include "ui/pages/system_change_text.h"
#include "ui/pages/system_change_win32.h"
#include "ui/skin/button_mouse_win32.h"
#include "ui/window/accessible_win32.h"
#include "ui/skin/message_window_win32.h"
#include "ui/skin/palette.h"
#include "ui/skin/plain_marks_win32.h"
#include "ui/skin/skin_fonts_win32.h"
#include "ui/window_messages.h"

namespace quillary {

namespace {

constexpr int check_box_id = 100;

// Single-line text in a box, cut at a word with an ellipsis where it does
// not fit.
void draw_line(HDC dc, const std::u16string& text, RECT box, HFONT font, COLORREF colour, UINT extra = 0) {
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  const COLORREF old = SetTextColor(dc, colour);
  const int mode = SetBkMode(dc, TRANSPARENT);
  UINT format = DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | DT_WORD_ELLIPSIS | extra;
  if (language_is_right_to_left()) format |= DT_RTLREADING;
  DrawTextW(dc, wide(text), static_cast<int>(text.size()), &box, format);
  SetBkMode(dc, mode);
  SetTextColor(dc, old);
  if (previous) SelectObject(dc, previous);
}

}  // namespace

download_panel_c::download_panel_c(const update_package& group, const download_panel_context& context)
    : group_(group), context_(context), result_(context.result) {}

download_panel_c::~download_panel_c() {
  *alive_ = false;
  // The window goes before the object's members: its timer and children
  // must not outlive what they use.
  destroy();
}

window_class_info download_panel_c::panel_class() const {
  return window_class_info{L"DownloadPanel", CS_DBLCLKS, LoadCursorW(nullptr, IDC_ARROW), nullptr};
}

bool download_panel_c::prepare() {
  // A panel shows no title; its text names its package for tools that read
  // windows (automation, our GUI tests).
  SetWindowTextW(handle(), wide(from_ansi(group_.link)));
  const update_item* item = group_.item;
  const sha256_digest* digest = item ? item->sha256() : nullptr;
  session_ = context_.program->downloads
                 .find_or_create(std::string(group_.link), item ? item->size : 0, digest,
                                 item ? item->signature() : std::string())
                 .get();

  const panel_status_row row = place_status_row(panel_width, group_.devices.size(), is_language("fr"));
  check_box_ = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 0, 0,
                               handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(check_box_id)),
                               GetModuleHandleW(nullptr), nullptr);
  place_check_box();

  auto button = std::make_unique<download_button_c<download_panel_c>>();
  button->rect = to_rect(row.button);
  button->text = text_of("download_btn_download");
  button->shared_images = context_.button_pictures;
  button->action = &download_panel_c::action_clicked;
  buttons_.push_back(std::move(button));

  if (session_) job_ = session_->installation();
  // The package's installation may run on from a panel that is gone: this
  // one shows it, and how it ended.
  if (job_ && (job_->busy || !job_->end_shown)) watching_job_ = true;
  if (session_ && session_->state() == download_state::downloading) start_timer();
  // One that ended while no panel showed it is told of now.
  if (watching_job_ && !job_->busy) PostMessageW(context_.page, UM_INSTALLATIONS_ENDED, 0, 0);
  return session_ != nullptr;
}

void download_panel_c::place_check_box() {
  const panel_status_row row = place_status_row(panel_width, group_.devices.size(), is_language("fr"));
  place_child(check_box_, to_rect(row.check));
}

void download_panel_c::on_scale_changed() { place_check_box(); }

bool download_panel_c::accessible_items(accessible_view& view) {
  RECT client = logical_client();
  view.self.role = accessible_role::list_item;
  view.self.state = accessible_state::read_only;
  std::u16string names;
  std::u16string details;
  const std::u16string_view separator = list_separator(language_code());
  for (const offered_device* device : group_.devices) {
    if (!names.empty()) {
      names += separator;
      details += separator;
    }
    names += device->description;
    const update_item* offer = offer_of(*device, group_.choice);
    details += date_line(device->driver_date, offer ? offer->text(update_item::date) : u"");
  }
  const download_state state = session_ ? session_->state() : download_state::not_downloaded;
  const int64_t expected = group_.item ? group_.item->size : 0;
  int64_t written = 0;
  if (session_) written = state == download_state::complete ? expected : session_->progress().written.load();
  const std::u16string& state_text =
      text_of(installing() ? "download_installing" : session_ ? status_text_key(*session_) : status_text_key(state));
  details += clause_separator(language_code());
  details += progress_text(written, expected);
  details += clause_separator(language_code());
  details += state_text;
  view.self.name = names;
  view.self.value = details;
  const device_record* first = group_.devices.empty() ? nullptr : group_.devices.front();
  if (first && first->class_entry) view.self.description = first->class_entry->description;

  accessible_item box = accessible_check_box(handle(), check_box_, -1, accessible_role::check_button, names);
  view.parts.push_back(std::move(box));
  for (size_t i = 0; i < buttons_.size(); ++i) {
    accessible_item button = buttons_[i]->accessible(static_cast<int>(i), client);
    button.name = text_of(action_key(state));
    view.parts.push_back(std::move(button));
  }
  return true;
}

void download_panel_c::do_accessible_action(int id) {
  if (id == -1) {
    if (check_box_) SendMessageW(check_box_, BM_CLICK, 0, 0);
    return;
  }
  if (id >= 0 && id < static_cast<int>(buttons_.size())) buttons_[static_cast<size_t>(id)]->click(*this);
}

bool download_panel_c::checked() const {
  return check_box_ && SendMessageW(check_box_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void download_panel_c::set_checked_from_bar(bool checked) {
  if (group_.not_needed || !check_box_) return;
  SendMessageW(check_box_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void download_panel_c::start_if_checked() {
  if (session_ && download_all_starts(checked(), session_->state())) start_download();
}

void download_panel_c::start_timer() {
  if (SetTimer(handle(), progress_timer, progress_interval_ms, nullptr)) timer_running_ = true;
}

void download_panel_c::start_download() {
  if (!session_) return;
  session_->start();
  start_timer();
  InvalidateRect(handle(), nullptr, FALSE);
}

void download_panel_c::action_clicked() {
  if (!session_) return;
  const auto alive = alive_;
  switch (action_for(session_->state())) {
    case panel_action::pause:
      session_->pause();
      break;
    case panel_action::install:
      start_installation();
      break;
    case panel_action::start:
      start_download();
      break;
  }
  if (*alive) InvalidateRect(handle(), nullptr, FALSE);
}

void download_panel_c::start_installation() {
  HWND top = GetAncestor(handle(), GA_ROOT);
  if (group_.not_needed) {
    const auto alive = alive_;
    const message_answer answer = show_message(top, text_of("download_setup_warning"), message_kind::question);
    if (!*alive || answer == message_answer::no) return;
  }
  // Under UAC the program runs without the rights; only a user who cannot
  // get them at all is turned away here.
  if (context_.program->elevator.rights() == process_rights::cannot_elevate) {
    show_message(top, text_of("download_setup_require"), message_kind::failure);
    return;
  }
  const auto job = prepared_job();
  if (!job) return;
  batch_runner runner = page_batch_runner(handle(), *context_.program);
  runner.on_end = installations_ended_notice(context_.page);
  runner.backup = install_backup_step_for(*context_.program, context_.page);
  if (start_install_batch({job}, runner)) {
    watch_job();
  } else {
    job->end_shown = true;
  }
}

bool download_panel_c::ready_for_batch() const {
  return checked() && session_ && session_->state() == download_state::complete && job_ && !job_->busy;
}

std::shared_ptr<install_job> download_panel_c::prepared_job() {
  // One package is installed once at a time, from whichever panel.
  if (!session_ || !job_ || job_->busy) return nullptr;
  job_->package_path = session_->final_path();
  job_->inf_paths = install_inf_paths(group_);
  job_->offered = install_offered_drivers(group_);
  job_->signature = session_->offer_signature();
  job_->download_folder = context_.program->settings.values().active_download_path;
  job_->package_name = group_.item ? std::u16string(group_.item->text(update_item::title)) : u"";
  // What they have now is backed up before the package goes in.
  job_->devices.clear();
  for (const offered_device* device : group_.devices) job_->devices.push_back(*device);
  job_->shell = context_.shell;
  job_->authenticode = context_.authenticode;
  job_->system = installer_system_of(context_.program->system.snapshot());
  // Installed only while it gives the digest the offer named.
  job_->expected_digest = session_->expected_digest();
  // Recorded by the job once the installation has really started.
  job_->link = std::string(group_.link);
  job_->setup_dat = program_folder() + u"\\setup.dat";
  job_->end_shown = false;
  return job_;
}

void download_panel_c::watch_job() {
  watching_job_ = true;
  InvalidateRect(handle(), nullptr, FALSE);
}

void download_panel_c::installation_ended() {
  if (!watching_job_ || !job_ || job_->busy) return;
  InvalidateRect(handle(), nullptr, FALSE);
  report_installation_end();
}

bool download_panel_c::installing() const { return watching_job_ && job_ && job_->busy; }

void download_panel_c::report_installation_end() {
  watching_job_ = false;
  job_->end_shown = true;
  HWND top = GetAncestor(handle(), GA_ROOT);
  // Nothing was started; the user must know why, once for what the whole
  // batch shares (a declined prompt, a companion that did not run).
  const int result = job_->call.result;
  // The user chose it, answering the question about the backup.
  if (result == backup_declined) return;
  // Not the package its publisher signed: it goes, as a download that fails
  // its check does, and the panel says so in its state.
  if (result == signature_refused && session_) session_->refuse_installation(job_->report.signature);
  if (const char* key = system_change_failure_key(result)) {
    const bool whole_batch = result == elevation_declined || result == elevation_failed;
    if (!whole_batch || job_->speaks_for_batch) show_message(top, text_of(key), message_kind::failure);
    return;
  }
  // Something was: whether System Restore can undo it, unless a new point
  // was made for it. The installations of a batch share one point.
  if (!job_->speaks_for_batch) return;
  const std::u16string notice = restore_point_notice(job_->report.restore_point);
  if (!notice.empty()) show_message(top, notice, message_kind::warning);
}

bool download_panel_c::on_timer(UINT_PTR id) {
  if (id != progress_timer) return false;
  progress_tick();
  return true;
}

void download_panel_c::progress_tick() {
  // The download's progress; an installation's end comes as a message.
  const bool downloading = session_ && session_->state() == download_state::downloading;
  if (downloading) session_->observe();
  const bool still_downloading = session_ && session_->state() == download_state::downloading;
  if (!still_downloading) {
    KillTimer(handle(), progress_timer);
    timer_running_ = false;
  }
  InvalidateRect(handle(), nullptr, FALSE);
}

void download_panel_c::show_context_menu(int x, int y) {
  HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menu_download_panel));
  HMENU popup = menu ? GetSubMenu(menu, 0) : nullptr;
  if (!popup) {
    if (menu) DestroyMenu(menu);
    return;
  }
  const download_state state = session_ ? session_->state() : download_state::not_downloaded;
  const std::pair<UINT, const char*> items[] = {{command_panel_action, action_key(state)},
                                                {command_panel_remove, "menu_remove"},
                                                {command_panel_open_location, "menu_open_location"},
                                                {command_panel_hide, "menu_hide_update"},
                                                {command_panel_rollback, "menu_rollback"},
                                                {command_panel_settings, "menu_settings"},
                                                {command_panel_information, "menu_information"}};
  for (const auto& [id, key] : items) ModifyMenuW(popup, id, MF_BYCOMMAND | MF_STRING, id, wide(text_of(key)));
  if (!remove_allowed(state) || installing()) EnableMenuItem(popup, command_panel_remove, MF_BYCOMMAND | MF_GRAYED);
  // A package on its way in is not hidden from under its download or installation.
  if (state == download_state::downloading || installing()) {
    EnableMenuItem(popup, command_panel_hide, MF_BYCOMMAND | MF_GRAYED);
  }
  // Only a package installed from here can be undone, and not while it is
  // on its way in.
  if (!installed_here() || state == download_state::downloading || installing()) {
    EnableMenuItem(popup, command_panel_rollback, MF_BYCOMMAND | MF_GRAYED);
  }
  const auto alive = alive_;
  const UINT command = static_cast<UINT>(TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                                        clamped_menu_x(x, y), y, 0, handle(), nullptr));
  DestroyMenu(menu);
  if (!*alive) return;
  switch (command) {
    case command_panel_action:
      action_clicked();
      break;
    case command_panel_remove:
      remove_download();
      break;
    case command_panel_open_location:
      open_location();
      break;
    case command_panel_hide:
      hide_update();
      break;
    case command_panel_rollback:
      roll_back();
      break;
    case command_panel_settings:
      PostMessageW(GetAncestor(handle(), GA_ROOT), UM_OPEN_SETTINGS, 0, 0);
      break;
    case command_panel_information:
      show_details();
      break;
    default:
      break;
  }
}

void download_panel_c::remove_download() {
  if (!session_ || !remove_allowed(session_->state()) || installing()) return;
  const auto alive = alive_;
  const message_answer answer =
      show_message(GetAncestor(handle(), GA_ROOT), text_of("remove_confirm"), message_kind::question);
  if (!*alive || answer == message_answer::no) return;  // gone meanwhile, or No or Escape
  session_->remove();
  InvalidateRect(handle(), nullptr, FALSE);
}

void download_panel_c::hide_update() {
  user_hidden_updates_c& hidden = context_.program->hidden;
  for (const offered_device* device : group_.devices) hidden.list().hide(group_.link, device->device_id);
  // A list that cannot be kept still hides the package for this run.
  hidden.save();
  // The main window rebuilds the pages, this panel among them: not now,
  // while its menu's handler runs.
  PostMessageW(GetAncestor(handle(), GA_ROOT), UM_HIDDEN_CHANGED, 0, 0);
}

bool download_panel_c::installed_here() const {
  std::set<std::string> installed;
  load_installed_links(program_folder() + u"\\setup.dat", installed);
  return !group_.link.empty() && installed.count(std::string(group_.link)) > 0;
}

void download_panel_c::roll_back() {
  if (!installed_here() || installing()) return;
  const auto alive = alive_;
  const message_answer answer =
      show_message(GetAncestor(handle(), GA_ROOT), text_of("download_rollback_question"), message_kind::question);
  if (!*alive || answer != message_answer::yes) return;
  // The page runs it: it outlives this panel, which a rescan replaces.
  const std::string link(group_.link);
  SendMessageW(context_.page, UM_ROLL_BACK, 0, reinterpret_cast<LPARAM>(&link));
}

void download_panel_c::open_location() {
  if (!session_ || !context_.shell) return;
  const download_state state = session_->state();
  if (state == download_state::not_downloaded) {
    context_.shell->open(context_.program->settings.values().active_download_path, u"");
  } else {
    context_.shell->open(u"explorer.exe", explorer_select_parameters(state, *session_));
  }
}

void download_panel_c::show_details() {
  std::vector<device_details_entry> devices;
  for (const offered_device* device : group_.devices) {
    devices.push_back({device->description, device_detail_rows(*device, offer_of(*device, group_.choice))});
  }
  devinfo_window_c dialog(std::move(devices));
  // Over the program's window: the window active a moment ago may have been
  // the menu, which is gone, and a dialog owned by it would open behind.
  dialog.run(GetAncestor(handle(), GA_ROOT));
}

bool download_panel_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (handle_button_mouse(*this, handle(), buttons_, tracking_, message, lparam)) return true;
  switch (message) {
    case WM_CREATE:
      prepare();
      return false;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      result = reinterpret_cast<LRESULT>(group_.not_needed ? context_.tint_brush->get() : context_.white_brush);
      return true;
    case WM_CONTEXTMENU: {
      POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      if (at.x == -1 && at.y == -1) {  // from the keyboard: below the panel's top left
        at = POINT{scale().device(20), scale().device(20)};
        ClientToScreen(handle(), &at);
      } else {
        POINT client_point = at;
        ScreenToClient(handle(), &client_point);
        client_point = POINT{scale().logical(client_point.x), scale().logical(client_point.y)};
        RECT client = logical_client();
        if (!buttons_.empty() && buttons_.front()->hit_test(client_point.x, client_point.y, client)) return true;
      }
      show_context_menu(at.x, at.y);
      return true;
    }
    case WM_MOUSEWHEEL:
      // The list scrolls, not the panel.
      result = SendMessageW(GetParent(handle()), message, wparam, lparam);
      return true;
    case WM_DESTROY:
      if (timer_running_) KillTimer(handle(), progress_timer);
      timer_running_ = false;
      return false;
    default:
      return window_c::handle_message(message, wparam, lparam, result);
  }
}

void download_panel_c::on_paint(HDC dc, const RECT& client) {
  using namespace download_panel_metrics;
  fill_colour(dc, client, group_.not_needed ? colour_of(colour_role::panel_tint) : colour_of(colour_role::panel_ground));
  frame_colour(dc, RECT{client.left + 4, client.top + 3, client.right - 4, client.bottom - 3}, colour_of(colour_role::panel_frame));

  const device_record* first = group_.devices.empty() ? nullptr : group_.devices.front();
  const device_class_entry* entry = first ? first->class_entry : nullptr;
  if (entry && entry->image_list) {
    ImageList_Draw(static_cast<HIMAGELIST>(entry->image_list), entry->image_index, dc, 12, margin + 2,
                   ILD_TRANSPARENT);
  }
  if (entry) {
    draw_line(dc, entry->description, RECT{text_left, margin, client.right - 14, margin + class_line}, font_verdana_8_bold,
              colour_of(colour_role::panel_class_text));
  }
  for (size_t i = 0; i < group_.devices.size(); ++i) {
    paint_device(dc, *group_.devices[i], device_line_top(i), client.right);
  }
  paint_status_row(dc, client);
}

void download_panel_c::paint_device(HDC dc, const offered_device& device, int top, int right) {
  using namespace download_panel_metrics;
  fill_colour(dc, RECT{10, top - 1, right - 10, top}, colour_of(colour_role::panel_frame));
  const panel_status_image status = status_image_for(group_);
  const int mark_top = top + (device_line * 2 - 16) / 2;
  if (plain_skin()) {
    // The coloured pictures differ by colour alone: shapes in the text's
    // colour tell the three apart.
    draw_status_mark(dc, status_mark_of(status), 12, mark_top, colour_of(colour_role::panel_device_text));
  } else if (context_.status_pictures) {
    context_.status_pictures[static_cast<int>(status)].draw(dc, 12, mark_top);
  }
  draw_line(dc, device.description, RECT{text_left, top, right - 14, top + device_line}, font_verdana_8_bold,
            colour_of(colour_role::panel_device_text));
  const update_item* offer = offer_of(device, group_.choice);
  const std::u16string dates = date_line(device.driver_date, offer ? offer->text(update_item::date) : u"");
  // A long language's line takes the narrower face before it is cut: the
  // offered date at its end is the point of the line.
  const RECT line{text_left, top + device_line, right - 14, top + 2 * device_line};
  draw_line(dc, dates, line, first_fitting_font(dc, dates, line.right - line.left, {font_verdana_8, font_arial_8}),
            colour_of(colour_role::panel_date_text));
}

void download_panel_c::paint_status_row(HDC dc, const RECT& client) {
  const panel_status_row row = place_status_row(client.right, group_.devices.size(), is_language("fr"));
  const update_item* item = group_.item;
  if (item && item->sign == 0) {
    draw_text_at(dc, u"WHQL", row.whql.x, row.whql.y, font_verdana_8_bold, colour_of(colour_role::panel_whql_text));
  }

  const download_state state = session_ ? session_->state() : download_state::not_downloaded;
  const int64_t expected = item ? item->size : 0;
  int64_t written = 0;
  if (session_) {
    written = state == download_state::complete ? expected : session_->progress().written.load();
  }
  const RECT bar = to_rect(row.progress);
  if (bar.right > bar.left) {
    fill_colour(dc, bar, colour_of(colour_role::panel_bar_ground));
    const double fraction = expected > 0 ? std::clamp(static_cast<double>(written) / expected, 0.0, 1.0) : 0.0;
    const int filled = static_cast<int>((bar.right - bar.left - 2) * fraction);
    fill_colour(dc, RECT{bar.left + 1, bar.top + 1, bar.left + 1 + filled, bar.bottom - 1}, colour_of(colour_role::panel_bar_fill));
    frame_colour(dc, bar, colour_of(colour_role::panel_bar_frame));
    draw_line(dc, progress_text(written, expected), bar, font_verdana_8, colour_of(colour_role::panel_device_text), DT_CENTER);
  }
  const std::u16string& state_text =
      text_of(installing() ? "download_installing" : session_ ? status_text_key(*session_) : status_text_key(state));
  const RECT state_box = to_rect(row.status_text);
  draw_line(dc, state_text, state_box,
            first_fitting_font(dc, state_text, state_box.right - state_box.left, {font_verdana_8_bold, font_verdana_8}),
            state == download_state::error && !installing() ? colour_of(colour_role::panel_error_text) : colour_of(colour_role::panel_status_text));

  if (!buttons_.empty()) {
    button_c<download_panel_c>& button = *buttons_.front();
    button.text = text_of(action_key(state));
    HGDIOBJ previous = font_verdana_8_bold ? SelectObject(dc, font_verdana_8_bold) : nullptr;
    button.draw(dc, client);
    if (previous) SelectObject(dc, previous);
  }
}

}  // namespace quillary
