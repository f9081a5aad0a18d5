// The service's catalogue read in place from an index file that is damaged:
// a valid image with bytes changed and its end cut, as a disk or a copy
// could leave it. Every record and text is followed as queries follow them;
// nothing may be read outside the bytes.
//
// Input: the first byte cuts the image (0: whole, else to that share of
// 255), then five bytes per change: a 32-bit offset into the image and the
// byte to put there.
#include <cstdint>
#include <cstring>
#include <string>

#include "server/catalogue.h"
#include "server/catalogue_builder.h"
#include "server/matcher.h"
#include "server/update_reply.h"

using namespace quillary::server;

namespace {

std::string inf(const std::string& manufacturers, const std::string& sections) {
  return "[Version]\nSignature=\"$Windows NT$\"\nClass=Net\nProvider=%P%\nDriverVer=10/9/2012,7.52\n"
         "[Manufacturer]\n" + manufacturers + "\n" + sections + "[Strings]\nP=\"Norvik\"\n"
         "[Strings.0411]\nP=\"\xE3\x83\x8E\xE3\x83\xAB\"\n";
}

const std::string& valid_image() {
  static const std::string image = [] {
    catalogue_builder_c builder;
    const auto add = [&](const std::string& name, const std::string& text) {
      archive_listing listing;
      listing.paths = {"a/a.inf", "a/a.cat"};
      listing.infs = {archive_file{"a/a.inf", text}};
      std::string reason;
      builder.add_package(package_file{name, 1000, 1, std::string(64, 'a'), "sig"}, listing,
                          [](const std::string&) {}, reason);
    };
    add("b.zip", inf("%P%=M,NTamd64,NTamd64.6.1", "[M.NTamd64]\nA=I,PCI\\VEN_1,PCI\\CC_02\n"
                                                  "[M.NTamd64.6.1]\nB=I,PCI\\VEN_1&DEV_2,PCI\\VEN_1\n"));
    add("a.zip", inf("%P%=M", "[M]\nC=I,USB\\CLASS_0E,PCI\\VEN_1\n"));
    return builder.finish().bytes();
  }();
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string image = valid_image();
  if (size > 0 && data[0] != 0) image.resize(image.size() * data[0] / 255);
  for (size_t i = 1; i + 5 <= size; i += 5) {
    uint32_t offset = 0;
    std::memcpy(&offset, data + i, 4);
    if (!image.empty()) image[offset % image.size()] = static_cast<char>(data[i + 4]);
  }
  std::string reason;
  const auto catalogue = catalogue_c::from_bytes(std::move(image), "/nonexistent", reason);
  if (!catalogue) return 0;
  // Every record by index, and past the ends.
  for (uint32_t i = 0; i <= catalogue->inf_count() + 1; ++i) {
    const inf_view inf = catalogue->inf(i);
    for (uint32_t m = 0; m < inf.manufacturer_count && m < 64; ++m) {
      const manufacturer_view manufacturer = catalogue->manufacturer(inf.first_manufacturer + m);
      for (uint32_t s = 0; s < manufacturer.section_count && s < 64; ++s) {
        const section_view section = catalogue->section(manufacturer.first_section + s);
        for (uint32_t k = 0; k < section.model_count && k < 64; ++k) {
          const model_view model = catalogue->model(section.first_model + k);
          catalogue->localized(model.localized_descriptions);
        }
      }
    }
    catalogue->localized(inf.localized_providers);
  }
  for (const char* name : {"a.zip", "b.zip", "c.zip"}) catalogue->find_package(name);
  catalogue->package_files();
  // Queries as the service answers them.
  device_ids device;
  device.ids = device.raw_ids = {"PCI\\VEN_1&DEV_2", "PCI\\VEN_1", "USB\\Class_0E", "PCI\\CC_02"};
  device.compatible_from = 2;
  for (const char* os : {"WIN764", "WIN7", "WINXP"}) {
    for (const offer& o : match_device(*catalogue, client_os_for(os), device)) {
      make_item_values(o, "http://h/packages/");
    }
  }
  return 0;
}
