// Helpers of the service's unit tests: INF texts, in-memory packages, zip
// files on disk and request documents.
#pragma once

#include <minizip/zip.h>
#include <zlib.h>

#include <string>
#include <utility>
#include <vector>

#include "server/catalogue_builder.h"

namespace quillary::server::testing {

// A minimal valid INF with one manufacturer line and the given models
// sections; `sections` holds "[Name]\n lines..." blocks.
inline std::string small_inf(const std::string& manufacturer_line, const std::string& sections,
                             const std::string& driver_ver = "06/21/2012,6.1.7600.16385",
                             const std::string& extra_version = "CatalogFile=pkg.cat\n") {
  return "[Version]\nSignature=\"$Windows NT$\"\nClass=Net\nClassGuid={4d36e972-e325-11ce-bfc1-08002be10318}\n"
         "Provider=%Maker%\nDriverVer=" + driver_ver + "\n" + extra_version +
         "[Manufacturer]\n" + manufacturer_line + "\n" + sections +
         "[Install.NT]\nCopyFiles=Files\n[Strings]\nMaker=\"Norvik Networks\"\nDesc=\"Norvik Adapter\"\n";
}

// Adds a package built in memory: every (path, text) pair is a file, the
// .inf ones are read as INF files. Returns false when the catalogue refused
// it.
inline bool add_memory_package(catalogue_builder_c& catalogue, const std::string& name,
                               const std::vector<std::pair<std::string, std::string>>& files, uint64_t size = 1000,
                               std::vector<std::string>* warnings = nullptr, const std::string& sha256 = {},
                               const std::string& minisig = {}) {
  archive_listing listing;
  for (const auto& [path, data] : files) {
    listing.paths.push_back(path);
    if (path.size() > 4 && (path.substr(path.size() - 4) == ".inf" || path.substr(path.size() - 4) == ".INF")) {
      listing.infs.push_back(archive_file{path, data});
    }
  }
  std::string reason;
  return catalogue.add_package(package_file{name, size, 0, sha256, minisig}, listing,
                               [warnings](const std::string& line) {
                                 if (warnings) warnings->push_back(line);
                               },
                               reason);
}

// Writes a zip archive with the given files; false when minizip fails.
inline bool write_zip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& files,
                      int method = Z_DEFLATED) {
  zipFile zip = zipOpen64(path.c_str(), 0);
  if (zip == nullptr) return false;
  bool ok = true;
  for (const auto& [name, data] : files) {
    zip_fileinfo info{};
    ok = ok && zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                                   Z_DEFAULT_COMPRESSION) == ZIP_OK;
    ok = ok && zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size())) == ZIP_OK;
    ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
  }
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

struct test_device {
  std::string id;
  std::vector<std::string> hardware_ids;
  std::vector<std::string> compatible_ids;
};

inline std::string join_lines(const std::vector<std::string>& ids) {
  std::string out;
  for (size_t i = 0; i < ids.size(); ++i) out += (i ? "\n" : "") + ids[i];
  return out;
}

// The request document as the client prints it.
inline std::string request_document(const std::string& os, const std::string& lang,
                                    const std::vector<test_device>& devices) {
  std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<driversm>\n\t<action>ACTION_UPDATE_DRIVER</action>\n"
                    "\t<client version=\"\" os=\"" + os + "\" lang=\"" + lang + "\" model=\"Demo PC\" />\n\t<hardwares>\n";
  for (const auto& d : devices) {
    doc += "\t\t<hardware>\n\t\t\t<id><![CDATA[" + d.id + "]]></id>\n\t\t\t<matchid><![CDATA[]]></matchid>\n";
    if (!d.hardware_ids.empty()) doc += "\t\t\t<hardids><![CDATA[" + join_lines(d.hardware_ids) + "]]></hardids>\n";
    if (!d.compatible_ids.empty()) doc += "\t\t\t<compids><![CDATA[" + join_lines(d.compatible_ids) + "]]></compids>\n";
    doc += "\t\t</hardware>\n";
  }
  return doc + "\t</hardwares>\n</driversm>\n";
}

inline std::string zlib_compress(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
           static_cast<uLong>(text.size()));
  out.resize(size);
  return out;
}

// A multipart body with one part per (name, content), as libcurl's form
// post writes it.
inline std::string multipart_body(const std::string& boundary,
                                  const std::vector<std::pair<std::string, std::string>>& parts) {
  std::string body;
  for (const auto& [name, content] : parts) {
    body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + content + "\r\n";
  }
  return body + "--" + boundary + "--\r\n";
}

}  // namespace quillary::server::testing
