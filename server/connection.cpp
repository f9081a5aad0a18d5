#include "server/connection.h"

#include <algorithm>

#include "base/ascii_text.h"
#include "server/http_answer.h"
#include "server/http_response.h"
#include "server/package_download.h"
#include "server/update_query.h"
#include "server/url_path.h"

namespace quillary::server {

namespace {

// The body of the bad-xml fault: no XML library finds an element in it.
constexpr const char* not_xml_body = "quillary-service: this reply is deliberately not XML\n";

// Whether the client lets the connection carry another request: HTTP/1.1
// unless one of the Connection header's options is "close".
bool client_keeps_connection(const http_request& request) {
  if (request.version != "HTTP/1.1") return false;
  const std::string* connection = request.header("Connection");
  for (std::string_view rest = connection ? *connection : std::string_view(); !rest.empty();) {
    const size_t comma = std::min(rest.find(','), rest.size());
    if (equal_ignore_case_ascii(trim_blanks(rest.substr(0, comma)), "close")) return false;
    rest.remove_prefix(std::min(comma + 1, rest.size()));
  }
  return true;
}

// One request on its way to its answer.
class exchange_c {
 public:
  exchange_c(const connection_info& c, const received_request& received, const service_context_c& context)
      : c_(c),
        request_(received.request),
        body_(received.body),
        context_(context),
        head_only_(request_.method == "HEAD"),
        // A body the service did not read would be taken for the next request.
        keep_alive_(client_keeps_connection(request_) && context.fault().kind == fault_kind::none &&
                    (received.body_read ||
                     (request_.content_length == 0 && request_.header("Transfer-Encoding") == nullptr))) {}

  outgoing_answer_c answer() {
    if (context_.fault().kind == fault_kind::status) {
      const int status = static_cast<int>(context_.fault().value);
      return reply({status, "text/html", status_page(status)}, " (status fault)");
    }
    const std::string path = request_.path();
    if (request_.method == "POST") {
      if (path == "/") return answer_query();
    } else if (request_.method == "GET" || head_only_) {
      std::string name;
      if (package_name_from_path(path, name)) {
        const auto catalogue = context_.catalogue();
        if (const auto package = catalogue->find_package(name)) {
          package_answer download = prepare_package_answer(request_, *package, context_.fault(), keep_alive_);
          download.answer.set_log(log_prefix(download.status));
          return std::move(download.answer);
        }
        if (const auto package = package_of_signature(*catalogue, name)) {
          package_answer download = prepare_signature_answer(request_, *package, context_.fault(), keep_alive_);
          download.answer.set_log(log_prefix(download.status));
          return std::move(download.answer);
        }
      } else if (path == "/") {
        const auto catalogue = context_.catalogue();
        return reply({200, "text/plain",
                      "quillary-service: " + std::to_string(catalogue->offered_package_count()) + " packages, " +
                          std::to_string(catalogue->inf_count()) + " INF files. POST the update query here.\n"});
      }
    } else {
      return reply(text_answer(405, "only GET, HEAD and POST"), {}, {{"Allow", "GET, HEAD, POST"}});
    }
    return reply(text_answer(404, "no such resource"));
  }

 private:
  outgoing_answer_c answer_query() {
    if (request_.header("Transfer-Encoding") != nullptr) {
      return reply(text_answer(501, "chunked request bodies are not accepted"));
    }
    if (!request_.has_content_length) return reply(text_answer(411, "the query needs a Content-Length"));
    if (request_.content_length > max_request_body) return reply(text_answer(413, "the request body is too large"));

    const std::string& base = context_.options().package_base;
    const std::string package_base =
        base.empty() ? "http://" + link_authority(request_.header("Host"), c_.authority) + "/packages/" : base;
    const std::string* content_type = request_.header("Content-Type");
    query_summary summary;
    http_answer answer;
    {
      // Queries are answered a few at a time: each may take its share of
      // memory, and more at once would not finish sooner.
      const auto slot = context_.query_slot();
      answer = answer_update_query(content_type ? *content_type : std::string(), body_, *context_.catalogue(),
                                   package_base, summary);
    }
    if (context_.fault().kind == fault_kind::bad_xml) {
      answer = http_answer{200, "text/xml", not_xml_body};
    } else if (context_.fault().kind == fault_kind::oversize && answer.status == 200) {
      pad_reply(answer.body, oversize_reply_bytes);
    }
    std::string note;
    if (answer.status == 200 && context_.fault().kind != fault_kind::bad_xml) {
      // The build as sent, so that a log tells which release asked.
      const std::string build = summary.build > 0 ? " build " + std::to_string(summary.build) : std::string();
      note = " (" + summary.os + build + ", " + std::to_string(summary.devices) + " devices, " +
             std::to_string(summary.devices_with_offers) + " with offers, " + std::to_string(summary.items) + " items";
      if (summary.items_left_out > 0) note += ", " + std::to_string(summary.items_left_out) + " left out for size";
      note += ")";
    }
    return reply(answer, note);
  }

  // The answer in one buffer, with its log line.
  outgoing_answer_c reply(const http_answer& answer, std::string note = {}, const header_list& extra = {}) const {
    if (note.empty() && answer.status >= 400) note = ": " + std::string(trim_blanks(answer.body));
    outgoing_answer_c out = buffered_answer(answer, head_only_, extra, keep_alive_);
    out.set_log(log_prefix(answer.status), std::move(note));
    return out;
  }

  std::string log_prefix(int status) const {
    return c_.peer + " \"" + request_.method + " " + request_.target + "\" " + std::to_string(status);
  }

  const connection_info& c_;
  const http_request& request_;
  const std::string& body_;
  const service_context_c& context_;
  const bool head_only_;
  const bool keep_alive_;
};

bool plain_host_char(char c) {
  return is_ascii_letter(c) || is_ascii_digit(c) || c == '.' || c == '-' || c == ':' || c == '[' || c == ']' ||
         c == '_';
}

}  // namespace

std::string link_authority(const std::string* host_header, const std::string& listener_authority) {
  if (host_header == nullptr || host_header->empty() || host_header->size() > 255) return listener_authority;
  for (const char c : *host_header) {
    if (!plain_host_char(c)) return listener_authority;
  }
  return *host_header;
}

outgoing_answer_c answer_request(const connection_info& c, const received_request& received,
                                 const service_context_c& context) {
  switch (received.head) {
    case head_status::complete: return exchange_c(c, received, context).answer();
    case head_status::bad:
      context.log_request(c.peer + " bad request: " + received.problem);
      return buffered_answer(text_answer(400, received.problem), false);
    case head_status::too_large:
      context.log_request(c.peer + " request head too large");
      return buffered_answer(text_answer(413, "the request head is too large"), false);
    case head_status::incomplete: break;
  }
  return {};  // never handed over: nothing to send, and the connection closes
}

}  // namespace quillary::server
