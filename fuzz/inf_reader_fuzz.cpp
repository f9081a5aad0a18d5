// INF files as the catalogue and the client read them: any bytes must be
// read or refused without a crash, decode to valid UTF-8, give the client
// the DriverVer the service offers (so that the client's check of the
// package agrees with an offer made from it, and with no other), and
// whatever models they yield must be found again by their IDs.
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
  if (!inf.parse(text, reason)) {
    if (reason.empty() || !refused()) std::abort();
    return 0;
  }
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
  if (!read_inf_driver(inf, driver, reason)) return 0;
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
