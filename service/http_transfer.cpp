#include "service/http_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "base/ascii_text.h"
#include "platform/files.h"
#include "service/background_digest.h"

namespace quillary {
namespace {

constexpr size_t reply_slack = 16;
constexpr char user_agent[] = "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 6.1; Trident/4.0)";

std::mutex ca_bundle_lock;
std::string ca_bundle;

// Options every handle gets, in this order.
void set_common_options(http_transfer_c& t, const transfer_limits& limits) {
  CURL* e = t.easy_;
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.outcome_.error_text);
  // Redirects may go to the schemes a link may have, and nowhere else.
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 1L);
  curl_easy_setopt(e, CURLOPT_USERAGENT, user_agent);
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, 20L);
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, t.headers_);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, limits.connect_timeout_seconds);
  curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, limits.low_speed_seconds);
  // Certificates are checked (libcurl's default); where revocation lists
  // cannot be reached, Schannel may go on without them.
  curl_easy_setopt(e, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
  std::lock_guard<std::mutex> hold(ca_bundle_lock);
  if (!ca_bundle.empty()) curl_easy_setopt(e, CURLOPT_CAINFO, ca_bundle.c_str());
}

void release_form(http_transfer_c& t) {
  if (!t.form_) return;
  curl_easy_setopt(t.easy_, CURLOPT_MIMEPOST, static_cast<curl_mime*>(nullptr));
  curl_mime_free(t.form_);
  t.form_ = nullptr;
}

size_t write_to_memory(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<http_transfer_c*>(user);
  const size_t n = size * count;
  if (!data || count == 0) return n;
  auto& body = t.outcome_.body;
  // The body must stay followed by a zero byte: a reply that would reach the
  // end of the buffer fails the transfer (write error) and the body stays.
  if (t.outcome_.used + n >= t.outcome_.capacity) return 0;
  std::memcpy(body.data() + t.outcome_.used, data, n);
  t.outcome_.used += n;
  return n;
}

size_t write_to_file(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<http_transfer_c*>(user);
  if (!data || count == 0 || !t.progress_) return 0;
  const size_t n = size * count;
  auto& progress = *t.progress_;
  const uint64_t written = progress.written.load();
  if (uint64_t{progress.expected_size.load()} < written + n) {
    t.oversize_ = true;
    return 0;
  }
  if (std::fwrite(data, 1, n, t.output_) != n || std::fflush(t.output_) != 0) {
    t.write_failed_ = true;
    return 0;
  }
  if (t.hashing_) t.hashing_->written(written + n, data, n);
  progress.written.store(static_cast<uint32_t>(written + n));
  return n;
}

int report_progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* t = static_cast<http_transfer_c*>(user);
  return !t || !t->progress_ || t->progress_->stop_requested.load() ? 1 : 0;
}

void reset_outcome(http_transfer_c& t) {
  auto& o = t.outcome_;
  o.http_status = 0;
  o.content_type = nullptr;
  o.transfer_result = 0;
  // Only the part a reply can have written needs clearing again.
  if (o.capacity) std::memset(o.body.data(), 0, std::min(o.used + 1, o.capacity));
  o.used = 0;
}

// Makes the file hold exactly the `written` bytes counted, so that what is
// appended follows them: bytes of a write cut short are cut off. A file
// shorter than counted (or one that cannot be cut) cannot be continued, so
// the count goes back to 0 and the download starts over.
void keep_counted_bytes(const std::u16string& file_name, download_progress& progress) {
  const uint32_t written = progress.written.load();
  if (written == 0 || platform::file_size(file_name) == written) return;
  if (!platform::truncate_file(file_name, written)) progress.written.store(0);
}

// One try of a download. Done when the transfer ran to its end (its result
// in the progress record), else why it could not be made.
outcome download_attempt(http_transfer_c& t, const std::string& link, const std::u16string& file_name,
                     download_progress& progress) {
  reset_outcome(t);
  const link_scheme scheme = scheme_of(link);
  const char* mode = "wb";
  char range[32] = {};
  if (scheme == link_scheme::http || scheme == link_scheme::https) {
    keep_counted_bytes(file_name, progress);
    if (t.digest_ && !hash_file_start(*t.digest_, file_name, progress.written.load())) {
      // The partial file is shorter than counted or unreadable: what it
      // holds cannot be vouched for, so the download starts over.
      progress.written.store(0);
    }
    const uint32_t written = progress.written.load();
    if (written != 0) {
      mode = "ab";
      std::snprintf(range, sizeof range, "%u-", written);
    }
  } else if (scheme == link_scheme::ftp) {
    // FTP downloads start over, so what was written before no longer counts.
    progress.written.store(0);
  } else {
    progress.transfer_result.store(CURLE_URL_MALFORMAT);
    return outcome::failed(error_code::unsupported_link, "not an http, https or ftp link");
  }
  t.output_ = platform::open_file(file_name, mode);
  if (!t.output_) return outcome::failed(error_code::file_open_failed, "the file cannot be opened for writing");
  // Each chunk goes to the file in one call: it is flushed as it comes anyway.
  std::setvbuf(t.output_, nullptr, _IONBF, 0);
  t.progress_ = &progress;
  t.oversize_ = false;
  t.write_failed_ = false;
  if (t.digest_ && progress.written.load() == 0) t.digest_->reset();

  CURL* e = t.easy_;
  curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(e, CURLOPT_RANGE, range[0] ? range : nullptr);
  curl_easy_setopt(e, CURLOPT_URL, link.c_str());
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, write_to_file);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, report_progress);
  curl_easy_setopt(e, CURLOPT_XFERINFODATA, &t);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, static_cast<void*>(nullptr));
  curl_easy_setopt(e, CURLOPT_HEADERDATA, static_cast<void*>(nullptr));
  // Large reads: each one is written and flushed to the file on its own.
  curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 256L * 1024);
  // An error reply (an HTML page, say) must never become part of the package:
  // with this option libcurl fails the transfer before any of it is written.
  curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);

  std::optional<background_digest_c> hashing;
  if (t.digest_) t.hashing_ = &hashing.emplace(*t.digest_, file_name);
  const CURLcode result = curl_easy_perform(e);
  if (hashing) hashing->finish();
  t.hashing_ = nullptr;
  long status = 0;
  curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
  const bool closed = std::fclose(t.output_) == 0;
  t.output_ = nullptr;
  t.progress_ = nullptr;
  // What is left between attempts, and after the last, is exactly what was
  // counted (and hashed): a pause or a later run resumes after those bytes.
  if (t.write_failed_ || !closed) keep_counted_bytes(file_name, progress);
  // A stop request is how a download is paused: not a failure.
  progress.transfer_result.store(result == CURLE_ABORTED_BY_CALLBACK ? 0 : result);
  progress.http_status.store(static_cast<int32_t>(status));
  return outcome::done();
}

// Waits up to `pause`, but no longer than a stop request takes to arrive.
void pause_unless_stopped(std::chrono::milliseconds pause, const download_progress& progress) {
  const auto until = std::chrono::steady_clock::now() + pause;
  while (!progress.stop_requested.load() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(
        std::chrono::milliseconds(50), std::chrono::duration_cast<std::chrono::milliseconds>(
                                           until - std::chrono::steady_clock::now())));
  }
}

}  // namespace

http_transfer_c::~http_transfer_c() {
  if (easy_) {
    release_form(*this);
    curl_easy_cleanup(easy_);
  }
  curl_slist_free_all(headers_);
}

bool http_transfer_c::add_form_part(const std::string& name, const void* data, size_t size) {
  if (!form_ && !(form_ = curl_mime_init(easy_))) return false;
  curl_mimepart* part = curl_mime_addpart(form_);
  return part && curl_mime_name(part, name.c_str()) == CURLE_OK &&
         curl_mime_data(part, static_cast<const char*>(data), size) == CURLE_OK;
}

namespace {
// The library's global state, made once: by transfer_library_init() or by
// the first transfer object, whichever comes first. Making it loads the
// system's TLS and network libraries, which the program's start need not
// wait for.
std::mutex library_lock;
bool library_ready = false;
}  // namespace

bool transfer_library_init() {
  std::lock_guard<std::mutex> hold(library_lock);
  if (!library_ready) library_ready = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
  return library_ready;
}

void transfer_library_cleanup() {
  std::lock_guard<std::mutex> hold(library_lock);
  if (library_ready) curl_global_cleanup();
  library_ready = false;
}

void set_transfer_ca_bundle(const std::string& pem_file) {
  std::lock_guard<std::mutex> hold(ca_bundle_lock);
  ca_bundle = pem_file;
}

std::unique_ptr<http_transfer_c> create_transfer(size_t body_capacity, const transfer_limits& limits) {
  if (!transfer_library_init()) return nullptr;
  auto t = std::make_unique<http_transfer_c>();
  t->easy_ = curl_easy_init();
  t->headers_ = curl_slist_append(nullptr, "Connection: close");
  if (!t->easy_ || !t->headers_) return nullptr;
  // Zero bytes beyond the capacity: the XML library, reading a reply as
  // UTF-8, may look up to three bytes past the terminating zero when the
  // reply ends inside a multi-byte sequence.
  t->outcome_.capacity = body_capacity;
  t->outcome_.body.assign(body_capacity ? body_capacity + reply_slack : 0, 0);
  set_common_options(*t, limits);
  return t;
}

const transfer_outcome& request(http_transfer_c& t, const std::string& url, int method) {
  reset_outcome(t);
  CURL* e = t.easy_;
  if (method == static_cast<int>(request_method::post)) {
    if (t.form_) {
      curl_easy_setopt(e, CURLOPT_MIMEPOST, t.form_);
    } else {
      // An empty body; without data of its own libcurl would read stdin.
      curl_easy_setopt(e, CURLOPT_POSTFIELDS, "");
      curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE, 0L);
    }
  } else {
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
  }
  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, write_to_memory);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, static_cast<void*>(nullptr));
  curl_easy_setopt(e, CURLOPT_HEADERDATA, static_cast<void*>(nullptr));

  auto& o = t.outcome_;
  const CURLcode result = curl_easy_perform(e);
  o.transfer_result = result;
  if (result == CURLE_OK) {
    char* type = nullptr;
    curl_easy_getinfo(e, CURLINFO_CONTENT_TYPE, &type);
    o.content_type = type;
  }
  long status = 0;
  curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
  o.http_status = static_cast<int32_t>(status);
  if (o.http_status == 0) o.http_status = 504;
  if (o.transfer_result == CURLE_OK && o.http_status >= 400) o.transfer_result = CURLE_HTTP_RETURNED_ERROR;
  release_form(t);
  return o;
}

outcome download_file(const std::string& link, download_progress& progress, const std::u16string& file_name,
                      const download_options& options, package_digest_c* digest) {
  const auto t = create_transfer(0, options.limits);
  if (!t) return outcome::failed(error_code::transfer_unavailable, "no transfer object can be made");
  t->digest_ = digest;
  const std::string escaped = escape_link_spaces(link);
  outcome result = outcome::failed(error_code::transfer_unavailable, "no attempt was made");
  for (int attempt = 0; attempt < options.max_attempts; ++attempt) {
    result = download_attempt(*t, escaped, file_name, progress);
    if (result) {
      if (progress.stop_requested.load() || progress.transfer_result.load() == 0) break;
      if (t->oversize_) {
        // The server sent more than the package's size: what is in the file
        // cannot be trusted, so the next attempt starts from the beginning.
        platform::remove_file(file_name);
        progress.written.store(0);
      }
    }
    if (attempt + 1 < options.max_attempts) pause_unless_stopped(options.retry_pause, progress);
    if (progress.stop_requested.load()) break;
  }
  // The last attempt ran, but its transfer was cut on this side.
  if (result && t->oversize_) {
    return outcome::failed(error_code::oversize_download, "the server sent more than the package's size");
  }
  if (result && t->write_failed_) return outcome::failed(error_code::file_write_failed, "the file cannot be written");
  return result;
}

bool hash_file_start(package_digest_c& digest, const std::u16string& file_name, uint64_t length) {
  if (digest.length() == length) return true;
  digest.reset();
  if (length == 0) return true;
  std::FILE* file = platform::open_file(file_name, "rb");
  if (!file) return false;
  std::vector<char> buffer(256 * 1024);
  uint64_t left = length;
  while (left > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
    const size_t got = std::fread(buffer.data(), 1, want, file);
    digest.update(buffer.data(), got);
    left -= got;
    if (got < want) break;
  }
  std::fclose(file);
  if (left == 0) return true;
  digest.reset();
  return false;
}

std::string escape_link_spaces(const std::string& link) {
  std::string out;
  out.reserve(link.size());
  bool in_extra_info = false;  // the query or fragment keeps its spaces
  for (const char c : link) {
    if (c == '?' || c == '#') in_extra_info = true;
    if (c == ' ' && !in_extra_info) {
      out += "%20";
    } else {
      out += c;
    }
  }
  return out;
}

link_scheme scheme_of(const std::string& link) {
  if (starts_with_ignore_case_ascii(link, "http://")) return link_scheme::http;
  if (starts_with_ignore_case_ascii(link, "https://")) return link_scheme::https;
  if (starts_with_ignore_case_ascii(link, "ftp://")) return link_scheme::ftp;
  return link_scheme::unsupported;
}

}  // namespace quillary
