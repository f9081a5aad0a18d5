// Download sessions over a real server (started by with_peers.py): the
// states a download goes through, pausing and resuming.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/outcome.h"
#include "base/md5.h"
#include "base/sha256.h"
#include "devices/device_inventory.h"
#include "devices/raw_scan.h"
#include "download/download_session.h"
#include "platform/files.h"
#include "platform/text.h"
#include "service/scan_result.h"
#include "service/update_client.h"
#include "signing_support.h"
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

// Observes, as the panel's timer does, until the state leaves downloading.
void observe_to_end(download_session_c& s) {
  for (int i = 0; i < 3000 && s.state() == download_state::downloading; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    s.observe();
  }
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

// --- packages offered with their SHA-256 by the real service ---------------

struct offered_package {
  std::string link;
  uint32_t size = 0;
  sha256_digest digest{};
};

// Asks the service (as the update query does) for the package of a network
// adapter with the given hardware ID.
offered_package query_offer(const std::string& server, const std::u16string& hardware_id) {
  raw_scan scan;
  scan.classes = {{u"{4D36E972-E325-11CE-BFC1-08002BE10318}", u"Net", u"Network adapters", 0}};
  raw_device d;
  d.instance_id = hardware_id + u"&SUBSYS_11001AF4&REV_01\\3&267A616A&0&18";
  d.texts[device_property::device_desc] = u"Adapter";
  d.texts[device_property::class_name] = u"Net";
  d.texts[device_property::class_guid] = u"{4d36e972-e325-11ce-bfc1-08002be10318}";
  d.lists[device_property::hardware_id] = {hardware_id + u"&SUBSYS_11001AF4&REV_01", hardware_id};
  d.lists[device_property::compatible_ids] = {u"PCI\\CC_020000"};
  scan.devices.push_back(d);
  device_inventory_c inventory(make_fixture_source(scan));
  scan_progress progress;
  const auto result = scan_into_result(inventory, progress);
  if (!result) return {};
  update_client_c client({server});
  update_request_info info;
  info.os_code_name = "WIN764";
  info.os_version_code = 61;
  info.oem_code_page = 437;
  offered_package offer;
  const outcome answered = client.query_updates(*result, info);
  EXPECT_TRUE(answered) << answered.reason << ", HTTP " << info.http_status;
  if (result->devices().empty() || result->devices()[0].items.empty()) return offer;
  const update_item& item = result->devices()[0].items[0];
  offer.link = std::string(item.link_text(update_item::link));
  offer.size = item.size;
  EXPECT_NE(item.sha256(), nullptr) << "the service names the digest";
  if (item.sha256()) offer.digest = *item.sha256();
  return offer;
}

// A file of the service's catalogue, as this program spells its path.
std::u16string catalogue_file(const char* name) {
#ifdef _WIN32
  const std::string drive = "Z:";  // Wine's view of the Linux root
#else
  const std::string drive;
#endif
  return utf8_to_utf16(drive + env("QUILLARY_TEST_CATALOGUE") + "/" + name);
}

// The package's bytes on the server replaced by others of the same length
// for as long as it lives, as a cache or an attacker on the way could.
class swapped_package_c {
 public:
  explicit swapped_package_c(const std::u16string& path) : path_(path) {
    EXPECT_TRUE(platform::read_whole_file(path_, original_));
    std::string other = original_;
    for (size_t i = other.size() / 2; i < other.size() / 2 + 64; ++i) {
      other[i] = static_cast<char>(other[i] ^ 0x5A);
    }
    write(other);
  }
  ~swapped_package_c() { write(original_); }

 private:
  void write(const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path_), std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::u16string path_;
  std::string original_;
};

TEST_F(session_test, a_package_swapped_on_the_server_after_the_query_is_deleted_and_never_complete) {
  const auto service = env("QUILLARY_TEST_SERVICE_NORMAL");
  const offered_package offer = query_offer(service, u"PCI\\VEN_1AF4&DEV_1042");
  ASSERT_FALSE(offer.link.empty());
  {
    const swapped_package_c swapped(catalogue_file("swap-test.zip"));
    auto s = registry.find_or_create(offer.link, offer.size, &offer.digest);
    ASSERT_TRUE(s->start());
    observe_to_end(*s);
    EXPECT_EQ(s->state(), download_state::error) << "the page offers to try again";
    EXPECT_TRUE(s->digest_mismatch());
    EXPECT_EQ(s->progress().transfer_result, 0) << "every byte arrived; only they were the wrong ones";
    EXPECT_FALSE(platform::file_exists(s->temp_path()));
    EXPECT_FALSE(platform::file_exists(s->final_path())) << "nothing there to install";
  }
  // The server's own bytes again: trying again completes.
  auto s = registry.find_or_create(offer.link, offer.size, &offer.digest);
  ASSERT_TRUE(s->start());
  observe_to_end(*s);
  EXPECT_EQ(s->state(), download_state::complete);
  EXPECT_FALSE(s->digest_mismatch());
  std::string bytes;
  ASSERT_TRUE(platform::read_whole_file(s->final_path(), bytes));
  EXPECT_EQ(sha256_of(bytes), offer.digest);
}

// Pauses a download from the slow service part-way and returns its session.
std::shared_ptr<download_session_c> paused_part_way(download_registry_c& registry, const offered_package& offer) {
  auto s = registry.find_or_create(offer.link, offer.size, &offer.digest);
  EXPECT_TRUE(s->start());
  while (s->progress().written < 300000 && !s->thread_ended()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  s->pause();
  observe_to_end(*s);
  EXPECT_EQ(s->state(), download_state::paused);
  EXPECT_GT(s->progress().written, 0u);
  EXPECT_LT(s->progress().written, offer.size);
  return s;
}

TEST_F(session_test, a_resumed_download_is_checked_whole_in_the_same_run_and_after_a_restart) {
  const offered_package offer = query_offer(env("QUILLARY_TEST_SERVICE_RATE"), u"PCI\\VEN_1AF4&DEV_1041");
  ASSERT_FALSE(offer.link.empty());
  // Paused and resumed within the run: the digest goes on from where it was.
  auto s = paused_part_way(registry, offer);
  ASSERT_TRUE(s->start());
  observe_to_end(*s);
  EXPECT_EQ(s->state(), download_state::complete);
  EXPECT_EQ(s->progress().http_status, 206) << "resumed with a range";
  EXPECT_FALSE(s->digest_mismatch());
  ASSERT_TRUE(platform::remove_file(s->final_path()));

  // Paused, then the program ends; the next run hashes the partial file once
  // and goes on.
  testing::temp_folder_c other_folder;
  {
    download_registry_c first_run(other_folder.text(), quick());
    paused_part_way(first_run, offer);
  }
  download_registry_c next_run(other_folder.text(), quick());
  auto resumed = next_run.find_or_create(offer.link, offer.size, &offer.digest);
  ASSERT_EQ(resumed->state(), download_state::paused);
  ASSERT_TRUE(resumed->start());
  observe_to_end(*resumed);
  EXPECT_EQ(resumed->state(), download_state::complete);
  EXPECT_EQ(resumed->progress().http_status, 206);
  EXPECT_FALSE(resumed->digest_mismatch());
}

// A scan after the package was published again under its link: the running
// download of the old package stops and the new one is downloaded whole.
TEST_F(session_test, a_download_running_when_a_new_package_is_offered_starts_over_on_it) {
  const offered_package offer = query_offer(env("QUILLARY_TEST_SERVICE_RATE"), u"PCI\\VEN_1AF4&DEV_1041");
  ASSERT_FALSE(offer.link.empty());
  const sha256_digest old_digest = sha256_of("the package as it was");
  auto s = registry.find_or_create(offer.link, offer.size + 1000, &old_digest);
  ASSERT_TRUE(s->start());
  while (s->progress().written < 100000 && !s->thread_ended()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(registry.find_or_create(offer.link, offer.size, &offer.digest), s);
  EXPECT_EQ(s->state(), download_state::downloading);
  observe_to_end(*s);
  // The old download's end is applied, then the new one's.
  observe_to_end(*s);
  ASSERT_EQ(s->state(), download_state::complete);
  EXPECT_FALSE(s->digest_mismatch());
  EXPECT_EQ(s->progress().expected_size, offer.size);
  std::string bytes;
  ASSERT_TRUE(platform::read_whole_file(s->final_path(), bytes));
  EXPECT_EQ(sha256_of(bytes), offer.digest);
}

TEST_F(session_test, a_partial_file_damaged_between_runs_is_caught_when_the_download_ends) {
  const offered_package offer = query_offer(env("QUILLARY_TEST_SERVICE_RATE"), u"PCI\\VEN_1AF4&DEV_1041");
  ASSERT_FALSE(offer.link.empty());
  {
    download_registry_c first_run(folder.text(), quick());
    auto s = paused_part_way(first_run, offer);
    std::fstream partial(std::filesystem::path(s->temp_path()), std::ios::in | std::ios::out | std::ios::binary);
    partial.seekp(100);
    partial.put('\x7f');
  }
  download_registry_c next_run(folder.text(), quick());
  auto s = next_run.find_or_create(offer.link, offer.size, &offer.digest);
  ASSERT_TRUE(s->start());
  observe_to_end(*s);
  EXPECT_EQ(s->state(), download_state::error) << "the partial file was hashed, not assumed";
  EXPECT_TRUE(s->digest_mismatch());
  EXPECT_FALSE(platform::file_exists(s->final_path()));
}

// The catalogue served for real by scripts/serve-catalogue: nginx in front
// of two services, over HTTP and over HTTPS with a self-signed certificate
// (trusted natively through its file; Schannel under Wine takes it as is).
TEST_F(session_test, the_nginx_deployment_answers_queries_and_serves_the_offered_package) {
  const std::string http_base = env("QUILLARY_TEST_DEPLOYED_HTTP");
  const std::string https_base = env("QUILLARY_TEST_DEPLOYED_HTTPS");
  ASSERT_FALSE(http_base.empty());
  const offered_package over_http = query_offer(http_base, u"PCI\\VEN_1AF4&DEV_1041");
  EXPECT_EQ(over_http.link, https_base + "packages/transfer-test.zip") << "links point at nginx";
#ifndef _WIN32
  set_transfer_ca_bundle(env("QUILLARY_TEST_DEPLOYED_CA"));
#endif
  const offered_package over_https = query_offer(https_base, u"PCI\\VEN_1AF4&DEV_1041");
  EXPECT_EQ(over_https.link, over_http.link);
  EXPECT_EQ(over_https.digest, over_http.digest) << "both services read the same index";
  auto s = registry.find_or_create(over_https.link, over_https.size, &over_https.digest);
  ASSERT_TRUE(s->start());
  observe_to_end(*s);
  set_transfer_ca_bundle("");
  EXPECT_EQ(s->state(), download_state::complete);
  EXPECT_EQ(s->progress().http_status, 200);
  EXPECT_FALSE(s->digest_mismatch());
  EXPECT_EQ(md5_of_file(s->final_path()), env("QUILLARY_TEST_PACKAGE_MD5"));
}

}  // namespace
}  // namespace quillary

namespace quillary {
namespace {

// Signed packages: the signatures are made here, for the service's own
// file, by a publisher whose key the session trusts.
class signed_session_test : public session_test {
 protected:
  void SetUp() override {
    offer = query_offer(env("QUILLARY_TEST_SERVICE_NORMAL"), u"PCI\\VEN_1AF4&DEV_1042");
    ASSERT_FALSE(offer.link.empty());
    ASSERT_TRUE(platform::read_whole_file(catalogue_file("swap-test.zip"), bytes));
    trust->keys.push_back({publisher.key(), "policy"});
    trust->require_signed = true;
  }
  std::string signature_of(const std::string& signed_bytes, const sha256_digest& claimed) const {
    return encode_base64(
        publisher.sign(signed_bytes, package_trusted_comment(1, package_file_name(offer.link), claimed)));
  }

  offered_package offer;
  std::string bytes;
  const testing::test_signer_c publisher{11};
  std::shared_ptr<signature_trust> trust = std::make_shared<signature_trust>();
  download_registry_c signed_registry{folder.text(), quick(), trust};
};

TEST_F(signed_session_test, an_unsigned_package_is_refused_before_a_byte_arrives) {
  auto s = signed_registry.find_or_create(offer.link, offer.size, &offer.digest);
  EXPECT_EQ(s->state(), download_state::error);
  ASSERT_TRUE(s->signature_refusal());
  EXPECT_EQ(*s->signature_refusal(), signature_verdict::unsigned_package);
  EXPECT_FALSE(s->start()) << "trying again changes nothing";
  EXPECT_FALSE(s->has_thread());
  EXPECT_FALSE(platform::file_exists(s->temp_path()));
}

TEST_F(signed_session_test, the_publishers_signature_vouches_for_the_bytes_and_names_their_digest) {
  // The reply names no digest: the signed comment's is the one expected.
  auto s = signed_registry.find_or_create(offer.link, offer.size, nullptr, signature_of(bytes, offer.digest));
  ASSERT_TRUE(s->start());
  observe_to_end(*s);
  ASSERT_EQ(s->state(), download_state::complete);
  EXPECT_TRUE(s->signature_verified());
  ASSERT_TRUE(s->expected_digest());
  EXPECT_EQ(*s->expected_digest(), offer.digest);

  // The next run finds the file complete and checks it before it counts.
  download_registry_c next_run(folder.text(), quick(), trust);
  auto again = next_run.find_or_create(offer.link, offer.size, &offer.digest, signature_of(bytes, offer.digest));
  EXPECT_EQ(again->state(), download_state::downloading) << "being checked";
  observe_to_end(*again);
  EXPECT_EQ(again->state(), download_state::complete);
  EXPECT_TRUE(again->signature_verified());

  // Under a key nobody trusts any more, the same file is refused and goes.
  auto revoked = std::make_shared<signature_trust>(*trust);
  revoked->keys.clear();
  revoked->revoked.push_back(publisher.id());
  download_registry_c after_revocation(folder.text(), quick(), revoked);
  auto refused = after_revocation.find_or_create(offer.link, offer.size, &offer.digest, signature_of(bytes, offer.digest));
  EXPECT_EQ(refused->state(), download_state::error);
  EXPECT_EQ(refused->signature_refusal().value_or(signature_verdict::valid), signature_verdict::revoked_key);
  EXPECT_FALSE(platform::file_exists(refused->final_path())) << "nothing left to install";
}

TEST_F(signed_session_test, bytes_other_than_the_signed_ones_are_deleted) {
  // A signature whose comment names this file and digest but that covers
  // other bytes: every check before the download passes, the bytes' does not.
  auto s = signed_registry.find_or_create(offer.link, offer.size, nullptr, signature_of(bytes + "x", offer.digest));
  EXPECT_NE(s->state(), download_state::error);
  ASSERT_TRUE(s->start());
  observe_to_end(*s);
  EXPECT_EQ(s->state(), download_state::error);
  EXPECT_EQ(s->signature_refusal().value_or(signature_verdict::valid), signature_verdict::bad_signature);
  EXPECT_FALSE(platform::file_exists(s->temp_path()));
  EXPECT_FALSE(platform::file_exists(s->final_path()));

  // A mirror that swaps the bytes after the query: they are not the ones
  // the publisher signed.
  const testing::temp_folder_c other;
  download_registry_c fresh(other.text(), quick(), trust);
  const swapped_package_c swapped(catalogue_file("swap-test.zip"));
  auto mirrored = fresh.find_or_create(offer.link, offer.size, nullptr, signature_of(bytes, offer.digest));
  ASSERT_TRUE(mirrored->start());
  observe_to_end(*mirrored);
  EXPECT_EQ(mirrored->state(), download_state::error);
  EXPECT_EQ(mirrored->signature_refusal().value_or(signature_verdict::valid), signature_verdict::bad_signature);
  EXPECT_FALSE(platform::file_exists(mirrored->final_path()));
}

TEST_F(signed_session_test, a_link_that_is_not_https_is_refused_where_the_policy_demands_it) {
  trust->require_https = true;
  auto s = signed_registry.find_or_create(offer.link, offer.size, nullptr, signature_of(bytes, offer.digest));
  EXPECT_EQ(s->state(), download_state::error);
  EXPECT_TRUE(s->https_refused());
  EXPECT_FALSE(s->start());
}

}  // namespace
}  // namespace quillary
