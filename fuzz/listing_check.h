// For the fuzzers of the service's archive listing: what a listing must
// hold whatever the archive's bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "base/utf8.h"
#include "base/zip_entry_name.h"
#include "server/archive_listing.h"

namespace listing_check {

[[noreturn]] inline void broken(const char* what, const std::string& detail) {
  std::fprintf(stderr, "fuzz: %s: %s\n", what, detail.c_str());
  std::abort();
}

// The service's listing: names as the client places them, INF files read
// within the limits and each among the names.
inline void check_listing(const quillary::server::archive_listing& listing) {
  using namespace quillary;
  for (const auto& path : listing.paths) {
    const std::u16string wide = utf8_to_utf16(path);  // the entry's parts are views into it
    const zip_entry_path entry = zip_entry_path_of(wide);
    if (entry.kind != zip_entry_kind::file) broken("a listed name the client would not extract", path);
    std::string joined;
    for (const auto part : entry.parts) joined += (joined.empty() ? "" : "/") + utf16_to_utf8(part);
    if (joined != path) broken("a listed name not as the client places it", path);
  }
  const std::set<std::string> paths(listing.paths.begin(), listing.paths.end());
  uint64_t total = 0;
  for (const auto& inf : listing.infs) {
    if (!paths.count(inf.path)) broken("an INF file that is not listed", inf.path);
    if (inf.data.size() > server::max_inf_size) broken("an INF file past the limit", inf.path);
    total += inf.data.size();
  }
  if (total > server::max_inf_total) broken("INF files past the archive's limit", std::to_string(total));
}

}  // namespace listing_check
