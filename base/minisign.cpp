#include "base/minisign.h"

#include <cstring>
#include <vector>

#include "base/ascii_text.h"

namespace quillary {
namespace {

constexpr char base64_alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view untrusted_prefix = "untrusted comment: ";
constexpr std::string_view trusted_prefix = "trusted comment: ";
constexpr size_t key_bytes = 42;
constexpr size_t signature_bytes = 74;

int base64_value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// The text's lines, without their CR LF or LF; at most `limit` of them
// (false beyond, or when a line holds a NUL).
bool split_lines(std::string_view text, std::vector<std::string_view>& lines, size_t limit) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find('\0') != std::string_view::npos) return false;
    lines.push_back(line);
    if (lines.size() > limit) return false;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return true;
}

// What minisign trims from its lines: blanks and tabs, never line ends.
constexpr std::string_view line_blanks = " \t";

// As minisign reads them: blanks after the base64, none before it.
bool decode_exactly(std::string_view line, size_t size, std::string& out) {
  return decode_base64(trim_ascii_end(line, line_blanks), out) && out.size() == size;
}

}  // namespace

bool decode_base64(std::string_view text, std::string& out) {
  out.clear();
  if (text.size() % 4 != 0) return false;
  out.reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    int v[4];
    int padding = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text[i + k];
      if (c == '=' && last && k >= 2) {
        v[k] = 0;
        ++padding;
        continue;
      }
      if (padding > 0) return false;  // nothing after padding
      v[k] = base64_value(c);
      if (v[k] < 0) return false;
    }
    const uint32_t bits = (uint32_t(v[0]) << 18) | (uint32_t(v[1]) << 12) | (uint32_t(v[2]) << 6) | uint32_t(v[3]);
    // Bits below the last whole byte must be zero: one text per byte string.
    if ((padding == 1 && (bits & 0xFF)) || (padding == 2 && (bits & 0xFFFF))) return false;
    out.push_back(static_cast<char>(bits >> 16));
    if (padding < 2) out.push_back(static_cast<char>((bits >> 8) & 0xFF));
    if (padding < 1) out.push_back(static_cast<char>(bits & 0xFF));
  }
  return true;
}

std::string encode_base64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    uint32_t bits = uint32_t(static_cast<uint8_t>(bytes[i])) << 16;
    if (n > 1) bits |= uint32_t(static_cast<uint8_t>(bytes[i + 1])) << 8;
    if (n > 2) bits |= uint32_t(static_cast<uint8_t>(bytes[i + 2]));
    out.push_back(base64_alphabet[(bits >> 18) & 63]);
    out.push_back(base64_alphabet[(bits >> 12) & 63]);
    out.push_back(n > 1 ? base64_alphabet[(bits >> 6) & 63] : '=');
    out.push_back(n > 2 ? base64_alphabet[bits & 63] : '=');
  }
  return out;
}

bool parse_minisign_public_key(std::string_view text, minisign_public_key& out, std::string& error) {
  std::vector<std::string_view> lines;
  if (text.size() > max_minisig_bytes || !split_lines(text, lines, 2) || lines.empty()) {
    error = "not a minisign public key";
    return false;
  }
  if (lines.size() == 2 && lines[0].substr(0, untrusted_prefix.size()) != untrusted_prefix) {
    error = "a public key file starts with \"untrusted comment:\"";
    return false;
  }
  std::string bytes;
  if (!decode_exactly(lines.back(), key_bytes, bytes)) {
    error = "a minisign public key is 56 characters of base64";
    return false;
  }
  if (bytes.compare(0, 2, "Ed") != 0) {
    error = "not an Ed25519 minisign key";
    return false;
  }
  std::memcpy(out.id.data(), bytes.data() + 2, out.id.size());
  std::memcpy(out.key.data(), bytes.data() + 10, out.key.size());
  return true;
}

bool parse_minisign_signature(std::string_view text, minisign_signature& out, std::string& error) {
  std::vector<std::string_view> lines;
  if (text.size() > max_minisig_bytes || !split_lines(text, lines, 6) || lines.size() != 4) {
    error = "a signature file has four lines";
    return false;
  }
  if (lines[0].substr(0, untrusted_prefix.size()) != untrusted_prefix) {
    error = "a signature file starts with \"untrusted comment:\"";
    return false;
  }
  if (lines[2].substr(0, trusted_prefix.size()) != trusted_prefix) {
    error = "the third line of a signature file is its \"trusted comment: \"";
    return false;
  }
  std::string bytes, global;
  if (!decode_exactly(lines[1], signature_bytes, bytes)) {
    error = "the signature line is not 74 bytes of base64";
    return false;
  }
  if (!decode_exactly(lines[3], 64, global)) {
    error = "the global signature line is not 64 bytes of base64";
    return false;
  }
  if (bytes.compare(0, 2, "ED") == 0) {
    out.prehashed = true;
  } else if (bytes.compare(0, 2, "Ed") == 0) {
    out.prehashed = false;
  } else {
    error = "not an Ed25519 minisign signature";
    return false;
  }
  std::memcpy(out.key_id.data(), bytes.data() + 2, out.key_id.size());
  std::memcpy(out.signature.data(), bytes.data() + 10, out.signature.size());
  std::memcpy(out.global_signature.data(), global.data(), global.size());
  // The comment is signed as it stands, to the end of its line.
  out.trusted_comment = std::string(lines[2].substr(trusted_prefix.size()));
  return true;
}

std::string key_id_text(const minisign_key_id& id) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = id.size(); i-- > 0;) {
    out.push_back(digits[id[i] >> 4]);
    out.push_back(digits[id[i] & 15]);
  }
  return out;
}

bool parse_key_id(std::string_view text, minisign_key_id& out) {
  text = trim_ascii(text, line_blanks);
  uint64_t value = 0;
  if (!parse_hex(text, value, 16)) return false;
  for (auto& byte : out) {
    byte = static_cast<uint8_t>(value & 0xFF);
    value >>= 8;
  }
  return true;
}

package_claims read_package_claims(std::string_view comment) {
  package_claims claims;
  bool seen_file = false, seen_digest = false;
  while (!comment.empty()) {
    const size_t end = comment.find('\t');
    const std::string_view field = comment.substr(0, end);
    // The first of each counts, as in an INF or a header.
    if (field.substr(0, 5) == "file:" && !seen_file) {
      claims.file_name = std::string(field.substr(5));
      seen_file = true;
    } else if (field.substr(0, 7) == "sha256:" && !seen_digest) {
      if (sha256_digest digest{}; parse_sha256_hex(field.substr(7), digest)) claims.sha256 = digest;
      seen_digest = true;
    }
    if (end == std::string_view::npos) break;
    comment.remove_prefix(end + 1);
  }
  return claims;
}

std::string package_trusted_comment(int64_t timestamp, std::string_view file_name, const sha256_digest& digest) {
  return "timestamp:" + std::to_string(timestamp) + "\tfile:" + std::string(file_name) + "\tsha256:" + to_hex(digest);
}

}  // namespace quillary
