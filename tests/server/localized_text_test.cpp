// What a client reads in its own language: the texts the INF reader keeps
// per [Strings.LLLL] language (model descriptions, the provider, the
// manufacturer), and the rule by which Windows picks one of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "base/inf_file.h"
#include "server/inf_driver.h"
#include "server/localized_text.h"

namespace quillary::server {

// For the comparisons and messages below (found by argument-dependent lookup).
bool operator==(const localized_text& a, const localized_text& b) {
  return a.language == b.language && a.text == b.text;
}
void PrintTo(const localized_text& t, std::ostream* out) { *out << std::hex << t.language << ":" << t.text; }

namespace {

// An INF with one manufacturer and one model whose description, provider
// and manufacturer name are tokens; `strings` holds the [Strings...]
// sections.
std::string inf_with_strings(const std::string& strings) {
  return "[Version]\nSignature=\"$Windows NT$\"\nClass=Net\nProvider=%Maker%\nDriverVer=06/21/2012,1.0.0.0\n"
         "[Manufacturer]\n%Maker% = Models, NTamd64\n"
         "[Models.NTamd64]\n%Desc% = Install, PCI\\VEN_1&DEV_2\nPlain name = Install, PCI\\VEN_1&DEV_3\n" +
         strings;
}

inf_driver read(const std::string& text) {
  inf_file_c inf;
  inf_driver driver;
  std::string reason;
  EXPECT_TRUE(inf.parse(text, reason)) << reason;
  EXPECT_TRUE(read_inf_driver(inf, driver, reason)) << reason;
  return driver;
}

std::vector<localized_text> texts(std::initializer_list<localized_text> list) { return list; }

// --- the INF reader's texts per language -------------------------------------

TEST(InfLocalizedTexts, AFileWithOnlyNeutralStringsHasNone) {
  const inf_driver driver = read(inf_with_strings("[Strings]\nMaker=\"Norvik\"\nDesc=\"Adapter\"\n"));
  EXPECT_EQ(driver.provider, "Norvik");
  EXPECT_TRUE(driver.localized_providers.empty());
  ASSERT_EQ(driver.manufacturers.size(), 1u);
  EXPECT_TRUE(driver.manufacturers[0].localized_names.empty());
  for (const auto& model : driver.manufacturers[0].sections[0].models) {
    EXPECT_TRUE(model.localized_descriptions.empty()) << model.description;
  }
}

TEST(InfLocalizedTexts, ALanguageReplacingSomeTokensKeepsOnlyWhatDiffers) {
  const inf_driver driver = read(inf_with_strings(
      "[Strings]\nMaker=\"Norvik\"\nDesc=\"Adapter\"\n"
      "[Strings.0411]\nDesc=\"Japanese adapter\"\n"));  // the maker's name is not translated
  EXPECT_EQ(driver.provider, "Norvik");
  EXPECT_TRUE(driver.localized_providers.empty()) << "the Japanese provider is the neutral one";
  EXPECT_TRUE(driver.manufacturers[0].localized_names.empty());
  const auto& models = driver.manufacturers[0].sections[0].models;
  ASSERT_EQ(models.size(), 2u);
  EXPECT_EQ(models[0].description, "Adapter");
  EXPECT_EQ(models[0].localized_descriptions, texts({{0x0411, "Japanese adapter"}}));
  EXPECT_TRUE(models[1].localized_descriptions.empty()) << "a description without a token";
}

TEST(InfLocalizedTexts, TwoLanguagesSortedByLanguage) {
  const inf_driver driver = read(inf_with_strings(
      "[Strings.0411]\nMaker=\"Norvik KK\"\nDesc=\"Japanese adapter\"\n"
      "[Strings]\nMaker=\"Norvik\"\nDesc=\"Adapter\"\n"
      "[Strings.0407]\nMaker=\"Norvik GmbH\"\nDesc=\"Netzwerkkarte\"\n"));
  EXPECT_EQ(driver.localized_providers, texts({{0x0407, "Norvik GmbH"}, {0x0411, "Norvik KK"}}));
  EXPECT_EQ(driver.manufacturers[0].name, "Norvik");
  EXPECT_EQ(driver.manufacturers[0].localized_names, texts({{0x0407, "Norvik GmbH"}, {0x0411, "Norvik KK"}}));
  const auto& model = driver.manufacturers[0].sections[0].models[0];
  EXPECT_EQ(model.localized_descriptions, texts({{0x0407, "Netzwerkkarte"}, {0x0411, "Japanese adapter"}}));
  EXPECT_EQ(text_in_language(model.description, model.localized_descriptions, 0x0411), "Japanese adapter");
  EXPECT_EQ(text_in_language(model.description, model.localized_descriptions, 0x0807), "Netzwerkkarte")
      << "Swiss German takes German";
  EXPECT_EQ(text_in_language(model.description, model.localized_descriptions, 0x040C), "Adapter");
  EXPECT_EQ(text_in_language(model.description, model.localized_descriptions, 0), "Adapter");
}

TEST(InfLocalizedTexts, PrimaryLanguageFallbackAsWindowsDoesIt) {
  // Spanish of Spain (0C0A), of no country (000A), traditional sort (040A).
  const inf_driver driver = read(inf_with_strings(
      "[Strings]\nMaker=\"Norvik\"\nDesc=\"Adapter\"\n"
      "[Strings.0C0A]\nDesc=\"Adaptador moderno\"\n"
      "[Strings.040A]\nDesc=\"Adaptador tradicional\"\n"
      "[Strings.0009]\nDesc=\"Adapter (any English)\"\n"
      "[Strings.0409]\nDesc=\"Adapter (US)\"\n"));
  const auto& model = driver.manufacturers[0].sections[0].models[0];
  EXPECT_EQ(model.description, "Adapter") << "[Strings] first, as before";
  const auto in = [&](uint16_t language) {
    return text_in_language(model.description, model.localized_descriptions, language);
  };
  EXPECT_EQ(in(0x0C0A), "Adaptador moderno");
  EXPECT_EQ(in(0x040A), "Adaptador tradicional");
  EXPECT_EQ(in(0x080A), "Adaptador tradicional") << "Mexico: the lowest Spanish section";
  EXPECT_EQ(in(0x0409), "Adapter (US)");
  EXPECT_EQ(in(0x0809), "Adapter (any English)") << "UK: the sublanguage-neutral section before the US one";
  EXPECT_EQ(in(0), "Adapter (US)") << "a client that does not say is served as US English";
  EXPECT_EQ(in(0x0411), "Adapter") << "no Japanese section: the undecorated [Strings]";
}

TEST(InfLocalizedTexts, ATokenOnlyInLocalizedSections) {
  // No [Strings] at all: the neutral text takes the first localized
  // section's, as before; the others differ from it.
  const inf_driver driver = read(inf_with_strings(
      "[Strings.0411]\nMaker=\"Norvik KK\"\nDesc=\"Japanese adapter\"\n"
      "[Strings.0407]\nMaker=\"Norvik GmbH\"\nDesc=\"Netzwerkkarte\"\n"));
  EXPECT_EQ(driver.provider, "Norvik KK");
  const auto& model = driver.manufacturers[0].sections[0].models[0];
  EXPECT_EQ(model.description, "Japanese adapter");
  EXPECT_EQ(model.localized_descriptions, texts({{0x0407, "Netzwerkkarte"}}));
  EXPECT_EQ(text_in_language(model.description, model.localized_descriptions, 0x0411), "Japanese adapter");
  EXPECT_EQ(text_in_language(model.description, model.localized_descriptions, 0x0409), "Japanese adapter");
}

TEST(InfLocalizedTexts, ASectionNameThatIsNoLanguageIdIsNoLanguage) {
  const inf_driver driver = read(inf_with_strings(
      "[Strings]\nMaker=\"Norvik\"\n"
      "[Strings.Japanese]\nDesc=\"From a section of no language\"\n"
      "[Strings.04X1]\nMaker=\"Not a maker\"\n"));
  const auto& model = driver.manufacturers[0].sections[0].models[0];
  EXPECT_EQ(model.description, "From a section of no language") << "it fills the neutral text's gap, as before";
  EXPECT_TRUE(model.localized_descriptions.empty());
  EXPECT_TRUE(driver.localized_providers.empty());
}

TEST(InfLocalizedTexts, AnUntranslatedTextStaysWhereAnotherOfItsLanguageDiffers) {
  // The Traditional Chinese description is the product name, untranslated:
  // without it the rule would give Taiwan the Simplified Chinese text.
  const inf_driver driver = read(inf_with_strings(
      "[Strings]\nMaker=\"Norvik\"\nDesc=\"USB Hub\"\n"
      "[Strings.0804]\nDesc=\"USB Hub (Simplified)\"\n"
      "[Strings.0404]\nDesc=\"USB Hub\"\n"
      "[Strings.0407]\nDesc=\"USB Hub\"\n"));
  const auto& model = driver.manufacturers[0].sections[0].models[0];
  EXPECT_EQ(model.localized_descriptions, texts({{0x0404, "USB Hub"}, {0x0804, "USB Hub (Simplified)"}}))
      << "German reads as the neutral text and is left out";
  EXPECT_EQ(text_in_language(model.description, model.localized_descriptions, 0x0404), "USB Hub");
  EXPECT_EQ(text_in_language(model.description, model.localized_descriptions, 0x0C04), "USB Hub")
      << "Hong Kong: the lowest Chinese section, Taiwan's";
  EXPECT_EQ(text_in_language(model.description, model.localized_descriptions, 0x0804), "USB Hub (Simplified)");
}

// --- the rule ---------------------------------------------------------------

TEST(TextInLanguage, ExactThenSublanguageNeutralThenAnyOfThePrimaryLanguageThenNeutral) {
  const std::string neutral = "neutral";
  // Out of order on purpose: the rule does not depend on it.
  const auto all = texts({{0x0C04, "zh-HK"}, {0x0804, "zh-CN"}, {0x0004, "zh"}, {0x0407, "de"}});
  EXPECT_EQ(text_in_language(neutral, all, 0x0804), "zh-CN");
  EXPECT_EQ(text_in_language(neutral, all, 0x0C04), "zh-HK");
  EXPECT_EQ(text_in_language(neutral, all, 0x0404), "zh") << "SUBLANG_NEUTRAL before a sibling";
  EXPECT_EQ(text_in_language(neutral, all, 0x0807), "de");
  EXPECT_EQ(text_in_language(neutral, all, 0x0411), "neutral");
  const auto siblings = texts({{0x0C04, "zh-HK"}, {0x0804, "zh-CN"}});
  EXPECT_EQ(text_in_language(neutral, siblings, 0x0404), "zh-CN") << "the lowest LANGID of the primary language";
  EXPECT_EQ(text_in_language(neutral, siblings, 0x1404), "zh-CN");
  // The primary language is the lower 10 bits, not the low byte.
  EXPECT_EQ(text_in_language(neutral, texts({{0x0107, "not German"}}), 0x0407), "neutral");
  EXPECT_EQ(text_in_language(neutral, texts({{0x0409, "en-US"}}), 0), "en-US");
  EXPECT_EQ(text_in_language(neutral, {}, 0x0411), "neutral");
  EXPECT_EQ(&text_in_language(neutral, all, 0x0411), &neutral) << "no copy";
}

// Leaving a language out never changes what any client reads: every set of
// up to six languages over two primary languages, each with no section, the
// neutral text or one of two others, against every sublanguage of both.
TEST(TextInLanguage, TextsLeftOutChangeNoClientsChoice) {
  const uint16_t pool[] = {0x0004, 0x0404, 0x0804, 0x0C04, 0x0009, 0x0409};
  const std::string neutral = "N";
  const char* const choices[] = {nullptr, "N", "a", "b"};
  size_t left_out = 0;
  for (int combination = 0; combination < 4 * 4 * 4 * 4 * 4 * 4; ++combination) {
    std::vector<localized_text> full;
    for (int i = 0, rest = combination; i < 6; ++i, rest /= 4) {
      if (choices[rest % 4] != nullptr) full.push_back({pool[i], choices[rest % 4]});
    }
    std::vector<localized_text> kept = full;
    keep_differing_texts(kept, neutral);
    left_out += full.size() - kept.size();
    for (const auto& text : kept) {
      if (text.text != neutral) continue;
      // A neutral text stays only beside a differing one of its language.
      const bool sibling_differs = std::any_of(kept.begin(), kept.end(), [&](const localized_text& other) {
        return (other.language & 0x3FF) == (text.language & 0x3FF) && other.text != neutral;
      });
      ASSERT_TRUE(sibling_differs) << "combination " << combination;
    }
    for (const uint16_t primary : {0x04, 0x09}) {
      for (uint16_t sublanguage = 0; sublanguage < 64; ++sublanguage) {
        const uint16_t client = static_cast<uint16_t>(sublanguage << 10 | primary);
        ASSERT_EQ(text_in_language(neutral, kept, client), text_in_language(neutral, full, client))
            << "combination " << combination << ", client " << std::hex << client;
      }
    }
  }
  EXPECT_GT(left_out, 0u);
}

}  // namespace
}  // namespace quillary::server
