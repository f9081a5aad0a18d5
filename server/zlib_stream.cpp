#include "server/zlib_stream.h"

#include <zlib.h>

#include <algorithm>

namespace quillary::server {

inflate_result inflate_zlib(std::string_view input, size_t max_output, std::string& output) {
  output.clear();
  z_stream stream{};
  // windowBits 15 without +32: zlib headers only, no gzip.
  if (inflateInit2(&stream, 15) != Z_OK) return inflate_result::not_zlib;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  stream.avail_in = static_cast<uInt>(std::min<size_t>(input.size(), 0x7FFFFFFF));

  inflate_result result = inflate_result::ok;
  char buffer[65536];
  while (true) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    const int status = inflate(&stream, Z_NO_FLUSH);
    const size_t produced = sizeof buffer - stream.avail_out;
    if (output.size() + produced > max_output) {
      result = inflate_result::too_large;
      break;
    }
    output.append(buffer, produced);
    if (status == Z_STREAM_END) {
      if (stream.avail_in != 0 || input.size() > 0x7FFFFFFF) result = inflate_result::not_zlib;
      break;
    }
    // Z_BUF_ERROR with input left over cannot happen with a fresh output
    // buffer; without input it means the stream was cut short.
    if (status != Z_OK) {
      result = inflate_result::not_zlib;
      break;
    }
  }
  inflateEnd(&stream);
  if (result != inflate_result::ok) output.clear();
  return result;
}

}  // namespace quillary::server
