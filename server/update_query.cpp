#include "server/update_query.h"

#include "base/wire_vocabulary.h"
#include "server/code_page.h"
#include "server/matcher.h"
#include "server/multipart.h"
#include "server/update_reply.h"
#include "server/update_request.h"
#include "server/zlib_stream.h"

namespace quillary::server {

namespace {

device_ids ids_of(const request_device& device, const code_page_converter_c& converter) {
  device_ids ids;
  for (const auto& id : device.hardware_ids) ids.raw_ids.push_back(id);
  ids.compatible_from = ids.raw_ids.size();
  for (const auto& id : device.compatible_ids) ids.raw_ids.push_back(id);
  for (const auto& id : ids.raw_ids) ids.ids.push_back(converter.to_utf8(id));
  return ids;
}

}  // namespace

http_answer answer_update_query(std::string_view content_type, std::string_view body, const catalogue_c& catalogue,
                                const std::string& package_base, query_summary& summary) {
  summary = query_summary{};
  std::string boundary;
  if (!multipart_boundary(content_type, boundary)) {
    return text_answer(400, "the body must be multipart/form-data with a boundary");
  }
  std::string_view part;
  switch (find_form_part(body, boundary, wire::form_part, part)) {
    case multipart_result::found: break;
    case multipart_result::missing: return text_answer(400, "no part named driversm");
    case multipart_result::duplicate: return text_answer(400, "more than one part named driversm");
    case multipart_result::malformed: return text_answer(400, "the multipart body is malformed");
  }
  std::string document;
  switch (inflate_zlib(part, max_request_document, document)) {
    case inflate_result::ok: break;
    case inflate_result::not_zlib: return text_answer(400, "the driversm part is not a zlib stream");
    case inflate_result::too_large: return text_answer(413, "the request document is too large");
  }
  update_request request;
  std::string reason;
  switch (parse_update_request(document, request, reason)) {
    case request_verdict::accepted: break;
    case request_verdict::malformed: return text_answer(400, reason);
    case request_verdict::too_large: return text_answer(413, reason);
  }
  // From here on the request holds what is needed of the document.
  std::string().swap(document);

  const code_page_info code_page = code_page_for_oem(request.oem_code_page);
  code_page_converter_c converter;
  if (!converter.open(code_page.iconv_name, reason)) return text_answer(500, reason);

  const client_os os = client_os_for(request.os, request.build);
  const auto offers_for = [&](size_t d) { return match_device(catalogue, os, ids_of(request.devices[d], converter)); };
  reply_stats stats;
  http_answer answer{200, "text/xml",
                     write_update_reply(request, offers_for, package_base, code_page, converter, reply_limits{}, stats)};
  summary.os = request.os;
  summary.build = request.build;
  summary.devices = request.devices.size();
  summary.devices_with_offers = stats.devices_with_offers;
  summary.items = stats.items;
  summary.items_left_out = stats.items_left_out;
  return answer;
}

void pad_reply(std::string& reply, size_t min_size) {
  const std::string open = "<!-- padding: ";
  const std::string close = " -->\n";
  size_t at = reply.rfind("</");
  if (at == std::string::npos) at = reply.size();
  const size_t fixed = reply.size() + open.size() + close.size();
  if (fixed >= min_size) {
    reply.insert(at, open + close);
    return;
  }
  reply.insert(at, open + std::string(min_size - fixed, 'x') + close);
}

}  // namespace quillary::server
