// The update reply at its largest: a generated reply just under 5 MiB (180
// devices with 60 offers each). Compares, in one run, the XML library's own
// parse of the document with the program's whole pipeline (the reply read
// into update items, the offers chosen, the package rows built): time
// (median of several rounds) and peak heap, and the heap the device records
// keep. The nesting guard's pass over the body, part of the pipeline, is
// also timed alone. Heap is counted by replacing operator new/delete, which
// the XML library uses too.
#include <tinyxml.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "base/xml_guard.h"
#include "devices/device_inventory.h"
#include "devices/raw_scan.h"
#include "service/update_package_list.h"
#include "service/update_matching.h"
#include "service/scan_result.h"
#include "service/update_reply.h"

// --- heap counting ----------------------------------------------------------

namespace {
std::atomic<size_t> heap_now{0}, heap_peak{0};

void* counted_alloc(size_t size) {
  void* block = std::malloc(size + 16);
  if (!block) throw std::bad_alloc();
  *static_cast<size_t*>(block) = size;
  const size_t now = heap_now += size;
  size_t peak = heap_peak.load();
  while (now > peak && !heap_peak.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(block) + 16;
}

void counted_free(void* pointer) {
  if (!pointer) return;
  void* block = static_cast<char*>(pointer) - 16;
  heap_now -= *static_cast<size_t*>(block);
  std::free(block);
}
}  // namespace

void* operator new(size_t size) { return counted_alloc(size); }
void* operator new[](size_t size) { return counted_alloc(size); }
void operator delete(void* p) noexcept { counted_free(p); }
void operator delete[](void* p) noexcept { counted_free(p); }
void operator delete(void* p, size_t) noexcept { counted_free(p); }
void operator delete[](void* p, size_t) noexcept { counted_free(p); }

namespace {

constexpr int device_count = 180;
constexpr int items_per_device = 60;

std::string device_id(int n, const char* amp = "&") {
  char id[96];
  std::snprintf(id, sizeof id, "PCI\\VEN_%04X%sDEV_%04X%sSUBSYS_%08X%sREV_%02X", 0x1000 + n, amp,
                0x2000 + n * 7, amp, 0x10000000u + n * 31, amp, n % 256);
  return id;
}

std::string generated_reply() {
  std::string xml = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<driversm>\n<hardwares>\n";
  char item[4096];
  for (int d = 0; d < device_count; ++d) {
    const std::string id = device_id(d, "&amp;");
    xml += "<hardware>\n<id>" + id + "</id>\n";
    for (int i = 0; i < items_per_device; ++i) {
      std::snprintf(
          item, sizeof item,
          "<item><hardid>PCI\\VEN_%04X&amp;DEV_%04X</hardid><title>Device %d, package %d</title>"
          "<ver>%d.%d.%d.%d</ver><size>%d</size><guid>{4d36e972-e325-11ce-bfc1-08002be1%04x}</guid>"
          "<link>http://dl.example.com/v%d/d%d/p%d_%d.zip</link>"
          "<infpath>v%d_%d/Win7/x64/n%d.inf</infpath>"
          "<official_link>http://vendor%d.example.com/%d</official_link><cp>%d</cp>"
          "<manu>Vendor %d</manu><sign>%d</sign><feature>%x</feature><targetos>%d</targetos>"
          "<date>20%02d-%02d-%02d</date><desc>Build %d.</desc></item>\n",
          0x1000 + d, 0x2000 + d * 7, d, i, 1 + i % 9, i % 10, 100 + i, 1000 + d, 200000 + i * 1000, d * 64 + i, d, d, i, d, d, i,
          i, d, i, i % 40, d, i % 4, 0xF0 + i % 16, 50 + i % 13, 5 + i % 15, 1 + i % 12, 1 + i % 28, i);
      xml += item;
    }
    xml += "</hardware>\n";
  }
  xml += "</hardwares>\n</driversm>\n";
  return xml;
}

quillary::raw_scan devices_of_the_reply() {
  quillary::raw_scan scan;
  scan.classes = {{u"{4D36E972-E325-11CE-BFC1-08002BE10318}", u"Net", u"Network adapters", 0}};
  for (int d = 0; d < device_count; ++d) {
    const std::string id = device_id(d);
    quillary::raw_device device;
    device.instance_id = std::u16string(id.begin(), id.end()) + u"\\4&1";
    device.texts[quillary::device_property::device_desc] = u"Adapter";
    device.texts[quillary::device_property::class_name] = u"Net";
    device.texts[quillary::device_property::class_guid] = u"{4D36E972-E325-11CE-BFC1-08002BE10318}";
    device.lists[quillary::device_property::hardware_id] = {std::u16string(id.begin(), id.end())};
    device.lists[quillary::device_property::compatible_ids] = {u"PCI\\CC_020000"};
    device.driver = quillary::driver_values{{u"DriverVersion", u"1.0.0.0"}, {u"InfPath", u"oem1.inf"},
                                            {u"DriverDate", u"1-1-2010"}, {u"DriverDesc", u"x"},
                                            {u"MatchingDeviceId", u"pci\\cc_020000"}};
    device.rank = 0x00FF2000;
    scan.devices.push_back(device);
  }
  return scan;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double mib(size_t bytes) { return bytes / 1048576.0; }

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
  const std::string reply = generated_reply();
  const quillary::raw_scan scan = devices_of_the_reply();
  std::printf("reply: %.2f MiB, %d devices x %d items\n", mib(reply.size()), device_count, items_per_device);

  std::vector<double> library_ms, pipeline_ms, guard_ms;
  size_t library_peak = 0, pipeline_peak = 0, records_kept = 0;
  for (int round = 0; round < rounds; ++round) {
    {  // The library alone.
      const size_t base = heap_now;
      heap_peak = base;
      const auto start = std::chrono::steady_clock::now();
      auto* doc = new TiXmlDocument;
      doc->Parse(reply.c_str());
      library_ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
      library_peak = heap_peak - base;
      if (!doc->RootElement()) return std::puts("the library could not parse the reply"), 1;
      delete doc;
    }
    {  // The guard alone.
      const auto start = std::chrono::steady_clock::now();
      const auto guard = quillary::check_xml_nesting(reply);
      guard_ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
      if (guard.verdict != quillary::xml_guard_verdict::accepted) return std::puts("the guard refused the reply"), 1;
    }
    {  // The pipeline, with the inventory made beforehand.
      quillary::device_inventory_c inventory(quillary::make_fixture_source(scan));
      quillary::scan_progress progress;
      const auto result = quillary::scan_into_result(inventory, progress);
      if (!result) return std::puts("the device scan failed"), 1;
      auto& devices = result->devices_to_fill();
      const size_t base = heap_now;
      heap_peak = base;
      const auto start = std::chrono::steady_clock::now();
      if (!quillary::parse_update_reply(reply.c_str(), devices)) return std::puts("the reply was refused"), 1;
      for (auto& device : devices) quillary::choose_items(device, 61, {});
      const size_t count = devices.size();
      const quillary::offered_device* first = count ? &devices.front() : nullptr;
      quillary::update_package_list_c packages;
      packages.build(devices, quillary::offer_choice::best);
      pipeline_ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
      pipeline_peak = heap_peak - base;
      records_kept = heap_now - base;
      if (packages.rows().size() != static_cast<size_t>(device_count)) {
        return std::printf("unexpected rows: %zu of %zu devices, %zu items\n", packages.rows().size(), count,
                           count ? first->items.size() : 0), 1;
      }
    }
  }
  const double t_lib = median(library_ms), t_ours = median(pipeline_ms);
  std::printf("library parse:     %8.1f ms   peak heap %7.1f MiB\n", t_lib, mib(library_peak));
  std::printf("program pipeline:  %8.1f ms   peak heap %7.1f MiB\n", t_ours, mib(pipeline_peak));
  std::printf("  of which guard:  %8.1f ms\n", median(guard_ms));
  std::printf("records kept: %.1f MiB (target: under 16)\n", mib(records_kept));
  std::printf("time ratio %.2f (target: at most 1.20), peak heap ratio %.2f (target: at most 1.10)\n",
              t_ours / t_lib, static_cast<double>(pipeline_peak) / library_peak);
  return 0;
}
