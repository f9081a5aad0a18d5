#include "download/offer_agreement.h"

#include <array>
#include <cstdio>
#include <new>

#include "base/inf_driver_ver.h"
#include "base/inf_file.h"
#include "base/inf_text.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {
namespace {

// Longest piece of outside text a reason quotes, in UTF-16 units.
constexpr size_t quoted_limit = 80;

// Outside text (from the package or the reply) fit for one line on a
// terminal: control characters become '?', and a long text is cut.
std::string printable(std::u16string_view text) {
  std::u16string out(text.substr(0, quoted_limit));
  // A surrogate pair cut in two would otherwise end in U+FFFD; drop its half.
  if (text.size() > quoted_limit && out.back() >= 0xD800 && out.back() <= 0xDBFF) out.pop_back();
  for (char16_t& c : out) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) c = u'?';
  }
  std::string utf8 = utf16_to_utf8(out);
  if (text.size() > quoted_limit) utf8 += "...";
  return utf8;
}

std::string printable(std::string_view utf8) { return printable(utf8_to_utf16(utf8)); }

offer_agreement verdict(offer_verdict kind, std::string reason) { return offer_agreement{kind, std::move(reason)}; }

// Reads at most one byte past the limit, so that a huge file is never read
// whole. False when the file cannot be opened or read.
bool read_limited(const std::u16string& path, std::string& out) {
  std::FILE* file = platform::open_file(path, "rb");
  if (file == nullptr) return false;
  out.clear();
  char buffer[65536];
  size_t got = 0;
  while (out.size() <= max_offer_inf_size && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    out.append(buffer, got);
  }
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

offer_agreement check_bytes(std::string_view inf_bytes, std::u16string_view offered_version,
                            std::u16string_view offered_date) {
  if (inf_bytes.size() > max_offer_inf_size) {
    return verdict(offer_verdict::inf_unreadable,
                   "the INF is larger than " + std::to_string(max_offer_inf_size >> 20) + " MiB");
  }
  inf_file_c inf;
  std::string why;
  if (!inf.parse(decode_inf_bytes(inf_bytes), why)) {
    return verdict(offer_verdict::inf_unreadable, "not an INF file (" + printable(why) + ")");
  }
  inf_driver_ver found;
  if (!read_inf_driver_ver(inf, found, why)) {
    return verdict(offer_verdict::inf_unreadable, "no usable DriverVer in the INF (" + printable(why) + ")");
  }

  if (utf16_to_utf8(offered_date) != found.date) {
    return verdict(offer_verdict::date_differs, "the INF's DriverVer date is " + found.date + ", the offer's " +
                                                    printable(offered_date));
  }
  const std::string offered = utf16_to_utf8(offered_version);
  std::array<uint32_t, 4> offered_parts, found_parts;
  if (!parse_driver_version(offered, offered_parts)) {
    return verdict(offer_verdict::version_differs, "the offer's version \"" + printable(offered_version) +
                                                       "\" is no version (the INF's is " + found.version + ")");
  }
  // read_inf_driver_ver took only a version that parses.
  parse_driver_version(found.version, found_parts);
  if (offered_parts != found_parts) {
    return verdict(offer_verdict::version_differs, "the INF's DriverVer version is " + found.version +
                                                       ", the offer's " + printable(offered_version));
  }
  return verdict(offer_verdict::matches, {});
}

}  // namespace

offer_agreement check_inf_against_offer(std::string_view inf_bytes, std::u16string_view offered_version,
                                        std::u16string_view offered_date) {
  // Eight megabytes of commas are millions of fields: should memory run
  // out on them, the package is refused, not the program ended.
  try {
    return check_bytes(inf_bytes, offered_version, offered_date);
  } catch (const std::bad_alloc&) {
    return verdict(offer_verdict::inf_unreadable, "the INF is too large to be read");
  }
}

offer_agreement check_offer_agreement(const std::u16string& extraction_folder, std::u16string_view inf_path,
                                      std::u16string_view offered_version, std::u16string_view offered_date) {
  const std::string named = printable(inf_path);
  // The caller has checked the path already; a NUL would end it early in
  // the file system's hands and name another file.
  if (inf_path.empty() || inf_path.find(u'\0') != std::u16string_view::npos || platform::escapes_folder(inf_path)) {
    return verdict(offer_verdict::inf_missing, "the offer's INF path \"" + named + "\" is no path inside the package");
  }
  const std::u16string path =
      platform::join_path(extraction_folder, platform::native_separators(std::u16string(inf_path)));
  if (!platform::file_exists(path) || platform::is_directory(path)) {
    return verdict(offer_verdict::inf_missing, named + ": the package holds no such INF");
  }
  std::string bytes;
  if (!read_limited(path, bytes)) return verdict(offer_verdict::inf_unreadable, named + ": the INF cannot be read");
  offer_agreement result = check_inf_against_offer(bytes, offered_version, offered_date);
  if (result.verdict != offer_verdict::matches) result.reason = named + ": " + result.reason;
  return result;
}

}  // namespace quillary
