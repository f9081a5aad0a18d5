#include "service/update_client.h"

#include <curl/curl.h>

#include "app/language.h"
#include "base/ascii_text.h"
#include "base/wire_vocabulary.h"
#include "platform/files.h"
#include "platform/text.h"
#include "service/update_matching.h"
#include "service/update_reply.h"
#include "service/scan_result.h"

#ifndef QUILLARY_SERVER_1
#define QUILLARY_SERVER_1 "http://127.0.0.1:18081/"
#define QUILLARY_SERVER_2 "http://127.0.0.1:18082/"
#define QUILLARY_SERVER_3 "http://127.0.0.1:18083/"
#endif

namespace quillary {
namespace {

constexpr size_t reply_capacity = 5242880;
constexpr size_t max_error_text = 255;

}  // namespace

std::vector<std::string> configured_servers() { return {QUILLARY_SERVER_1, QUILLARY_SERVER_2, QUILLARY_SERVER_3}; }

bool load_installed_links(const std::u16string& path, std::set<std::string>& links) {
  std::string bytes;
  if (!platform::read_whole_file(path, bytes)) return false;
  links.clear();
  // Text mode: Ctrl-Z ends the file. Lines are taken whole, however long,
  // so that a long link still matches the line that recorded it.
  bytes = bytes.substr(0, bytes.find('\x1A'));
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string_view line(bytes.data() + start, end - start);
    const std::string_view link = trim_blanks(line);
    if (!link.empty()) links.emplace(link);
    start = end + 1;
  }
  return true;
}

update_client_c::update_client_c(std::vector<std::string> servers) : servers_(std::move(servers)) {}

namespace {

// The request record tells the code too: the scan page shows its message
// from it.
outcome fail(update_request_info& info, int32_t code, std::string reason) {
  info.error_code = code;
  return outcome::failed(code, std::move(reason));
}

}  // namespace

void update_client_c::set_hidden_updates(hidden_updates_c hidden) {
  std::lock_guard<std::mutex> guard(hidden_lock_);
  hidden_ = std::move(hidden);
}

outcome update_client_c::query_updates(scan_result_c& result, update_request_info& info) {
  auto& devices = result.devices_to_fill();
  // The page keeps one record across queries: an earlier failure's text
  // and code must not stand for this query's.
  info.error_text.clear();
  info.error_code = 0;
  const std::string document = build_update_request(devices, info);
  if (!transfer_ && !(transfer_ = create_transfer(reply_capacity))) {
    return fail(info, error_code::transfer_unavailable, "no transfer object can be made");
  }
  std::string compressed;
  if (compress_request(document, compressed) != 0) {
    return fail(info, error_code::compression_failed, "the request cannot be compressed");
  }

  const transfer_outcome* answer = nullptr;
  for (const auto& server : servers_) {
    transfer_->add_form_part(wire::form_part, compressed.data(), compressed.size());
    answer = &request(*transfer_, server, static_cast<int>(request_method::post));
    info.http_status = answer->http_status;
    if (answer->transfer_result == 0 && answer->http_status < 400) break;
  }
  if (!answer || answer->transfer_result != 0 || answer->http_status >= 400) {
    // Judged by the last server's answer.
    if (!answer || answer->http_status == 504) return fail(info, error_code::network_timeout, "no server answered");
    if (answer->transfer_result == CURLE_WRITE_ERROR) {
      info.error_text = std::string(answer->error_text).substr(0, max_error_text);
    } else if (answer->http_status < 400) {
      info.error_text =
          std::string(curl_easy_strerror(static_cast<CURLcode>(answer->transfer_result))).substr(0, max_error_text);
    }
    return fail(info, error_code::network_error,
                info.error_text.empty() ? "the last server answered HTTP " + std::to_string(info.http_status)
                                        : info.error_text);
  }

  const outcome parsed = parse_update_reply(answer->body.data(), devices);
  if (!parsed) return fail(info, parsed.code, parsed.reason);
  std::set<std::string> installed;
  load_installed_links(installed_links_file_, installed);
  hidden_updates_c hidden;
  {
    std::lock_guard<std::mutex> guard(hidden_lock_);
    hidden = hidden_;
  }
  size_t blocked = 0;
  for (auto& device : devices) {
    blocked += drop_blocked_offers(device.items, device, blocked_);
    set_aside_hidden_offers(device, hidden);
    choose_items(device, info.os_version_code, installed);
  }
  result.set_blocked_offers(blocked);
  result.set_os_version_code(info.os_version_code);
  result.set_installed_links(std::move(installed));
  result.finish();
  return outcome::done();
}

}  // namespace quillary

namespace quillary {

std::u16string query_failure_message(int32_t code, const update_request_info& info) {
  switch (code) {
    case error_code::network_timeout:
      return text_of("error_network_timeout");
    case error_code::transfer_unavailable:
    case error_code::compression_failed:
      return text_of("error_internal_error");
    case error_code::invalid_reply:
      return text_of("error_invalid_date");
    case error_code::network_error: {
      if (!info.error_text.empty()) return from_ansi(info.error_text);
      // The text is a format with the status as its one number.
      return format_language_text(text_of("error_network_error"), info.http_status).substr(0, 1023);
    }
    default:
      return {};
  }
}

}  // namespace quillary
