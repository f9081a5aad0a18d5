// Download sessions: file names, start states from the files on disk,
// removal, and the registry; without network.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "base/md5.h"
#include "base/sha256.h"
#include "download/download_session.h"
#include "platform/files.h"
#include "platform/text.h"
#include "test_support.h"

namespace quillary {
namespace {

void write_file(const std::u16string& path, size_t size) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out << std::string(size, 'x');
}

class session_files : public ::testing::Test {
 protected:
  testing::temp_folder_c folder;
  download_registry_c registry{folder.text()};
};

TEST(download_paths, the_whole_link_names_the_files) {
  const std::string link = "http://h.example/drivers/abc.zip";
  const auto paths = paths_for_link(link, u"D");
  const std::u16string base = platform::join_path(u"D", ascii_to_utf16(md5_hex(link)));
  EXPECT_EQ(paths.final_path, base + u".zip");
  EXPECT_EQ(paths.temp_path, base + u".zip.tmp");
  // Links that share their last component are different packages.
  EXPECT_NE(paths_for_link("http://h.example/other/abc.zip", u"D").final_path, paths.final_path);
  EXPECT_NE(paths_for_link("ftp://h.example/drivers/abc.zip", u"D").final_path, paths.final_path);
}

TEST(download_paths, the_extension_is_the_one_of_the_file_the_link_names) {
  struct example {
    const char* link;
    const char* extension;
  };
  const example examples[] = {
      {"http://host/setup", ".exe"},                        // none: a program
      {"http://127.0.0.1:8080/get/setup", ".exe"},          // a dot in the host is none
      {"http://host/pkg.zip?id=5", ".zip"},                 // the query is no part of it
      {"http://host/pkg.zip#part", ".zip"},
      {"http://host/get.php?file=driver.msi", ".msi"},      // a script page hands out a file
      {"http://host/Download.ASPX?id=3&name=drv.cab", ".cab"},
      {"http://host/dl?id=7&f=video.zip&lang=en", ".zip"},  // no extension of its own
      {"http://host/get.php?id=7", ".php"},                 // nothing better named: as before
      {"http://host/get.php?file=a/b.msi", ".php"},         // a path is no file name
      {"http://host/get.php?file=x.m%20i", ".php"},         // nor is this an extension
      {"http://host/pkg.zip?sig=ab.cd", ".zip"},            // an own extension that is a file's wins
      {"http://host/a.", ".exe"},
  };
  for (const auto& e : examples) EXPECT_EQ(extension_for_link(e.link), e.extension) << e.link;
}

TEST_F(session_files, the_start_state_comes_from_the_files_on_disk) {
  const std::string link = "http://h/a.zip";
  const auto paths = paths_for_link(link, folder.text());
  write_file(paths.final_path, 300);
  {
    download_registry_c fresh(folder.text());
    auto s = fresh.find_or_create(link, 1000);
    EXPECT_EQ(s->state(), download_state::complete);
    EXPECT_EQ(s->progress().written, 300u);
  }
  write_file(paths.temp_path, 120);
  auto s = registry.find_or_create(link, 1000);
  EXPECT_EQ(s->state(), download_state::paused) << "a partial file wins over a complete one";
  EXPECT_EQ(s->progress().written, 120u);
  EXPECT_EQ(registry.find_or_create(link, 1000), s) << "the same link finds the same session";
  EXPECT_EQ(s->state(), download_state::paused);
  EXPECT_EQ(registry.find_or_create("http://h/b.zip", 1)->state(), download_state::not_downloaded);
  EXPECT_EQ(registry.sessions().size(), 2u);
}

// The service published another package under the same link.
TEST_F(session_files, a_new_package_under_the_link_replaces_the_old_ones_files_and_size) {
  const std::string link = "http://h/republished.zip";
  const auto paths = paths_for_link(link, folder.text());
  write_file(paths.temp_path, 120);
  auto s = registry.find_or_create(link, 1000);
  ASSERT_EQ(s->state(), download_state::paused);
  EXPECT_EQ(registry.find_or_create(link, 2000), s);
  EXPECT_EQ(s->progress().expected_size, 2000u) << "the new offer's size";
  EXPECT_EQ(s->state(), download_state::not_downloaded);
  EXPECT_EQ(s->progress().written, 0u);
  EXPECT_FALSE(platform::file_exists(paths.temp_path)) << "never completed into the new package";

  // A complete file of another size cannot be the new package either.
  write_file(paths.final_path, 2000);
  download_registry_c later(folder.text());
  auto complete = later.find_or_create(link, 2000);
  ASSERT_EQ(complete->state(), download_state::complete);
  later.find_or_create(link, 2100);
  EXPECT_EQ(complete->state(), download_state::not_downloaded);
  EXPECT_FALSE(platform::file_exists(paths.final_path));
}

TEST_F(session_files, remove_deletes_the_file_of_the_state) {
  const std::string link = "http://h/c.zip";
  const auto paths = paths_for_link(link, folder.text());
  write_file(paths.temp_path, 10);
  write_file(paths.final_path, 20);
  auto s = registry.find_or_create(link, 20);
  ASSERT_EQ(s->state(), download_state::paused);
  EXPECT_TRUE(s->remove());
  EXPECT_FALSE(platform::file_exists(paths.temp_path));
  EXPECT_TRUE(platform::file_exists(paths.final_path)) << "paused: only the partial file goes";
  EXPECT_EQ(s->state(), download_state::not_downloaded);
  EXPECT_EQ(s->progress().written, 0u);
  EXPECT_FALSE(s->remove()) << "nothing to remove";

  download_registry_c again(folder.text());
  auto complete = again.find_or_create(link, 20);
  ASSERT_EQ(complete->state(), download_state::complete);
  EXPECT_TRUE(complete->remove());
  EXPECT_FALSE(platform::file_exists(paths.final_path));
}

TEST_F(session_files, a_file_named_by_the_last_component_alone_is_not_taken_for_a_link) {
  // Earlier versions named files by the link's last component only: such a
  // file may belong to any link of that name, so no session takes it.
  const std::string link = "http://h/x/pkg.zip";
  const auto old_name = platform::join_path(folder.text(), ascii_to_utf16(md5_hex("pkg.zip")));
  write_file(old_name + u".zip", 40);
  write_file(old_name + u".zip.tmp", 30);
  auto s = registry.find_or_create(link, 40);
  EXPECT_EQ(s->state(), download_state::not_downloaded);
  EXPECT_EQ(s->progress().written, 0u);
  EXPECT_TRUE(platform::file_exists(old_name + u".zip")) << "left where it is";

  // Two links of the same name: each its own file, and each finds its own
  // again in a later run.
  write_file(paths_for_link(link, folder.text()).final_path, 40);
  download_registry_c later(folder.text());
  EXPECT_EQ(later.find_or_create(link, 40)->state(), download_state::complete);
  EXPECT_EQ(later.find_or_create("http://h/y/pkg.zip", 40)->state(), download_state::not_downloaded);
}

// Sessions whose downloads run, against a port where nothing listens.
class session_threads : public session_files {
 protected:
  static void SetUpTestSuite() { transfer_library_init(); }
  static void TearDownTestSuite() { transfer_library_cleanup(); }
  static download_options refused(int attempts, int pause_ms) {
    download_options options;
    options.max_attempts = attempts;
    options.retry_pause = std::chrono::milliseconds(pause_ms);
    return options;
  }
  static constexpr const char* nowhere = "http://127.0.0.1:1/pkg.zip";
};

TEST_F(session_threads, a_partial_file_larger_than_the_package_is_discarded) {
  download_registry_c quick(folder.text(), refused(1, 0));
  const auto paths = paths_for_link(nowhere, folder.text());
  write_file(paths.temp_path, 5000);
  auto s = quick.find_or_create(nowhere, 1000);
  ASSERT_EQ(s->state(), download_state::paused);
  ASSERT_TRUE(s->start());
  EXPECT_EQ(s->progress().written, 0u) << "a range beyond the end would be refused for good";
  while (!s->thread_ended()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  s->observe();
  EXPECT_EQ(s->state(), download_state::error);
  EXPECT_LT(platform::file_size(paths.temp_path), 5000u);
}

TEST_F(session_threads, a_running_download_keeps_its_session_when_the_registry_goes) {
  std::weak_ptr<download_session_c> running;
  {
    download_registry_c registry_at_exit(folder.text(), refused(2, 400));
    auto s = registry_at_exit.find_or_create(nowhere, 10);
    ASSERT_TRUE(s->start());
    running = s;
  }
  // The thread still writes its progress: the session must still be there.
  EXPECT_FALSE(running.expired());
  for (int i = 0; i < 400 && !running.expired(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(running.expired()) << "and it goes with the thread";
}

TEST_F(session_threads, stopping_all_at_exit_pauses_the_running_downloads) {
  download_registry_c at_exit(folder.text(), refused(10, 5000));
  auto s = at_exit.find_or_create(nowhere, 10);
  auto idle = at_exit.find_or_create("http://127.0.0.1:1/idle.zip", 10);
  ASSERT_TRUE(s->start());
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_TRUE(at_exit.stop_all(std::chrono::seconds(3)));
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3)) << "the retry pause ends early";
  s->observe();
  EXPECT_EQ(s->state(), download_state::paused);
  EXPECT_EQ(idle->state(), download_state::not_downloaded);
}

// --- the digest an offer names, for files already on disk -------------------

class session_digests : public session_files {
 protected:
  // Writes the bytes of "package" at a path of the link.
  static void write_bytes(const std::u16string& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out << bytes;
  }
  // Observes, as the panel's timer does, until the check has ended.
  static void observe_to_end(download_session_c& s) {
    for (int i = 0; i < 500 && s.state() == download_state::downloading; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      s.observe();
    }
  }
  const std::string link = "http://h/checked.zip";
  const std::string bytes = std::string(100000, 'p') + "package";
  const sha256_digest right = sha256_of(bytes);
  const sha256_digest wrong = sha256_of("another package");
  const download_paths paths = paths_for_link(link, folder.text());
  const uint32_t size = static_cast<uint32_t>(bytes.size());
};

TEST_F(session_digests, a_complete_file_left_by_an_earlier_run_is_checked_before_it_counts_as_complete) {
  write_bytes(paths.final_path, bytes);
  auto s = registry.find_or_create(link, size, &right);
  EXPECT_EQ(s->state(), download_state::downloading) << "being checked on the download thread";
  observe_to_end(*s);
  EXPECT_EQ(s->state(), download_state::complete);
  EXPECT_FALSE(s->digest_mismatch());
  // The same offer again: checked already, not again.
  EXPECT_EQ(registry.find_or_create(link, size, &right)->state(), download_state::complete);
  EXPECT_FALSE(s->has_thread());
}

TEST_F(session_digests, a_complete_file_that_does_not_match_is_deleted_and_the_session_is_in_error) {
  write_bytes(paths.final_path, bytes);
  download_registry_c fresh(folder.text());
  auto s = fresh.find_or_create(link, size, &wrong);
  observe_to_end(*s);
  EXPECT_EQ(s->state(), download_state::error);
  EXPECT_TRUE(s->digest_mismatch());
  EXPECT_FALSE(platform::file_exists(paths.final_path)) << "nothing left to install";
  EXPECT_EQ(s->progress().written, 0u) << "a resume starts from the first byte";
}

TEST_F(session_digests, a_session_made_without_a_digest_takes_the_one_a_later_offer_names) {
  write_bytes(paths.final_path, bytes);
  auto s = registry.find_or_create(link, size);
  EXPECT_EQ(s->state(), download_state::complete) << "an offer without digest: as before";
  EXPECT_FALSE(s->expected_digest());
  EXPECT_EQ(registry.find_or_create(link, size, &wrong), s);
  ASSERT_TRUE(s->expected_digest());
  EXPECT_EQ(*s->expected_digest(), wrong);
  observe_to_end(*s);
  EXPECT_EQ(s->state(), download_state::error) << "the later offer's digest was checked";
  // An offer without a digest does not take the digest away.
  registry.find_or_create(link, size);
  EXPECT_EQ(*s->expected_digest(), wrong);
}

TEST_F(session_digests, another_digest_for_the_link_discards_the_partial_file_and_checks_the_complete_one) {
  write_bytes(paths.temp_path, bytes.substr(0, 500));
  auto s = registry.find_or_create(link, size, &wrong);
  ASSERT_EQ(s->state(), download_state::paused);
  registry.find_or_create(link, size, &right);
  EXPECT_EQ(s->state(), download_state::not_downloaded);
  EXPECT_FALSE(platform::file_exists(paths.temp_path)) << "part of the old package";
  ASSERT_TRUE(s->expected_digest());
  EXPECT_EQ(*s->expected_digest(), right);

  // A complete file of the same size may be the new package: the check decides.
  write_bytes(paths.final_path, bytes);
  download_registry_c later(folder.text());
  auto complete = later.find_or_create(link, size, &wrong);
  observe_to_end(*complete);
  ASSERT_EQ(complete->state(), download_state::error);
  write_bytes(paths.final_path, bytes);
  download_registry_c third(folder.text());
  auto checked = third.find_or_create(link, size, &wrong);
  third.find_or_create(link, size, &right);  // while the first check runs
  observe_to_end(*checked);
  EXPECT_EQ(checked->state(), download_state::complete);
  EXPECT_FALSE(checked->digest_mismatch());
  EXPECT_TRUE(platform::file_exists(paths.final_path));
}

TEST_F(session_digests, a_whole_partial_file_is_checked_before_it_is_moved_into_place) {
  write_bytes(paths.temp_path, bytes);
  auto s = registry.find_or_create(link, size, &right);
  ASSERT_EQ(s->state(), download_state::paused);
  ASSERT_TRUE(s->start());
  EXPECT_TRUE(s->has_thread()) << "the check runs on the download thread, without a request";
  observe_to_end(*s);
  EXPECT_EQ(s->state(), download_state::complete);
  EXPECT_TRUE(platform::file_exists(paths.final_path));

  const std::string other_link = "http://h/other.zip";
  const auto other = paths_for_link(other_link, folder.text());
  write_bytes(other.temp_path, bytes);
  auto mismatched = registry.find_or_create(other_link, size, &wrong);
  ASSERT_TRUE(mismatched->start());
  observe_to_end(*mismatched);
  EXPECT_EQ(mismatched->state(), download_state::error);
  EXPECT_TRUE(mismatched->digest_mismatch());
  EXPECT_FALSE(platform::file_exists(other.temp_path));
  EXPECT_FALSE(platform::file_exists(other.final_path));
}

TEST_F(session_files, long_links_are_kept_whole) {
  const std::string link = "http://h/" + std::string(2000, 'a') + ".zip";
  auto s = registry.find_or_create(link, 1);
  EXPECT_EQ(s->link(), link);
  EXPECT_EQ(registry.find_or_create(link, 1), s);
}

}  // namespace
}  // namespace quillary
