// quillary-cli zip and unzip: the program's own zip helpers (and, for
// unzip, its cabinet reader: download/package_archive.h) on files named
// on the command line (relative to the current directory, not the
// program's folder: these commands take no system snapshot).
#include <filesystem>
#include <system_error>

#include "base/json_writer.h"
#include "cli/cli.h"
#include "download/package_archive.h"
#include "download/zip_archive.h"
#include "platform/text.h"

namespace quillary::cli {

int run_zip(const arguments& args, context& shared) {
  if (args.size() < 2) return usage_error("zip: give the archive and at least one file");
  zip_archive_c archive;
  if (!archive.create(utf8_to_utf16(args[0]))) return fail("zip: cannot create " + args[0]);
  std::string first_failure;
  for (size_t i = 1; i < args.size(); ++i) {
    const outcome added = archive.add_file(utf8_to_utf16(args[i]));
    if (!added && first_failure.empty()) {
      first_failure = "zip: cannot add " + args[i] + " (result " + std::to_string(added.code) + ")";
    }
  }
  if (!archive.close()) return fail("zip: cannot finish " + args[0]);
  if (!first_failure.empty()) return fail(first_failure);
  return exit_code::success;
}

int run_unzip(const arguments& args, context& shared) {
  if (args.size() != 2) return usage_error("unzip: give the archive and the folder to extract into");
  package_archive_c archive;
  if (!archive.open(utf8_to_utf16(args[0]))) {
    return fail("unzip: " + args[0] + " is neither a zip archive nor a cabinet");
  }
  // The extraction takes an absolute folder.
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::absolute(std::filesystem::path(utf8_to_utf16(args[1])), error);
  if (error) return fail("unzip: cannot resolve " + args[1]);
  const zip_extraction extraction = archive.extract_all(folder.u16string());
  json_writer_c json;
  json.begin_object();
  json.key("extracted").value(static_cast<int64_t>(extraction.extracted));
  json.key("skipped_unsafe").value(static_cast<int64_t>(extraction.skipped_unsafe));
  json.key("result").value(extraction.result.code);
  json.key("complete").value(extraction.complete());
  json.end_object();
  print(json.text());
  if (!extraction.complete()) {
    return fail("unzip: " + args[0] + " is damaged or incomplete: " +
                (extraction.skipped_unsafe ? "entries that would land outside the folder were skipped"
                                                  : "an entry could not be read or written"));
  }
  return exit_code::success;
}

}  // namespace quillary::cli
