// The update query: a scan's devices go to the update service (three
// servers, tried in turn), and the reply's offers come back into the scan's
// result, each device with its best and latest offer and whether it is out
// of date under either.
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/outcome.h"
#include "service/http_transfer.h"
#include "service/offer_rules.h"
#include "service/update_request.h"

namespace quillary {

class scan_result_c;

// The server base addresses the program was built with. The machine's
// policy may name others (app/policy.h); start-up chooses.
std::vector<std::string> configured_servers();

// The links of packages installed before, one a line; blanks, tabs and line
// ends around a line do not count. False when the file cannot be read (the
// set is left as it was).
bool load_installed_links(const std::u16string& path, std::set<std::string>& links);

class update_client_c {
 public:
  // `servers`: the base addresses asked, in this order.
  explicit update_client_c(std::vector<std::string> servers);

  // The body of the update thread: the offers of `result`'s devices, the
  // installed links and the package rows; or a failure with error_code 3,
  // 7, 20, 21 or 24, and `info` telling the code, the status and the error
  // text. One query at a time.
  outcome query_updates(scan_result_c& result, update_request_info& info);

  // Where the installed links are read from (the program's folder).
  void set_installed_links_file(std::u16string path) { installed_links_file_ = std::move(path); }
  // The machine policy's blocks: offers they block are dropped from every
  // reply before anything is picked.
  void set_blocked_packages(package_blocks rules) { blocked_ = std::move(rules); }
  // The updates the user hides: set aside from the next query's offers.
  // Any thread; a query under way keeps the list it started with.
  void set_hidden_updates(hidden_updates_c hidden);

 private:
  std::vector<std::string> servers_;
  std::unique_ptr<http_transfer_c> transfer_;
  std::u16string installed_links_file_ = u"setup.dat";
  package_blocks blocked_;
  std::mutex hidden_lock_;
  hidden_updates_c hidden_;
};

}  // namespace quillary

namespace quillary {
// What the user is told when a query fails, by its last-error code, in the
// current language; empty for codes that have no message.
std::u16string query_failure_message(int32_t code, const update_request_info& info);
}  // namespace quillary
