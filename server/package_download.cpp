#include "server/package_download.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "server/byte_range.h"
#include "server/http_answer.h"
#include "server/http_response.h"

namespace quillary::server {

package_answer prepare_package_answer(const http_request& request, const catalogue_package& package,
                                      const fault_mode& fault, bool keep_alive) {
  const bool head_only = request.method == "HEAD";

  owned_file_c file(open(package.file_path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info{};
  if (file.get() < 0 || fstat(file.get(), &info) != 0) {
    return {404, buffered_answer(text_answer(404, "the package file is gone"), head_only, {}, keep_alive)};
  }
  const auto size = static_cast<uint64_t>(info.st_size);

  byte_range range;
  const std::string* range_header = request.header("Range");
  // An If-Range validator cannot be checked (no entity tags), so a range
  // that depends on one is not served: the whole file goes out instead.
  if (range_header != nullptr && request.header("If-Range") == nullptr && fault.kind != fault_kind::ignore_range) {
    range = parse_byte_range(*range_header, size);
  }
  if (range.kind == range_kind::unsatisfiable) {
    return {416, buffered_answer(text_answer(416, "the range lies beyond the end of the file"), head_only,
                                 {{"Content-Range", "bytes */" + std::to_string(size)}}, keep_alive)};
  }

  header_list headers = {{"Content-Type", "application/zip"}, {"Accept-Ranges", "bytes"}};
  uint64_t first = 0;
  uint64_t length = size;
  int status = 200;
  if (range.kind == range_kind::partial) {
    status = 206;
    first = range.first;
    length = range.last - range.first + 1;
    headers.emplace_back("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                              std::to_string(range.last) + "/" + std::to_string(size));
  }
  const uint64_t extra = fault.kind == fault_kind::extra ? fault.value : 0;
  std::string head = response_head(status, headers, length + extra, keep_alive);
  const after_answer after = keep_alive ? after_answer::next_request : after_answer::close;
  if (head_only) {
    const size_t head_size = head.size();
    return {status, outgoing_answer_c(std::move(head), head_size, after)};
  }

  outgoing_answer_c answer(std::move(head), std::move(file), first, length, after);
  answer.add_zero_filler(extra);
  if (fault.kind == fault_kind::stall) answer.end_body_after(fault.value, after_answer::hold_open);
  if (fault.kind == fault_kind::truncate) answer.end_body_after(fault.value, after_answer::close);
  if (fault.kind == fault_kind::rate) answer.pace(fault.value);
  return {status, std::move(answer)};
}

}  // namespace quillary::server
