// A forward reader of XML from the network that sees what TinyXML would
// build from the same text, without building it.
//
// A reply of several megabytes costs TinyXML a node and a string for every
// element and text, and as much again to free them. This reader walks the
// text once and reports the elements as they open and close and each text
// node TinyXML would make, decoded as TinyXML decodes it (byte by byte, as
// with TIXML_ENCODING_LEGACY, white space condensed). It reads only what the
// nesting guard accepts, whose reading is TinyXML's, and it reports an error
// wherever TinyXML's parse of the text would: a closing tag of another name,
// an element left open, an attribute named twice, a document of no node. As
// TinyXML refuses a document for a fault after its last useful element, a
// caller keeps nothing it read until the reader reports `done`.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/xml_guard.h"

namespace quillary {

class xml_reader_c {
 public:
  enum class event {
    element_start,  // name() is the element's; an empty element is followed by its element_end at once
    element_end,    // name() is the element's
    text,           // text() is one of TinyXML's text nodes in an element: a condensed text or a CDATA section
    done,           // the document ends where TinyXML stops reading it
    error,          // TinyXML would report an error, or the guard refused the text
  };

  // `text` up to its first NUL, as TinyXML reads a zero-terminated text;
  // checked by the nesting guard with `max_depth` before anything is read.
  explicit xml_reader_c(std::string_view text, size_t max_depth = max_xml_nesting);

  // The next event; done and error repeat once reached.
  event next();

  std::string_view name() const { return name_; }
  // Valid until the next call of next().
  std::string_view text() const { return text_buffer_; }
  // The elements open, the one just started or ended included: 1 for the
  // root element's start and end and for a text right inside it. (Texts
  // outside any element are not reported.)
  size_t depth() const { return reported_depth_; }
  // Why the guard refused the text, when it did (accepted otherwise).
  xml_guard_verdict guard_verdict() const { return verdict_; }

 private:
  char peek(size_t offset = 0) const;
  void skip_blanks();
  bool skip_past(std::string_view end, size_t from);
  event finish(event last);
  event start_tag();
  event end_tag();
  bool attributes_then_close(bool& empty);
  event markup();
  bool condensed_text();
  bool character_reference();
  event reported(event what);

  std::string_view document_;
  size_t at_ = 0;
  xml_guard_verdict verdict_ = xml_guard_verdict::accepted;
  event last_ = event::done;
  bool finished_ = false;
  bool read_a_node_ = false;     // TinyXML refuses a document of no node
  bool end_pending_ = false;     // the empty element just started ends next
  std::vector<std::string_view> open_;
  std::vector<std::string_view> attribute_names_;
  std::string_view name_;
  std::string text_buffer_;
  size_t reported_depth_ = 0;
};

}  // namespace quillary
