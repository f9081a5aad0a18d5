#include "server/update_reply.h"

#include <cstdio>

#include "base/ascii_text.h"
#include "base/minisign.h"
#include "base/wire_vocabulary.h"
#include "base/xml_text.h"
#include "server/localized_text.h"

namespace quillary::server {

namespace {

// At most `max_chars` UTF-8 characters of the text: the client keeps its
// fields in fixed buffers and would cut them anyway.
std::string cut(std::string_view text, size_t max_chars) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (chars++ == max_chars) return std::string(text.substr(0, i));
  }
  return std::string(text);
}

// The client's bytes inside CDATA, so that its XML library keeps blanks as
// they are; a "]]>" in them is split between two sections, which the client
// joins again.
std::string raw_text(const std::string& bytes) { return "<![CDATA[" + split_cdata_terminators(bytes) + "]]>"; }

// The reply's fixed markup, one tab a level, made once.
std::string tag(const char* tabs, const char* slash, const char* name, const char* after) {
  return std::string(tabs) + "<" + slash + name + ">" + after;
}
const std::string& reply_opening() {
  static const std::string text = tag("", "", wire::root_element, "\n") + tag("\t", "", wire::devices_element, "\n");
  return text;
}
const std::string& reply_closing() {
  static const std::string text = tag("\t", "/", wire::devices_element, "\n") + tag("", "/", wire::root_element, "\n");
  return text;
}
// A device's opening ends where its ID's text goes.
const std::string& device_opening() {
  static const std::string text = tag("\t\t", "", wire::device_element, "\n") + tag("\t\t\t", "", wire::device_id_element, "");
  return text;
}
const std::string& device_id_ending() {
  static const std::string text = tag("", "/", wire::device_id_element, "\n");
  return text;
}
const std::string& device_ending() {
  static const std::string text = tag("\t\t", "/", wire::device_element, "\n");
  return text;
}
const std::string& item_opening() {
  static const std::string text = tag("\t\t\t", "", wire::item_element, "\n");
  return text;
}
const std::string& item_ending() {
  static const std::string text = tag("\t\t\t", "/", wire::item_element, "\n");
  return text;
}

std::string hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(value));
  return text;
}

std::string write_item(const item_values& v, const code_page_converter_c& converter) {
  std::string out = item_opening();
  const auto add = [&](const char* name, const std::string& value, bool raw) {
    out += "\t\t\t\t<";
    out += name;
    out += '>';
    out += raw ? raw_text(value) : escape_xml(converter.from_utf8(value));
    out += "</";
    out += name;
    out += ">\n";
  };
  add(wire::item_hardware_id, v.hardid, true);
  add(wire::item_title, v.title, false);
  add(wire::item_version, v.ver, false);
  add(wire::item_size, v.size, false);
  add(wire::item_class_guid, v.guid, false);
  add(wire::item_link, v.link, false);
  add(wire::item_inf_path, v.infpath, false);
  add(wire::item_official_link, v.official_link, false);
  add(wire::item_rank, v.cp, false);
  add(wire::item_manufacturer, v.manu, false);
  add(wire::item_signed, v.sign, false);
  add(wire::item_feature, v.feature, false);
  add(wire::item_target_os, v.targetos, false);
  add(wire::item_date, v.date, false);
  add(wire::item_description, v.desc, false);
  if (!v.sha256.empty()) add(wire::item_sha256, v.sha256, false);
  if (!v.minisig.empty()) add(wire::item_minisig, v.minisig, false);
  out += item_ending();
  return out;
}

}  // namespace

std::string percent_encode(const std::string& name) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : name) {
    const auto b = static_cast<unsigned char>(c);
    const bool plain = is_ascii_letter(c) || is_ascii_digit(c) || c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(digits[b >> 4]);
      out.push_back(digits[b & 15]);
    }
  }
  return out;
}

std::string make_infpath(const std::string& package_file_name, const std::string& inf_path) {
  std::string stem = package_file_name;
  // The package as its extraction's folder is named: without the extension.
  if (stem.size() > 4 && (equal_ignore_case_ascii(std::string_view(stem).substr(stem.size() - 4), ".zip") ||
                          equal_ignore_case_ascii(std::string_view(stem).substr(stem.size() - 4), ".cab"))) {
    stem.resize(stem.size() - 4);
  }
  // The first separator must be the one added here.
  for (char& c : stem) {
    if (c == '\\' || c == '/') c = '_';
  }
  if (stem.empty()) stem = "package";
  return stem + "/" + inf_path;
}

namespace {

// One value in the client's language: the neutral text, or what the
// language's [Strings.LLLL] section gives.
std::string in_language(std::string_view neutral, const std::vector<localized_view>& texts, uint16_t language) {
  if (texts.empty()) return std::string(neutral);
  std::vector<localized_text> owned;
  owned.reserve(texts.size());
  for (const auto& t : texts) owned.push_back({t.language, std::string(t.text)});
  return text_in_language(std::string(neutral), owned, language);
}

}  // namespace

item_values make_item_values(const offer& o, const std::string& package_base, uint16_t ui_language) {
  const inf_view& inf = o.inf;
  const std::string file_name(o.package.file_name);
  const std::string description = in_language(o.model.description, o.localized_descriptions, ui_language);
  const std::string provider = in_language(inf.provider, o.localized_providers, ui_language);
  item_values v;
  v.hardid = o.matched_id;
  v.title = cut(description + " (" + provider + " " + std::string(inf.version) + ")", 256);
  v.ver = cut(inf.version, 64);
  v.size = std::to_string(o.package.size);
  v.guid = inf.class_guid.size() <= 38 ? std::string(inf.class_guid) : std::string();
  v.link = package_base + percent_encode(file_name);
  v.infpath = cut(make_infpath(file_name, std::string(inf.path)), 259);
  v.official_link = v.link;
  v.cp = std::to_string(o.rank);
  v.manu = cut(provider, 128);
  v.sign = o.is_signed ? "0" : "3";
  v.feature = hex(o.model.feature_score);
  v.targetos = std::to_string(decoration_target_os(o.section.decoration));
  v.date = inf.date;
  v.desc = cut(description, 1024);
  v.sha256 = o.package.sha256;
  // Encoded for each item written rather than kept encoded: the package
  // keeps one copy of the bytes, which its download route serves as well.
  if (!o.package.minisig.empty()) v.minisig = encode_base64(o.package.minisig);
  return v;
}

std::string xml_declaration(const code_page_info& code_page) {
  return std::string("<?xml version=\"1.0\" encoding=\"") + code_page.xml_name + "\"?>\n";
}

std::string escape_xml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        // Control characters other than tab and line breaks are not XML.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') out.push_back('?');
        else out.push_back(c);
    }
  }
  return out;
}

namespace {

// What one device of the reply takes: its opening and ending, and each of
// its items (best first) written out.
struct device_sizes {
  size_t frame = 0;
  std::vector<size_t> items;
};

// How many of each device's items fit in `budget` bytes, kept the way
// that loses the least: first every device's best offer (in device order),
// then every device's second, and so on. A device's offers are kept best
// first with none skipped, and no device's best offer is dropped while any
// device's second-best is kept.
std::vector<size_t> items_that_fit(const std::vector<device_sizes>& devices, size_t budget) {
  std::vector<size_t> kept(devices.size(), 0);
  std::vector<bool> closed(devices.size(), false);
  size_t used = 0;
  for (size_t round = 0, progress = 1; progress > 0; ++round) {
    progress = 0;
    for (size_t d = 0; d < devices.size(); ++d) {
      if (closed[d] || kept[d] != round || round >= devices[d].items.size()) continue;
      const size_t cost = devices[d].items[round] + (round == 0 ? devices[d].frame : 0);
      if (used + cost > budget) {
        closed[d] = true;  // its lower-ranked offers go too
        continue;
      }
      used += cost;
      ++kept[d];
      ++progress;
    }
  }
  return kept;
}

}  // namespace

std::string write_update_reply(const update_request& request, const offer_source& offers_for,
                               const std::string& package_base, const code_page_info& code_page,
                               const code_page_converter_c& converter, const reply_limits& limits,
                               reply_stats& stats) {
  stats = reply_stats{};
  std::string out = xml_declaration(code_page);
  out += reply_opening();
  const std::string& closing = reply_closing();
  const std::string& ending = device_ending();
  const auto opening_of = [&](size_t d) {
    return device_opening() + raw_text(request.devices[d].id) + device_id_ending();
  };
  // Written as it goes while everything fits (one pass, the usual case);
  // once it does not, only the sizes are kept, and a second pass writes
  // what fits best.
  const size_t budget = limits.max_bytes > out.size() + closing.size() ? limits.max_bytes - out.size() - closing.size()
                                                                        : 0;
  std::vector<device_sizes> sizes(request.devices.size());
  std::string body;
  bool fits = true;
  size_t total = 0, with_offers = 0, offered = 0;
  for (size_t d = 0; d < request.devices.size(); ++d) {
    const std::vector<offer> device_offers = offers_for(d);
    if (device_offers.empty()) continue;
    ++with_offers;
    const std::string opening = opening_of(d);
    sizes[d].frame = opening.size() + ending.size();
    total += sizes[d].frame;
    if (fits) body += opening;
    for (size_t i = 0; i < device_offers.size() && i < limits.max_items_per_device; ++i) {
      const std::string item = write_item(make_item_values(device_offers[i], package_base, request.ui_language), converter);
      sizes[d].items.push_back(item.size());
      total += item.size();
      ++offered;
      if (fits) body += item;
    }
    if (fits) body += ending;
    if (fits && total > budget) {
      fits = false;
      std::string().swap(body);
    }
  }
  if (fits) {
    out += body;
    stats.devices_with_offers = with_offers;
    stats.items = offered;
  } else {
    const std::vector<size_t> kept = items_that_fit(sizes, budget);
    for (size_t d = 0; d < request.devices.size(); ++d) {
      if (sizes[d].items.empty()) continue;
      if (kept[d] == 0) {
        ++stats.devices_left_out;
        continue;
      }
      ++stats.devices_with_offers;
      const std::vector<offer> device_offers = offers_for(d);
      out += opening_of(d);
      for (size_t i = 0; i < kept[d] && i < device_offers.size(); ++i) {
        out += write_item(make_item_values(device_offers[i], package_base, request.ui_language), converter);
      }
      out += ending;
      stats.items += kept[d];
    }
    stats.items_left_out = offered - stats.items;
  }
  if (stats.devices_with_offers == 0 && stats.devices_left_out == 0 && !request.devices.empty()) {
    out += opening_of(0) + ending;
  }
  out += closing;
  return out;
}

}  // namespace quillary::server
