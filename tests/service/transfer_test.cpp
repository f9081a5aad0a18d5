// The transfer layer against real peers: nginx (a stock server, with range
// requests and TLS) and quillary-service in its fault modes. Started by
// with_peers.py, which passes the addresses in QUILLARY_TEST_* variables.
#include "service/http_transfer.h"
#include "service/update_request.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/outcome.h"
#include "base/md5.h"
#include "base/sha256.h"
#include "test_support.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace quillary {
namespace {

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

uint32_t env_number(const char* name) {
  return static_cast<uint32_t>(std::strtoul(env(name).c_str(), nullptr, 10));
}

std::string file_bytes(const std::u16string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool under_wine() {
#ifdef _WIN32
  return true;  // the Windows tests always run under Wine here
#else
  return false;
#endif
}

class transfer_test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_FALSE(env("QUILLARY_TEST_HTTP").empty()) << "run through with_peers.py";
    transfer_library_init();
  }
  static void TearDownTestSuite() { transfer_library_cleanup(); }
  void TearDown() override { set_transfer_ca_bundle(""); }

  // No pause between attempts, and a quick give-up on stalled servers.
  static download_options quick(int attempts = 10) {
    download_options options;
    options.max_attempts = attempts;
    options.retry_pause = std::chrono::milliseconds(0);
    options.limits.low_speed_seconds = 2;
    return options;
  }
  std::u16string target(const char* name = "download.bin") { return folder.below(name); }

  // Pauses a throttled download part-way, then resumes it from where it stopped.
  void pause_and_resume(const std::string& slow, const std::string& fast) {
    progress.expected_size = payload_size;
    const auto file = folder.below("paused.bin");
    int result = -1;
    std::thread download([&] { result = download_file(slow, progress, file, quick()).code; });
    while (progress.written < 400000 && progress.transfer_result == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    progress.stop_requested = 1;
    download.join();
    ASSERT_EQ(result, 0);
    EXPECT_EQ(progress.transfer_result, 0) << "a stop is not a failure";
    const uint32_t paused_at = progress.written;
    ASSERT_GT(paused_at, 0u);
    ASSERT_LT(paused_at, payload_size);
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(file)), paused_at);

    progress.stop_requested = 0;
    ASSERT_EQ(download_file(fast, progress, file, quick()).code, 0);
    EXPECT_EQ(progress.transfer_result, 0);
    EXPECT_EQ(progress.http_status, 206) << "resumed with a byte range";
    EXPECT_EQ(progress.written, payload_size);
    EXPECT_EQ(md5_hex(file_bytes(file)), payload_md5);
  }

  testing::temp_folder_c folder;
  download_progress progress;
  const std::string http = env("QUILLARY_TEST_HTTP");
  const std::string payload_md5 = env("QUILLARY_TEST_PAYLOAD_MD5");
  const uint32_t payload_size = env_number("QUILLARY_TEST_PAYLOAD_SIZE");
};

// --- requests into the reply buffer ---------------------------------------------

TEST_F(transfer_test, get_collects_the_reply_followed_by_a_zero_byte) {
  auto t = create_transfer(4096);
  ASSERT_TRUE(t);
  const auto& o = request(*t, http + "/small.txt", 0);
  EXPECT_EQ(o.transfer_result, 0);
  EXPECT_EQ(o.http_status, 200);
  ASSERT_NE(o.content_type, nullptr);
  EXPECT_STREQ(o.content_type, "text/plain");
  EXPECT_EQ(std::string(o.body.data(), o.used), "quillary transfer test\n");
  EXPECT_EQ(o.body[o.used], 0);
  // A second, shorter reply leaves no trace of the first.
  request(*t, http + "/missing.txt", 0);
  EXPECT_EQ(o.http_status, 404);
  EXPECT_EQ(o.transfer_result, 22) << "a status of 400 or more is a failure";
  EXPECT_EQ(std::strlen(o.body.data()), o.used);
}

TEST_F(transfer_test, a_reply_must_be_shorter_than_the_buffer) {
  auto t = create_transfer(payload_size);  // exactly as large: one byte too small
  const auto& o = request(*t, http + "/payload.bin", 0);
  EXPECT_EQ(o.transfer_result, 23);
  EXPECT_STRNE(o.error_text, "");
  EXPECT_LT(o.used, payload_size);
  auto roomy = create_transfer(payload_size + 1);
  EXPECT_EQ(request(*roomy, http + "/payload.bin", 0).transfer_result, 0);
}

TEST_F(transfer_test, no_response_at_all_reads_as_504) {
  auto t = create_transfer(1024);
  const auto& o = request(*t, env("QUILLARY_TEST_CLOSED") + "/", 0);
  EXPECT_EQ(o.http_status, 504);
  EXPECT_EQ(o.transfer_result, 7);  // could not connect
  EXPECT_EQ(request(*t, env("QUILLARY_TEST_SERVICE_REFUSE"), 1).http_status, 504);
}

TEST_F(transfer_test, post_sends_the_form_to_the_service) {
  auto t = create_transfer(1 << 20);
  // Not a valid request document: the service must refuse it politely.
  ASSERT_TRUE(t->add_form_part("driversm", "not zlib", 8));
  const auto& o = request(*t, env("QUILLARY_TEST_SERVICE_NORMAL"), 1);
  EXPECT_EQ(o.http_status, 400);
  EXPECT_EQ(o.transfer_result, 22);
  // The form was used up: the next POST sends an empty body.
  EXPECT_EQ(request(*t, env("QUILLARY_TEST_SERVICE_NORMAL"), 1).http_status, 400);
  EXPECT_EQ(request(*t, env("QUILLARY_TEST_SERVICE_STATUS_503"), 1).http_status, 503);
}

TEST_F(transfer_test, an_oversize_reply_fails_with_the_library_text) {
  auto t = create_transfer(5242880);
  update_request_info info;
  info.os_code_name = "WIN764";
  std::string compressed;
  ASSERT_EQ(compress_request(build_update_request({}, info), compressed), 0);
  t->add_form_part("driversm", compressed.data(), compressed.size());
  const auto& o = request(*t, env("QUILLARY_TEST_SERVICE_OVERSIZE"), 1);
  EXPECT_EQ(o.transfer_result, 23);
  EXPECT_STRNE(o.error_text, "");
}

// --- downloads ------------------------------------------------------------------

TEST_F(transfer_test, downloads_the_whole_file) {
  progress.expected_size = payload_size;
  ASSERT_EQ(download_file(http + "/payload.bin", progress, target(), quick()).code, 0);
  EXPECT_EQ(progress.transfer_result, 0);
  EXPECT_EQ(progress.http_status, 200);
  EXPECT_EQ(progress.written, payload_size);
  EXPECT_EQ(md5_hex(file_bytes(target())), payload_md5);
}

TEST_F(transfer_test, scheme_letters_may_be_capitals_and_spaces_are_escaped) {
  progress.expected_size = payload_size;
  const std::string host = http.substr(std::string("http://").size());
  ASSERT_EQ(download_file("HTTP://" + host + "/with space.bin", progress, target(), quick()).code, 0);
  EXPECT_EQ(progress.transfer_result, 0);
  EXPECT_EQ(md5_hex(file_bytes(target())), payload_md5);
  EXPECT_EQ(escape_link_spaces("http://h/a b/c d?x y#z w"), "http://h/a%20b/c%20d?x y#z w");
}

TEST_F(transfer_test, pause_at_any_byte_and_resume_with_a_range) {
  pause_and_resume(http + "/slow/payload.bin", http + "/payload.bin");
}

TEST_F(transfer_test, https_checks_the_certificate_and_resumes_like_http) {
  const std::string https = env("QUILLARY_TEST_HTTPS");
  if (!under_wine()) {
    // A certificate no trusted authority signed is refused.
    progress.expected_size = payload_size;
    ASSERT_EQ(download_file(https + "/payload.bin", progress, target(), quick(1)).code, 0);
    EXPECT_EQ(progress.transfer_result, 60);
    EXPECT_EQ(progress.written, 0u);
    progress.transfer_result = 0;
    progress.http_status = 0;
    set_transfer_ca_bundle(env("QUILLARY_TEST_CA"));
  }
  // (Wine's Schannel accepts any certificate, so only this half runs there.)
  pause_and_resume(https + "/slow/payload.bin", https + "/payload.bin");
}

TEST_F(transfer_test, an_error_reply_is_never_written_into_the_package) {
  // A partial download of 1000 bytes, then the server answers 404.
  const std::string head(1000, 'p');
  {
    std::ofstream out(std::filesystem::path(target()), std::ios::binary);
    out << head;
  }
  progress.expected_size = payload_size;
  progress.written = 1000;
  ASSERT_EQ(download_file(http + "/gone.bin", progress, target(), quick()).code, 0);
  EXPECT_EQ(progress.transfer_result, 22);
  EXPECT_EQ(progress.http_status, 404);
  EXPECT_EQ(progress.written, 1000u);
  EXPECT_EQ(file_bytes(target()), head) << "the partial file is untouched";
}

TEST_F(transfer_test, unsupported_schemes_and_unwritable_files_fail_at_once) {
  ASSERT_EQ(download_file("gopher://127.0.0.1/x", progress, target(), quick()).code, error_code::unsupported_link);
  EXPECT_EQ(progress.transfer_result, 3);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(target())));

  progress.expected_size = payload_size;
  EXPECT_EQ(download_file(http + "/payload.bin", progress, folder.below("no/such/folder/x"), quick()).code,
            error_code::file_open_failed);
}

TEST_F(transfer_test, more_bytes_than_expected_restart_the_file) {
  // Expecting fewer bytes than the file has: every attempt overflows, the
  // file is deleted each time and nothing is kept.
  progress.expected_size = payload_size - 10;
  ASSERT_EQ(download_file(http + "/payload.bin", progress, target(), quick(3)).code, error_code::oversize_download);
  EXPECT_EQ(progress.transfer_result, 23);
  EXPECT_EQ(progress.written, 0u);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(target())));
}

#ifndef _WIN32
// A disk that fills up part-way: a file-size limit makes the system write
// part of a chunk and then refuse, as a full disk or a quota does.
TEST_F(transfer_test, a_write_cut_short_leaves_only_the_counted_bytes_and_the_digest_is_the_files) {
  constexpr rlim_t limit = 1024 * 1024 + 1000;  // inside a chunk
  ASSERT_GT(payload_size, limit);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit cut = old;
  cut.rlim_cur = limit;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &cut), 0);
  progress.expected_size = payload_size;
  package_digest_c digest;
  const outcome first = download_file(http + "/payload.bin", progress, target(), quick(2), &digest);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, old_handler);

  ASSERT_EQ(first.code, error_code::file_write_failed);
  EXPECT_EQ(progress.transfer_result, 23) << "a write error";
  EXPECT_LE(progress.written, limit);
  EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(target())), progress.written)
      << "no stray bytes after the counted ones";
  EXPECT_EQ(digest.length(), progress.written);

  // With room again the download resumes after the counted bytes and ends
  // as the package, its digest the file's own.
  ASSERT_EQ(download_file(http + "/payload.bin", progress, target(), quick(), &digest).code, 0);
  EXPECT_EQ(progress.transfer_result, 0);
  EXPECT_EQ(progress.http_status, 206);
  const std::string bytes = file_bytes(target());
  EXPECT_EQ(bytes.size(), payload_size);
  EXPECT_EQ(md5_hex(bytes), payload_md5);
  EXPECT_EQ(digest.sha256(), sha256_of(bytes));
}
#endif

// --- the service's fault modes ----------------------------------------------------

class service_faults : public transfer_test {
 protected:
  std::string package(const char* fault) {
    return env((std::string("QUILLARY_TEST_SERVICE_") + fault).c_str()) + "packages/" +
           env("QUILLARY_TEST_PACKAGE");
  }
  const uint32_t package_size = env_number("QUILLARY_TEST_PACKAGE_SIZE");
  const std::string package_md5 = env("QUILLARY_TEST_PACKAGE_MD5");
};

TEST_F(service_faults, a_stalled_body_is_given_up_and_keeps_what_came) {
  progress.expected_size = package_size;
  ASSERT_EQ(download_file(package("STALL"), progress, target(), quick(1)).code, 0);
  EXPECT_EQ(progress.transfer_result, 28) << "aborted by the low-speed limit";
  EXPECT_EQ(progress.written, 100000u);
  // The next attempt, elsewhere, resumes from there.
  ASSERT_EQ(download_file(package("NORMAL"), progress, target(), quick()).code, 0);
  EXPECT_EQ(md5_hex(file_bytes(target())), package_md5);
}

TEST_F(service_faults, truncated_bodies_are_resumed_until_complete) {
  progress.expected_size = package_size;
  ASSERT_EQ(download_file(package("TRUNCATE"), progress, target(), quick()).code, 0);
  EXPECT_EQ(progress.transfer_result, 0);
  EXPECT_EQ(progress.written, package_size);
  EXPECT_EQ(md5_hex(file_bytes(target())), package_md5);
}

TEST_F(service_faults, an_ignored_range_restarts_from_the_beginning_and_so_does_the_digest) {
  progress.expected_size = package_size;
  package_digest_c digest;
  ASSERT_EQ(download_file(package("NORMAL"), progress, target(), quick(), &digest).code, 0);
  const std::string whole = file_bytes(target());
  EXPECT_EQ(digest.sha256(), sha256_of(whole)) << "hashed while written";
  // Pretend the last 5000 bytes are missing and resume at a server that
  // answers ranges with the whole file; the digest of this run knows
  // nothing of the partial file yet.
  std::filesystem::resize_file(std::filesystem::path(target()), package_size - 5000);
  progress.written = package_size - 5000;
  package_digest_c resumed;
  ASSERT_EQ(download_file(package("IGNORE_RANGE"), progress, target(), quick(), &resumed).code, 0);
  EXPECT_EQ(progress.transfer_result, 0);
  EXPECT_EQ(md5_hex(file_bytes(target())), package_md5);
  EXPECT_EQ(resumed.length(), package_size);
  EXPECT_EQ(resumed.sha256(), sha256_of(whole)) << "started over with the file";
}

TEST_F(service_faults, a_resumed_download_hashes_the_partial_file_once_then_what_arrives) {
  progress.expected_size = package_size;
  ASSERT_EQ(download_file(package("NORMAL"), progress, target(), quick()).code, 0);
  const std::string whole = file_bytes(target());
  std::filesystem::resize_file(std::filesystem::path(target()), 700000);
  progress.written = 700000;
  package_digest_c digest;
  ASSERT_EQ(download_file(package("NORMAL"), progress, target(), quick(), &digest).code, 0);
  EXPECT_EQ(progress.http_status, 206);
  EXPECT_EQ(digest.sha256(), sha256_of(whole));
  // A partial file shorter than counted cannot be vouched for: the
  // download starts over rather than hash a hole.
  std::filesystem::resize_file(std::filesystem::path(target()), 1000);
  progress.written = 900000;
  package_digest_c fresh;
  ASSERT_EQ(download_file(package("NORMAL"), progress, target(), quick(), &fresh).code, 0);
  EXPECT_EQ(progress.http_status, 200);
  EXPECT_EQ(fresh.sha256(), sha256_of(whole));
  EXPECT_EQ(file_bytes(target()), whole);
}

TEST_F(service_faults, extra_bytes_never_leave_a_file_behind) {
  progress.expected_size = package_size;
  ASSERT_EQ(download_file(package("EXTRA"), progress, target(), quick(2)).code, error_code::oversize_download);
  EXPECT_EQ(progress.transfer_result, 23);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(target())));
}

TEST_F(service_faults, error_status_downloads_write_nothing) {
  progress.expected_size = package_size;
  ASSERT_EQ(download_file(package("STATUS_503"), progress, target(), quick(2)).code, 0);
  EXPECT_EQ(progress.http_status, 503);
  EXPECT_EQ(progress.transfer_result, 22);
  EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(target())), 0u);
}

TEST_F(service_faults, a_stop_request_cuts_the_pause_between_attempts_short) {
  progress.expected_size = package_size;
  download_options options = quick();
  options.retry_pause = std::chrono::milliseconds(60000);
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    progress.stop_requested = 1;
  });
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(download_file(package("STATUS_503"), progress, target(), options).code, 0);
  stopper.join();
  EXPECT_EQ(progress.transfer_result, 22) << "the result of the one attempt made";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
}  // namespace quillary
