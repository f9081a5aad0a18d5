#include "app/policy.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "base/ascii_text.h"
#include "platform/text.h"

namespace quillary {
namespace {

// How much of a bad value a problem line shows.
constexpr size_t shown_characters = 80;
// Values of other names told one by one; a key full of them gets one line
// for the rest rather than a flood.
constexpr size_t named_unknown_values = 16;

bool is_hex_digit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool is_host_character(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
         c == u'.' || c == u'_';
}

bool starts_with_ignoring_case(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && equal_ignore_case(text.substr(0, prefix.size()), prefix);
}

// A text as a problem line shows it: cut to a readable length, control
// characters written as \xNN so that a line stays one line.
std::string escaped(std::u16string_view value) {
  std::string out;
  for (char16_t c : value.substr(0, shown_characters)) {
    if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
      out += escape;
    } else if (c == u'"' || c == u'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else {
      out += utf16_to_utf8(std::u16string_view(&c, 1));
    }
  }
  if (value.size() > shown_characters) out += "...";
  return out;
}

std::string quoted(std::u16string_view value) { return "\"" + escaped(value) + "\""; }

std::string type_name(uint32_t type) {
  switch (type) {
    case registry_type::none:
      return "REG_NONE";
    case registry_type::expand_sz:
      return "REG_EXPAND_SZ";
    case registry_type::binary:
      return "REG_BINARY";
    case registry_type::dword:
      return "REG_DWORD";
    case registry_type::multi_sz:
      return "REG_MULTI_SZ";
    case 11:
      return "REG_QWORD";
    default:
      return "type " + std::to_string(type);
  }
}

std::string ignored(std::u16string_view name, const std::string& why) {
  // The key's default value has no name; regedit shows it so.
  return "policy value " + (name.empty() ? std::string("(Default)") : escaped(name)) + " ignored: " + why;
}

// A value of a list sub-key, named as regedit shows it: LIST\NAME.
std::string ignored_in(const char16_t* list, std::u16string_view name, const std::string& why) {
  return "policy value " + utf16_to_utf8(list) + "\\" + escaped(name) + " ignored: " + why;
}

// The port after a host: one to five digits, 1 to 65535.
bool good_port(std::u16string_view port) {
  if (port.empty() || port.size() > 5) return false;
  uint32_t number = 0;
  for (char16_t c : port) {
    if (c < u'0' || c > u'9') return false;
    number = number * 10 + (c - u'0');
  }
  return number >= 1 && number <= 65535;
}

// What comes between "//" and the path: [user@]host[:port].
std::string authority_problem(std::u16string_view authority) {
  const size_t at = authority.rfind(u'@');
  if (at != std::u16string_view::npos) authority.remove_prefix(at + 1);
  std::u16string_view host = authority, port;
  bool has_port = false;
  if (!authority.empty() && authority.front() == u'[') {
    const size_t close = authority.find(u']');
    if (close == std::u16string_view::npos) return "has an IPv6 address without its closing \"]\"";
    host = authority.substr(1, close - 1);
    if (host.empty() || !std::all_of(host.begin(), host.end(),
                                     [](char16_t c) { return is_hex_digit(c) || c == u':' || c == u'.'; })) {
      return "has a bad IPv6 address";
    }
    const std::u16string_view rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != u':') return "has something other than a port after its IPv6 address";
      has_port = true;
      port = rest.substr(1);
    }
  } else {
    const size_t colon = authority.find(u':');
    if (colon != std::u16string_view::npos) {
      host = authority.substr(0, colon);
      port = authority.substr(colon + 1);
      has_port = true;
    }
    if (host.empty()) return "has no host";
    if (!std::all_of(host.begin(), host.end(), is_host_character)) return "has a bad host name";
  }
  if (has_port && !good_port(port)) return "has a bad port (1 to 65535)";
  return {};
}

// The value's text when it is a REG_SZ text; otherwise why not.
bool policy_text(const registry_value& value, std::u16string& out, std::string& why,
                 const char* what = "an address") {
  if (value.type != registry_type::sz) {
    why = "a " + type_name(value.type) + " value, where the text (REG_SZ) of " + what + " belongs";
    return false;
  }
  if (value.data.size() % 2 != 0) {
    why = "a REG_SZ value of an odd number of bytes, which is no UTF-16 text";
    return false;
  }
  out.clear();
  for (size_t i = 0; i + 1 < value.data.size(); i += 2) {
    out.push_back(static_cast<char16_t>(value.data[i] | value.data[i + 1] << 8));
  }
  // The terminator is not part of the text (and may be missing, or doubled).
  while (!out.empty() && out.back() == 0) out.pop_back();
  return true;
}

// A switch: REG_DWORD 0 or 1.
bool policy_switch(const registry_value& value, bool& out, std::string& why) {
  if (value.type != registry_type::dword || value.data.size() != 4) {
    why = "a " + type_name(value.type) + " value, where a REG_DWORD of 0 or 1 belongs";
    return false;
  }
  const uint32_t number = value.data[0] | value.data[1] << 8 | value.data[2] << 16 | uint32_t(value.data[3]) << 24;
  if (number > 1) {
    why = std::to_string(number) + " is neither 0 nor 1";
    return false;
  }
  out = number == 1;
  return true;
}

void read_switch(registry_key_i& key, const char16_t* name, machine_policy& policy, std::optional<bool>& out) {
  registry_value value;
  if (!key.query(name, value)) return;
  bool on = false;
  std::string why;
  if (policy_switch(value, on, why)) {
    out = on;
  } else {
    policy.problems.push_back(ignored(name, why));
  }
}

// The texts of a list sub-key's values (a Group Policy list), with the
// value's name for the problem lines.
void read_list(registry_hive_i& hive, const char16_t* list, machine_policy& policy,
               const std::function<bool(const std::u16string&, std::string&)>& take) {
  const auto key = hive.open_key(std::u16string(machine_policy_key_path) + u"\\" + list);
  std::vector<std::u16string> names;
  if (!key || !key->value_names(names)) return;
  for (const auto& name : names) {
    registry_value value;
    std::u16string text;
    std::string why;
    if (!key->query(name, value)) continue;
    if (!policy_text(value, text, why, "a key")) {
      policy.problems.push_back(ignored_in(list, name, why));
      continue;
    }
    if (text.empty()) continue;
    if (!take(text, why)) policy.problems.push_back(ignored_in(list, name, quoted(text) + " " + why));
  }
}

void read_signature_policy(registry_hive_i& hive, registry_key_i& key, machine_policy& policy) {
  read_switch(key, policy_require_signed_value, policy, policy.require_signed_packages);
  std::optional<bool> https;
  read_switch(key, policy_require_https_value, policy, https);
  policy.require_https = https.value_or(false);
  read_list(hive, policy_trusted_keys_key, policy, [&](const std::u16string& text, std::string& why) {
    minisign_public_key parsed;
    if (!parse_minisign_public_key(utf16_to_utf8(text), parsed, why)) {
      why = "is not a public key: " + why;
      return false;
    }
    policy.trusted_keys.push_back(parsed);
    return true;
  });
  read_list(hive, policy_revoked_keys_key, policy, [&](const std::u16string& text, std::string& why) {
    // A key ID as minisign prints it, or the whole key.
    minisign_key_id id{};
    minisign_public_key parsed;
    if (parse_key_id(utf16_to_utf8(text), id)) {
      policy.revoked_keys.push_back(id);
    } else if (parse_minisign_public_key(utf16_to_utf8(text), parsed, why)) {
      policy.revoked_keys.push_back(parsed.id);
    } else {
      why = "is neither a key ID (16 hexadecimal digits) nor a public key";
      return false;
    }
    return true;
  });
}

void read_blocked_packages(registry_hive_i& hive, machine_policy& policy) {
  read_list(hive, policy_blocked_packages_key, policy, [&](const std::u16string& text, std::string& why) {
    package_block rule;
    if (!parse_package_block(text, rule, why)) return false;
    policy.blocked_packages.push_back(std::move(rule));
    return true;
  });
}

}  // namespace

std::vector<std::u16string> machine_policy_value_names() {
  std::vector<std::u16string> names(std::begin(policy_update_server_values), std::end(policy_update_server_values));
  names.push_back(policy_require_signed_value);
  names.push_back(policy_require_https_value);
  return names;
}

bool is_https_address(std::string_view address) {
  return starts_with_ignore_case_ascii(address, "https://");
}

std::string server_address_problem(std::u16string_view address) {
  if (address.empty()) return "is empty";
  if (address.size() > max_server_address_length) {
    return "is longer than " + std::to_string(max_server_address_length) + " characters";
  }
  for (size_t i = 0; i < address.size(); ++i) {
    const char16_t c = address[i];
    if (c == u' ' || c == 0xA0 || c == 0x3000) return "contains a blank";
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return "contains a control character";
    if (c > 0x7E) return "contains a character beyond ASCII (write the host in its xn-- form, the rest %-encoded)";
    if (c == u'%' && !(i + 2 < address.size() && is_hex_digit(address[i + 1]) && is_hex_digit(address[i + 2]))) {
      return "has a \"%\" that is not followed by two hexadecimal digits";
    }
  }
  size_t scheme = 0;
  if (starts_with_ignoring_case(address, u"http://")) {
    scheme = 7;
  } else if (starts_with_ignoring_case(address, u"https://")) {
    scheme = 8;
  } else {
    return "is not an http:// or https:// address";
  }
  const std::u16string_view rest = address.substr(scheme);
  return authority_problem(rest.substr(0, rest.find_first_of(u"/?#")));
}

machine_policy read_machine_policy(registry_hive_i& hive) {
  machine_policy policy;
  const auto key = hive.open_key(machine_policy_key_path);
  if (!key) return policy;

  for (const char16_t* name : policy_update_server_values) {
    registry_value value;
    if (!key->query(name, value)) continue;
    std::u16string text;
    std::string why;
    if (!policy_text(value, text, why)) {
      policy.problems.push_back(ignored(name, why));
      continue;
    }
    if (text.empty()) continue;
    why = server_address_problem(text);
    if (!why.empty()) {
      policy.problems.push_back(ignored(name, quoted(text) + " " + why));
      continue;
    }
    policy.update_servers.push_back(utf16_to_utf8(text));
  }

  read_signature_policy(hive, *key, policy);
  read_blocked_packages(hive, policy);

  // A value the program does not read is most likely a misspelt one (or a
  // fourth server): say so, or the administrator would wait for it to work.
  std::vector<std::u16string> names;
  if (key->value_names(names)) {
    const auto known = machine_policy_value_names();
    size_t unknown = 0;
    for (const auto& name : names) {
      const bool read = std::any_of(known.begin(), known.end(),
                                    [&](const std::u16string& k) { return equal_ignore_case(k, name); });
      if (read) continue;
      if (++unknown <= named_unknown_values) {
        policy.problems.push_back(ignored(name, "Quillary reads no value of this name"));
      }
    }
    if (unknown > named_unknown_values) {
      policy.problems.push_back("policy: " + std::to_string(unknown - named_unknown_values) +
                                " more values of names Quillary does not read ignored");
    }
  }
  return policy;
}

update_servers_choice choose_update_servers(const machine_policy& policy, std::vector<std::string> built_in) {
  update_servers_choice choice;
  choice.from_policy = !policy.update_servers.empty();
  for (auto& server : choice.from_policy ? policy.update_servers : built_in) {
    if (policy.require_https && !is_https_address(server)) {
      choice.refused.push_back(server);
    } else {
      choice.servers.push_back(server);
    }
  }
  return choice;
}

}  // namespace quillary
