// The HTTP side: request heads, ranges, package paths, the command line and
// whole connections to a running service.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <thread>

#include "base/sha256.h"
#include "server/byte_range.h"
#include "server/connection.h"
#include "server/connection_hub.h"
#include "server/fault_mode.h"
#include "server/http_request.h"
#include "server/options.h"
#include "server/request_reader.h"
#include "server/url_path.h"
#include "server_test_support.h"
#include "test_support.h"

namespace quillary::server {
namespace {

head_status parse(const std::string& text, http_request& request, size_t& size) {
  std::string reason;
  return parse_request_head(text, 1024, request, size, reason);
}

TEST(HttpHead, ReadsRequestLineAndHeaders) {
  http_request request;
  size_t size = 0;
  const std::string head = "POST http://127.0.0.1:8080/?x=1 HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n"
                           "content-length: 12\r\nContent-Length: 12\r\nExpect:  100-continue \r\n\r\nbody";
  ASSERT_EQ(parse(head, request, size), head_status::complete);
  EXPECT_EQ(size, head.size() - 4);
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path(), "/");
  EXPECT_EQ(request.content_length, 12u);
  EXPECT_EQ(*request.header("EXPECT"), "100-continue");
  EXPECT_EQ(request.header("Range"), nullptr);
  ASSERT_EQ(parse("GET /packages/a.zip#frag HTTP/1.0\nRange: bytes=1-\n\n", request, size), head_status::complete);
  EXPECT_EQ(request.path(), "/packages/a.zip");
  EXPECT_EQ(*request.header("range"), "bytes=1-");
}

TEST(HttpHead, IncompleteBadAndTooLarge) {
  http_request request;
  size_t size = 0;
  EXPECT_EQ(parse("GET / HTTP/1.1\r\nHost: x\r\n", request, size), head_status::incomplete);
  EXPECT_EQ(parse("GET / HTTP/1.1\r\nX: " + std::string(1100, 'a'), request, size), head_status::too_large);
  EXPECT_EQ(parse("GET / HTTP/1.1\r\nX: " + std::string(1100, 'a') + "\r\n\r\n", request, size), head_status::too_large);
  for (const char* bad : {"GET /\r\n\r\n", "GET / HTTP/2\r\n\r\n", "GET  / HTTP/1.1\r\n\r\n", "G(T / HTTP/1.1\r\n\r\n",
                          "GET / HTTP/1.1\r\nNoColon\r\n\r\n", "GET / HTTP/1.1\r\nA: b\r\n folded\r\n\r\n",
                          "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
                          "POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", "GET /\x01 HTTP/1.1\r\n\r\n"}) {
    EXPECT_EQ(parse(bad, request, size), head_status::bad) << bad;
  }
}

// --- Requests collected from the bytes as they arrive -------------------------

TEST(RequestReader, AHeadByteByByteThenTheBodyAndTheNextRequestKept) {
  const std::string body = "0123456789";
  const std::string first = "POST / HTTP/1.1\r\nContent-Length: 10\r\nExpect: 100-continue\r\n\r\n";
  const std::string next = "GET / HTTP/1.1\r\n\r\n";
  request_reader_c reader;
  EXPECT_FALSE(reader.started());
  for (size_t i = 0; i + 1 < first.size(); ++i) {
    ASSERT_EQ(reader.take(first.substr(i, 1)), request_reader_c::step::more) << i;
  }
  EXPECT_TRUE(reader.started());
  EXPECT_EQ(reader.take(first.substr(first.size() - 1)), request_reader_c::step::send_continue);
  EXPECT_EQ(reader.wanted(), body.size()) << "never past the body";
  EXPECT_EQ(reader.take(body.substr(0, 4)), request_reader_c::step::more);
  EXPECT_EQ(reader.take(body.substr(4) + next), request_reader_c::step::done);
  EXPECT_TRUE(reader.result().body_read);
  EXPECT_EQ(reader.result().body, body);

  // Everything in one piece: the body and the next request are split off.
  request_reader_c whole;
  ASSERT_EQ(whole.take(first + body + next), request_reader_c::step::done);
  EXPECT_EQ(whole.result().body, body);
  request_reader_c second({}, whole.take_leftover());
  ASSERT_EQ(second.take({}), request_reader_c::step::done);
  EXPECT_EQ(second.result().request.method, "GET");
  EXPECT_EQ(second.take_leftover(), "");
}

TEST(RequestReader, BodiesItDoesNotTakeAndHeadsItCannotRead) {
  request_reader_c get;
  ASSERT_EQ(get.take("GET /packages/a.zip HTTP/1.1\nContent-Length: 5\n\nabcde"), request_reader_c::step::done);
  EXPECT_FALSE(get.result().body_read) << "only a query's body is read";
  request_reader_c huge;
  ASSERT_EQ(huge.take("POST / HTTP/1.1\r\nContent-Length: " + std::to_string(max_request_body + 1) + "\r\n\r\n"),
            request_reader_c::step::done);
  EXPECT_FALSE(huge.result().body_read);
  request_reader_c status_fault(fault_mode{fault_kind::status, 500});
  EXPECT_EQ(status_fault.take("POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\n"), request_reader_c::step::done);

  request_reader_c endless;
  const std::string line = "X: " + std::string(1000, 'a') + "\r\n";
  request_reader_c::step step = endless.take("GET / HTTP/1.1\r\n");
  while (step == request_reader_c::step::more) step = endless.take(line);
  EXPECT_EQ(endless.result().head, head_status::too_large);
  request_reader_c bad;
  ASSERT_EQ(bad.take("GET / HTTP/2\r\n\r\n"), request_reader_c::step::done);
  EXPECT_EQ(bad.result().head, head_status::bad);
}

TEST(ByteRanges, FormsOfTheRangeHeader) {
  const auto range = [](const char* header, uint64_t size) {
    const byte_range r = parse_byte_range(header, size);
    switch (r.kind) {
      case range_kind::whole: return std::string("whole");
      case range_kind::unsatisfiable: return std::string("416");
      case range_kind::partial: return std::to_string(r.first) + "-" + std::to_string(r.last);
    }
    return std::string();
  };
  EXPECT_EQ(range("bytes=1000-", 6282), "1000-6281");
  EXPECT_EQ(range("bytes=0-0", 6282), "0-0");
  EXPECT_EQ(range("bytes=100-199", 6282), "100-199");
  EXPECT_EQ(range("bytes=6000-99999", 6282), "6000-6281");
  EXPECT_EQ(range("bytes=-100", 6282), "6182-6281");
  EXPECT_EQ(range("bytes=-99999", 6282), "0-6281");
  EXPECT_EQ(range("Bytes=5 - 6", 6282), "5-6");
  EXPECT_EQ(range("bytes=6282-", 6282), "416");
  EXPECT_EQ(range("bytes=7000-8000", 6282), "416");
  EXPECT_EQ(range("bytes=-0", 6282), "416");
  EXPECT_EQ(range("bytes=0-", 0), "416");
  for (const char* ignored : {"bytes=5-4", "bytes=0-1,5-6", "items=0-1", "bytes=a-", "bytes=", "bytes=-", "bytes =0-1"}) {
    EXPECT_EQ(range(ignored, 6282), "whole") << ignored;
  }
}

TEST(PackagePaths, OnlyPlainNamesUnderPackages) {
  std::string name;
  ASSERT_TRUE(package_name_from_path("/packages/norvik%20lan%2B7.52.zip", name));
  EXPECT_EQ(name, "norvik lan+7.52.zip");
  for (const char* bad : {"/packages/", "/packages/..", "/packages/%2e%2e", "/packages/a/b.zip",
                          "/packages/..%2Fsecret", "/packages/a%5Cb", "/packages/a%00.zip", "/packages/a%2",
                          "/packages/a%zz", "/other/a.zip", "/Packages/a.zip"}) {
    EXPECT_FALSE(package_name_from_path(bad, name)) << bad;
  }
}

TEST(CommandLine, FaultModes) {
  fault_mode fault;
  std::string reason;
  ASSERT_TRUE(parse_fault_mode("status:503", fault, reason));
  EXPECT_EQ(fault.kind, fault_kind::status);
  EXPECT_EQ(fault.value, 503u);
  ASSERT_TRUE(parse_fault_mode("ignore-range", fault, reason));
  EXPECT_EQ(fault.kind, fault_kind::ignore_range);
  ASSERT_TRUE(parse_fault_mode("rate:2048", fault, reason));
  EXPECT_EQ(fault.value, 2048u);
  for (const char* bad : {"status:99", "status:204", "status:600", "status", "refuse:1", "stall:", "stall:x",
                          "rate:0", "truncate:-1", "explode", ""}) {
    EXPECT_FALSE(parse_fault_mode(bad, fault, reason)) << bad;
  }
}

TEST(CommandLine, Options) {
  service_options options;
  std::string reason;
  ASSERT_TRUE(parse_options({"--catalogue", "dir", "--listen", "127.0.0.1:0", "--listen", "[::1]:8081", "--fault",
                             "stall:100", "--quiet"},
                            options, reason))
      << reason;
  EXPECT_EQ(options.listen.size(), 2u);
  EXPECT_TRUE(options.listen[1].ipv6);
  EXPECT_EQ(options.listen[1].port, 8081);
  EXPECT_EQ(options.fault.kind, fault_kind::stall);
  EXPECT_TRUE(options.quiet);
  EXPECT_EQ(options.request_deadline, std::chrono::seconds(10));
  EXPECT_EQ(options.max_per_client, 32u);
  EXPECT_EQ(options.send_timeout, std::chrono::seconds(60));
  EXPECT_EQ(options.buffer_budget, size_t{256} << 20);
  ASSERT_TRUE(parse_options({"--catalogue", "dir", "--listen", "127.0.0.1:0", "--package-base",
                             "https://updates.example/drivers", "--request-deadline", "2.5", "--max-per-client", "0",
                             "--index", "dir.index", "--send-timeout", "0.5", "--buffer-budget", "64"},
                            options, reason))
      << reason;
  EXPECT_EQ(options.send_timeout, std::chrono::milliseconds(500));
  EXPECT_EQ(options.buffer_budget, size_t{64} << 20);
  EXPECT_EQ(options.package_base, "https://updates.example/drivers/");
  EXPECT_EQ(options.request_deadline, std::chrono::milliseconds(2500));
  EXPECT_EQ(options.max_per_client, 0u);
  EXPECT_EQ(options.index, "dir.index");
  ASSERT_TRUE(parse_options({"--catalogue", "dir", "--write-index", "dir.index"}, options, reason)) << reason;
  EXPECT_EQ(options.write_index, "dir.index");
  EXPECT_TRUE(parse_options({"--help"}, options, reason));
  EXPECT_TRUE(options.help);
  const std::vector<std::vector<std::string>> bad = {
      {"--listen", "127.0.0.1:0"},
      {"--catalogue", "dir"},
      {"--catalogue", "dir", "--listen", "localhost:80"},
      {"--catalogue", "dir", "--listen", "127.0.0.1:65536"},
      {"--catalogue", "dir", "--listen", "127.0.0.1"},
      {"--catalogue", "dir", "--listen", "127.0.0.1:0", "--fault", "refuse", "--fault", "bad-xml"},
      {"--catalogue", "dir", "--listen", "127.0.0.1:0", "--verbose"},
      {"--catalogue"},
      {"--catalogue", "dir", "--listen", "127.0.0.1:0", "--package-base", "ftp://h/"},
      {"--catalogue", "dir", "--listen", "127.0.0.1:0", "--package-base", "http:///x"},
      {"--catalogue", "dir", "--listen", "127.0.0.1:0", "--package-base", "http://h/<a>"},
      {"--catalogue", "dir", "--listen", "127.0.0.1:0", "--request-deadline", "0"},
      {"--catalogue", "dir", "--listen", "127.0.0.1:0", "--request-deadline", "1.2.3"},
      {"--catalogue", "dir", "--listen", "127.0.0.1:0", "--request-deadline", "7200"},
      {"--catalogue", "dir", "--listen", "127.0.0.1:0", "--max-per-client", "-1"},
      {"--catalogue", "dir", "--listen", "127.0.0.1:0", "--send-timeout", "0"},
      {"--catalogue", "dir", "--listen", "127.0.0.1:0", "--buffer-budget", "0"},
      {"--catalogue", "dir", "--listen", "127.0.0.1:0", "--buffer-budget", "1.5"},
      {"--catalogue", "dir", "--write-index", "i", "--listen", "127.0.0.1:0"},
  };
  for (const auto& args : bad) {
    EXPECT_FALSE(parse_options(args, options, reason)) << args.back();
  }
}

TEST(LinkAuthority, HostHeaderWhenItIsPlain) {
  const std::string listener = "127.0.0.1:8080";
  const std::string host = "localhost:9000";
  const std::string v6 = "[::1]:9000";
  const std::string evil = "x\"><a>";
  EXPECT_EQ(link_authority(&host, listener), host);
  EXPECT_EQ(link_authority(&v6, listener), v6);
  EXPECT_EQ(link_authority(&evil, listener), listener);
  EXPECT_EQ(link_authority(nullptr, listener), listener);
}

// --- Whole connections to a running service --------------------------------

// A connection from `from` (any address of 127.0.0.0/8 is this machine) to
// the port, with the given receive buffer (0: the system's); reads give up
// after ten seconds.
int connect_from(const char* from, int port, int receive_buffer = 0) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (receive_buffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, from, &local.sin_addr);
  EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote), 0);
  const timeval ten_seconds{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &ten_seconds, sizeof ten_seconds);
  return fd;
}

void send_text(int fd, const std::string& text) {
  EXPECT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

// Everything until the service closes (or a read fails: then what came).
std::string read_to_end(int fd) {
  std::string reply;
  char buffer[65536];
  ssize_t n;
  while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) reply.append(buffer, static_cast<size_t>(n));
  return reply;
}

size_t count_of(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// quillary-service's connection handling on a free port of 127.0.0.1.
class running_service_c {
 public:
  running_service_c(std::shared_ptr<const catalogue_c> catalogue, service_options options)
      : context_(std::move(catalogue), with_free_port(std::move(options))), hub_(listeners_, context_) {
    std::string reason;
    EXPECT_TRUE(listeners_.open(context_.options().listen, reason)) << reason;
    EXPECT_TRUE(hub_.start(reason)) << reason;
  }
  int port() const {
    const std::string& authority = listeners_.authorities().at(0);
    return std::stoi(authority.substr(authority.rfind(':') + 1));
  }
  std::string authority() const { return listeners_.authorities().at(0); }

 private:
  static service_options with_free_port(service_options options) {
    options.listen = {listen_address{"127.0.0.1", 0, false}};
    options.quiet = true;
    return options;
  }
  service_context_c context_;
  listener_set_c listeners_;
  connection_hub_c hub_;
};

class Connection : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string inf = testing::small_inf("%Maker%=M,NTamd64", "[M.NTamd64]\nA=I,PCI\\VEN_1\n");
    const std::string zip = (folder.path() / "pkg.zip").string();
    ASSERT_TRUE(testing::write_zip(zip, {{"a.inf", inf}, {"data.bin", std::string(200000, 'd')}}));
    std::string reason;
    catalogue_builder_c builder;
    ASSERT_TRUE(builder.index_folder(folder.path().string(), [](const std::string&) {}, reason));
    catalogue = builder.build(folder.path().string());
    ASSERT_EQ(catalogue->package_count(), 1u);
    std::ifstream in(zip, std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), {});
  }

  running_service_c& service(fault_mode fault = {}) {
    service_options options;
    options.fault = fault;
    running = std::make_unique<running_service_c>(catalogue, options);
    return *running;
  }

  // A query for the package's device, as the client posts it.
  static std::string query_body() {
    return testing::multipart_body(
        "b", {{"driversm",
               testing::zlib_compress(testing::request_document("WIN764", "437", {{"PCI\\X", {"PCI\\VEN_1"}, {}}}))}});
  }
  static std::string query_head(size_t body_size) {
    return "POST / HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=b\r\nContent-Length: " +
           std::to_string(body_size) + "\r\n\r\n";
  }

  // Sends the request (waiting for an interim response when asked), ends
  // the sending side and returns everything the service wrote back.
  static std::string exchange(const running_service_c& to, const std::string& head, const std::string& body = "",
                              bool await_continue = false) {
    const int fd = connect_from("127.0.0.1", to.port());
    send_text(fd, head);
    std::string reply;
    if (await_continue) {
      char buffer[4096];
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      reply.append(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    }
    if (!body.empty()) send_text(fd, body);
    shutdown(fd, SHUT_WR);
    reply += read_to_end(fd);
    close(fd);
    return reply;
  }

  quillary::testing::temp_folder_c folder;
  std::shared_ptr<const catalogue_c> catalogue;
  std::string file;
  std::unique_ptr<running_service_c> running;
};

TEST_F(Connection, ExpectContinueGetsAnInterimResponseBeforeTheBody) {
  const auto& s = service();
  const std::string body = query_body();
  const std::string head = "POST / HTTP/1.1\r\nHost: example.test:81\r\nExpect: 100-continue\r\nConnection: close\r\n"
                           "Content-Type: multipart/form-data; boundary=b\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\n\r\n";
  const std::string reply = exchange(s, head, body, true);
  ASSERT_EQ(reply.rfind("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n", 0), 0u) << reply.substr(0, 200);
  EXPECT_NE(reply.find("Connection: close\r\n"), std::string::npos);
  EXPECT_NE(reply.find("<link>http://example.test:81/packages/pkg.zip</link>"), std::string::npos);
  EXPECT_NE(reply.find("<sha256>" + std::string(catalogue->package(0).sha256) + "</sha256>"), std::string::npos);
  EXPECT_EQ(catalogue->package(0).sha256, to_hex(sha256_of(file)));
}

TEST_F(Connection, PackageLinksPointAtTheGivenBase) {
  service_options options;
  options.package_base = "https://updates.example/drivers/";
  running_service_c s(catalogue, options);
  const std::string reply = exchange(s, query_head(query_body().size()), query_body());
  EXPECT_NE(reply.find("<link>https://updates.example/drivers/pkg.zip</link>"), std::string::npos) << reply;
}

TEST_F(Connection, QueryErrorsAndLimits) {
  const auto& s = service();
  EXPECT_EQ(exchange(s, "POST / HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n").substr(0, 12), "HTTP/1.1 413");
  EXPECT_EQ(exchange(s, "POST / HTTP/1.1\r\nContent-Length: " + std::to_string(max_request_body + 1) + "\r\n\r\n")
                .substr(0, 12),
            "HTTP/1.1 413");
  EXPECT_EQ(exchange(s, "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n").substr(0, 12), "HTTP/1.1 501");
  EXPECT_EQ(exchange(s, "POST / HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 411");
  EXPECT_EQ(exchange(s, "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\n", "abc").substr(0, 12), "HTTP/1.1 400");
  EXPECT_EQ(exchange(s, "GET / HTTP/1.1\r\nX: " + std::string(70000, 'a') + "\r\n\r\n").substr(0, 12),
            "HTTP/1.1 413");
  EXPECT_EQ(exchange(s, "GET / HTTP/1.1\r\nX: a\r\n folded\r\n\r\n").substr(0, 12), "HTTP/1.1 400");
  EXPECT_EQ(exchange(s, "DELETE / HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 405");
  EXPECT_EQ(exchange(s, "POST /x HTTP/1.1\r\nContent-Length: 0\r\n\r\n").substr(0, 12), "HTTP/1.1 404");
  // A body cut short is not answered at all.
  EXPECT_EQ(exchange(s, "POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\n", "abc"), "");
}

TEST_F(Connection, PackageDownloadsWholeAndInRanges) {
  const auto& s = service();
  std::string reply = exchange(s, "GET /packages/pkg.zip HTTP/1.1\r\n\r\n");
  const size_t body = reply.find("\r\n\r\n") + 4;
  EXPECT_EQ(reply.substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_NE(reply.find("Content-Length: " + std::to_string(file.size()) + "\r\n"), std::string::npos);
  EXPECT_NE(reply.find("Accept-Ranges: bytes\r\n"), std::string::npos);
  EXPECT_TRUE(reply.substr(body) == file);

  reply = exchange(s, "GET /packages/pkg.zip HTTP/1.1\r\nRange: bytes=100-\r\n\r\n");
  EXPECT_EQ(reply.substr(0, 12), "HTTP/1.1 206");
  EXPECT_NE(reply.find("Content-Range: bytes 100-" + std::to_string(file.size() - 1) + "/" +
                       std::to_string(file.size()) + "\r\n"),
            std::string::npos);
  EXPECT_TRUE(reply.substr(reply.find("\r\n\r\n") + 4) == file.substr(100));

  reply = exchange(s, "HEAD /packages/pkg.zip HTTP/1.1\r\nRange: bytes=999999-\r\n\r\n");
  EXPECT_EQ(reply.substr(0, 12), "HTTP/1.1 416");
  EXPECT_NE(reply.find("Content-Range: bytes */" + std::to_string(file.size())), std::string::npos);
  EXPECT_EQ(reply.substr(reply.find("\r\n\r\n") + 4), "");
  // HEAD announces the same head, Content-Length included, as the GET.
  const std::string get = exchange(s, "GET /packages/pkg.zip HTTP/1.1\r\nRange: bytes=999999-\r\n\r\n");
  EXPECT_EQ(reply, get.substr(0, get.find("\r\n\r\n") + 4));

  EXPECT_EQ(exchange(s, "GET /packages/other.zip HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 404");
  EXPECT_EQ(exchange(s, "GET /packages/..%2Fpkg.zip HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 404");
}

TEST_F(Connection, DownloadFaultsShapeTheBody) {
  const auto body_of = [&](fault_mode fault, const std::string& head) {
    const std::string reply = exchange(service(fault), head);
    return reply.substr(reply.find("\r\n\r\n") + 4);
  };
  const std::string get = "GET /packages/pkg.zip HTTP/1.1\r\nRange: bytes=10-\r\n\r\n";
  EXPECT_TRUE(body_of({fault_kind::truncate, 1000}, get) == file.substr(10, 1000));
  EXPECT_TRUE(body_of({fault_kind::extra, 7}, get) == file.substr(10) + std::string(7, '\0'));
  EXPECT_TRUE(body_of({fault_kind::ignore_range, 0}, get) == file);
  EXPECT_EQ(exchange(service({fault_kind::status, 503}), get).substr(0, 12), "HTTP/1.1 503");
}

// A signed package's signature file comes from the same route, as the
// bytes the catalogue read (those the reply carries), whole or in a range,
// with the download faults; unsigned packages and other names have none.
TEST_F(Connection, SignatureFilesDownloadBesideTheirPackages) {
  const std::string signature =
      "untrusted comment: signature from minisign secret key\n"
      "RUQ47DlEOlAPC8gw6K1tupZ9eLsP+933/cnZ81XwoHdRRHytK8i0uuTLUpUZm5lk2urkmz4Kkhg284+xC042if7w6gwMiEU2ZwQ=\n"
      "trusted comment: timestamp:1700000000\tfile:a.zip\tsha256:0\n"
      "AETalPe39mDmyO6Pqpmx2LheNGliHBFVUVlVx9cwhTuouYP0nVi4LY21VTkFiBj9NPj4WxyrWEF9vFcoCsddDA==\n";
  std::ofstream(folder.path() / "pkg.zip.minisig", std::ios::binary) << signature;
  const std::string inf = testing::small_inf("%Maker%=M,NTamd64", "[M.NTamd64]\nA=I,PCI\\VEN_1\n");
  ASSERT_TRUE(testing::write_zip((folder.path() / "plain.zip").string(), {{"a.inf", inf}}));
  catalogue_builder_c builder;
  std::string reason;
  ASSERT_TRUE(builder.index_folder(folder.path().string(), [](const std::string&) {}, reason));
  const std::shared_ptr<const catalogue_c> signed_catalogue = builder.build(folder.path().string());
  ASSERT_EQ(signed_catalogue->find_package("pkg.zip")->minisig, signature);
  // Changed on disk after it was read: the route still serves what the
  // replies carry.
  std::ofstream(folder.path() / "pkg.zip.minisig", std::ios::binary | std::ios::trunc) << "changed";

  const auto body_of = [](const std::string& reply) { return reply.substr(reply.find("\r\n\r\n") + 4); };
  {
    running_service_c s(signed_catalogue, {});
    std::string reply = exchange(s, "GET /packages/pkg.zip.minisig HTTP/1.1\r\n\r\n");
    EXPECT_EQ(reply.substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_NE(reply.find("Content-Type: text/plain\r\n"), std::string::npos);
    EXPECT_NE(reply.find("Content-Length: " + std::to_string(signature.size()) + "\r\n"), std::string::npos);
    EXPECT_EQ(body_of(reply), signature);

    reply = exchange(s, "GET /packages/pkg.zip%2Eminisig HTTP/1.1\r\nRange: bytes=-10\r\n\r\n");
    EXPECT_EQ(reply.substr(0, 12), "HTTP/1.1 206");
    EXPECT_NE(reply.find("Content-Range: bytes " + std::to_string(signature.size() - 10) + "-" +
                         std::to_string(signature.size() - 1) + "/" + std::to_string(signature.size())),
              std::string::npos);
    EXPECT_EQ(body_of(reply), signature.substr(signature.size() - 10));

    reply = exchange(s, "HEAD /packages/pkg.zip.minisig HTTP/1.1\r\n\r\n");
    EXPECT_EQ(reply.substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_NE(reply.find("Content-Length: " + std::to_string(signature.size()) + "\r\n"), std::string::npos);
    EXPECT_EQ(body_of(reply), "");
    EXPECT_EQ(exchange(s, "GET /packages/pkg.zip.minisig HTTP/1.1\r\nRange: bytes=9999-\r\n\r\n").substr(0, 12),
              "HTTP/1.1 416");

    for (const char* path : {"/packages/plain.zip.minisig", "/packages/other.zip.minisig", "/packages/.minisig",
                             "/packages/pkg.zip.MINISIG", "/packages/pkg.minisig", "/packages/pkg.zip.minisig.minisig"}) {
      EXPECT_EQ(exchange(s, "GET " + std::string(path) + " HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 404")
          << path;
    }
  }
  service_options truncating;
  truncating.fault = {fault_kind::truncate, 20};
  running_service_c cut(signed_catalogue, truncating);
  EXPECT_EQ(body_of(exchange(cut, "GET /packages/pkg.zip.minisig HTTP/1.1\r\n\r\n")), signature.substr(0, 20));
}

// HTTP/1.1 connections carry one request after another (a proxy in front
// keeps them open), pipelined ones too; "Connection: close" ends them.
TEST_F(Connection, ConnectionsCarryRequestAfterRequestUntilAskedToClose) {
  const auto& s = service();
  const int fd = connect_from("127.0.0.1", s.port());
  send_text(fd, "GET / HTTP/1.1\r\n\r\nHEAD /packages/pkg.zip HTTP/1.1\r\n\r\n"
                "GET / HTTP/1.1\r\nConnection: TE, Close\r\n\r\n");
  // No shutdown here: the service closes after the third answer by itself.
  const std::string replies = read_to_end(fd);
  close(fd);
  EXPECT_EQ(count_of(replies, "HTTP/1.1 200 OK\r\n"), 3u) << replies;
  EXPECT_EQ(count_of(replies, "Connection: close\r\n"), 1u) << "only the last answer ends the connection";
  EXPECT_TRUE(replies.ends_with("POST the update query here.\n")) << "the closing answer comes last";
  EXPECT_NE(replies.find("application/zip"), std::string::npos) << "the HEAD between them";
  // HTTP/1.0 connections carry one request.
  EXPECT_EQ(count_of(exchange(s, "GET / HTTP/1.0\r\n\r\nGET / HTTP/1.0\r\n\r\n"), "HTTP/1.1 200"), 1u);
}

// A request must arrive whole within the deadline: a head that trickles in
// gets 408 and the connection closes; a kept connection that stays idle is
// closed without a word.
TEST_F(Connection, RequestsThatDoNotArriveInTimeGet408) {
  service_options options;
  options.request_deadline = std::chrono::milliseconds(400);
  running_service_c s(catalogue, options);
  const auto started = std::chrono::steady_clock::now();
  const int slow = connect_from("127.0.0.1", s.port());
  const int silent = connect_from("127.0.0.1", s.port());
  send_text(slow, "GET / HTTP/1.1\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  send_text(slow, "Host: x\r\n");
  EXPECT_EQ(read_to_end(slow).substr(0, 12), "HTTP/1.1 408");
  EXPECT_EQ(read_to_end(silent).substr(0, 12), "HTTP/1.1 408");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
  close(slow);
  close(silent);

  const int kept = connect_from("127.0.0.1", s.port());
  send_text(kept, "GET / HTTP/1.1\r\n\r\n");
  const std::string reply = read_to_end(kept);
  close(kept);
  EXPECT_EQ(count_of(reply, "HTTP/1.1 "), 1u) << reply;
  EXPECT_EQ(reply.substr(0, 15), "HTTP/1.1 200 OK");
}

// One address may hold only so many connections; the next one is answered
// 503 (not reset), while other addresses are served, and a slot comes back
// when its connection closes.
TEST_F(Connection, ClientsBeyondTheirShareOfConnectionsGet503) {
  service_options options;
  options.max_per_client = 2;
  running_service_c s(catalogue, options);
  const int first = connect_from("127.0.0.3", s.port());
  const int second = connect_from("127.0.0.3", s.port());
  send_text(first, "GET / HTTP/1.1\r\n");  // a request that is not finished yet
  const int third = connect_from("127.0.0.3", s.port());
  send_text(third, "GET / HTTP/1.1\r\nHost: x\r\n\r\n");
  const std::string refused = read_to_end(third);
  EXPECT_EQ(refused.substr(0, 12), "HTTP/1.1 503") << refused;
  EXPECT_NE(refused.find("too many connections from your address"), std::string::npos);
  close(third);

  const int other = connect_from("127.0.0.4", s.port());
  send_text(other, "GET / HTTP/1.1\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(read_to_end(other).substr(0, 15), "HTTP/1.1 200 OK");
  close(other);

  close(second);
  std::string again;
  for (int attempt = 0; attempt < 50 && again.rfind("HTTP/1.1 200", 0) != 0; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int fd = connect_from("127.0.0.3", s.port());
    send_text(fd, "GET / HTTP/1.1\r\nConnection: close\r\n\r\n");
    again = read_to_end(fd);
    close(fd);
  }
  EXPECT_EQ(again.substr(0, 15), "HTTP/1.1 200 OK") << "the closed connection's slot is free again";
  close(first);
}

// A client that takes nothing of its answer is reset once the send
// time-out has passed without progress, which frees its address's slot;
// a client that reads gets the whole file, sent on as it read.
TEST_F(Connection, AClientThatTakesNothingIsCutAtTheSendTimeout) {
  // Bytes that do not compress, more than the kernel buffers for a socket
  // (at most 4 MiB by default), so that the answer cannot be all out.
  std::string payload(8 << 20, '\0');
  std::mt19937 noise(5);
  for (char& c : payload) c = static_cast<char>(noise());
  const std::string zip = (folder.path() / "large.zip").string();
  ASSERT_TRUE(testing::write_zip(zip, {{"a.inf", testing::small_inf("%Maker%=M", "[M]\nA=I,PCI\\VEN_2\n")},
                                       {"payload.bin", payload}}));
  catalogue_builder_c builder;
  std::string reason;
  ASSERT_TRUE(builder.index_folder(folder.path().string(), [](const std::string&) {}, reason));
  const std::shared_ptr<const catalogue_c> large = builder.build(folder.path().string());
  std::ifstream in(zip, std::ios::binary);
  const std::string whole{std::istreambuf_iterator<char>(in), {}};

  service_options options;
  options.send_timeout = std::chrono::milliseconds(300);
  options.max_per_client = 1;
  running_service_c s(large, options);
  const std::string get = "GET /packages/large.zip HTTP/1.1\r\nConnection: close\r\n\r\n";
  const int stalled = connect_from("127.0.0.6", s.port(), 4096);
  const auto sent = std::chrono::steady_clock::now();
  send_text(stalled, get);
  pollfd cut{stalled, POLLRDHUP, 0};
  ASSERT_EQ(poll(&cut, 1, 10000), 1) << "reset within ten seconds";
  EXPECT_GE(std::chrono::steady_clock::now() - sent, options.send_timeout);
  EXPECT_NE(cut.revents & (POLLERR | POLLHUP), 0);
  EXPECT_LT(read_to_end(stalled).size(), whole.size());
  close(stalled);

  const int reader = connect_from("127.0.0.6", s.port(), 4096);
  send_text(reader, get);
  const std::string reply = read_to_end(reader);
  close(reader);
  EXPECT_EQ(reply.substr(0, 15), "HTTP/1.1 200 OK") << "the slot of the cut connection is free again";
  EXPECT_TRUE(reply.substr(reply.find("\r\n\r\n") + 4) == whole);
}

// What connections buffer comes out of the budget: a body announced
// beyond it is refused before it is sent, and so is an answer that would
// wait beyond it; what fits in a connection's free part or in the budget
// is answered as ever.
TEST_F(Connection, RequestsAndAnswersBeyondTheBufferBudgetGet503) {
  service_options options;
  options.buffer_budget = 64 << 10;
  options.fault = {fault_kind::oversize, 0};
  running_service_c s(catalogue, options);
  const std::string busy = "HTTP/1.1 503 Service Unavailable\r\n";
  EXPECT_EQ(exchange(s, query_head(1 << 20)).substr(0, busy.size()), busy) << "no body byte was sent";
  EXPECT_EQ(exchange(s, query_head(query_body().size()), query_body()).substr(0, busy.size()), busy)
      << "the padded reply does not fit";
  EXPECT_EQ(exchange(s, "GET / HTTP/1.1\r\nX: " + std::string(20000, 'a') + "\r\n\r\n").substr(0, 15),
            "HTTP/1.1 200 OK")
      << "a longer head that fits";

  running_service_c plain(catalogue, [] {
    service_options small;
    small.buffer_budget = 64 << 10;
    return small;
  }());
  EXPECT_EQ(exchange(plain, query_head(query_body().size()), query_body()).substr(0, 15), "HTTP/1.1 200 OK")
      << "a query whose reply fits";
}

}  // namespace
}  // namespace quillary::server
