// The update reply: any bytes are parsed onto a small device list, then the
// offers are chosen and the package rows built, without crash, leak or
// out-of-bounds access. The nesting guard in front of the XML library must
// never count less nesting than the library then builds, and the program's
// forward reading of the reply must be TinyXML's.
#include <tinyxml.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/xml_guard.h"
#include "devices/device_inventory.h"
#include "service/scan_result.h"
#include "devices/raw_scan.h"
#include "service/update_package_list.h"
#include "service/update_matching.h"
#include "service/update_reply.h"
#include "tests/tinyxml_reference.h"
#include "tests/xml_depth.h"

namespace {

quillary::raw_scan two_devices() {
  quillary::raw_scan scan;
  scan.classes = {{u"{4D36E972-E325-11CE-BFC1-08002BE10318}", u"Net", u"Network adapters", 0}};
  for (const char16_t* id : {u"PCI\\A\\1", u"PCI\\B\\1"}) {
    quillary::raw_device d;
    d.instance_id = id;
    d.texts[quillary::device_property::device_desc] = u"x";
    d.texts[quillary::device_property::class_name] = u"Net";
    d.texts[quillary::device_property::class_guid] = u"{4D36E972-E325-11CE-BFC1-08002BE10318}";
    d.lists[quillary::device_property::hardware_id] = {u"h"};
    d.lists[quillary::device_property::compatible_ids] = {u"c"};
    d.driver = quillary::driver_values{{u"DriverVersion", u"1.0"}, {u"InfPath", u"oem1.inf"},
                                       {u"DriverDate", u"1-1-2010"}, {u"DriverDesc", u"x"},
                                       {u"MatchingDeviceId", u"h"}};
    d.rank = 0x00FF0000;
    scan.devices.push_back(d);
  }
  return scan;
}

// Whatever the guard accepts, at any limit, the library nests no deeper and
// allocates no more nodes than the guard counted.
void check_nesting_guard(const std::string& body) {
  const quillary::xml_guard_result guard = quillary::check_xml_nesting(body, 1000);
  if (guard.verdict == quillary::xml_guard_verdict::accepted) {
    TiXmlDocument document;
    document.Parse(body.c_str(), nullptr, TIXML_ENCODING_LEGACY);
    if (quillary::testing::element_depth(document) > guard.depth) std::abort();
    if (quillary::testing::node_count(document) > guard.nodes) std::abort();
  }
}

// The forward reader sees what TinyXML builds, refuses what it refuses, and
// the reply read from it is the one read from TinyXML's document.
void check_against_tinyxml(const std::string& body) {
  if (quillary::testing::reader_reading(body) != quillary::testing::tinyxml_reading(body.c_str())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const quillary::raw_scan scan = two_devices();
  quillary::device_inventory_c inventory(quillary::make_fixture_source(scan));
  quillary::scan_progress progress;
  const auto result = quillary::scan_into_result(inventory, progress);
  if (!result) return 0;
  auto& devices = result->devices_to_fill();
  // As in the transfer layer's reply buffer: zero bytes behind the reply.
  std::string body(reinterpret_cast<const char*>(data), size);
  body.append(16, '\0');
  check_nesting_guard(body);
  check_against_tinyxml(body);
  const auto reference = quillary::scan_into_result(inventory, progress);
  if (!reference) return 0;
  auto& reference_devices = reference->devices_to_fill();
  const quillary::outcome parsed = quillary::parse_update_reply(body.c_str(), devices);
  const quillary::outcome expected = quillary::testing::reference_parse_update_reply(body.c_str(), reference_devices);
  if (static_cast<bool>(parsed) != static_cast<bool>(expected) || parsed.code != expected.code) std::abort();
  if (!quillary::testing::same_items(devices, reference_devices)) std::abort();
  if (!parsed) return 0;
  for (auto& device : devices) quillary::choose_items(device, 61, {"http://installed"});
  // Both package lists, as a finished scan builds them.
  result->finish();
  return 0;
}
