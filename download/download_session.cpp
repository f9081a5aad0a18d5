#include "download/download_session.h"

#include "app/md5.h"
#include "app/settings.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {
namespace {

constexpr size_t max_path = 260;

// The extension of the link's last component, dot included; ".exe" when it
// has none, as the system's add-extension rule does. Only the last
// component counts (a dot in the host name is no extension), and a query or
// fragment is not part of it, so the name is always one the file system takes.
std::string extension_of(std::string_view name) {
  name = name.substr(0, name.find_first_of("?#"));
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == name.size()) return ".exe";
  const std::string_view extension = name.substr(dot);
  for (const char c : extension) {
    if (std::string_view("<>:\"/\\|*").find(c) != std::string_view::npos ||
        static_cast<unsigned char>(c) < 0x20) {
      return ".exe";
    }
  }
  return std::string(extension);
}

}  // namespace

download_paths paths_for_link(const std::string& link, const std::u16string& download_folder) {
  const std::string name = link.substr(link.rfind('/') + 1);
  const std::u16string base = platform::join_path(download_folder, ascii_to_utf16(md5_hex(name)));
  const std::u16string extension = from_ansi(extension_of(name));
  const std::u16string final_path = base.size() + extension.size() < max_path ? base + extension : base;
  return {final_path + u".tmp", final_path};
}

download_session_c::download_session_c(std::string link, uint32_t expected_size,
                                       const std::u16string& download_folder, download_options options)
    : link_(std::move(link)), paths_(paths_for_link(link_, download_folder)), options_(options) {
  progress_.expected_size = expected_size;
  call_.function = run;
  call_.argument = this;
  if (platform::file_exists(paths_.temp_path)) {
    state_ = download_state::paused;
    progress_.written = static_cast<uint32_t>(platform::file_size(paths_.temp_path));
  } else if (platform::file_exists(paths_.final_path)) {
    state_ = download_state::complete;
    progress_.written = static_cast<uint32_t>(platform::file_size(paths_.final_path));
  }
}

download_session_c::~download_session_c() {
  // Sessions live until the process ends; a download still running then is
  // not waited for.
  if (thread_) thread_->detach();
}

int download_session_c::run(void* self) {
  auto& session = *static_cast<download_session_c*>(self);
  return download_file(session.link_, session.progress_, session.paths_.temp_path, session.options_);
}

bool download_session_c::start() {
  if (thread_) return true;
  if (const uint64_t size = platform::file_size(paths_.temp_path); size > 0) {
    progress_.written = static_cast<uint32_t>(size);
  } else if (!platform::file_exists(paths_.temp_path)) {
    // The partial file is gone (removed while paused): resuming at the old
    // count would write only the package's tail into a new file.
    progress_.written = 0;
  }
  if (progress_.expected_size != 0 && progress_.written == progress_.expected_size) {
    // Every byte arrived, but the program ended before the file was moved
    // into place: asking for more would only be refused.
    platform::move_file_no_replace(paths_.temp_path, paths_.final_path);
    state_ = download_state::complete;
    return true;
  }
  progress_.stop_requested = 0;
  progress_.transfer_result = 0;
  progress_.http_status = 0;
  thread_ = start_thread_call(call_);
  state_ = thread_ ? download_state::downloading : download_state::error;
  return thread_ != nullptr;
}

void download_session_c::pause() { progress_.stop_requested = 1; }

void download_session_c::observe() {
  if (!thread_ || !call_.ended) return;
  thread_->join();
  thread_.reset();
  if (progress_.stop_requested) {
    state_ = download_state::paused;
    progress_.stop_requested = 0;
  } else if (progress_.transfer_result != 0 || progress_.written != progress_.expected_size) {
    state_ = download_state::error;
  } else {
    // A final file that exists already stays; the state is complete either way.
    state_ = download_state::complete;
    platform::move_file_no_replace(paths_.temp_path, paths_.final_path);
  }
}

bool download_session_c::remove() {
  const std::u16string* file = nullptr;
  if (state_ == download_state::paused || state_ == download_state::error) file = &paths_.temp_path;
  if (state_ == download_state::complete) file = &paths_.final_path;
  if (!file || !platform::remove_file(*file)) return false;
  progress_.written = 0;
  state_ = download_state::not_downloaded;
  return true;
}

std::shared_ptr<download_session_c> download_registry_c::find_or_create(const std::string& link,
                                                                         uint32_t expected_size) {
  for (const auto& session : sessions_) {
    if (session->link() == link) return session;
  }
  sessions_.push_back(std::make_shared<download_session_c>(link, expected_size, folder_, options_));
  return sessions_.back();
}

bool download_registry_c::any_downloading() const {
  for (const auto& session : sessions_) {
    if (session->state() == download_state::downloading) return true;
  }
  return false;
}

download_registry_c& download_sessions() {
  static download_registry_c registry(settings().active_download_path);
  return registry;
}

}  // namespace quillary
