#include "download/download_session.h"

#include <algorithm>

#include "app/policy.h"
#include "base/ascii_text.h"
#include "base/md5.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {
namespace {

constexpr size_t max_path = 260;
// Extensions longer than this are no file type Windows knows.
constexpr size_t max_extension_length = 16;

// Pages that hand out a file named in their query: "get.php?file=a.msi"
// names a.msi, not a page.
bool is_script_extension(std::string_view extension) {
  static constexpr std::string_view scripts[] = {".php", ".asp", ".aspx", ".ashx", ".cgi", ".pl",
                                                  ".jsp", ".py",  ".cfm",  ".do",   ".dll"};
  for (const auto script : scripts) {
    if (equal_ignore_case_ascii(extension, script)) return true;
  }
  return false;
}

// The extension of the link's own last component, dot included, when it is
// one a file name can hold; empty when there is none.
std::string_view own_extension(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == name.size()) return {};
  const std::string_view extension = name.substr(dot);
  for (const char c : extension) {
    if (std::string_view("<>:\"/\\|*").find(c) != std::string_view::npos || static_cast<unsigned char>(c) < 0x20) {
      return {};
    }
  }
  return extension;
}

// A name in a query must look like a file's: letters, digits, '_' and '-'
// after its last dot, and not too many of them.
std::string_view plain_extension(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  const std::string_view extension = name.substr(dot);
  if (extension.size() < 2 || extension.size() > max_extension_length + 1) return {};
  for (const char c : extension.substr(1)) {
    if (!is_ascii_letter(c) && !is_ascii_digit(c) && c != '_' && c != '-') return {};
  }
  return extension;
}

// The extension of the file a query names ("?id=7&file=driver.msi"): the
// last parameter value that ends in a valid extension.
std::string_view extension_named_by_query(std::string_view query) {
  std::string_view found;
  while (!query.empty()) {
    const size_t end = std::min(query.find('&'), query.size());
    const std::string_view parameter = query.substr(0, end);
    const size_t equals = parameter.find('=');
    const std::string_view value = equals == std::string_view::npos ? parameter : parameter.substr(equals + 1);
    if (value.find('/') == std::string_view::npos) {
      if (const auto extension = plain_extension(value); !extension.empty()) found = extension;
    }
    query.remove_prefix(std::min(end + 1, query.size()));
  }
  return found;
}

}  // namespace

std::string extension_for_link(const std::string& link) {
  std::string_view name = link;
  name = name.substr(0, name.find('#'));
  const size_t question = name.find('?');
  const std::string_view query = question == std::string_view::npos ? std::string_view() : name.substr(question + 1);
  name = name.substr(0, question);
  name = name.substr(name.rfind('/') + 1);  // a dot in the host name is no extension
  const std::string_view own = own_extension(name);
  if (own.empty() || is_script_extension(own)) {
    if (const auto named = extension_named_by_query(query); !named.empty()) return std::string(named);
  }
  return own.empty() ? ".exe" : std::string(own);
}

download_paths paths_for_link(const std::string& link, const std::u16string& download_folder) {
  // The whole link names the files: links that differ only before their
  // last component are different packages and must never share a file.
  const std::u16string base = platform::join_path(download_folder, ascii_to_utf16(md5_hex(link)));
  const std::u16string extension = from_ansi(extension_for_link(link));
  const std::u16string final_path = base.size() + extension.size() < max_path ? base + extension : base;
  return {final_path + u".tmp", final_path};
}

download_session_c::download_session_c(std::string link, uint32_t expected_size,
                                       const std::u16string& download_folder, download_options options,
                                       std::shared_ptr<const signature_trust> trust)
    : link_(std::move(link)),
      paths_(paths_for_link(link_, download_folder)),
      options_(options),
      trust_(std::move(trust)) {
  signed_.file_name = package_file_name(link_);
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
  // The last holder may be the download thread itself, as it ends.
  if (thread_) thread_->detach();
}

int download_session_c::run(void* self) {
  auto& session = *static_cast<download_session_c*>(self);
  const download_progress& p = session.progress_;
  // Every byte may be there already (a run ended before the file was
  // checked and moved): only the check is left.
  const bool whole = p.expected_size != 0 && p.written == p.expected_size;
  int result = 0;
  if (!session.check_only_ && !whole) {
    package_digest_c* digest = session.thread_digest_ ? &session.running_digest_ : nullptr;
    result = download_file(session.link_, session.progress_, session.paths_.temp_path, session.options_, digest) ? 0 : -1;
  }
  if (session.thread_digest_) session.verdict_ = session.verify_file();
  return result;
}

download_session_c::digest_verdict download_session_c::verify_file() {
  const std::u16string* file = &paths_.final_path;
  uint64_t length = platform::file_size(paths_.final_path);
  if (!check_only_) {
    const bool complete = !progress_.stop_requested && progress_.transfer_result == 0 &&
                          progress_.written == progress_.expected_size;
    if (!complete) return digest_verdict::none;
    file = &paths_.temp_path;
    length = progress_.written;
    // The digest covers the bytes as they came; it vouches for the file
    // only when the file is exactly those bytes.
    if (platform::file_size(*file) != length) return digest_verdict::mismatched;
  }
  // After a download the digest covers the file already; only a check of a
  // file written earlier reads it.
  if (!hash_file_start(running_digest_, *file, length)) return digest_verdict::mismatched;
  if (thread_signature_) {
    // The publisher signed these bytes' BLAKE2b with a comment naming the
    // expected SHA-256: bytes that pass are the ones that give it.
    const auto blake2b = running_digest_.blake2b();
    thread_signature_verdict_ = blake2b ? check_package_signature(*trust_, *thread_signature_, nullptr, *blake2b)
                                        : signature_verdict::bad_signature;
    return signature_accepted(thread_signature_verdict_) ? digest_verdict::matched : digest_verdict::signature_refused;
  }
  return running_digest_.sha256() == *thread_digest_ ? digest_verdict::matched : digest_verdict::mismatched;
}

bool download_session_c::checks_signature() const {
  return trust_ && signature_needs_file_hash(*trust_, signed_);
}

bool download_session_c::signature_verified() const {
  return state_ == download_state::complete && checks_signature() && verified_signature_ == signed_.minisig_base64;
}

bool download_session_c::refuse_unacceptable_offer() {
  if (!trust_) return false;
  if (trust_->require_https && !is_https_address(link_)) {
    refuse(std::nullopt, true);
    return true;
  }
  std::optional<sha256_digest> claimed;
  const signature_verdict verdict = check_offer_signature(*trust_, signed_, &claimed);
  if (!signature_accepted(verdict)) {
    refuse(verdict, false);
    return true;
  }
  // The signed comment names the digest: the bytes must give it, whether
  // or not the reply named one.
  if (claimed && !expected_digest_) expected_digest_ = claimed;
  return false;
}

void download_session_c::refuse_installation(signature_verdict verdict) {
  if (!thread_) refuse(verdict, false);
}

void download_session_c::refuse(std::optional<signature_verdict> verdict, bool https) {
  // Nothing of a refused package may be installed or resumed into another.
  platform::remove_file(paths_.temp_path);
  platform::remove_file(paths_.final_path);
  progress_.written = 0;
  progress_.stop_requested = 0;
  running_digest_.reset();
  verified_digest_.reset();
  verified_signature_.reset();
  signature_refusal_ = verdict;
  https_refused_ = https;
  state_ = download_state::error;
}

bool download_session_c::start() {
  if (thread_) return true;
  digest_mismatch_ = false;
  // A refusal of the offer itself stands; one of the bytes may not (the
  // mirror may serve the right ones now).
  signature_refusal_.reset();
  https_refused_ = false;
  if (refuse_unacceptable_offer()) return false;
  if (const uint64_t size = platform::file_size(paths_.temp_path); size > 0) {
    progress_.written = static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX));
    if (size > progress_.expected_size) {
      // More than the package holds: not this package's bytes (another
      // size of it, or a server's error page), and a range from beyond the
      // end would be refused on every attempt.
      platform::remove_file(paths_.temp_path);
      progress_.written = 0;
    }
  } else if (!platform::file_exists(paths_.temp_path)) {
    // The partial file is gone (removed while paused): resuming at the old
    // count would write only the package's tail into a new file.
    progress_.written = 0;
  }
  if (progress_.expected_size != 0 && progress_.written == progress_.expected_size && !expected_digest_) {
    // Every byte arrived, but the program ended before the file was moved
    // into place: asking for more would only be refused.
    platform::move_file_no_replace(paths_.temp_path, paths_.final_path);
    state_ = download_state::complete;
    return true;
  }
  return start_thread(false);
}

bool download_session_c::start_thread(bool check_only) {
  check_only_ = check_only;
  pause_requested_ = false;
  thread_digest_ = expected_digest_;
  thread_signature_.reset();
  if (checks_signature()) thread_signature_ = signed_;
  // The digest covers what is on disk already; of another kind (a
  // signature came or went), it starts again and the partial file is read
  // once.
  const digest_kind kind = thread_signature_ ? digest_kind::blake2b : digest_kind::sha256;
  if (running_digest_.kind() != kind) running_digest_.reset(kind);
  verdict_ = digest_verdict::none;
  progress_.stop_requested = 0;
  progress_.transfer_result = 0;
  progress_.http_status = 0;
  thread_ = start_thread_call(call_, weak_from_this().lock());
  state_ = thread_ ? download_state::downloading : download_state::error;
  return thread_ != nullptr;
}

void download_session_c::start_check_when_unverified() {
  if (state_ != download_state::complete || thread_) return;
  const bool digest_unverified = expected_digest_ && verified_digest_ != expected_digest_;
  const bool signature_unverified = checks_signature() && verified_signature_ != signed_.minisig_base64;
  if (digest_unverified || signature_unverified) start_thread(true);
}

void download_session_c::expect_digest(const sha256_digest& digest) {
  expected_digest_ = digest;
  start_check_when_unverified();
}

void download_session_c::take_first_offer(const sha256_digest* digest, const std::string& minisig) {
  signed_.sha256 = digest ? std::optional<sha256_digest>(*digest) : std::nullopt;
  signed_.minisig_base64 = minisig;
  if (digest) expected_digest_ = *digest;
  if (refuse_unacceptable_offer()) return;
  start_check_when_unverified();
}

void download_session_c::take_offer(uint32_t size, const sha256_digest* digest, const std::string& minisig) {
  // Another signature is another offer: it is checked from the start, and
  // bytes fetched under the old one are not built on.
  const bool other_package = size != progress_.expected_size ||
                             (digest && expected_digest_ && *digest != *expected_digest_) ||
                             minisig != signed_.minisig_base64;
  if (!other_package) {
    if (digest) {
      signed_.sha256 = *digest;
      expect_digest(*digest);
    }
    return;
  }
  waiting_offer_ = package_offer{size, digest ? std::optional<sha256_digest>(*digest) : std::nullopt, minisig};
  if (thread_) {
    // The thread works on the old package's file and size: it goes first.
    progress_.stop_requested = 1;
    return;
  }
  apply_waiting_offer(false);
}

void download_session_c::apply_waiting_offer(bool download_again) {
  const package_offer offer = *waiting_offer_;
  waiting_offer_.reset();
  // What is on disk is the old package's. Part of it would be completed
  // into the new package; a complete file of another size cannot be it.
  platform::remove_file(paths_.temp_path);
  if (platform::file_exists(paths_.final_path) && platform::file_size(paths_.final_path) != offer.size) {
    platform::remove_file(paths_.final_path);
  }
  progress_.expected_size = offer.size;
  progress_.stop_requested = 0;
  expected_digest_ = offer.digest;
  signed_.sha256 = offer.digest;
  signed_.minisig_base64 = offer.minisig;
  running_digest_.reset();
  verified_digest_.reset();
  verified_signature_.reset();
  digest_mismatch_ = false;
  signature_refusal_.reset();
  https_refused_ = false;
  if (refuse_unacceptable_offer()) return;
  if (platform::file_exists(paths_.final_path)) {
    progress_.written = offer.size;
    state_ = download_state::complete;
    start_check_when_unverified();
    return;
  }
  progress_.written = 0;
  state_ = download_state::not_downloaded;
  if (download_again) start();
}

void download_session_c::pause() {
  pause_requested_ = true;
  progress_.stop_requested = 1;
}

void download_session_c::observe() {
  if (!thread_ || !call_.ended) return;
  thread_->join();
  thread_.reset();
  apply_thread_end();
}

void download_session_c::apply_thread_end() {
  const bool was_check = check_only_;
  const digest_verdict verdict = verdict_;
  const std::optional<signed_offer> checked_signature = std::move(thread_signature_);
  thread_signature_.reset();
  check_only_ = false;
  verdict_ = digest_verdict::none;
  if (waiting_offer_) {
    // Whatever the thread made of the old package is of no use now.
    apply_waiting_offer(!was_check && !pause_requested_);
    return;
  }
  if (verdict == digest_verdict::mismatched) {
    // Not the package the offer names: nothing of it may be installed, and
    // a resume must not build on it.
    platform::remove_file(was_check ? paths_.final_path : paths_.temp_path);
    progress_.written = 0;
    progress_.stop_requested = 0;
    running_digest_.reset();
    verified_digest_.reset();
    digest_mismatch_ = true;
    state_ = download_state::error;
    return;
  }
  if (verdict == digest_verdict::signature_refused) {
    refuse(thread_signature_verdict_, false);
    return;
  }
  if (was_check) {
    // A stop request (at exit) does not cut a check short.
    progress_.stop_requested = 0;
    verified_digest_ = thread_digest_;
    if (checked_signature) verified_signature_ = checked_signature->minisig_base64;
    state_ = download_state::complete;
  } else if (progress_.stop_requested) {
    state_ = download_state::paused;
    progress_.stop_requested = 0;
  } else if (progress_.transfer_result != 0 || progress_.written != progress_.expected_size ||
             platform::file_size(paths_.temp_path) != progress_.expected_size) {
    state_ = download_state::error;
  } else {
    // A final file that exists already stays; the state is complete either
    // way, and that older file is checked next when a digest is expected.
    state_ = download_state::complete;
    const bool moved = platform::move_file_no_replace(paths_.temp_path, paths_.final_path);
    verified_digest_.reset();
    verified_signature_.reset();
    if (moved && verdict == digest_verdict::matched) {
      verified_digest_ = thread_digest_;
      if (checked_signature) verified_signature_ = checked_signature->minisig_base64;
    }
  }
  start_check_when_unverified();
}

bool download_session_c::remove() {
  const std::u16string* file = nullptr;
  if (state_ == download_state::paused || state_ == download_state::error) file = &paths_.temp_path;
  if (state_ == download_state::complete) file = &paths_.final_path;
  if (!file || !platform::remove_file(*file)) return false;
  progress_.written = 0;
  running_digest_.reset();
  verified_digest_.reset();
  verified_signature_.reset();
  state_ = download_state::not_downloaded;
  return true;
}

std::shared_ptr<download_session_c> download_registry_c::find_or_create(const std::string& link,
                                                                         uint32_t expected_size,
                                                                         const sha256_digest* expected_digest,
                                                                         const std::string& minisig) {
  auto found = std::find_if(sessions_.begin(), sessions_.end(), [&](const auto& s) { return s->link() == link; });
  if (found == sessions_.end()) {
    sessions_.push_back(std::make_shared<download_session_c>(link, expected_size, folder_, options_, trust_));
    // After the session is owned: a check it starts holds it alive.
    sessions_.back()->take_first_offer(expected_digest, minisig);
    return sessions_.back();
  }
  (*found)->take_offer(expected_size, expected_digest, minisig);
  return *found;
}

bool download_registry_c::any_downloading() const {
  for (const auto& session : sessions_) {
    if (session->state() == download_state::downloading) return true;
  }
  return false;
}

bool download_registry_c::stop_all(std::chrono::milliseconds limit) {
  for (const auto& session : sessions_) {
    if (!session->thread_ended()) session->pause();
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const bool all_ended = std::all_of(sessions_.begin(), sessions_.end(),
                                       [](const auto& session) { return session->thread_ended(); });
    if (all_ended) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace quillary
