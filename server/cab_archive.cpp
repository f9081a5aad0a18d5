#include "server/cab_archive.h"

#include <utility>

#include "base/inf_text.h"
#include "base/utf8.h"
#include "platform/cabinet.h"

namespace quillary::server {

bool read_cabinet_archive(const std::string& file_path, archive_listing& out, std::string& reason,
                          uint64_t total_limit) {
  using platform::cabinet_status;
  using platform::cabinet_target;
  out = archive_listing{};
  inf_budget_c budget(total_limit);
  // The listed name of the file being read, for the reason.
  std::string current;
  const platform::cabinet_walk walk =
      platform::walk_cabinet(utf8_to_utf16(file_path), [&](const platform::cabinet_file& file) -> cabinet_target {
        std::string name;
        const std::string decoded =
            file.utf8_name ? decode_inf_bytes("\xEF\xBB\xBF" + file.raw_name) : cp1252_to_utf8(file.raw_name);
        const zip_entry_kind kind = listed_name(decoded, name);
        if (kind == zip_entry_kind::refused) out.refused.push_back(std::move(name));
        if (kind != zip_entry_kind::file) return {};
        out.paths.push_back(name);
        if (!is_inf_name(name)) return {};
        if (std::string refusal = budget.refusal(name, file.size); !refusal.empty()) {
          out.unread.push_back(std::move(refusal));
          return {};
        }
        budget.spend(file.size);
        current = name;
        out.infs.push_back({std::move(name), {}});
        out.infs.back().data.reserve(static_cast<size_t>(file.size));
        // By place: the list grows by the next INF file. The reader gives
        // exactly the size the directory announces.
        return {cabinet_target::kind::sink, {}, [&out, at = out.infs.size() - 1](const char* bytes, size_t size) {
                  out.infs[at].data.append(bytes, size);
                  return true;
                }};
      });
  switch (walk.status) {
    case cabinet_status::done:
      return true;
    case cabinet_status::not_a_cabinet:
      reason = "not a readable cabinet";
      break;
    case cabinet_status::in_a_set:
      reason = "one cabinet of a set spread over several files, which cannot be read on its own";
      break;
    case cabinet_status::damaged:
    case cabinet_status::target_failed:
    case cabinet_status::stopped:
      reason = walk.failed_file.empty() ? "damaged cabinet directory" : "damaged entry " + current;
      break;
  }
  out = archive_listing{};
  return false;
}

}  // namespace quillary::server
