#include "server/options.h"

#include <arpa/inet.h>

#include "base/ascii_text.h"

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
  uint64_t number = 0;
  if (!parse_decimal(port, number, 5) || number > 65535) {
    reason = "listen address \"" + text + "\": the port must be 0 to 65535";
    return false;
  }
  out.host = host;
  out.port = static_cast<int>(number);
  return true;
}

namespace {

// "10", "2.5": seconds with an optional fraction, above 0 and up to an hour.
bool parse_seconds(const std::string& text, std::chrono::milliseconds& out) {
  if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789.") != std::string::npos ||
      text.find('.') != text.rfind('.') || text.front() == '.' || text.back() == '.') {
    return false;
  }
  const double seconds = std::stod(text);
  if (seconds <= 0 || seconds > 3600) return false;
  out = std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
  return out.count() > 0;
}

bool parse_count(const std::string& text, size_t& out) {
  uint64_t number = 0;
  if (!parse_decimal(text, number, 6)) return false;
  out = static_cast<size_t>(number);
  return true;
}

// An http:// or https:// address with a host, ending in '/' (added when
// missing), so that package names can follow it.
bool parse_package_base(const std::string& text, std::string& out) {
  const size_t scheme = text.find("://");
  if (scheme == std::string::npos || (text.compare(0, scheme, "http") != 0 && text.compare(0, scheme, "https") != 0)) {
    return false;
  }
  if (text.size() == scheme + 3 || text[scheme + 3] == '/') return false;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) <= 32 || static_cast<unsigned char>(c) >= 127 || c == '<' || c == '>' ||
        c == '"' || c == '&') {
      return false;
    }
  }
  out = text.back() == '/' ? text : text + "/";
  return true;
}

}  // namespace

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
    // The reason when the option's value could not be read.
    const auto read_value = [&](bool read, const char* expected) {
      if (!read) reason = arg + " takes " + expected;
      return read;
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
    } else if (arg == "--package-base") {
      if (!value(text) || !read_value(parse_package_base(text, out.package_base), "an http:// or https:// address")) {
        return false;
      }
    } else if (arg == "--index") {
      if (!value(out.index)) return false;
    } else if (arg == "--write-index") {
      if (!value(out.write_index)) return false;
    } else if (arg == "--request-deadline") {
      if (!value(text) || !read_value(parse_seconds(text, out.request_deadline), "seconds above 0, at most 3600")) {
        return false;
      }
    } else if (arg == "--max-per-client") {
      if (!value(text) || !read_value(parse_count(text, out.max_per_client), "a number of connections (0: no limit)")) {
        return false;
      }
    } else if (arg == "--send-timeout") {
      if (!value(text) || !read_value(parse_seconds(text, out.send_timeout), "seconds above 0, at most 3600")) {
        return false;
      }
    } else if (arg == "--buffer-budget") {
      size_t mebibytes = 0;
      if (!value(text) || !read_value(parse_count(text, mebibytes) && mebibytes > 0, "a number of MiB, at least 1")) {
        return false;
      }
      out.buffer_budget = mebibytes << 20;
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
  if (!out.write_index.empty()) {
    if (!out.index.empty() || !out.listen.empty()) {
      reason = "--write-index only writes the index: no --index or --listen with it";
      return false;
    }
    return true;
  }
  if (out.listen.empty()) {
    reason = "at least one --listen ADDRESS:PORT is required";
    return false;
  }
  return true;
}

const char* usage_text() {
  return R"(usage: quillary-service --catalogue DIR --listen ADDRESS:PORT [--listen ADDRESS:PORT ...]
                        [--index FILE] [--package-base URL] [--request-deadline SECONDS]
                        [--send-timeout SECONDS] [--max-per-client N] [--buffer-budget MIB]
                        [--fault MODE] [--quiet]
       quillary-service --catalogue DIR --write-index FILE

The reference update service of Quillary: answers the driver-update query
from a catalogue of driver packages and serves the package files.

  --catalogue DIR   folder of driver packages: every *.zip and *.cab directly
                    in it (not in sub-folders; a zip archive or a cabinet,
                    as its first bytes say) is indexed at start with the
                    INF files inside, its SHA-256 and its signature file
                    NAME.minisig if any; unreadable archives, INF files and
                    signature files are reported on stderr and skipped
  --listen A:P      numeric address and port to listen on; port 0 takes a free
                    one; repeat for more listeners (all serve the same
                    catalogue); IPv6 as [ADDRESS]:PORT
  --write-index FILE
                    index the folder's packages (digests, signature files,
                    INF files) into the index FILE and exit; packages whose
                    name, size and time the old FILE records are not hashed
                    again
  --index FILE      map the catalogue that FILE holds instead of reading the
                    folder (instances on one host share it); a package
                    changed since is not offered
  --package-base URL
                    package links are URL followed by the file name (the
                    server that serves DIR, such as nginx); default: this
                    service's /packages/ at the address the client used
  --request-deadline SECONDS
                    the whole request, head and body, must arrive within this
                    time after the connection opened or went idle (default 10);
                    later ones get 408 and are closed
  --send-timeout SECONDS
                    a client that takes nothing of its answer for this long is
                    cut (default 60)
  --max-per-client N
                    connections one client address may hold at once (default
                    32; 0: no limit, for services behind a proxy); more get 503
  --buffer-budget MIB
                    what all connections together may buffer beyond 4 KiB
                    each, request bodies arriving and answers waiting to be
                    read (default 256); a request or answer beyond gets 503
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
SIGHUP reads the catalogue again (the index file with --index) and answers
new requests from it; SIGINT or SIGTERM stops the service.

Endpoints:
  POST /                  the update query (multipart/form-data, part
                          "driversm": zlib stream of the request document)
  GET, HEAD /packages/N   the package file N, with single byte ranges
  GET, HEAD /packages/N.minisig
                          the signature file of package N, if it has one

Exit codes: 0 stopped by a signal, 1 start-up failed (catalogue folder not
readable, address not available), 2 bad command line.
)";
}

}  // namespace quillary::server
