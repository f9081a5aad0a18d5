#include "service/update_request.h"

#include <tinyxml.h>
#include <zlib.h>

#include "app/system_info.h"
#include "base/wire_vocabulary.h"
#include "base/xml_text.h"
#include "platform/text.h"
#include "base/xml_text.h"
#include "service/scan_result.h"

namespace quillary {
namespace {

std::string joined(const std::vector<std::u16string>& ids) {
  std::string out;
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i) out += '\n';
    out += to_ansi(ids[i]);
  }
  return out;
}

// The printer writes the text between <![CDATA[ and ]]> as it is, so an ID
// holding "]]>" is split between two sections; the service joins them.
void add_cdata(TiXmlElement& parent, const char* name, const std::string& text) {
  auto* element = new TiXmlElement(name);
  auto* content = new TiXmlText(split_cdata_terminators(text));
  content->SetCDATA(true);
  element->LinkEndChild(content);
  parent.LinkEndChild(element);
}

// A LANGID as [Strings.LLLL] section names spell it: "0411", "0C0A".
std::string four_hex_digits(uint16_t value) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string out(4, '0');
  for (int i = 3; i >= 0; --i, value >>= 4) out[static_cast<size_t>(i)] = digits[value & 0xF];
  return out;
}

}  // namespace

update_request_info request_for_system(const system_snapshot& system, bool summary_ready, uint16_t ui_language) {
  update_request_info info;
  info.os_code_name = os_code_name_of(system);
  info.os_version_code = os_version_code_of(system);
  info.os_build = system.version.build;
  info.oem_code_page = system.oem_code_page;
  info.ui_language = ui_language;
  if (summary_ready) info.model = system.summary.model;
  return info;
}

std::string build_update_request(const std::vector<offered_device>& devices,
                                 const update_request_info& info) {
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlDeclaration("1.0", "UTF-8", ""));
  auto* root = new TiXmlElement(wire::root_element);
  doc.LinkEndChild(root);

  auto* action = new TiXmlElement(wire::action_element);
  action->LinkEndChild(new TiXmlText(wire::update_action));
  root->LinkEndChild(action);

  auto* client = new TiXmlElement(wire::client_element);
  client->SetAttribute(wire::version_attribute, "");
  client->SetAttribute(wire::os_attribute, info.os_code_name);
  client->SetAttribute(wire::code_page_attribute, std::to_string(info.oem_code_page));
  client->SetAttribute(wire::model_attribute, to_ansi(info.model));
  if (info.os_build != 0) client->SetAttribute(wire::build_attribute, std::to_string(info.os_build));
  if (info.ui_language != 0) client->SetAttribute(wire::ui_language_attribute, four_hex_digits(info.ui_language));
  root->LinkEndChild(client);

  auto* hardwares = new TiXmlElement(wire::devices_element);
  root->LinkEndChild(hardwares);
  for (const auto& device : devices) {
    auto* hardware = new TiXmlElement(wire::device_element);
    add_cdata(*hardware, wire::device_id_element, to_ansi(device.device_id));
    add_cdata(*hardware, wire::matching_id_element, to_ansi(device.matching_device_id));
    // A list whose first entry is empty counts as no list.
    if (!device.hardware_ids.empty() && !device.hardware_ids.front().empty()) {
      add_cdata(*hardware, wire::hardware_ids_element, joined(device.hardware_ids));
    }
    if (!device.compatible_ids.empty() && !device.compatible_ids.front().empty()) {
      add_cdata(*hardware, wire::compatible_ids_element, joined(device.compatible_ids));
    }
    hardwares->LinkEndChild(hardware);
  }

  TiXmlPrinter printer;
  printer.SetIndent("\t");
  printer.SetLineBreak("\n");
  doc.Accept(&printer);
  return printer.Str();
}

int compress_request(const std::string& text, std::string& out) {
  z_stream stream{};
  if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK) return -1;
  const uLong step = deflateBound(&stream, static_cast<uLong>(text.size()));
  out.assign(step, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int result;
  while ((result = deflate(&stream, Z_FINISH)) == Z_OK || (result == Z_BUF_ERROR && stream.avail_out == 0)) {
    const size_t used = out.size() - stream.avail_out;
    out.resize(out.size() + step);
    stream.next_out = reinterpret_cast<Bytef*>(out.data() + used);
    stream.avail_out = static_cast<uInt>(out.size() - used);
  }
  const bool done = result == Z_STREAM_END && stream.avail_in == 0;
  out.resize(out.size() - stream.avail_out);
  deflateEnd(&stream);
  return done ? 0 : -1;
}

}  // namespace quillary
