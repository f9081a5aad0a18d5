// The program's only HTTP client, over libcurl: requests whose reply is
// collected in a fixed-size buffer (the update query), and file downloads
// with resume, retries and a stop flag (driver packages).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/outcome.h"
#include "base/package_digest.h"

typedef void CURL;
struct curl_mime;
struct curl_slist;

namespace quillary {

// Progress of one download, shared between the download thread (which writes
// `written`, `http_status` and `transfer_result`) and the window thread
// (which sets `expected_size` before the start and `stop_requested` to pause).
// Each field has a single writer; atomics make the reads well defined.
struct download_progress {
  std::atomic<uint32_t> expected_size{0};
  std::atomic<uint32_t> written{0};
  std::atomic<int32_t> http_status{0};
  std::atomic<int32_t> transfer_result{0};
  std::atomic<int32_t> stop_requested{0};
};

// What the last request of a transfer object gave.
struct transfer_outcome {
  // HTTP status of the last request; 504 when no response came at all.
  int32_t http_status = 0;
  // The reply's content type; owned by the easy handle, null when unknown.
  const char* content_type = nullptr;
  // libcurl's result, or 22 when the transfer succeeded with status >= 400.
  int32_t transfer_result = 0;
  // Reply body. The capacity is fixed at creation; the body is always
  // followed by a zero byte, so a reply must be one byte shorter than it.
  // (The buffer has a few more zero bytes behind the capacity.)
  std::vector<char> body;
  size_t capacity = 0;
  size_t used = 0;
  char error_text[256] = {};  // CURL_ERROR_SIZE
};

// Time limits; the defaults are the program's, tests shorten them.
struct transfer_limits {
  long connect_timeout_seconds = 30;
  // A transfer slower than 1 byte per second for this long is aborted.
  long low_speed_seconds = 30;
};

// One libcurl easy handle with what a transfer needs around it. Made by
// create_transfer; the members are the transfer functions' business.
struct http_transfer_c {
  http_transfer_c() = default;
  ~http_transfer_c();
  http_transfer_c(const http_transfer_c&) = delete;
  http_transfer_c& operator=(const http_transfer_c&) = delete;

  // Adds a part to the multipart form of the next POST: `name` and the
  // bytes, with no file name and no content type of its own.
  bool add_form_part(const std::string& name, const void* data, size_t size);
  const transfer_outcome& outcome() const { return outcome_; }

  CURL* easy_ = nullptr;
  curl_mime* form_ = nullptr;
  curl_slist* headers_ = nullptr;
  transfer_outcome outcome_;
  // During a download attempt only.
  std::FILE* output_ = nullptr;
  download_progress* progress_ = nullptr;
  // The running digest of the file, when the download keeps one, and
  // during an attempt the thread that hashes what is written.
  package_digest_c* digest_ = nullptr;
  class background_digest_c* hashing_ = nullptr;
  // This attempt received more than the expected size.
  bool oversize_ = false;
  // This attempt could not write all of a chunk (disk full, a quota): the
  // file may hold part of it after the bytes counted.
  bool write_failed_ = false;
};

enum class request_method { get = 0, post = 1 };

// Process-wide libcurl state, made by the first transfer object when not
// before (calls after the first change nothing); released after the last
// transfer object is gone.
bool transfer_library_init();
void transfer_library_cleanup();

// Certificate authorities to trust instead of the system's (empty: the
// system's own). For hosts that serve with a private CA, and for tests.
void set_transfer_ca_bundle(const std::string& pem_file);

// A new transfer object with a reply buffer of `body_capacity` bytes (0: no
// buffer), or null when it cannot be made.
std::unique_ptr<http_transfer_c> create_transfer(size_t body_capacity,
                                                 const transfer_limits& limits = {});

// One request; the reply goes into the body buffer. POST sends the form when
// parts were added (the form is used up by it), else an empty body.
const transfer_outcome& request(http_transfer_c& transfer, const std::string& url, int method);

struct download_options {
  int max_attempts = 10;
  // Pause between attempts; a stop request ends it early.
  std::chrono::milliseconds retry_pause{5000};
  transfer_limits limits;
};

// Downloads `link` into `file_name`, resuming at `progress.written`, with up
// to ten attempts. Done when the last attempt ran its transfer to the end
// (whether the server's answer was good is progress.transfer_result). Fails
// when it could not be made (error_code 7: no transfer object; 4: the file
// cannot be opened; unsupported_link), or when the last attempt's transfer
// was cut here: the server sent more than the expected size (25) or the
// file could not take the bytes (5).
// With `digest`, the file's digests (its SHA-256, and the BLAKE2b of a
// signed package) are kept in step with what is
// written, as it is written: a resumed download first hashes the partial
// file once (unless `digest` covers it already, as after a pause in the
// same run), and a download that starts over from byte 0 starts the digest
// over too. Afterwards `digest` covers the first `progress.written` bytes.
outcome download_file(const std::string& link, download_progress& progress, const std::u16string& file_name,
                      const download_options& options = {}, package_digest_c* digest = nullptr);

// Makes `digest` cover exactly the first `length` bytes of the file: nothing
// to do when it covers that many already, else they are read once. False
// (and `digest` back at its start) when the file holds fewer bytes or cannot
// be read.
bool hash_file_start(package_digest_c& digest, const std::u16string& file_name, uint64_t length);

// Spaces before the query or fragment become %20; nothing else changes.
std::string escape_link_spaces(const std::string& link);

// The download schemes: "http://", "https://" (certificate checked) and
// "ftp://", compared without regard to case.
enum class link_scheme { http, https, ftp, unsupported };
link_scheme scheme_of(const std::string& link);

}  // namespace quillary
