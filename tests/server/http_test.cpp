// The HTTP side: request heads, ranges, package paths, the command line and
// whole connections over a socket pair.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "server/byte_range.h"
#include "server/connection.h"
#include "server/fault_mode.h"
#include "server/http_request.h"
#include "server/options.h"
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

// --- Whole connections over a socket pair ----------------------------------

class Connection : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string inf = testing::small_inf("%Maker%=M,NTamd64", "[M.NTamd64]\nA=I,PCI\\VEN_1\n");
    const std::string zip = (folder.path() / "pkg.zip").string();
    ASSERT_TRUE(testing::write_zip(zip, {{"a.inf", inf}, {"data.bin", std::string(200000, 'd')}}));
    std::string reason;
    ASSERT_TRUE(catalogue.index_folder(folder.path().string(), [](const std::string&) {}, reason));
    ASSERT_EQ(catalogue.packages().size(), 1u);
    std::ifstream in(zip, std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), {});
  }

  // Sends `request` (in pieces, waiting for an interim response when asked)
  // and returns everything the service wrote back.
  std::string exchange(const service_context_c& context, const std::string& head, const std::string& body = "",
                       bool await_continue = false) {
    int pair[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    std::thread server([&] { serve_connection(connection_info{pair[0], "test", "127.0.0.1:8080"}, context); });
    std::string reply;
    char buffer[65536];
    EXPECT_EQ(write(pair[1], head.data(), head.size()), static_cast<ssize_t>(head.size()));
    if (await_continue) {
      const ssize_t n = read(pair[1], buffer, sizeof buffer);
      reply.append(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    }
    if (!body.empty()) {
      EXPECT_EQ(write(pair[1], body.data(), body.size()), static_cast<ssize_t>(body.size()));
    }
    shutdown(pair[1], SHUT_WR);
    ssize_t n;
    while ((n = read(pair[1], buffer, sizeof buffer)) > 0) reply.append(buffer, static_cast<size_t>(n));
    server.join();
    close(pair[1]);
    return reply;
  }

  quillary::testing::temp_folder_c folder;
  catalogue_c catalogue;
  std::string file;
};

TEST_F(Connection, ExpectContinueGetsAnInterimResponseBeforeTheBody) {
  const service_context_c context(catalogue, fault_mode{}, true);
  const std::string body = testing::multipart_body(
      "b", {{"driversm", testing::zlib_compress(testing::request_document("WIN764", "437", {{"PCI\\X", {"PCI\\VEN_1"}, {}}}))}});
  const std::string head = "POST / HTTP/1.1\r\nHost: example.test:81\r\nExpect: 100-continue\r\n"
                           "Content-Type: multipart/form-data; boundary=b\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\n\r\n";
  const std::string reply = exchange(context, head, body, true);
  ASSERT_EQ(reply.rfind("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n", 0), 0u) << reply.substr(0, 200);
  EXPECT_NE(reply.find("Connection: close\r\n"), std::string::npos);
  EXPECT_NE(reply.find("<link>http://example.test:81/packages/pkg.zip</link>"), std::string::npos);
}

TEST_F(Connection, QueryErrorsAndLimits) {
  const service_context_c context(catalogue, fault_mode{}, true);
  EXPECT_EQ(exchange(context, "POST / HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n").substr(0, 12), "HTTP/1.1 413");
  EXPECT_EQ(exchange(context, "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n").substr(0, 12), "HTTP/1.1 501");
  EXPECT_EQ(exchange(context, "POST / HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 411");
  EXPECT_EQ(exchange(context, "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\n", "abc").substr(0, 12), "HTTP/1.1 400");
  EXPECT_EQ(exchange(context, "GET / HTTP/1.1\r\nX: " + std::string(70000, 'a') + "\r\n\r\n").substr(0, 12),
            "HTTP/1.1 413");
  EXPECT_EQ(exchange(context, "DELETE / HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 405");
  EXPECT_EQ(exchange(context, "POST /x HTTP/1.1\r\nContent-Length: 0\r\n\r\n").substr(0, 12), "HTTP/1.1 404");
  // A body cut short is not answered at all.
  EXPECT_EQ(exchange(context, "POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\n", "abc"), "");
}

TEST_F(Connection, PackageDownloadsWholeAndInRanges) {
  const service_context_c context(catalogue, fault_mode{}, true);
  std::string reply = exchange(context, "GET /packages/pkg.zip HTTP/1.1\r\n\r\n");
  const size_t body = reply.find("\r\n\r\n") + 4;
  EXPECT_EQ(reply.substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_NE(reply.find("Content-Length: " + std::to_string(file.size()) + "\r\n"), std::string::npos);
  EXPECT_NE(reply.find("Accept-Ranges: bytes\r\n"), std::string::npos);
  EXPECT_TRUE(reply.substr(body) == file);

  reply = exchange(context, "GET /packages/pkg.zip HTTP/1.1\r\nRange: bytes=100-\r\n\r\n");
  EXPECT_EQ(reply.substr(0, 12), "HTTP/1.1 206");
  EXPECT_NE(reply.find("Content-Range: bytes 100-" + std::to_string(file.size() - 1) + "/" +
                       std::to_string(file.size()) + "\r\n"),
            std::string::npos);
  EXPECT_TRUE(reply.substr(reply.find("\r\n\r\n") + 4) == file.substr(100));

  reply = exchange(context, "HEAD /packages/pkg.zip HTTP/1.1\r\nRange: bytes=999999-\r\n\r\n");
  EXPECT_EQ(reply.substr(0, 12), "HTTP/1.1 416");
  EXPECT_NE(reply.find("Content-Range: bytes */" + std::to_string(file.size())), std::string::npos);
  EXPECT_EQ(reply.substr(reply.find("\r\n\r\n") + 4), "");
  // HEAD announces the same head, Content-Length included, as the GET.
  const std::string get = exchange(context, "GET /packages/pkg.zip HTTP/1.1\r\nRange: bytes=999999-\r\n\r\n");
  EXPECT_EQ(reply, get.substr(0, get.find("\r\n\r\n") + 4));

  EXPECT_EQ(exchange(context, "GET /packages/other.zip HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 404");
  EXPECT_EQ(exchange(context, "GET /packages/..%2Fpkg.zip HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 404");
}

TEST_F(Connection, DownloadFaultsShapeTheBody) {
  const auto body_of = [&](fault_mode fault, const std::string& head) {
    const service_context_c context(catalogue, fault, true);
    const std::string reply = exchange(context, head);
    return reply.substr(reply.find("\r\n\r\n") + 4);
  };
  const std::string get = "GET /packages/pkg.zip HTTP/1.1\r\nRange: bytes=10-\r\n\r\n";
  EXPECT_TRUE(body_of({fault_kind::truncate, 1000}, get) == file.substr(10, 1000));
  EXPECT_TRUE(body_of({fault_kind::extra, 7}, get) == file.substr(10) + std::string(7, '\0'));
  EXPECT_TRUE(body_of({fault_kind::ignore_range, 0}, get) == file);
  const service_context_c status(catalogue, fault_mode{fault_kind::status, 503}, true);
  EXPECT_EQ(exchange(status, get).substr(0, 12), "HTTP/1.1 503");
}

}  // namespace
}  // namespace quillary::server
