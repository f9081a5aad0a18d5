// Download sessions over a real server (started by with_peers.py): the
// states a download goes through, pausing and resuming.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/md5.h"
#include "download/download_session.h"
#include "platform/files.h"
#include "test_support.h"

namespace quillary {
namespace {

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string md5_of_file(const std::u16string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return md5_hex(bytes.str());
}

class session_test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { transfer_library_init(); }
  static void TearDownTestSuite() { transfer_library_cleanup(); }

  static download_options quick() {
    download_options options;
    options.retry_pause = std::chrono::milliseconds(0);
    options.limits.low_speed_seconds = 2;
    return options;
  }
  // Observes, as the panel's timer does, until the state leaves downloading.
  static void observe_to_end(download_session_c& s) {
    for (int i = 0; i < 3000 && s.state() == download_state::downloading; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      s.observe();
    }
  }

  testing::temp_folder_c folder;
  download_registry_c registry{folder.text(), quick()};
  const std::string http = env("QUILLARY_TEST_HTTP");
  const uint32_t size = static_cast<uint32_t>(std::strtoul(env("QUILLARY_TEST_PAYLOAD_SIZE").c_str(), nullptr, 10));
};

TEST_F(session_test, completes_and_moves_the_file_to_its_final_name) {
  auto s = registry.find_or_create(http + "/payload.bin", size);
  ASSERT_TRUE(s->start());
  EXPECT_EQ(s->state(), download_state::downloading);
  observe_to_end(*s);
  ASSERT_EQ(s->state(), download_state::complete);
  EXPECT_FALSE(s->has_thread());
  EXPECT_FALSE(platform::file_exists(s->temp_path()));
  EXPECT_EQ(md5_of_file(s->final_path()), env("QUILLARY_TEST_PAYLOAD_MD5"));
}

TEST_F(session_test, a_pause_shows_once_the_thread_has_ended_and_resume_continues) {
  auto s = registry.find_or_create(http + "/slow/payload.bin", size);
  ASSERT_TRUE(s->start());
  while (s->progress().written < 300000) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  s->pause();
  EXPECT_EQ(s->state(), download_state::downloading) << "only the flag is set";
  observe_to_end(*s);
  ASSERT_EQ(s->state(), download_state::paused);
  EXPECT_EQ(s->progress().stop_requested, 0);
  const uint32_t paused_at = s->progress().written;
  EXPECT_EQ(platform::file_size(s->temp_path()), paused_at);

  // A new run of the program: the session comes back paused at the same byte.
  download_registry_c later(folder.text(), quick());
  auto resumed = later.find_or_create(http + "/slow/payload.bin", size);
  ASSERT_EQ(resumed->state(), download_state::paused);
  EXPECT_EQ(resumed->progress().written, paused_at);
}

TEST_F(session_test, a_partial_file_removed_while_paused_is_downloaded_again_from_the_start) {
  const std::string link = http + "/payload.bin";
  const auto paths = paths_for_link(link, folder.text());
  { std::ofstream(std::filesystem::path(paths.temp_path)) << std::string(1000, 'x'); }
  auto s = registry.find_or_create(link, size);
  ASSERT_EQ(s->progress().written, 1000u);
  ASSERT_TRUE(platform::remove_file(paths.temp_path));
  ASSERT_TRUE(s->start());
  observe_to_end(*s);
  ASSERT_EQ(s->state(), download_state::complete);
  EXPECT_EQ(md5_of_file(paths.final_path), env("QUILLARY_TEST_PAYLOAD_MD5")) << "not only the package's tail";
}

TEST_F(session_test, a_whole_partial_file_left_by_an_earlier_run_completes_without_a_request) {
  auto first = registry.find_or_create(http + "/payload.bin", size);
  ASSERT_TRUE(first->start());
  observe_to_end(*first);
  ASSERT_EQ(first->state(), download_state::complete);
  // As if the program had ended between the last byte and the move.
  std::filesystem::rename(std::filesystem::path(first->final_path()), std::filesystem::path(first->temp_path()));

  download_registry_c later(folder.text(), quick());
  auto s = later.find_or_create(http + "/payload.bin", size);
  ASSERT_EQ(s->state(), download_state::paused);
  ASSERT_TRUE(s->start());
  EXPECT_FALSE(s->has_thread());
  EXPECT_EQ(s->state(), download_state::complete);
  EXPECT_EQ(md5_of_file(s->final_path()), env("QUILLARY_TEST_PAYLOAD_MD5"));
}

TEST_F(session_test, fewer_bytes_than_expected_is_an_error_and_resume_asks_for_the_rest) {
  auto s = registry.find_or_create(http + "/payload.bin", size + 100);
  ASSERT_TRUE(s->start());
  observe_to_end(*s);
  EXPECT_EQ(s->state(), download_state::error);
  EXPECT_EQ(s->progress().transfer_result, 0) << "the transfer itself succeeded";
  ASSERT_TRUE(s->start());
  observe_to_end(*s);
  EXPECT_EQ(s->state(), download_state::error);
  EXPECT_EQ(s->progress().http_status, 416) << "it asked for the bytes after the ones it has";
  EXPECT_EQ(platform::file_size(s->temp_path()), size) << "the error reply was not written";
}

TEST_F(session_test, a_partial_file_larger_than_the_package_is_downloaded_again) {
  const std::string link = http + "/payload.bin";
  const auto paths = paths_for_link(link, folder.text());
  { std::ofstream(std::filesystem::path(paths.temp_path)) << std::string(size + 1000, 'x'); }
  auto s = registry.find_or_create(link, size);
  ASSERT_TRUE(s->start());
  observe_to_end(*s);
  ASSERT_EQ(s->state(), download_state::complete);
  EXPECT_EQ(md5_of_file(paths.final_path), env("QUILLARY_TEST_PAYLOAD_MD5"));
}

TEST_F(session_test, two_links_of_the_same_name_are_two_packages) {
  auto payload = registry.find_or_create(http + "/payload.bin", size);
  ASSERT_TRUE(payload->start());
  observe_to_end(*payload);
  ASSERT_EQ(payload->state(), download_state::complete);
  auto same_name = registry.find_or_create(http + "/other/payload.bin", size);
  EXPECT_NE(same_name->final_path(), payload->final_path());
  EXPECT_EQ(same_name->state(), download_state::not_downloaded) << "not complete with the other's bytes";
}

TEST_F(session_test, a_size_of_zero_ends_in_error) {
  auto s = registry.find_or_create(http + "/small.txt", 0);
  ASSERT_TRUE(s->start());
  observe_to_end(*s);
  EXPECT_EQ(s->state(), download_state::error);
}

TEST_F(session_test, completing_beside_an_existing_final_file_keeps_both) {
  const std::string link = http + "/payload.bin";
  const auto paths = paths_for_link(link, folder.text());
  { std::ofstream(std::filesystem::path(paths.final_path)) << "older"; }
  { std::ofstream(std::filesystem::path(paths.temp_path)) << ""; }  // an empty partial file
  auto s = registry.find_or_create(link, size);
  ASSERT_EQ(s->state(), download_state::paused);
  ASSERT_TRUE(s->start());
  observe_to_end(*s);
  EXPECT_EQ(s->state(), download_state::complete);
  EXPECT_EQ(platform::file_size(paths.final_path), 5u) << "the move does not replace";
  EXPECT_EQ(platform::file_size(paths.temp_path), size);
}

}  // namespace
}  // namespace quillary
