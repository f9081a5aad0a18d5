#include "server/package_download.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <optional>

#include "base/ascii_text.h"
#include "server/byte_range.h"
#include "server/http_answer.h"
#include "server/http_response.h"
#include "server/package_signature.h"

namespace quillary::server {

namespace {

// The part of an answer that depends on the Range header: the status, the
// head, and which bytes of the body go out.
struct ranged_head {
  int status = 200;
  std::string head;
  uint64_t first = 0;
  uint64_t length = 0;
};

// The head for a body of `size` bytes, or the finished answer (416) when the
// range cannot be served.
std::optional<ranged_head> plan_ranged_answer(const http_request& request, uint64_t size, const char* content_type,
                                              const fault_mode& fault, bool keep_alive, package_answer& refused) {
  const bool head_only = request.method == "HEAD";
  byte_range range;
  const std::string* range_header = request.header("Range");
  // An If-Range validator cannot be checked (no entity tags), so a range
  // that depends on one is not served: the whole file goes out instead.
  if (range_header != nullptr && request.header("If-Range") == nullptr && fault.kind != fault_kind::ignore_range) {
    range = parse_byte_range(*range_header, size);
  }
  if (range.kind == range_kind::unsatisfiable) {
    refused = {416, buffered_answer(text_answer(416, "the range lies beyond the end of the file"), head_only,
                                    {{"Content-Range", "bytes */" + std::to_string(size)}}, keep_alive)};
    return std::nullopt;
  }

  header_list headers = {{"Content-Type", content_type}, {"Accept-Ranges", "bytes"}};
  ranged_head planned;
  planned.length = size;
  if (range.kind == range_kind::partial) {
    planned.status = 206;
    planned.first = range.first;
    planned.length = range.last - range.first + 1;
    headers.emplace_back("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                              std::to_string(range.last) + "/" + std::to_string(size));
  }
  const uint64_t extra = fault.kind == fault_kind::extra ? fault.value : 0;
  planned.head = response_head(planned.status, headers, planned.length + extra, keep_alive);
  return planned;
}

// As nginx types the files it serves: by the name's extension.
const char* content_type_of(std::string_view file_name) {
  const bool cabinet = file_name.size() > 4 && equal_ignore_case_ascii(file_name.substr(file_name.size() - 4), ".cab");
  return cabinet ? "application/vnd.ms-cab-compressed" : "application/zip";
}

package_answer head_only_answer(ranged_head planned, bool keep_alive) {
  const size_t head_size = planned.head.size();
  return {planned.status, outgoing_answer_c(std::move(planned.head), head_size,
                                            keep_alive ? after_answer::next_request : after_answer::close)};
}

void apply_download_faults(outgoing_answer_c& answer, const fault_mode& fault) {
  if (fault.kind == fault_kind::extra) answer.add_zero_filler(fault.value);
  if (fault.kind == fault_kind::stall) answer.end_body_after(fault.value, after_answer::hold_open);
  if (fault.kind == fault_kind::truncate) answer.end_body_after(fault.value, after_answer::close);
  if (fault.kind == fault_kind::rate) answer.pace(fault.value);
}

}  // namespace

package_answer prepare_package_answer(const http_request& request, const catalogue_package& package,
                                      const fault_mode& fault, bool keep_alive) {
  const bool head_only = request.method == "HEAD";

  owned_file_c file(open(package.file_path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info{};
  if (file.get() < 0 || fstat(file.get(), &info) != 0) {
    return {404, buffered_answer(text_answer(404, "the package file is gone"), head_only, {}, keep_alive)};
  }
  package_answer refused;
  auto planned = plan_ranged_answer(request, static_cast<uint64_t>(info.st_size), content_type_of(package.file_name),
                                    fault, keep_alive, refused);
  if (!planned) return refused;
  if (head_only) return head_only_answer(std::move(*planned), keep_alive);

  const int status = planned->status;
  outgoing_answer_c answer(std::move(planned->head), std::move(file), planned->first, planned->length,
                           keep_alive ? after_answer::next_request : after_answer::close);
  apply_download_faults(answer, fault);
  return {status, std::move(answer)};
}

std::optional<catalogue_package> package_of_signature(const catalogue_c& catalogue, std::string_view name) {
  if (name.size() <= signature_suffix.size() || name.substr(name.size() - signature_suffix.size()) != signature_suffix) {
    return std::nullopt;
  }
  auto package = catalogue.find_package(name.substr(0, name.size() - signature_suffix.size()));
  if (package && package->minisig.empty()) return std::nullopt;
  return package;
}

package_answer prepare_signature_answer(const http_request& request, const catalogue_package& package,
                                        const fault_mode& fault, bool keep_alive) {
  package_answer refused;
  // text/plain, as nginx is told to serve these files beside the packages.
  auto planned = plan_ranged_answer(request, package.minisig.size(), "text/plain", fault, keep_alive, refused);
  if (!planned) return refused;
  if (request.method == "HEAD") return head_only_answer(std::move(*planned), keep_alive);

  const int status = planned->status;
  std::string bytes = std::move(planned->head);
  const size_t head_size = bytes.size();
  bytes.append(package.minisig, static_cast<size_t>(planned->first), static_cast<size_t>(planned->length));
  outgoing_answer_c answer(std::move(bytes), head_size, keep_alive ? after_answer::next_request : after_answer::close);
  apply_download_faults(answer, fault);
  return {status, std::move(answer)};
}

}  // namespace quillary::server
