// The update query against quillary-service: fail-over across the three
// servers, every failure's last-error code, and the matching of a real reply.
// Started by with_peers.py (see transfer_test.cpp).
#include <gtest/gtest.h>

#include <cstdlib>
#include <atomic>
#include <fstream>
#include <thread>

#include "app/outcome.h"
#include "devices/device_inventory.h"
#include "devices/raw_scan.h"
#include "service/scan_result.h"
#include "service/update_client.h"
#include "test_support.h"

namespace quillary {
namespace {

std::string server(const char* name) {
  const char* value = std::getenv((std::string("QUILLARY_TEST_SERVICE_") + name).c_str());
  return value ? value : "";
}

// One network adapter that the test catalogue's package serves.
raw_scan adapter(bool with_driver) {
  raw_scan scan;
  scan.classes = {{u"{4D36E972-E325-11CE-BFC1-08002BE10318}", u"Net", u"Network adapters", 0}};
  raw_device d;
  d.instance_id = u"PCI\\VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01\\3&267A616A&0&18";
  d.texts[device_property::device_desc] = u"Adapter";
  d.texts[device_property::class_name] = u"Net";
  d.texts[device_property::class_guid] = u"{4d36e972-e325-11ce-bfc1-08002be10318}";
  d.lists[device_property::hardware_id] = {u"PCI\\VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01",
                                           u"PCI\\VEN_1AF4&DEV_1041"};
  d.lists[device_property::compatible_ids] = {u"PCI\\CC_020000"};
  if (with_driver) {
    // The very driver the catalogue offers, matched by the same ID.
    d.driver = driver_values{{u"DriverVersion", u"2.0.0.1"}, {u"InfPath", u"oem4.inf"},
                             {u"DriverDate", u"5-4-2021"}, {u"DriverDesc", u"Adapter"},
                             {u"MatchingDeviceId", u"pci\\ven_1af4&dev_1041"}, {u"ProviderName", u"Test"}};
    d.rank = 0x00FF0001;
  }
  scan.devices.push_back(d);
  return scan;
}

class query_test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { transfer_library_init(); }
  static void TearDownTestSuite() { transfer_library_cleanup(); }

  outcome query(std::vector<std::string> servers, bool with_driver = false) {
    device_inventory_c inventory(make_fixture_source(adapter(with_driver)));
    scan_progress progress;
    result = scan_into_result(inventory, progress);
    EXPECT_NE(result, nullptr);
    if (!result) return outcome::failed(-1, "no devices");
    client = std::make_unique<update_client_c>(std::move(servers));
    client->set_installed_links_file(folder.below("setup.dat"));
    info = update_request_info();
    info.os_code_name = "WIN764";
    info.os_version_code = 61;
    info.oem_code_page = 437;
    return client->query_updates(*result, info);
  }
  const offered_device& device() const { return result->devices().at(0); }

  testing::temp_folder_c folder;
  std::unique_ptr<scan_result_c> result;
  std::unique_ptr<update_client_c> client;
  update_request_info info;
};

TEST_F(query_test, falls_over_to_the_next_server) {
  ASSERT_TRUE(query({server("STATUS_500"), server("NORMAL"), server("REFUSE")}));
  EXPECT_EQ(info.http_status, 200);
  ASSERT_EQ(device().items.size(), 1u);
  const auto& item = device().items[0];
  EXPECT_EQ(item.text(update_item::ver), u"2.0.0.1");
  EXPECT_EQ(item.text(update_item::date), u"2021-05-04");
  EXPECT_EQ(item.text(update_item::inf_name), u"net\\test.inf") << "the INF's path inside the package";
  EXPECT_EQ(item.targetos, 52u) << "the NTamd64 section";
  EXPECT_EQ(device().best_item, &item);
  EXPECT_TRUE(device().best_is_update) << "a device without driver";
}

TEST_F(query_test, three_servers_without_answer_is_a_timeout) {
  EXPECT_EQ(query({server("REFUSE"), server("REFUSE"), server("REFUSE")}).code, error_code::network_timeout);
  EXPECT_EQ(info.http_status, 504);
  EXPECT_TRUE(device().items.empty());
}

TEST_F(query_test, three_error_statuses_are_a_network_error_with_the_status) {
  EXPECT_EQ(query({server("STATUS_503"), server("STATUS_503"), server("STATUS_503")}).code, error_code::network_error);
  EXPECT_EQ(info.http_status, 503);
  EXPECT_EQ(info.error_text, "");
}

TEST_F(query_test, an_oversize_reply_is_a_network_error_with_the_library_text) {
  EXPECT_EQ(query({server("OVERSIZE"), server("OVERSIZE"), server("OVERSIZE")}).code, error_code::network_error);
  EXPECT_NE(info.error_text, "");
  EXPECT_LE(info.error_text.size(), 255u);
  // Queried again with the same record: the status, not the old text.
  update_client_c again({server("STATUS_503"), server("STATUS_503"), server("STATUS_503")});
  EXPECT_FALSE(again.query_updates(*result, info));
  EXPECT_EQ(info.error_text, "");
  EXPECT_EQ(info.http_status, 503);
}

TEST_F(query_test, a_reply_that_is_not_xml_is_invalid) {
  EXPECT_EQ(query({server("BAD_XML")}).code, error_code::invalid_reply);
  EXPECT_EQ(info.error_code, error_code::invalid_reply);
}

// As in the program: the query on a thread of its own, read on another,
// while downloads fail on a third.
TEST_F(query_test, a_query_keeps_its_own_failure_whatever_other_threads_fail) {
  std::atomic<bool> querying{true};
  std::thread failing_downloads([&] {
    download_progress progress;
    while (querying) (void)download_file("gopher://127.0.0.1/x", progress, folder.below("x.bin"));
  });
  outcome answered;
  std::thread update_thread([&] {
    answered = query({server("REFUSE"), server("REFUSE"), server("REFUSE")});
    querying = false;
  });
  update_thread.join();
  failing_downloads.join();
  EXPECT_EQ(answered.code, error_code::network_timeout);
  EXPECT_EQ(info.error_code, error_code::network_timeout);

  // The page keeps its record: a later success clears what it said.
  update_client_c again({server("NORMAL")});
  ASSERT_TRUE(again.query_updates(*result, info));
  EXPECT_EQ(info.error_code, 0);
}

TEST_F(query_test, the_installed_driver_and_installed_packages_are_no_update) {
  ASSERT_TRUE(query({server("NORMAL")}, true));
  ASSERT_NE(device().best_item, nullptr);
  EXPECT_FALSE(device().best_is_update) << "the same driver, matched by the same ID";

  // A newer driver offered, but its package recorded as installed.
  ASSERT_TRUE(query({server("NORMAL")}, true));
  const std::string link(device().best_item->link_text(update_item::link));
  {
    std::ofstream out(std::filesystem::path(folder.below("setup.dat")), std::ios::binary);
    out << link << "\r\n";
  }
  auto scan = adapter(true);
  (*scan.devices[0].driver)[u"DriverVersion"] = u"1.0.0.0";
  (*scan.devices[0].driver)[u"DriverDate"] = u"1-1-2020";
  device_inventory_c inventory(make_fixture_source(scan));
  scan_progress progress;
  result = scan_into_result(inventory, progress);
  ASSERT_NE(result, nullptr);
  update_client_c fresh({server("NORMAL")});
  fresh.set_installed_links_file(folder.below("setup.dat"));
  ASSERT_TRUE(fresh.query_updates(*result, info));
  EXPECT_FALSE(device().best_is_update) << "its link is in setup.dat";
  EXPECT_FALSE(device().latest_is_update);
  EXPECT_TRUE(result->installed_links().count(link));
}

TEST_F(query_test, offers_the_policy_blocks_are_dropped_before_anything_is_picked) {
  package_block in_range, above;
  std::string why;
  ASSERT_TRUE(parse_package_block(u"PCI\\VEN_1AF4&DEV_1041 2.0-2.0.0.1", in_range, why)) << why;
  ASSERT_TRUE(parse_package_block(u"PCI\\VEN_1AF4&DEV_1041 2.0.0.2-", above, why)) << why;

  ASSERT_TRUE(query({server("NORMAL")}));
  ASSERT_EQ(device().items.size(), 1u);
  EXPECT_EQ(device().items[0].text(update_item::ver), u"2.0.0.1");
  EXPECT_EQ(result->blocked_offers(), 0u);

  device_inventory_c inventory(make_fixture_source(adapter(false)));
  scan_progress progress;
  result = scan_into_result(inventory, progress);
  ASSERT_NE(result, nullptr);
  update_client_c blocking({server("NORMAL")});
  blocking.set_installed_links_file(folder.below("setup.dat"));
  blocking.set_blocked_packages({above, in_range});
  ASSERT_TRUE(blocking.query_updates(*result, info));
  EXPECT_TRUE(device().items.empty());
  EXPECT_EQ(device().best_item, nullptr);
  EXPECT_FALSE(device().best_is_update) << "a device without a driver whose only offer is blocked is offered nothing";
  EXPECT_EQ(result->blocked_offers(), 1u);
  EXPECT_TRUE(result->packages(offer_choice::best).rows().empty());
}

}  // namespace
}  // namespace quillary
