// The update query from the posted body to the reply: the multipart part
// "driversm", its zlib stream, the request document, matching against the
// catalogue and the reply document.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "server/catalogue.h"
#include "server/http_answer.h"

namespace quillary::server {

// Largest request document after inflating: inflating stops as soon as a
// stream passes it, however small the stream.
constexpr size_t max_request_document = 4u << 20;

struct query_summary {
  std::string os;
  long build = 0;  // as the client reported it; 0 when it did not
  size_t devices = 0;
  size_t devices_with_offers = 0;
  size_t items = 0;
  size_t items_left_out = 0;
};

// 200 with the reply (text/xml); 400 with a short reason when the body is
// not a multipart form with one "driversm" part holding a zlib stream of the
// request document; 413 when the document inflates beyond its limit or goes
// beyond the request limits (update_request.h).
http_answer answer_update_query(std::string_view content_type, std::string_view body, const catalogue_c& catalogue,
                                const std::string& package_base, query_summary& summary);

// Pads a reply with an XML comment before its last end tag until it is at
// least `min_size` bytes long; it stays a valid document.
void pad_reply(std::string& reply, size_t min_size);

}  // namespace quillary::server
