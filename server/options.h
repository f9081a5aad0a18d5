// The command line of quillary-service.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "server/fault_mode.h"

namespace quillary::server {

struct listen_address {
  std::string host;  // numeric IPv4 or IPv6 address (without brackets)
  int port = 0;      // 0: any free port
  bool ipv6 = false;
};

struct service_options {
  std::string catalogue;
  std::vector<listen_address> listen;
  fault_mode fault;
  bool quiet = false;
  bool help = false;
  // Where package links point ("https://updates.example/packages/"), when
  // another server (nginx) serves the files; empty: this service's own
  // address as the client reached it.
  std::string package_base;
  // The index file to take the packages from instead of hashing the folder.
  std::string index;
  // Write the index file of the folder and exit, instead of serving.
  std::string write_index;
  // The whole request (head and body) must arrive within this time.
  std::chrono::milliseconds request_deadline{10000};
  // Connections one client address may hold at once; 0: no limit (behind
  // a proxy, every connection comes from the proxy's address).
  size_t max_per_client = 32;
  // A client that takes nothing of its answer for this long is cut.
  std::chrono::milliseconds send_timeout{60000};
  // What all connections together may buffer beyond a few KiB each:
  // request heads and bodies arriving, answers waiting to be read.
  size_t buffer_budget = size_t{256} << 20;
};

// Reads "ADDR:PORT" or "[ADDR6]:PORT" with a numeric address.
bool parse_listen_address(const std::string& text, listen_address& out, std::string& reason);

// False with a one-line reason on a bad command line. With --help the other
// arguments are not required.
bool parse_options(const std::vector<std::string>& args, service_options& out, std::string& reason);

// The text --help prints.
const char* usage_text();

}  // namespace quillary::server
