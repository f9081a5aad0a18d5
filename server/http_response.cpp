#include "server/http_response.h"

namespace quillary::server {

std::string response_head(int status, const header_list& headers, uint64_t content_length, bool keep_alive) {
  std::string head = "HTTP/1.1 " + std::to_string(status) + " " + reason_phrase(status) + "\r\n";
  head += "Server: quillary-service\r\n";
  for (const auto& [name, value] : headers) head += name + ": " + value + "\r\n";
  head += "Content-Length: " + std::to_string(content_length) + "\r\n";
  if (!keep_alive) head += "Connection: close\r\n";
  return head + "\r\n";
}

outgoing_answer_c buffered_answer(const http_answer& answer, bool head_only, const header_list& extra,
                                  bool keep_alive) {
  header_list headers = {{"Content-Type", answer.content_type}};
  headers.insert(headers.end(), extra.begin(), extra.end());
  std::string out = response_head(answer.status, headers, answer.body.size(), keep_alive);
  const size_t head_size = out.size();
  if (!head_only) out += answer.body;
  return outgoing_answer_c(std::move(out), head_size, keep_alive ? after_answer::next_request : after_answer::close);
}

std::string status_page(int status) {
  const std::string title = std::to_string(status) + " " + reason_phrase(status);
  return "<html><head><title>" + title + "</title></head><body><h1>" + title +
         "</h1><p>quillary-service</p></body></html>\n";
}

}  // namespace quillary::server
