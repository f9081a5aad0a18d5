#include "ui/pages/download_page_win32.h"

#include <windowsx.h>

#include "app/hidden_updates.h"
#include "app/language.h"
#include "app/program_folder.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "backup/backup_catalogue.h"
#include "platform/files.h"
#include "platform/restore_point.h"
#include "service/update_client.h"
#include "ui/pages/system_change_text.h"
#include "ui/window/post_to_window_win32.h"
#include "platform/authenticode.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "resources/resource_ids.h"
#include "ui/pages/download_page_layout.h"
#include "ui/pages/download_panel_text.h"
#include "ui/pages/page_paint_win32.h"
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


void move_to(const window_c& page, HWND window, const skin_box& box) { page.place_child(window, to_rect(box)); }

void set_control_font(HWND control, const window_c& parent) {
  if (HFONT font = font_for_controls(font_verdana_8, parent.scale()); control && font) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
}

uint32_t argb_of(COLORREF colour) {
  return 0xFF000000u | (uint32_t{GetRValue(colour)} << 16) | (uint32_t{GetGValue(colour)} << 8) | GetBValue(colour);
}

}  // namespace

// --- The bar ---------------------------------------------------------------

download_all_window_c::~download_all_window_c() {
  destroy();
}

bool download_all_window_c::create(HWND parent, const RECT& rect) {
  static const window_class_info info{L"DownloadAllWindow", CS_DBLCLKS, nullptr, nullptr};
  background_.get();
  if (!window_c::create(info, parent, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, rect)) return false;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  check_box_ = CreateWindowExW(0, L"BUTTON", wide(text_of("download_all_check")),
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 0, 0, handle(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(check_box_id)), instance, nullptr);
  on_scale_changed();
  auto button = std::make_unique<download_button_c<download_all_window_c>>();
  // 106 × 27, 12 pixels from the right edge, centred in the bar's height.
  button->create(instance, bitmap_download_all_normal, bitmap_download_all_hover, bitmap_download_all_pressed,
                 RECT{12, 12, 118, 39}, text_of("download_all_button"));
  button->action = &download_all_window_c::download_all_clicked;
  buttons_.push_back(std::move(button));
  return true;
}

bool download_all_window_c::accessible_items(accessible_view& view) {
  RECT client = logical_client();
  view.self.role = accessible_role::pane;
  view.parts.push_back(accessible_check_box(handle(), check_box_, -1, accessible_role::check_button,
                                            text_of("download_all_check")));
  for (size_t i = 0; i < buttons_.size(); ++i) {
    accessible_item button = buttons_[i]->accessible(static_cast<int>(i), client);
    button.name = text_of("download_all_button");
    view.parts.push_back(std::move(button));
  }
  return true;
}

void download_all_window_c::do_accessible_action(int id) {
  if (id == -1) {
    // As a click: the box toggles and tells this window.
    if (check_box_) SendMessageW(check_box_, BM_CLICK, 0, 0);
    return;
  }
  if (id >= 0 && id < static_cast<int>(buttons_.size())) buttons_[static_cast<size_t>(id)]->click(*this);
}

void download_all_window_c::download_all_clicked() { SendMessageW(GetParent(handle()), UM_DOWNLOAD_ALL, 0, 0); }

bool download_all_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (handle_button_mouse(*this, handle(), buttons_, tracking_, message, lparam)) return true;
  switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      SetBkColor(reinterpret_cast<HDC>(wparam), colour_of(colour_role::download_bar));
      result = reinterpret_cast<LRESULT>(background_.get());
      return true;
    default:
      return window_c::handle_message(message, wparam, lparam, result);
  }
}

void download_all_window_c::on_scale_changed() {
  place_child(check_box_, RECT{10, 10, 250, 40});
  set_control_font(check_box_, *this);
}

bool download_all_window_c::on_size(UINT, int, int) {
  InvalidateRect(handle(), nullptr, FALSE);
  return false;  // and default processing
}

bool download_all_window_c::on_command(int id, int code, HWND) {
  if (id != check_box_id || code != BN_CLICKED) return false;
  const bool checked = SendMessageW(check_box_, BM_GETCHECK, 0, 0) == BST_CHECKED;
  SendMessageW(GetParent(handle()), UM_CHECK_ALL, checked ? 1 : 0, 0);
  return true;
}

void download_all_window_c::on_paint(HDC dc, const RECT& client) {
  fill_colour(dc, client, colour_of(colour_role::download_bar));
  fill_colour(dc, RECT{client.left, client.top, client.right, client.top + 1}, colour_of(colour_role::download_rule));
  for (auto& button : buttons_) {
    HFONT font = first_fitting_font(dc, button->text, 106 - 6, {font_verdana_8_bold, font_verdana_8});
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    button->draw(dc, client);
    if (previous) SelectObject(dc, previous);
  }
}

// --- The page ----------------------------------------------------------------

download_window_c::~download_window_c() {
  destroy();
}

bool download_window_c::create(HWND parent, const RECT& rect) {
  static const window_class_info info{L"DownloadWindow", CS_DBLCLKS, nullptr, nullptr};
  if (!window_c::create(info, parent, u"", WS_CHILD | WS_CLIPCHILDREN, 0, rect)) return false;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  header_brush_.get();
  tint_brush_.get();
  status_pictures_[static_cast<int>(panel_status_image::no_driver)].load(instance, bitmap_status_no_driver);
  status_pictures_[static_cast<int>(panel_status_image::not_needed)].load(instance, bitmap_status_not_needed);
  status_pictures_[static_cast<int>(panel_status_image::needed)].load(instance, bitmap_status_needed);
  panels_.program = &context_;
  panels_.page = handle();
  panels_.shell = &context_.shell;
  panels_.authenticode = &context_.authenticode;
  panels_.tint_brush = &tint_brush_;
  panels_.white_brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  panels_.status_pictures = status_pictures_;
  button_pictures_[0].load(instance, bitmap_panel_button_normal);
  button_pictures_[1].load(instance, bitmap_panel_button_hover);
  button_pictures_[2].load(instance, bitmap_panel_button_pressed);
  panels_.button_pictures = button_pictures_;

  RECT client = logical_client();
  const download_page_layout layout =
      place_download_page(client.right, client.bottom, has_wide_choices(language_code()));
  auto radio = [&](const char* key, int id, DWORD group) {
    HWND button = CreateWindowExW(0, L"BUTTON", wide(text_of(key)),
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | group, 0, 0, 10, 10,
                                  handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    set_control_font(button, *this);
    return button;
  };
  best_ = radio("download_cbb_best", best_choice_id, WS_GROUP);
  latest_ = radio("download_cbb_latest", latest_choice_id, 0);
  if (best_) SendMessageW(best_, BM_SETCHECK, BST_CHECKED, 0);

  if (!list_.create(handle(), to_rect(layout.list), list_id) || !bar_.create(handle(), to_rect(layout.bar))) {
    return false;
  }
  chart_.create(handle(), u"Driver score", to_rect(layout.pie), chart_id);
  chart_.set_background(argb_of(GetSysColor(COLOR_BTNFACE)));
  chart_.set_labels(false);
  chart_.set_tilt(35);
  chart_.set_thickness(50);
  faq_.create(handle(), to_rect(layout.faq_link), text_of("sidebar_see_faq"), ascii_to_utf16(faq_link()),
              faq_link_id);
  faq_.set_shell(&context_.shell);
  faq_.set_font(font_verdana_8);
  if (hidden_link_.create(handle(), to_rect(layout.hidden_link), u"", u"", hidden_link_id)) {
    hidden_link_.set_font(font_verdana_8);
    hidden_link_.set_action([this] { show_hidden_updates(); });
    hidden_link_.set_text_role(colour_role::download_header_text);
    ShowWindow(hidden_link_.handle(), SW_HIDE);
  }
  lay_out();
  return true;
}

bool download_window_c::hidden_link_shown() const {
  return hidden_link_.handle() && IsWindowVisible(hidden_link_.handle());
}

void download_window_c::update_hidden_link() {
  if (!hidden_link_.handle()) return;
  const size_t hidden = result_ ? result_->hidden_packages() : 0;
  if (hidden) {
    SetWindowTextW(hidden_link_.handle(),
                   wide(format_language_text(text_of("download_show_hidden"), static_cast<long long>(hidden))));
  }
  ShowWindow(hidden_link_.handle(), hidden ? SW_SHOWNA : SW_HIDE);
  lay_out();
}

void download_window_c::show_hidden_updates() {
  context_.hidden.list().show_all();
  context_.hidden.save();
  PostMessageW(GetAncestor(handle(), GA_ROOT), UM_HIDDEN_CHANGED, 0, 0);
}

void download_window_c::take_result(shared_scan_result result) {
  result_ = std::move(result);
  panels_.result = result_;
  rebuild();
  recount();
  update_hidden_link();
  InvalidateRect(handle(), nullptr, FALSE);
}

void download_window_c::rebuild() {
  static const update_package_list_c none;
  const update_package_list_c& packages = result_ ? result_->packages(choice_) : none;

  // Redrawing each panel as it joins would show the list being built.
  SendMessageW(list_.handle(), WM_SETREDRAW, FALSE, 0);
  list_.clear();
  RECT client = list_.logical_client();
  for (const update_package& group : packages.rows()) {
    auto panel = std::make_unique<download_panel_c>(group, panels_);
    panel->panel_width = client.right;
    panel->panel_height = download_panel_height(group.devices.size());
    list_.add_panel(std::move(panel));
  }
  SendMessageW(list_.handle(), WM_SETREDRAW, TRUE, 0);
  RedrawWindow(list_.handle(), nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
  if (IsWindowVisible(handle())) SetFocus(list_.handle());
}

void download_window_c::choose(offer_choice choice) {
  if (choice == choice_) {
    SetFocus(list_.handle());
    return;
  }
  choice_ = choice;
  rebuild();
  InvalidateRect(handle(), nullptr, FALSE);
}

void download_window_c::recount() {
  // The score judges the machine by the service's best offers, whichever
  // list the user looks at.
  counts_ = result_ ? count_devices(result_->devices(), offer_choice::best) : download_counts{};
  fill_chart();
  // The page shows no title; its text is the header's, for tools that read
  // windows (automation, our GUI tests).
  SetWindowTextW(handle(), wide(header_line()));
}

std::u16string download_window_c::header_line() const {
  const header_text header = header_text_for(counts_.out_of_date);
  std::u16string line = text_of(header.key);
  if (header.shows_count) line += ascii_to_utf16(std::to_string(counts_.out_of_date));
  return line;
}

void download_window_c::fill_chart() {
  if (!chart_.handle()) return;
  // 105 pixels wide: each slice stands out by 5.
  chart_.set_pie_rect(RECT{60, 20, 165, 100});
  chart_.clear_slices();
  chart_.add_slice(u"out_of_date", text_of("sidebar_out_of_date"), counts_.out_of_date, argb_of(colour_of(colour_role::chart_out_of_date)));
  chart_.add_slice(u"no_driver", text_of("sidebar_no_driver"), counts_.no_driver, argb_of(colour_of(colour_role::chart_no_driver)));
  chart_.add_slice(u"up_to_date", text_of("sidebar_up_to_date"), std::max(0, counts_.up_to_date()),
                   argb_of(colour_of(colour_role::chart_up_to_date)));
  for (const char16_t* name : {u"out_of_date", u"no_driver", u"up_to_date"}) {
    chart_.set_explode(chart_.find_slice(name), 5);
  }
}

void download_window_c::lay_out() {
  RECT client = logical_client();
  const download_page_layout layout =
      place_download_page(client.right, client.bottom, has_wide_choices(language_code()));
  move_to(*this, best_, layout.best_choice);
  move_to(*this, latest_, layout.latest_choice);
  move_to(*this, list_.handle(), layout.list);
  move_to(*this, bar_.handle(), layout.bar);
  move_to(*this, chart_.handle(), layout.pie);
  // The link keeps its right edge and grows to the left for a long text.
  skin_box faq = layout.faq_link;
  if (faq_.handle()) {
    HDC dc = GetDC(handle());
    const int needed = text_extent(dc, text_of("sidebar_see_faq"), font_verdana_8).cx + 4;
    ReleaseDC(handle(), dc);
    faq.left = std::max(layout.side.left + 11, std::min(faq.left, faq.right - needed));
  }
  move_to(*this, faq_.handle(), faq);
  // The hidden updates' link is as wide as its text, so that the band
  // beside it is not a link.
  skin_box hidden = layout.hidden_link;
  if (hidden_link_.handle()) {
    HDC dc = GetDC(handle());
    const int needed = text_extent(dc, window_text(hidden_link_.handle()), font_verdana_8).cx + 4;
    ReleaseDC(handle(), dc);
    hidden.right = std::min(hidden.right, hidden.left + needed);
  }
  move_to(*this, hidden_link_.handle(), hidden);
  InvalidateRect(handle(), nullptr, FALSE);
}

void download_window_c::download_all() {
  const HWND top = GetAncestor(handle(), GA_ROOT);
  if (show_message(top, text_of("download_all_warning"), message_kind::question) != message_answer::yes) return;
  // The ticked packages not yet downloaded start downloading; those already
  // downloaded are installed together: one prompt for administrator rights
  // and one restore point for all of them.
  bool any_not_needed = false;
  for (const auto& panel : list_.panels()) {
    panel->start_if_checked();
    if (panel->ready_for_batch() && panel->group().not_needed) any_not_needed = true;
  }
  bool with_not_needed = true;
  // Panels may be rebuilt while a box is up: they are walked again after it.
  if (any_not_needed) {
    with_not_needed =
        show_message(top, text_of("download_setup_warning"), message_kind::question) != message_answer::no;
  }
  std::vector<download_panel_c*> chosen;
  for (const auto& panel : list_.panels()) {
    if (panel->ready_for_batch() && (with_not_needed || !panel->group().not_needed)) chosen.push_back(panel.get());
  }
  if (chosen.empty()) return;
  if (context_.elevator.rights() == process_rights::cannot_elevate) {
    show_message(top, text_of("download_setup_require"), message_kind::failure);
    return;
  }
  std::vector<std::shared_ptr<install_job>> jobs;
  std::vector<download_panel_c*> watching;
  for (download_panel_c* panel : chosen) {
    if (auto job = panel->prepared_job()) {
      jobs.push_back(std::move(job));
      watching.push_back(panel);
    }
  }
  if (jobs.empty()) return;
  batch_runner runner = page_batch_runner(handle(), context_);
  runner.on_end = installations_ended_notice(handle());
  runner.backup = install_backup_step_for(context_, handle());
  if (start_install_batch(jobs, runner)) {
    for (download_panel_c* panel : watching) panel->watch_job();
  } else {
    for (const auto& job : jobs) job->end_shown = true;
  }
}

void download_window_c::roll_back(const std::string& link) {
  // One at a time.
  if (rollback_job_.running()) return;
  if (context_.elevator.rights() == process_rights::cannot_elevate) {
    show_message(GetAncestor(handle(), GA_ROOT), text_of("download_setup_require"), message_kind::failure);
    return;
  }
  const batch_runner runner = page_batch_runner(handle(), context_);
  const std::u16string setup_dat = program_folder() + u"\\setup.dat";
  const std::u16string catalogue_file = platform::join_path(context_.system.snapshot().working_folder, u"backup.xml");
  const std::u16string backup_folder = context_.settings.values().backup_path;
  shell_i* shell = &context_.shell;
  const installer_system system = installer_system_of(context_.system.snapshot());
  const bool started = rollback_job_.start(
      [=] {
        // The backups are read back whole before anything is asked for:
        // a roll back that cannot be done changes nothing.
        std::set<std::string> installed;
        load_installed_links(setup_dat, installed);
        backup_catalogue_c catalogue(catalogue_file, backup_folder);
        catalogue.load();
        const rollback_plan plan = plan_rollback(link, installed, catalogue, backup_folder);
        rollback_outcome outcome;
        outcome.refusal = plan.refusal;
        if (plan.refusal != rollback_refusal::none) return outcome;
        restore_point_batch_c restore_points(platform::system_restore_points());
        const auto windows_rollback = system_driver_rollback();
        const local_installation here{shell,   &restore_points, setup_dat, nullptr, nullptr,
                                      system,  nullptr,         windows_rollback.get()};
        outcome.outcomes = run_batch(plan.entries, *runner.elevator, runner.companion, here, runner.owner).outcomes;
        return outcome;
      },
      post_to_window(handle(), rollback_done_message));
  if (!started) show_message(GetAncestor(handle(), GA_ROOT), text_of("download_rollback_failed"), message_kind::failure);
}

void download_window_c::roll_back_ended(uint64_t run) {
  const std::optional<rollback_outcome> outcome = rollback_job_.take(run);
  if (!outcome) return;
  HWND top = GetAncestor(handle(), GA_ROOT);
  switch (outcome->refusal) {
    case rollback_refusal::none: break;
    case rollback_refusal::not_installed:
    case rollback_refusal::no_backup:
      show_message(top, text_of("download_rollback_no_backup"), message_kind::failure);
      return;
    case rollback_refusal::backup_damaged:
      show_message(top, text_of("download_rollback_failed"), message_kind::failure);
      return;
  }
  for (const auto& entry : outcome->outcomes) {
    if (const char* key = system_change_failure_key(entry.result)) {
      show_message(top, text_of(key), message_kind::failure);
      return;
    }
  }
  show_message(top, text_of("download_rollback_done"), message_kind::note);
}

bool download_window_c::handle_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_SHOWWINDOW:
      if (wparam) {
        recount();
        lay_out();
      }
      return false;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // The two choices sit on the header band: white on blue.
      const HWND control = reinterpret_cast<HWND>(lparam);
      if (control != best_ && control != latest_ && control != hidden_link_.handle()) return false;
      const HDC dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, colour_of(colour_role::download_header_text));
      SetBkColor(dc, colour_of(colour_role::download_header_band));
      result = reinterpret_cast<LRESULT>(header_brush_.get());
      return true;
    }
    case UM_ROLL_BACK:
      roll_back(*reinterpret_cast<const std::string*>(lparam));
      return true;
    case rollback_done_message:
      roll_back_ended(static_cast<uint64_t>(wparam));
      return true;
    case UM_ASK_INSTALL_WITHOUT_BACKUP:
      // From an installation batch's thread, which waits for the answer.
      result = show_message(GetAncestor(handle(), GA_ROOT), text_of("download_backup_failed"),
                            message_kind::cautious_question) == message_answer::yes;
      return true;
    case UM_CHECK_ALL:
      for (const auto& panel : list_.panels()) panel->set_checked_from_bar(wparam != 0);
      return true;
    case UM_DOWNLOAD_ALL:
      download_all();
      return true;
    case UM_INSTALLATIONS_ENDED: {
      // A panel's report may run a message box, in which the list may be
      // rebuilt: the panels are walked by their packages.
      std::vector<std::string> links;
      for (const auto& panel : list_.panels()) links.emplace_back(panel->group().link);
      for (const auto& link : links) {
        for (const auto& panel : list_.panels()) {
          if (panel->group().link == link) {
            panel->installation_ended();
            break;
          }
        }
      }
      return true;
    }
    default:
      return window_c::handle_message(message, wparam, lparam, result);
  }
}

void download_window_c::on_scale_changed() {
  set_control_font(best_, *this);
  set_control_font(latest_, *this);
}

bool download_window_c::on_size(UINT, int, int) {
  lay_out();
  return true;
}

bool download_window_c::on_command(int id, int code, HWND) {
  if (code == BN_CLICKED && id == best_choice_id) {
    choose(offer_choice::best);
    return true;
  }
  if (code == BN_CLICKED && id == latest_choice_id) {
    choose(offer_choice::latest);
    return true;
  }
  return false;
}

void download_window_c::on_paint(HDC dc, const RECT& client) {
  fill_colour(dc, client, colour_of(colour_role::page_ground));
  paint_header(dc, client);
  paint_side(dc, client);
}

void download_window_c::paint_header(HDC dc, const RECT& client) {
  const download_page_layout layout =
      place_download_page(client.right, client.bottom, has_wide_choices(language_code()));
  fill_colour(dc, to_rect(layout.header), colour_of(colour_role::download_header_band));
  const header_text header = header_text_for(counts_.out_of_date);
  // Italian, Spanish and Dutch headings are long: a smaller face; so is
  // any heading in any language that would run into the choices.
  const bool small = is_language("it") || is_language("es") || is_language("nl");
  const std::u16string& text = text_of(header.key);
  const int room_width = layout.header_text.right - layout.header_text.left - (header.shows_count ? 48 : 0);
  const HFONT font = small ? first_fitting_font(dc, text, room_width, {font_verdana_10_bold, font_verdana_8_bold})
                           : first_fitting_font(dc, text, room_width,
                                                {font_verdana_12_bold, font_verdana_10_bold, font_verdana_8_bold});
  const int height = text_extent(dc, text, font).cy;
  RECT room = to_rect(layout.header_text);
  room.right = room.left + room_width;
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour_of(colour_role::download_header_text));
  // Too long for one line even in the smallest face: two lines.
  const bool two_lines = text_extent(dc, text, font).cx > room_width;
  const int lines_height = two_lines ? 2 * height : height;
  // Above the hidden updates' link while it shows.
  const int band = hidden_link_shown() ? layout.hidden_link.top : layout.header.bottom;
  const int y = std::max(0, (band - lines_height) / 2);
  RECT line{room.left, y, room.right, y + lines_height};
  UINT format = DT_NOPREFIX | DT_END_ELLIPSIS | (two_lines ? DT_WORDBREAK : DT_SINGLELINE);
  if (language_is_right_to_left()) format |= DT_RTLREADING;
  DrawTextW(dc, wide(text), static_cast<int>(text.size()), &line, format);
  if (header.shows_count && !two_lines) {
    const int end = std::min<int>(room.left + text_extent(dc, text, font).cx, room.right - 40);
    SetTextColor(dc, colour_of(colour_role::download_count));
    const std::u16string count = ascii_to_utf16(std::to_string(counts_.out_of_date));
    TextOutW(dc, end + 2, y, wide(count), static_cast<int>(count.size()));
  }
  if (previous) SelectObject(dc, previous);
}

bool download_window_c::accessible_items(accessible_view& view) {
  RECT client = logical_client();
  const download_page_layout layout =
      place_download_page(client.right, client.bottom, has_wide_choices(language_code()));
  view.self.role = accessible_role::pane;
  view.self.name = header_line();
  view.parts.push_back(accessible_check_box(handle(), best_, best_choice_id, accessible_role::radio_button,
                                            text_of("download_cbb_best")));
  view.parts.push_back(accessible_check_box(handle(), latest_, latest_choice_id, accessible_role::radio_button,
                                            text_of("download_cbb_latest")));

  const int32_t score = driver_score(counts_.up_to_date(), counts_.offered);
  const std::u16string figure = ascii_to_utf16(std::to_string(score));
  accessible_item score_text;
  score_text.role = accessible_role::static_text;
  score_text.name = text_of("sidebar_score");
  score_text.value = figure;
  score_text.state = accessible_state::read_only;
  score_text.rect = {layout.score.left, layout.score.top, layout.side.right, layout.score.top + 50};
  view.parts.push_back(std::move(score_text));

  // The chart shows the score's parts: it reads them out as one sentence.
  const std::vector<std::u16string> legend = {
      format_language_text(text_of("sidebar_out_of_date"), counts_.out_of_date),
      format_language_text(text_of("sidebar_no_driver"), counts_.no_driver),
      format_language_text(text_of("sidebar_up_to_date"), counts_.up_to_date())};
  accessible_item chart;
  chart.role = accessible_role::chart;
  chart.name = score_summary(text_of("sidebar_score"), score, legend, language_code());
  chart.state = accessible_state::read_only;
  chart.rect = {layout.pie.left, layout.pie.top, layout.pie.right, layout.pie.bottom};
  chart.window = reinterpret_cast<uintptr_t>(chart_.handle());
  view.parts.push_back(std::move(chart));

  int y = layout.legend.top;
  for (const auto& line : legend) {
    accessible_item text;
    text.role = accessible_role::static_text;
    text.name = line;
    text.state = accessible_state::read_only;
    text.rect = {layout.legend.left, y, layout.side.right, y + 18};
    view.parts.push_back(std::move(text));
    y += 18;
  }
  accessible_item total;
  total.role = accessible_role::static_text;
  total.name = format_language_text(text_of("sidebar_total"), result_ ? result_->total_devices() : 0);
  total.state = accessible_state::read_only;
  total.rect = {layout.legend.left, y, layout.side.right, y + 18};
  view.parts.push_back(std::move(total));
  accessible_item whql;
  whql.role = accessible_role::static_text;
  whql.name = text_of("sidebar_whql");
  whql.state = accessible_state::read_only;
  whql.rect = {layout.whql.left, layout.whql.top, layout.whql.right, layout.whql.bottom};
  view.parts.push_back(std::move(whql));
  return true;
}

void download_window_c::do_accessible_action(int id) {
  // As a click on the radio button: it checks itself and tells the page.
  if (id == best_choice_id && best_) SendMessageW(best_, BM_CLICK, 0, 0);
  if (id == latest_choice_id && latest_) SendMessageW(latest_, BM_CLICK, 0, 0);
}

void download_window_c::paint_side(HDC dc, const RECT& client) {
  const download_page_layout layout =
      place_download_page(client.right, client.bottom, has_wide_choices(language_code()));
  fill_colour(dc, to_rect(layout.side), GetSysColor(COLOR_BTNFACE));
  fill_colour(dc, RECT{layout.side.left, layout.side.top, layout.side.left + 1, layout.side.bottom}, colour_of(colour_role::download_rule));

  draw_text_at(dc, text_of("sidebar_score"), layout.score.left, layout.score.top, font_verdana_10_bold, colour_of(colour_role::download_side_text));
  const int32_t score = driver_score(counts_.up_to_date(), counts_.offered);
  draw_text_at(dc, ascii_to_utf16(std::to_string(score)), layout.score.left, layout.score.top + 18,
               font_arial_25_bold, score < good_score ? colour_of(colour_role::score_poor) : colour_of(colour_role::score_good));

  const std::pair<const char*, int64_t> legend[] = {{"sidebar_out_of_date", counts_.out_of_date},
                                                    {"sidebar_no_driver", counts_.no_driver},
                                                    {"sidebar_up_to_date", counts_.up_to_date()},
                                                    {"sidebar_total", result_ ? result_->total_devices() : 0}};
  const COLORREF swatches[] = {colour_of(colour_role::chart_out_of_date), colour_of(colour_role::chart_no_driver),
                               colour_of(colour_role::chart_up_to_date)};
  int y = layout.legend.top;
  for (size_t i = 0; i < std::size(legend); ++i) {
    int x = layout.legend.left;
    if (i < std::size(swatches)) {
      const RECT swatch{x, y + 3, x + 10, y + 13};
      if (plain_skin()) {
        // The chart's slices are told apart by these hatches, not colours.
        draw_hatch_swatch(dc, swatch, chart_hatch_for(i), colour_of(colour_role::chart_out_of_date),
                          colour_of(colour_role::page_ground));
      } else {
        fill_colour(dc, swatch, swatches[i]);
      }
      x += 16;
    }
    draw_text_at(dc, format_language_text(text_of(legend[i].first), legend[i].second), x, y, font_verdana_8,
                 colour_of(colour_role::download_side_text));
    y += 18;
  }
  RECT paragraph = to_rect(layout.whql);
  draw_paragraph(dc, text_of("sidebar_whql"), paragraph, font_verdana_8, colour_of(colour_role::download_side_text), 2);
}

}  // namespace quillary
