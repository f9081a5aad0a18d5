#include "server/localized_text.h"

#include <algorithm>

namespace quillary::server {

namespace {

constexpr uint16_t primary_language(uint16_t language) { return language & 0x3FF; }

}  // namespace

const std::string& text_in_language(const std::string& neutral, const std::vector<localized_text>& texts,
                                    uint16_t language) {
  // Most values have no localized text: nothing to choose.
  if (texts.empty()) return neutral;
  if (language == 0) language = default_ui_language;
  const uint16_t primary = primary_language(language);
  const localized_text* sublanguage_neutral = nullptr;
  const localized_text* same_primary = nullptr;
  for (const auto& text : texts) {
    if (text.language == language) return text.text;
    if (primary_language(text.language) != primary) continue;
    if (text.language == primary) sublanguage_neutral = &text;
    if (same_primary == nullptr || text.language < same_primary->language) same_primary = &text;
  }
  // Step 2's section (sublanguage 0) would also be step 3's lowest LANGID;
  // it stays a step of its own, as the page has it.
  if (sublanguage_neutral != nullptr) return sublanguage_neutral->text;
  if (same_primary != nullptr) return same_primary->text;
  return neutral;
}

void keep_differing_texts(std::vector<localized_text>& texts, const std::string& neutral) {
  // A primary language all of whose texts are the neutral one gives every
  // client of it the neutral text with them or without them.
  std::vector<uint16_t> differing;  // primary languages with a text of their own
  for (const auto& text : texts) {
    if (text.text != neutral) differing.push_back(primary_language(text.language));
  }
  std::erase_if(texts, [&](const localized_text& text) {
    return text.text == neutral &&
           std::find(differing.begin(), differing.end(), primary_language(text.language)) == differing.end();
  });
}

}  // namespace quillary::server
