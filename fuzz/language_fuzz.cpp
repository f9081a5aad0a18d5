// language.ini: loading any bytes must not crash or leak, and the hand-made
// line matcher must agree with the regular expressions it stands for.
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>

#include "app/language.h"

namespace {

const std::regex section_pattern(R"re(^\s*\[(.*)\]\s*$)re");
const std::regex entry_pattern(R"re(^\s*([^;].*)\s*=\s*"(.+)"\s*$)re");

void check_line(const std::string& line) {
  std::smatch match;
  const auto section = quillary::match_section_line(line);
  const bool section_expected = std::regex_match(line, match, section_pattern);
  if (section.has_value() != section_expected) std::abort();
  if (section && *section != match[1].str()) std::abort();

  const auto entry = quillary::match_entry_line(line);
  const bool entry_expected = std::regex_match(line, match, entry_pattern);
  if (entry.has_value() != entry_expected) std::abort();
  if (entry && (entry->key != match[1].str() || entry->value != match[2].str())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  quillary::language_table_c table;
  table.load_text(bytes, u"English", true);
  table.load_text(bytes, u"Deutsch", false);
  table.text_of("btn_ok");
  for (const auto& line : quillary::read_language_lines(bytes)) {
    // The backtracking regular expression engine is the slow side; short
    // lines are where the two could disagree.
    if (line.size() <= 200) check_line(line);
  }
  return 0;
}
