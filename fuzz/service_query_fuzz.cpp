// The service's request path: any body must be refused with a short answer
// or give a reply that the client can read, matched against a small
// catalogue. The input is tried three ways: as the whole multipart body, as
// the zlib stream of the "driversm" part, and as the request document
// itself (compressed here, so that the XML reading and the matching are
// reached directly).
#include <tinyxml.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/minisign.h"
#include "base/sha256.h"
#include "base/wire_vocabulary.h"
#include "server/catalogue.h"
#include "server/catalogue_builder.h"
#include "server/update_query.h"

namespace {

using namespace quillary::server;
namespace wire = quillary::wire;
using quillary::parse_sha256_hex;
using quillary::sha256_digest;
using quillary::sha256_of;
using quillary::to_hex;

std::string inf(const std::string& manufacturer, const std::string& sections) {
  return "[Version]\nSignature=\"$Windows NT$\"\nClass=Net\nClassGuid={4d36e972-e325-11ce-bfc1-08002be10318}\n"
         "Provider=%Maker%\nDriverVer=10/09/2012,7.52.0.2012\nCatalogFile=a.cat\n[Manufacturer]\n" + manufacturer +
         "\n" + sections + "[Install.NTamd64]\nFeatureScore=FE\n[Strings]\nMaker=\"Norvik \xE9<&>\"\n";
}

// The signature file of the signed package (its shape; the service does
// not verify it).
const std::string signature =
    "untrusted comment: signature from minisign secret key\n"
    "RUQ47DlEOlAPC8gw6K1tupZ9eLsP+933/cnZ81XwoHdRRHytK8i0uuTLUpUZm5lk2urkmz4Kkhg284+xC042if7w6gwMiEU2ZwQ=\n"
    "trusted comment: timestamp:1700000000\tfile:norvik lan.zip\tsha256:0\n"
    "AETalPe39mDmyO6Pqpmx2LheNGliHBFVUVlVx9cwhTuouYP0nVi4LY21VTkFiBj9NPj4WxyrWEF9vFcoCsddDA==\n";

const catalogue_c& small_catalogue() {
  static const std::shared_ptr<const catalogue_c> catalogue = [] {
    catalogue_builder_c c;
    const auto add = [&c](const std::string& name, const std::string& path, const std::string& text,
                          const std::string& minisig) {
      archive_listing listing;
      listing.paths = {path, "a.cat"};
      listing.infs = {archive_file{path, text}};
      std::string reason;
      c.add_package(package_file{name, 6282, 0, to_hex(sha256_of(name)), minisig}, listing,
                    [](const std::string&) {}, reason);
    };
    add("norvik lan.zip", "Win7/x64/a.inf",
        inf("%Maker%=M,NTamd64,NTamd64.6.1,NTx86", "[M.NTamd64]\nA=Install,PCI\\VEN_1E0B&DEV_4A21\n"
                                                   "[M.NTamd64.6.1]\nB=Install,PCI\\VEN_1E0B&DEV_4A21&SUBSYS_1,PCI\\CC_0200\n"
                                                   "[M.NTx86]\nC=Install,USB\\Class_0E\n"),
        signature);
    add("generic.zip", "a.inf", inf("%Maker%=M", "[M]\nD=Install,PCI\\CC_0200,USB\\VID_2A1E&PID_0C11\n"), "");
    return std::shared_ptr<const catalogue_c>(c.build());
  }();
  return *catalogue;
}

std::string compress(std::string_view text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
                static_cast<uLong>(text.size()), Z_BEST_SPEED) != Z_OK) {
    return {};
  }
  out.resize(size);
  return out;
}

std::string form(std::string_view part) {
  return std::string("--fuzz\r\nContent-Disposition: form-data; name=\"") + wire::form_part + "\"\r\n\r\n" +
         std::string(part) + "\r\n--fuzz--\r\n";
}

// A 200 answer must be a document the client accepts as far as its
// structure goes; anything else must be a client error.
void check(const http_answer& answer) {
  if (answer.status != 200) {
    if (answer.status != 400 && answer.status != 413) std::abort();
    if (answer.body.empty() || answer.body.size() > 1000) std::abort();
    return;
  }
  if (answer.body.size() >= 5242880) std::abort();
  TiXmlDocument doc;
  doc.Parse(answer.body.c_str());
  if (doc.Error() || doc.RootElement() == nullptr) std::abort();
  const TiXmlElement* hardwares = doc.RootElement()->FirstChildElement(wire::devices_element);
  if (hardwares == nullptr) std::abort();
  for (const TiXmlElement* hw = hardwares->FirstChildElement(wire::device_element); hw; hw = hw->NextSiblingElement(wire::device_element)) {
    if (hw->FirstChildElement(wire::device_id_element) == nullptr) std::abort();
    int items = 0;
    for (const TiXmlElement* item = hw->FirstChildElement(wire::item_element); item; item = item->NextSiblingElement(wire::item_element)) {
      int children = 0;
      for (const TiXmlElement* c = item->FirstChildElement(); c; c = c->NextSiblingElement()) ++children;
      // The signed package's items carry its signature file as well.
      const TiXmlElement* minisig = item->FirstChildElement(wire::item_minisig);
      const int expected = minisig != nullptr ? 17 : 16;
      if (children != expected || ++items > 500) std::abort();
      std::string decoded;
      if (minisig != nullptr &&
          (minisig->GetText() == nullptr || !quillary::decode_base64(minisig->GetText(), decoded) || decoded != signature)) {
        std::abort();
      }
      // Every package of this catalogue has its digest, which the client reads.
      const TiXmlElement* digest = item->FirstChildElement(wire::item_sha256);
      sha256_digest read;
      if (digest == nullptr || digest->GetText() == nullptr || !parse_sha256_hex(digest->GetText(), read)) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const catalogue_c& catalogue = small_catalogue();
  const std::string base = "http://127.0.0.1:8080/packages/";
  query_summary summary;
  check(answer_update_query("multipart/form-data; boundary=fuzz", bytes, catalogue, base, summary));
  check(answer_update_query("multipart/form-data; boundary=fuzz", form(bytes), catalogue, base, summary));
  check(answer_update_query("multipart/form-data; boundary=fuzz", form(compress(bytes)), catalogue, base, summary));
  return 0;
}
