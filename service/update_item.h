// One driver package the update service offers for one device.
//
// A reply can attach hundreds of items to hundreds of devices, so an item
// keeps its texts packed: the UTF-16 texts in one string, the two links
// (narrow, as the service sent them) in another, each field cut to its
// capacity and found by its end offset.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/ascii_text.h"
#include "base/sha256.h"
#include "platform/text.h"

namespace quillary {

class update_item {
 public:
  enum text_field : uint8_t { hardid, title, ver, guid, inf_name, manu, date, desc, text_field_count };
  enum link_field : uint8_t { link, official_link, link_field_count };

  // Capacities in characters (bytes for the links), terminator included.
  static constexpr uint16_t text_capacity[text_field_count] = {200, 257, 65, 39, 260, 129, 11, 1025};
  static constexpr uint16_t link_capacity[link_field_count] = {3073, 1025};

  std::u16string_view text(text_field field) const {
    const uint16_t begin = field == 0 ? 0 : text_ends_[field - 1];
    return std::u16string_view(texts_).substr(begin, text_ends_[field] - begin);
  }
  std::string_view link_text(link_field field) const {
    const uint16_t begin = field == 0 ? 0 : link_ends_[field - 1];
    return std::string_view(links_).substr(begin, link_ends_[field] - begin);
  }

  // Fields are set in their order, each once, cut to its capacity.
  void append_text(text_field field, std::u16string_view value) {
    texts_.append(value.substr(0, text_capacity[field] - 1));
    text_ends_[field] = static_cast<uint16_t>(texts_.size());
  }
  // The same from text in the thread's ANSI code page, converted in place.
  void append_ansi_text(text_field field, std::string_view value) {
    const size_t start = texts_.size();
    append_from_ansi(value, texts_);
    if (texts_.size() - start > text_capacity[field] - 1u) texts_.resize(start + text_capacity[field] - 1u);
    text_ends_[field] = static_cast<uint16_t>(texts_.size());
  }
  // Room for the texts about to be appended, so that no field reallocates.
  void reserve(size_t text_units, size_t link_bytes) {
    texts_.reserve(text_units);
    links_.reserve(link_bytes);
  }
  void append_link(link_field field, std::string_view value) {
    links_.append(value.substr(0, link_capacity[field] - 1));
    link_ends_[field] = static_cast<uint16_t>(links_.size());
  }
  size_t heap_bytes() const { return texts_.capacity() * 2 + links_.capacity(); }

  // The SHA-256 of the package file when the service names one (`sha256`);
  // null for services that do not.
  const sha256_digest* sha256() const { return has_sha256_ ? &sha256_ : nullptr; }
  void set_sha256(const sha256_digest& digest) {
    sha256_ = digest;
    has_sha256_ = true;
  }

  // The publisher's signature as the service carries it: the `.minisig`
  // file in base64 (blanks around it dropped); empty when there is none.
  // Text beyond any signature's length is cut, and the cut text fails to
  // read as one: a package is never taken for unsigned because its
  // signature was too long.
  const std::string& signature() const { return signature_; }
  void set_signature(std::string_view base64) {
    base64 = trim_blanks(base64);
    if (base64.empty()) return;
    signature_.assign(base64.substr(0, max_signature_text + 1));
  }
  static constexpr size_t max_signature_text = 8192;

  uint32_t size = 0;
  uint32_t cp = 0;
  uint32_t sign = 0;
  uint32_t feature = 0;
  uint32_t targetos = 0;

 private:
  std::u16string texts_;
  std::string links_;
  uint16_t text_ends_[text_field_count] = {};
  uint16_t link_ends_[link_field_count] = {};
  sha256_digest sha256_{};
  bool has_sha256_ = false;
  std::string signature_;
};

}  // namespace quillary
