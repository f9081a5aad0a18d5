// Which of an INF file's texts a client reads in its own language: the rule
// by which Windows picks one [Strings] section for the system's language.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "server/inf_driver.h"

namespace quillary::server {

// What a client that says nothing of its language is served as: US English.
inline constexpr uint16_t default_ui_language = 0x0409;

// The text of one value (a model's description, the provider) for a client
// whose user-interface language is `language` (a LANGID; 0 for a client
// that did not say, served as default_ui_language), from its neutral text
// and the texts of the file's [Strings.LLLL] sections. Windows' rule (INF
// Strings Section, Remarks, https://learn.microsoft.com/en-us/windows-hardware/drivers/install/inf-strings-section):
//   1. the section whose LanguageID is the client's exactly;
//   2. else the one of its primary language with SUBLANG_NEUTRAL
//      ([Strings.0009] for any English, [Strings.000A] for any Spanish);
//   3. else one of its primary language with any sublanguage (an 0x080A
//      client takes [Strings.0C0A]); the page does not say which when there
//      are several, so the lowest LANGID, which does not depend on the order
//      of the file;
//   4. else the undecorated [Strings] section: the neutral text.
// The primary language is the LANGID's lower 10 bits (MAKELANGID).
// `texts` may be in any order and may leave out languages whose text is the
// neutral one as long as keep_differing_texts allows it.
const std::string& text_in_language(const std::string& neutral, const std::vector<localized_text>& texts,
                                    uint16_t language);

// Leaves out of `texts` (one per [Strings.LLLL] language of the file,
// sorted by language) those whose text is `neutral` where that changes no
// client's choice: all of a primary language when every one of them reads
// as the neutral text. Where another language of the same primary language
// reads differently, they stay, because without them the rule's steps 2
// and 3 would give a client of that language the other one's text
// (a Traditional Chinese client would read the Simplified Chinese
// description instead of an untranslated product name).
void keep_differing_texts(std::vector<localized_text>& texts, const std::string& neutral);

}  // namespace quillary::server
