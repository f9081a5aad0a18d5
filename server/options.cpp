#include "server/options.h"

#include <arpa/inet.h>

namespace quillary::server {

bool parse_listen_address(const std::string& text, listen_address& out, std::string& reason) {
  out = listen_address{};
  std::string host, port;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find("]:");
    if (close == std::string::npos) {
      reason = "listen address \"" + text + "\": expected [ADDRESS]:PORT";
      return false;
    }
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
    out.ipv6 = true;
  } else {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
      reason = "listen address \"" + text + "\": expected ADDRESS:PORT";
      return false;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  unsigned char buffer[16];
  if (inet_pton(out.ipv6 ? AF_INET6 : AF_INET, host.c_str(), buffer) != 1) {
    reason = "listen address \"" + text + "\": \"" + host + "\" is not a numeric IP address";
    return false;
  }
  if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
      std::stoi(port) > 65535) {
    reason = "listen address \"" + text + "\": the port must be 0 to 65535";
    return false;
  }
  out.host = host;
  out.port = std::stoi(port);
  return true;
}

bool parse_options(const std::vector<std::string>& args, service_options& out, std::string& reason) {
  out = service_options{};
  bool have_fault = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) {
        reason = arg + " needs a value";
        return false;
      }
      into = args[++i];
      return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      out.help = true;
      return true;
    } else if (arg == "--quiet") {
      out.quiet = true;
    } else if (arg == "--catalogue") {
      if (!value(out.catalogue)) return false;
    } else if (arg == "--listen") {
      listen_address address;
      if (!value(text) || !parse_listen_address(text, address, reason)) return false;
      out.listen.push_back(address);
    } else if (arg == "--fault") {
      if (have_fault) {
        reason = "only one --fault per process";
        return false;
      }
      if (!value(text) || !parse_fault_mode(text, out.fault, reason)) return false;
      have_fault = true;
    } else {
      reason = "unknown argument \"" + arg + "\" (see --help)";
      return false;
    }
  }
  if (out.catalogue.empty()) {
    reason = "--catalogue DIR is required";
    return false;
  }
  if (out.listen.empty()) {
    reason = "at least one --listen ADDRESS:PORT is required";
    return false;
  }
  return true;
}

const char* usage_text() {
  return R"(usage: quillary-service --catalogue DIR --listen ADDRESS:PORT [--listen ADDRESS:PORT ...]
                        [--fault MODE] [--quiet]

The reference update service of Quillary: answers the driver-update query
from a catalogue of driver packages and serves the package files.

  --catalogue DIR   folder of driver packages: every *.zip directly in it (not
                    in sub-folders) is indexed at start with the INF files
                    inside; unreadable archives and INF files are reported on
                    stderr and skipped
  --listen A:P      numeric address and port to listen on; port 0 takes a free
                    one; repeat for more listeners (all serve the same
                    catalogue); IPv6 as [ADDRESS]:PORT
  --fault MODE      misbehave in one way, for tests (one mode per process):
      status:CODE     every request gets status CODE with a small HTML body
      refuse          the listeners close once the ready lines are printed, so
                      connections are refused while the process runs
      stall:N         package downloads send their headers and N body bytes,
                      then nothing more while the connection stays open
      truncate:N      package downloads announce the full Content-Length but
                      close the connection after N body bytes
      oversize        the query's reply is a valid document padded with an XML
                      comment to 5,242,880 bytes or more
      ignore-range    package downloads ignore Range and send 200 with the
                      whole file
      extra:N         package downloads send N bytes more than asked for, and
                      Content-Length counts them
      bad-xml         the query gets 200 with a body that is not XML
      rate:BPS        package downloads are sent at most BPS bytes per second
  --quiet           no log line per request on stderr (warnings stay)
  --help            this text

Once the catalogue is indexed, one line per listener goes to stdout:
  quillary-service: listening on http://ADDRESS:PORT/
SIGINT or SIGTERM stops the service.

Endpoints:
  POST /                  the update query (multipart/form-data, part
                          "driversm": zlib stream of the request document)
  GET, HEAD /packages/N   the package file N, with single byte ranges

Exit codes: 0 stopped by a signal, 1 start-up failed (catalogue folder not
readable, address not available), 2 bad command line.
)";
}

}  // namespace quillary::server
