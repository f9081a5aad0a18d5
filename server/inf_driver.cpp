#include "server/inf_driver.h"

#include <unordered_map>
#include <utility>

#include "base/ascii_text.h"
#include "base/inf_driver_ver.h"
#include "server/localized_text.h"

namespace quillary::server {

namespace {

std::string_view architecture_suffix(const target_decoration& decoration) {
  switch (decoration.arch) {
    case cpu_arch::amd64: return ".NTamd64";
    case cpu_arch::x86: return ".NTx86";
    case cpu_arch::arm64: return ".NTarm64";
    default: return ".NTia64";
  }
}

// Directives of [Version] and install sections carry an optional platform
// extension: the architecture's own, then .NT, then none. `name` is the
// caller's room for the name with its extension.
template <class Found>
bool with_platform_suffixes(std::string_view base, const target_decoration& decoration, std::string& name,
                            const Found& found) {
  for (const std::string_view suffix : {architecture_suffix(decoration), std::string_view(".NT"), std::string_view()}) {
    name.assign(base).append(suffix);
    if (found(name)) return true;
  }
  return false;
}

void platform_value(const inf_file_c& inf, std::string_view section, std::string_view key,
                    const target_decoration& decoration, std::string& value) {
  std::string name;
  value.clear();
  with_platform_suffixes(key, decoration, name, [&](const std::string& key_name) {
    const inf_line* line = inf.line_of(section, key_name);
    if (line == nullptr || line->fields.front().empty()) return false;
    value.assign(line->fields.front());
    return true;
  });
}

uint32_t feature_score_of(const inf_file_c& inf, const std::string& install, const target_decoration& decoration) {
  std::string section;
  uint32_t score = 0xFF;
  with_platform_suffixes(install, decoration, section, [&](const std::string& name) {
    if (inf.find_section(name) == nullptr) return false;
    const inf_line* directive = inf.line_of(name, "FeatureScore");
    std::string_view text = directive == nullptr ? std::string_view() : trim_blanks(directive->fields.front());
    if (starts_with_ignore_case_ascii(text, "0x")) text.remove_prefix(2);
    uint64_t value;
    if (parse_hex(text, value, 2)) score = static_cast<uint32_t>(value);
    return true;
  });
  return score;
}

// The record `used` of `records`, made when there is none yet: the reader
// fills the records of the last file read again, keeping their strings'
// and lists' room (an index reads a million files). `records` is cut to
// the records used once they are all filled.
template <class T>
T& next_record(std::vector<T>& records, size_t& used) {
  if (used == records.size()) records.emplace_back();
  return records[used++];
}

// One value's texts in the file's [Strings.LLLL] languages, from its raw
// text `raw` (its tokens not replaced) and its neutral text `neutral`: only
// the languages that define one of its tokens can read differently; of the
// texts, those the rule does not need are left out (keep_differing_texts).
std::vector<localized_text> texts_in_languages(const inf_file_c& inf, std::string_view raw,
                                               const std::string& neutral) {
  const std::vector<uint16_t>& languages = inf.string_languages();
  std::vector<localized_text> texts;
  texts.reserve(languages.size());
  std::string text;
  for (size_t i = 0; i < languages.size(); ++i) {
    if (inf.piece_in_language(raw, i, text)) texts.push_back(localized_text{languages[i], std::move(text)});
  }
  if (texts.empty()) return {};  // not the reserved room
  if (texts.size() < languages.size()) {
    // The languages that read as the neutral text count too, beside a
    // sibling that reads otherwise: the rule needs to see them.
    std::vector<localized_text> every;
    every.reserve(languages.size());
    size_t next = 0;
    for (const uint16_t language : languages) {
      if (next < texts.size() && texts[next].language == language) {
        every.push_back(std::move(texts[next++]));
      } else {
        every.push_back(localized_text{language, neutral});
      }
    }
    texts = std::move(every);
  }
  keep_differing_texts(texts, neutral);
  if (texts.size() < texts.capacity()) texts.shrink_to_fit();
  return texts;
}

// The texts found so far, by raw text: the models sections of the
// platforms mostly repeat the same lines.
using localized_memo = std::unordered_map<std::string, std::vector<localized_text>>;

// The texts of the key (`field` -1) or field number `field` of `line`,
// whose neutral text is `neutral`. Only lines with raw text (a token, in a
// file with languages) can read differently, so most values cost nothing
// here.
std::vector<localized_text> localized(const inf_file_c& inf, const inf_line& line, int field,
                                      const std::string& neutral, localized_memo& memo) {
  std::optional<std::string> raw = inf.raw_piece(line, field);
  if (!raw) return {};
  if (const auto it = memo.find(*raw); it != memo.end()) return it->second;
  std::vector<localized_text> texts = texts_in_languages(inf, *raw, neutral);
  memo.emplace(std::move(*raw), texts);
  return texts;
}

void read_models(const inf_file_c& inf, const inf_section& section, inf_models_section& out,
                 localized_memo& memo) {
  // The models of a section mostly share an install section: its score is
  // looked up once for a run of them.
  std::string scored_install;
  uint32_t score = 0xFF;
  size_t models = 0;
  for (const auto& line : section.lines) {
    if (!line.has_key || line.fields.size() < 2) continue;
    inf_model& model = next_record(out.models, models);
    model.description.assign(line.key);
    model.install_section.assign(line.fields[0]);
    size_t ids = 0;
    model.compatible_from = 0;
    for (size_t i = 1; i < line.fields.size(); ++i) {
      if (i == 2) model.compatible_from = ids;
      if (!line.fields[i].empty()) next_record(model.ids, ids).assign(line.fields[i]);
    }
    model.ids.resize(ids);
    if (line.fields.size() <= 2) model.compatible_from = ids;
    if (ids == 0) {
      --models;  // its record serves the next model
      continue;
    }
    if (scored_install.empty() || model.install_section != scored_install) {
      scored_install = model.install_section;
      score = feature_score_of(inf, model.install_section, out.decoration);
    }
    model.feature_score = score;
    model.localized_descriptions = localized(inf, line, -1, model.description, memo);
  }
  out.models.resize(models);
}

// Fills `manufacturer` from its line of [Manufacturer]: its name and the
// models sections that exist and list a model.
void read_manufacturer(const inf_file_c& inf, const inf_line& line, localized_memo& memo,
                       inf_manufacturer& manufacturer) {
  const std::string& base = line.fields[0];
  manufacturer.name.assign(line.has_key ? line.key : base);
  manufacturer.localized_names = localized(inf, line, line.has_key ? -1 : 0, manufacturer.name, memo);
  size_t sections = 0;
  std::string name;
  const auto add_section = [&](bool decorated, const target_decoration& decoration) {
    const inf_section* section = inf.find_section(name);
    if (section == nullptr) return;
    inf_models_section& models = next_record(manufacturer.sections, sections);
    models.name.assign(name);
    models.decorated = decorated;
    models.decoration = decoration;
    platform_value(inf, "Version", "CatalogFile", decoration, models.catalog_file);
    read_models(inf, *section, models, memo);
    if (models.models.empty()) --sections;  // its record serves the next section
  };
  name.assign(base);
  add_section(false, target_decoration{});
  for (size_t i = 1; i < line.fields.size(); ++i) {
    target_decoration decoration;
    if (!parse_decoration(line.fields[i], decoration)) continue;
    name.assign(base).append(".").append(line.fields[i]);
    add_section(true, decoration);
  }
  manufacturer.sections.resize(sections);
}

}  // namespace

bool read_inf_driver(const inf_file_c& inf, inf_driver& out, std::string& reason) {
  // Every field is set again, the records of `out` filled in place; a file
  // that fails leaves none of the last file's behind.
  out.provider.clear();
  out.localized_providers.clear();
  out.class_name.clear();
  out.class_guid.clear();
  out.date.clear();
  out.version.clear();
  const auto fail = [&](std::string why) {
    out.manufacturers.clear();
    if (!why.empty()) reason = std::move(why);
    return false;
  };
  localized_memo memo;
  const std::string signature = inf.value_of("Version", "Signature");
  if (!equal_ignore_case_ascii(signature, "$Windows NT$") && !equal_ignore_case_ascii(signature, "$Chicago$") &&
      !equal_ignore_case_ascii(signature, "$Windows 95$")) {
    return fail("no [Version] signature");
  }
  if (const inf_line* provider = inf.line_of("Version", "Provider")) {
    out.provider = provider->fields.front();
    out.localized_providers = localized(inf, *provider, 0, out.provider, memo);
  }
  out.class_name = inf.value_of("Version", "Class");
  out.class_guid = inf.value_of("Version", "ClassGuid");

  inf_driver_ver driver_ver;
  if (!read_inf_driver_ver(inf, driver_ver, reason)) return fail({});
  out.date = std::move(driver_ver.date);
  out.version = std::move(driver_ver.version);

  size_t manufacturers = 0;
  if (const inf_section* section = inf.find_section("Manufacturer")) {
    for (const auto& line : section->lines) {
      if (line.fields[0].empty()) continue;
      inf_manufacturer& manufacturer = next_record(out.manufacturers, manufacturers);
      read_manufacturer(inf, line, memo, manufacturer);
      if (manufacturer.sections.empty()) --manufacturers;  // its record serves the next one
    }
  }
  out.manufacturers.resize(manufacturers);
  if (out.manufacturers.empty()) return fail("no model with a device ID");
  return true;
}

const inf_models_section* choose_models_section(const inf_manufacturer& manufacturer, const client_os& os) {
  const auto& sections = manufacturer.sections;
  const size_t chosen = choose_section(sections.size(), os, [&](size_t i) {
    return std::make_pair(sections[i].decorated, sections[i].decoration);
  });
  return chosen < sections.size() ? &sections[chosen] : nullptr;
}

}  // namespace quillary::server
