#include "server/connection.h"

#include <chrono>

#include "server/http_answer.h"
#include "server/http_request.h"
#include "server/http_response.h"
#include "server/package_download.h"
#include "server/socket_io.h"
#include "server/text_encoding.h"
#include "server/update_query.h"
#include "server/url_path.h"

namespace quillary::server {

namespace {

constexpr auto receive_timeout = std::chrono::seconds(30);
constexpr auto send_timeout = std::chrono::seconds(60);

// The body of the bad-xml fault: no XML library finds an element in it.
constexpr const char* not_xml_body = "quillary-service: this reply is deliberately not XML\n";

// Reads the request head; on failure answers it (when there is a request to
// answer) and returns false.
bool read_head(const connection_info& c, const service_context_c& context, http_request& request,
               std::string& buffer, size_t& head_size) {
  while (true) {
    std::string reason;
    switch (parse_request_head(buffer, max_request_head, request, head_size, reason)) {
      case head_status::complete: return true;
      case head_status::bad:
        send_answer(c.fd, text_answer(400, reason), false, context.stopping());
        context.log_request(c.peer + " bad request: " + reason);
        return false;
      case head_status::too_large:
        send_answer(c.fd, text_answer(413, "the request head is too large"), false, context.stopping());
        context.log_request(c.peer + " request head too large");
        return false;
      case head_status::incomplete: break;
    }
    if (receive_some(c.fd, buffer, 65536) <= 0) return false;
  }
}

// Reads the rest of the request body after the head; false when the peer
// went away or timed out first.
bool read_body(const connection_info& c, const http_request& request, std::string& buffer, size_t head_size,
               std::string& body) {
  body = buffer.substr(head_size);
  const auto length = static_cast<size_t>(request.content_length);
  body.reserve(length);
  while (body.size() < length) {
    if (receive_some(c.fd, body, length - body.size()) <= 0) return false;
  }
  body.resize(length);
  return true;
}

std::string log_line(const connection_info& c, const http_request& request, int status, uint64_t bytes) {
  return c.peer + " \"" + request.method + " " + request.target + "\" " + std::to_string(status) + " " +
         std::to_string(bytes);
}

void serve_query(const connection_info& c, const http_request& request, std::string& buffer, size_t head_size,
                 const service_context_c& context) {
  if (request.header("Transfer-Encoding") != nullptr) {
    send_answer(c.fd, text_answer(501, "chunked request bodies are not accepted"), false, context.stopping());
    context.log_request(log_line(c, request, 501, 0));
    return;
  }
  if (!request.has_content_length) {
    send_answer(c.fd, text_answer(411, "the query needs a Content-Length"), false, context.stopping());
    context.log_request(log_line(c, request, 411, 0));
    return;
  }
  if (request.content_length > max_request_body) {
    send_answer(c.fd, text_answer(413, "the request body is too large"), false, context.stopping());
    context.log_request(log_line(c, request, 413, 0));
    return;
  }
  // libcurl asks before it sends a larger body and would otherwise wait a
  // second for the go-ahead.
  const std::string* expect = request.header("Expect");
  if (expect != nullptr && equal_ignore_case_ascii(*expect, "100-continue") && buffer.size() == head_size &&
      request.content_length > 0) {
    if (!send_all(c.fd, "HTTP/1.1 100 Continue\r\n\r\n", context.stopping())) return;
  }
  std::string body;
  if (!read_body(c, request, buffer, head_size, body)) {
    context.log_request(c.peer + " \"" + request.method + " " + request.target + "\" body not received");
    return;
  }

  const std::string package_base = "http://" + link_authority(request.header("Host"), c.authority) + "/packages/";
  const std::string* content_type = request.header("Content-Type");
  query_summary summary;
  http_answer answer =
      answer_update_query(content_type ? *content_type : std::string(), body, context.catalogue(), package_base,
                          summary);
  if (context.fault().kind == fault_kind::bad_xml) {
    answer = http_answer{200, "text/xml", not_xml_body};
  } else if (context.fault().kind == fault_kind::oversize && answer.status == 200) {
    pad_reply(answer.body, oversize_reply_bytes);
  }
  send_answer(c.fd, answer, false, context.stopping());
  std::string line = log_line(c, request, answer.status, answer.body.size());
  if (answer.status == 200 && context.fault().kind != fault_kind::bad_xml) {
    line += " (" + summary.os + ", " + std::to_string(summary.devices) + " devices, " +
            std::to_string(summary.devices_with_offers) + " with offers, " + std::to_string(summary.items) +
            " items";
    if (summary.items_left_out > 0) line += ", " + std::to_string(summary.items_left_out) + " left out for size";
    line += ")";
  } else if (answer.status != 200) {
    line += ": " + std::string(trim_blanks(answer.body));
  }
  context.log_request(line);
}

void serve_request(const connection_info& c, const http_request& request, std::string& buffer, size_t head_size,
                   const service_context_c& context) {
  const bool head_only = request.method == "HEAD";
  if (context.fault().kind == fault_kind::status) {
    const int status = static_cast<int>(context.fault().value);
    send_answer(c.fd, http_answer{status, "text/html", status_page(status)}, head_only, context.stopping());
    context.log_request(log_line(c, request, status, 0) + " (status fault)");
    return;
  }
  const std::string path = request.path();
  if (request.method == "POST") {
    if (path == "/") {
      serve_query(c, request, buffer, head_size, context);
      return;
    }
  } else if (request.method == "GET" || head_only) {
    std::string name;
    if (package_name_from_path(path, name)) {
      if (const catalogue_package* package = context.catalogue().find_package(name)) {
        const download_result result = send_package(c.fd, request, *package, context);
        context.log_request(log_line(c, request, result.status, result.body_bytes));
        return;
      }
    } else if (path == "/") {
      const http_answer answer{200, "text/plain",
                               "quillary-service: " + std::to_string(context.catalogue().packages().size()) +
                                   " packages, " + std::to_string(context.catalogue().infs().size()) +
                                   " INF files. POST the update query here.\n"};
      send_answer(c.fd, answer, head_only, context.stopping());
      context.log_request(log_line(c, request, 200, answer.body.size()));
      return;
    }
  } else {
    send_answer(c.fd, text_answer(405, "only GET, HEAD and POST"), head_only, context.stopping(),
                {{"Allow", "GET, HEAD, POST"}});
    context.log_request(log_line(c, request, 405, 0));
    return;
  }
  send_answer(c.fd, text_answer(404, "no such resource"), head_only, context.stopping());
  context.log_request(log_line(c, request, 404, 0));
}

bool plain_host_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == ':' || c == '[' || c == ']' || c == '_';
}

}  // namespace

std::string link_authority(const std::string* host_header, const std::string& listener_authority) {
  if (host_header == nullptr || host_header->empty() || host_header->size() > 255) return listener_authority;
  for (const char c : *host_header) {
    if (!plain_host_char(c)) return listener_authority;
  }
  return *host_header;
}

void serve_connection(const connection_info& c, const service_context_c& context) {
  set_socket_timeouts(c.fd, receive_timeout, send_timeout);
  http_request request;
  std::string buffer;
  size_t head_size = 0;
  if (read_head(c, context, request, buffer, head_size)) serve_request(c, request, buffer, head_size, context);
  close_gracefully(c.fd);
}

}  // namespace quillary::server
