// INF files as the catalogue and the client read them: any bytes must be
// read or refused without a crash, decode to valid UTF-8, give the client
// the DriverVer the service offers (so that the client's check of the
// package agrees with an offer made from it, and with no other), and
// whatever models they yield must be found again by their IDs. The
// service reads a million files with one reader, which keeps the room of
// the last file's records: that reader must read each file exactly as a
// fresh one does.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/inf_driver_ver.h"
#include "base/inf_file.h"
#include "base/inf_text.h"
#include "download/offer_agreement.h"
#include "platform/text.h"
#include "server/catalogue.h"
#include "server/catalogue_builder.h"
#include "server/inf_driver.h"
#include "server/localized_text.h"
#include "server/matcher.h"

namespace {

using namespace quillary;
using namespace quillary::server;

const char* const systems[] = {"WINXP",   "WINXP64", "WIN2003", "WIN200364", "VISTA",      "VISTA64",
                               "WIN2008", "WIN200864", "WIN7", "WIN764",   "WIN8",       "WIN864",
                               "WIN81",   "WIN8164", "WIN10",   "WIN1064",   "WIN10ARM64", "WIN11",
                               "WIN1164", "WIN11ARM64"};

bool iso_date(const std::string& date) {
  if (date.size() != 10 || date[4] != '-' || date[7] != '-') return false;
  for (const size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (date[i] < '0' || date[i] > '9') return false;
  }
  return true;
}

// The texts kept per [Strings.LLLL] language: languages of the file,
// ascending, valid UTF-8; and a client of any of them (or of a sibling of
// its primary language, or of none) reads what the provider line gives in
// the language Windows would pick, though the reader left some out.
void check_localized_texts(const inf_file_c& inf, const inf_driver& driver) {
  const std::vector<uint16_t>& languages = inf.string_languages();
  const auto check_list = [&](const std::vector<localized_text>& texts) {
    for (size_t i = 0; i < texts.size(); ++i) {
      if (i > 0 && texts[i - 1].language >= texts[i].language) std::abort();
      if (!std::binary_search(languages.begin(), languages.end(), texts[i].language)) std::abort();
      if (utf16_to_utf8(utf8_to_utf16(texts[i].text)) != texts[i].text) std::abort();
    }
  };
  check_list(driver.localized_providers);
  for (const auto& manufacturer : driver.manufacturers) {
    check_list(manufacturer.localized_names);
    for (const auto& section : manufacturer.sections) {
      for (const auto& model : section.models) check_list(model.localized_descriptions);
    }
  }
  const inf_line* provider = inf.line_of("Version", "Provider");
  if (provider == nullptr) return;
  std::vector<localized_text> every;
  for (size_t i = 0; i < languages.size(); ++i) {
    every.push_back({languages[i], inf.field_in_language(*provider, 0, i)});
  }
  std::vector<uint16_t> clients = {0, 0x0409, 0x0809};
  for (const uint16_t language : languages) {
    clients.insert(clients.end(), {language, static_cast<uint16_t>(language & 0x3FF),
                                   static_cast<uint16_t>((language & 0x3FF) | 0x1C00)});
  }
  for (const uint16_t client : clients) {
    if (text_in_language(driver.provider, driver.localized_providers, client) !=
        text_in_language(driver.provider, every, client)) {
      std::abort();
    }
  }
}

// Whether two readers of the same text hold the same sections and lines.
bool same_sections(const inf_file_c& a, const inf_file_c& b) {
  const std::vector<inf_section>& x = a.sections();
  const std::vector<inf_section>& y = b.sections();
  if (x.size() != y.size() || a.string_languages() != b.string_languages()) return false;
  for (size_t s = 0; s < x.size(); ++s) {
    if (x[s].name != y[s].name || x[s].lines.size() != y[s].lines.size()) return false;
    for (size_t l = 0; l < x[s].lines.size(); ++l) {
      const inf_line& p = x[s].lines[l];
      const inf_line& q = y[s].lines[l];
      // The raw texts are numbered in the order sections were first asked
      // for, so their pieces are compared, not their numbers.
      if (p.has_key != q.has_key || p.key != q.key || p.fields != q.fields || p.line_number != q.line_number ||
          (p.raw_text < 0) != (q.raw_text < 0) || a.raw_piece(p, -1) != b.raw_piece(q, -1)) {
        return false;
      }
    }
  }
  return true;
}

bool same_texts(const std::vector<localized_text>& a, const std::vector<localized_text>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const auto& x, const auto& y) { return x.language == y.language && x.text == y.text; });
}

bool same_driver(const inf_driver& a, const inf_driver& b) {
  if (a.provider != b.provider || !same_texts(a.localized_providers, b.localized_providers) ||
      a.class_name != b.class_name || a.class_guid != b.class_guid || a.date != b.date || a.version != b.version ||
      a.manufacturers.size() != b.manufacturers.size()) {
    return false;
  }
  for (size_t m = 0; m < a.manufacturers.size(); ++m) {
    const inf_manufacturer& x = a.manufacturers[m];
    const inf_manufacturer& y = b.manufacturers[m];
    if (x.name != y.name || !same_texts(x.localized_names, y.localized_names) ||
        x.sections.size() != y.sections.size()) {
      return false;
    }
    for (size_t s = 0; s < x.sections.size(); ++s) {
      const inf_models_section& p = x.sections[s];
      const inf_models_section& q = y.sections[s];
      if (p.name != q.name || p.decorated != q.decorated || p.catalog_file != q.catalog_file ||
          p.decoration.arch != q.decoration.arch || p.decoration.has_arch != q.decoration.has_arch ||
          p.decoration.major != q.decoration.major || p.decoration.minor != q.decoration.minor ||
          p.decoration.product_type != q.decoration.product_type ||
          p.decoration.has_suite_mask != q.decoration.has_suite_mask || p.decoration.build != q.decoration.build ||
          p.models.size() != q.models.size()) {
        return false;
      }
      for (size_t i = 0; i < p.models.size(); ++i) {
        const inf_model& u = p.models[i];
        const inf_model& v = q.models[i];
        if (u.description != v.description || u.install_section != v.install_section || u.ids != v.ids ||
            u.compatible_from != v.compatible_from || u.feature_score != v.feature_score ||
            !same_texts(u.localized_descriptions, v.localized_descriptions)) {
          return false;
        }
      }
    }
  }
  return true;
}

// The one reader and driver record every input goes through, after all the
// inputs before it.
inf_file_c reused_reader;
inf_driver reused_driver;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = decode_inf_bytes(bytes);
  if (quillary::utf16_to_utf8(quillary::utf8_to_utf16(text)) != text) std::abort();

  inf_file_c inf;
  std::string reason;
  // The client's check of a package refuses what gives no DriverVer.
  const auto refused = [&bytes] {
    return check_inf_against_offer(bytes, u"1.0", u"2012-01-01").verdict == offer_verdict::inf_unreadable;
  };
  std::string reused_reason;
  const bool reused_parsed = reused_reader.parse(text, reused_reason);
  if (!inf.parse(text, reason)) {
    if (reason.empty() || !refused()) std::abort();
    if (reused_parsed || reused_reason != reason || !reused_reader.sections().empty()) std::abort();
    return 0;
  }
  if (!reused_parsed) std::abort();
  // DriverVer as the client reads it: a date of the one form and a version
  // that reads as numbers, or a reason.
  inf_driver_ver ver;
  const bool has_ver = read_inf_driver_ver(inf, ver, reason);
  if (has_ver) {
    std::array<uint32_t, 4> parts;
    if (!iso_date(ver.date) || !parse_driver_version(ver.version, parts)) std::abort();
    // An offer made from this DriverVer agrees with the package (of a size
    // the service reads), and one with another version or date does not.
    const std::u16string version = utf8_to_utf16(ver.version), date = utf8_to_utf16(ver.date);
    if (size <= max_offer_inf_size &&
        (check_inf_against_offer(bytes, version, date).verdict != offer_verdict::matches ||
         check_inf_against_offer(bytes, u"1" + version, date).verdict != offer_verdict::version_differs ||
         check_inf_against_offer(bytes, version, u"x" + date).verdict != offer_verdict::date_differs)) {
      std::abort();
    }
  } else if (reason.empty() || !refused()) {
    std::abort();
  }

  inf_driver driver;
  const bool read = read_inf_driver(inf, driver, reason);
  if (read_inf_driver(reused_reader, reused_driver, reused_reason) != read) std::abort();
  if (read && !same_driver(driver, reused_driver)) std::abort();
  if (!read && (reused_reason != reason || !reused_driver.manufacturers.empty())) std::abort();
  if (!same_sections(inf, reused_reader)) std::abort();
  if (!read) return 0;
  if (driver.date.size() != 10 || driver.manufacturers.empty()) std::abort();
  check_localized_texts(inf, driver);
  // The service offers exactly what the client will find in the package.
  if (!has_ver || driver.date != ver.date || driver.version != ver.version) std::abort();

  catalogue_builder_c builder;
  archive_listing listing;
  listing.paths = {"x/a.inf", "x/a.cat"};
  listing.infs = {archive_file{"x/a.inf", bytes}};
  if (!builder.add_package(package_file{"p.zip", 1, 0, {}, {}}, listing, [](const std::string&) {}, reason)) {
    std::abort();  // the INF was readable above, so the package must be taken
  }
  // Through the image, as the service reads its catalogue.
  const std::shared_ptr<const catalogue_c> built = builder.build();
  const catalogue_c& catalogue = *built;
  // Every model of the section chosen for a system is offered for its own
  // hardware-or-compatible ID on that system.
  for (const char* name : systems) {
    const client_os os = client_os_for(name);
    for (const auto& manufacturer : driver.manufacturers) {
      const inf_models_section* section = choose_models_section(manufacturer, os);
      if (section == nullptr) continue;
      if (!decoration_fits(section->decoration, os)) std::abort();
      for (const auto& model : section->models) {
        device_ids ids;
        ids.ids = ids.raw_ids = {model.ids.front()};
        ids.compatible_from = 1;
        if (match_device(catalogue, os, ids).empty()) std::abort();
      }
    }
  }
  return 0;
}
