// The publishers' signature files: which ones the service takes, how the
// index file keeps them, and the reply's `minisig` element.
#include <gtest/gtest.h>

#include <algorithm>
#include <tinyxml.h>

#include <filesystem>
#include <fstream>

#include "base/minisign.h"
#include "devices/device_inventory.h"
#include "service/scan_result.h"
#include "devices/raw_scan.h"
#include "server/catalogue.h"
#include "server/catalogue_builder.h"
#include "server/package_index.h"
#include "server/package_signature.h"
#include "server/update_query.h"
#include "server_test_support.h"
#include "service/update_reply.h"
#include "service/update_request.h"
#include "test_support.h"

namespace quillary::server {
namespace {

namespace fs = std::filesystem;

// A real signature file, written by minisign 0.11 with the sample key for a
// file "a.zip" holding "one\n", and `standard base64` of its bytes (coreutils
// base64 -w0), as the reply must carry it.
const std::string sample_signature =
    "untrusted comment: signature from minisign secret key\n"
    "RUQ47DlEOlAPC8gw6K1tupZ9eLsP+933/cnZ81XwoHdRRHytK8i0uuTLUpUZm5lk2urkmz4Kkhg284+xC042if7w6gwMiEU2ZwQ=\n"
    "trusted comment: timestamp:1700000000\tfile:a.zip\t"
    "sha256:2c8b08da5ce60398e1f19af0e5dccc744df274b826abe585eaba68c525434806\n"
    "AETalPe39mDmyO6Pqpmx2LheNGliHBFVUVlVx9cwhTuouYP0nVi4LY21VTkFiBj9NPj4WxyrWEF9vFcoCsddDA==\n";
const std::string sample_signature_base64 =
    "dW50cnVzdGVkIGNvbW1lbnQ6IHNpZ25hdHVyZSBmcm9tIG1pbmlzaWduIHNlY3JldCBrZXkKUlVRNDdEbEVPbEFQQzhndzZLMXR1cFo5ZUxz"
    "UCs5MzMvY25aODFYd29IZFJSSHl0SzhpMHV1VExVcFVabTVsazJ1cmttejRLa2hnMjg0K3hDMDQyaWY3dzZnd01pRVUyWndRPQp0cnVzdGVk"
    "IGNvbW1lbnQ6IHRpbWVzdGFtcDoxNzAwMDAwMDAwCWZpbGU6YS56aXAJc2hhMjU2OjJjOGIwOGRhNWNlNjAzOThlMWYxOWFmMGU1ZGNjYzc0"
    "NGRmMjc0YjgyNmFiZTU4NWVhYmE2OGM1MjU0MzQ4MDYKQUVUYWxQZTM5bURteU82UHFwbXgyTGhlTkdsaUhCRlZVVmxWeDljd2hUdW91WVAw"
    "blZpNExZMjFWVGtGaUJqOU5QajRXeHlyV0VGOXZGY29Dc2RkREE9PQo=";

// The same signature with one line replaced.
std::string with_line(size_t number, const std::string& text) {
  std::string out;
  size_t line = 0;
  for (size_t at = 0; at < sample_signature.size(); ++line) {
    const size_t end = sample_signature.find('\n', at);
    out += (line == number ? text : sample_signature.substr(at, end - at)) + "\n";
    at = end + 1;
  }
  return out;
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(Base64, StandardAlphabetWithPaddingBothWays) {
  const std::pair<std::string, std::string> vectors[] = {{"", ""},         {"f", "Zg=="},     {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},  {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"}, {"\xFB\xFF", "+/8="}};
  for (const auto& [bytes, text] : vectors) {
    EXPECT_EQ(encode_base64(bytes), text);
    std::string decoded;
    EXPECT_TRUE(decode_base64(text, decoded)) << text;
    EXPECT_EQ(decoded, bytes);
  }
  std::string every_byte;
  for (int b = 0; b < 256; ++b) every_byte.push_back(static_cast<char>(b));
  std::string decoded;
  ASSERT_TRUE(decode_base64(encode_base64(every_byte), decoded));
  EXPECT_EQ(decoded, every_byte);
  EXPECT_EQ(encode_base64(sample_signature), sample_signature_base64);

  // Texts that are not one byte string's only encoding.
  for (const char* text : {"Zg=", "Zg", "Zm9v\n", "Zm 9", "Zg==Zg==", "=Zm9", "Zm=v", "Zh==", "Zm9=", "Zm-_"}) {
    EXPECT_FALSE(decode_base64(text, decoded)) << text;
  }
}

TEST(SignatureText, TheShapeOfAMinisignFileIsTaken) {
  EXPECT_TRUE(is_plausible_signature(sample_signature));
  EXPECT_TRUE(is_plausible_signature(sample_signature.substr(0, sample_signature.size() - 1)))
      << "the last line end may be missing";
  std::string crlf;
  for (const char c : sample_signature) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_TRUE(is_plausible_signature(crlf));
  EXPECT_TRUE(is_plausible_signature(with_line(0, "untrusted comment: ")));
  EXPECT_TRUE(is_plausible_signature(with_line(2, "trusted comment: anything at all")));
}

TEST(SignatureText, AnythingElseIsNot) {
  const std::string lines[] = {"untrusted comment: signature from minisign secret key",
                               "RUQ47DlEOlAPC8gw6K1tupZ9eLsP+933/cnZ81XwoHdRRHytK8i0uuTLUpUZm5lk2urkmz4Kkhg284+xC042if7w6gwMiEU2ZwQ=",
                               "trusted comment: t",
                               "AETalPe39mDmyO6Pqpmx2LheNGliHBFVUVlVx9cwhTuouYP0nVi4LY21VTkFiBj9NPj4WxyrWEF9vFcoCsddDA=="};
  const std::string cases[] = {
      "",
      "\n\n\n\n",
      sample_signature + "\n",                           // a fifth (empty) line
      sample_signature + "extra\n",                      // a fifth line
      lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n",  // three lines
      with_line(0, "Untrusted comment: x"),
      with_line(0, "untrusted comment:x"),
      with_line(2, "trusted comment:x"),
      with_line(2, lines[0]),                            // both comments untrusted
      with_line(1, lines[1].substr(0, 96)),              // signature cut short
      with_line(1, lines[1] + "AAAA"),                   // too long
      with_line(1, lines[3]),                            // 64 bytes where 74 belong
      with_line(3, lines[3].substr(0, 84)),              // comment signature cut short
      with_line(3, "not base64 at all!!"),
      with_line(1, " " + lines[1]),
      "-----BEGIN PGP SIGNATURE-----\n" + lines[1] + "\n" + lines[2] + "\n" + lines[3] + "\n",
  };
  for (const auto& text : cases) EXPECT_FALSE(is_plausible_signature(text)) << text;
}

// Signature files beside the packages of a catalogue folder: the good one
// is kept byte for byte, a package without one is unsigned without a word,
// each bad one gives one warning and the package is offered unsigned.
TEST(SignatureFiles, ReadBesideThePackagesOrReportedAndIgnored) {
  quillary::testing::temp_folder_c folder;
  const fs::path dir = folder.path();
  const std::string inf = testing::small_inf("%Maker% = M, NTamd64", "[M.NTamd64]\n%Desc% = I, PCI\\VEN_1\n");
  for (const char* name : {"a.zip", "b.zip", "c.zip", "d.zip", "e.zip", "f.ZIP"}) {
    ASSERT_TRUE(testing::write_zip((dir / name).string(), {{"x.inf", inf}}));
  }
  write_file(dir / "a.zip.minisig", sample_signature);
  write_file(dir / "c.zip.minisig", sample_signature + std::string(4096, ' '));
  write_file(dir / "d.zip.minisig", "-----BEGIN PGP SIGNATURE-----\n");
  fs::create_directory(dir / "e.zip.minisig");
  write_file(dir / "f.ZIP.minisig", with_line(2, "trusted comment: f"));
  write_file(dir / "orphan.zip.minisig", sample_signature);  // no package: nothing to carry it

  catalogue_builder_c builder;
  std::vector<std::string> warnings;
  std::string reason;
  ASSERT_TRUE(builder.index_folder(dir.string(), [&](const std::string& line) { warnings.push_back(line); },
                                   reason));
  const auto built = builder.build(dir.string());
  const catalogue_c& catalogue = *built;
  ASSERT_EQ(catalogue.package_count(), 6u);
  EXPECT_EQ(catalogue.find_package("a.zip")->minisig, sample_signature);
  EXPECT_EQ(catalogue.find_package("b.zip")->minisig, "");
  EXPECT_EQ(catalogue.find_package("c.zip")->minisig, "");
  EXPECT_EQ(catalogue.find_package("d.zip")->minisig, "");
  EXPECT_EQ(catalogue.find_package("e.zip")->minisig, "");
  EXPECT_EQ(catalogue.find_package("f.ZIP")->minisig, with_line(2, "trusted comment: f"));
  EXPECT_EQ(warnings,
            (std::vector<std::string>{
                "c.zip.minisig: larger than 4096 bytes, not a signature; the package is offered without one",
                "d.zip.minisig: not a minisign signature file; the package is offered without a signature",
                "e.zip.minisig: not a plain file; the package is offered without its signature"}));

  // A signature file exactly at the limit is still read (and then judged).
  std::string signature;
  write_file(dir / "b.zip.minisig", std::string(max_signature_bytes, 'x'));
  warnings.clear();
  read_package_signature(dir.string(), "b.zip", signature, [&](const std::string& line) { warnings.push_back(line); });
  EXPECT_EQ(signature, "");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("not a minisign signature file"), std::string::npos) << warnings[0];
}

// Reading the folder again takes the signature files as they are now, as it
// does the packages, also where the package itself stayed the same.
TEST(SignatureFiles, AChangedSignatureIsTakenWhenTheFolderIsReadAgain) {
  quillary::testing::temp_folder_c folder;
  const fs::path dir = folder.path();
  const std::string inf = testing::small_inf("%Maker% = M, NTamd64", "[M.NTamd64]\n%Desc% = I, PCI\\VEN_1\n");
  ASSERT_TRUE(testing::write_zip((dir / "a.zip").string(), {{"x.inf", inf}}));
  const auto ignore = [](const std::string&) {};
  std::vector<package_file> first;
  std::string reason;
  ASSERT_TRUE(list_package_files(dir.string(), ignore, first, reason));
  hash_package_files(dir.string(), first, {}, ignore);
  read_package_signatures(dir.string(), first, ignore);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].minisig, "");

  // Signed later; then signed again. The records of the earlier reading
  // vouch for the digest (same size and time), never for the signature.
  for (const std::string& now : {sample_signature, with_line(2, "trusted comment: again")}) {
    write_file(dir / "a.zip.minisig", now);
    std::vector<package_file> again;
    ASSERT_TRUE(list_package_files(dir.string(), ignore, again, reason));
    hash_package_files(dir.string(), again, first, ignore);
    read_package_signatures(dir.string(), again, ignore);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].sha256, first[0].sha256);
    EXPECT_EQ(again[0].minisig, now);
    catalogue_builder_c catalogue;
    ASSERT_TRUE(catalogue.index_folder(dir.string(), ignore, reason));
    EXPECT_EQ(catalogue.build()->package(0).minisig, now);
    first = again;
  }
  fs::remove(dir / "a.zip.minisig");
  catalogue_builder_c unsigned_again;
  ASSERT_TRUE(unsigned_again.index_folder(dir.string(), ignore, reason));
  EXPECT_EQ(unsigned_again.build()->package(0).minisig, "") << "a removed signature is gone";
}

TEST(PackageIndex, SignaturesMakeTheRoundTripAndOldIndexesAreRefused) {
  quillary::testing::temp_folder_c folder;
  const std::string index = (folder.path() / "packages.index").string();
  const std::string digest(64, 'a');
  const std::vector<package_file> files = {
      {"a signed package.zip", 1234, 1700000000123456789, digest, sample_signature},
      {"unsigned.zip", 5, -3, std::string(64, 'b'), ""},
      {"crlf.zip", 7, 8, std::string(64, 'c'), with_line(2, "trusted comment: x\r")},
  };
  std::string reason;
  ASSERT_TRUE(write_package_index(index, files, reason)) << reason;
  std::ifstream in(index, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text.substr(0, text.find('\n')), "quillary-package-index 2");
  EXPECT_NE(text.find("\n" + digest + " 1234 1700000000123456789 " + sample_signature_base64 +
                      " a signed package.zip\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(" 5 -3 - unsigned.zip\n"), std::string::npos) << text;

  std::vector<package_file> read;
  ASSERT_TRUE(read_package_index(index, read, reason)) << reason;
  ASSERT_EQ(read.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(read[i].name, files[i].name);
    EXPECT_EQ(read[i].size, files[i].size);
    EXPECT_EQ(read[i].modified, files[i].modified);
    EXPECT_EQ(read[i].sha256, files[i].sha256);
    EXPECT_EQ(read[i].minisig, files[i].minisig) << files[i].name;
  }

  // The first format had no signatures: refused, so that a service does not
  // offer signed packages without theirs.
  write_file(index, "quillary-package-index 1\n" + digest + " 1234 5 a.zip\n");
  EXPECT_FALSE(read_package_index(index, read, reason));
  EXPECT_NE(reason.find("older format"), std::string::npos) << reason;
  EXPECT_NE(reason.find("--write-index"), std::string::npos) << reason;

  // A signature field that is not the base64 of a signature file.
  for (const std::string& field : {std::string("Zm9v"), std::string("!!"), std::string(""),
                                   encode_base64(sample_signature + "x\n")}) {
    write_file(index, "quillary-package-index 2\n" + digest + " 1234 5 " + field + " a.zip\n");
    EXPECT_FALSE(read_package_index(index, read, reason)) << field;
    EXPECT_TRUE(read.empty());
  }
  write_file(index, "quillary-package-index 2\n" + digest + " 1234 5 a.zip\n");  // the old line shape
  EXPECT_FALSE(read_package_index(index, read, reason));
}

// With --index, the catalogue takes the signatures the index lists, and
// keeps them once per package whatever number of offers it makes.
TEST(PackageIndex, TheCatalogueTakesTheListedSignatures) {
  quillary::testing::temp_folder_c folder;
  const fs::path dir = folder.path();
  const std::string inf = testing::small_inf("%Maker% = M, NTamd64", "[M.NTamd64]\n%Desc% = I, PCI\\VEN_1\n");
  ASSERT_TRUE(testing::write_zip((dir / "a.zip").string(), {{"x.inf", inf}}));
  ASSERT_TRUE(testing::write_zip((dir / "b.zip").string(), {{"x.inf", inf}}));
  write_file(dir / "a.zip.minisig", sample_signature);
  const auto ignore = [](const std::string&) {};
  std::vector<package_file> files;
  std::string reason;
  ASSERT_TRUE(list_package_files(dir.string(), ignore, files, reason));
  hash_package_files(dir.string(), files, {}, ignore);
  read_package_signatures(dir.string(), files, ignore);
  const std::string index = (dir / "packages.index").string();
  ASSERT_TRUE(write_package_index(index, files, reason));

  std::vector<package_file> listed;
  ASSERT_TRUE(read_package_index(index, listed, reason)) << reason;
  catalogue_builder_c builder;
  builder.add_package_files(dir.string(), listed, ignore);
  const auto built = builder.build(dir.string());
  const catalogue_c& catalogue = *built;
  ASSERT_EQ(catalogue.package_count(), 2u);
  EXPECT_EQ(catalogue.find_package("a.zip")->minisig, sample_signature);
  EXPECT_EQ(catalogue.find_package("b.zip")->minisig, "");
}

// --- The reply ---------------------------------------------------------------

class SignedReply : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string inf = testing::small_inf(
        "%Maker% = M, NTamd64", "[M.NTamd64]\n%Desc% = Install, PCI\\VEN_1E0B&DEV_4A21\n", "10/9/2012,7.52");
    const std::string older = testing::small_inf(
        "%Maker% = M, NTamd64", "[M.NTamd64]\n%Desc% = Install, PCI\\VEN_1E0B&DEV_4A21\n", "4/22/2010,7.4");
    // Two INF files in the signed package: two offers, one signature.
    catalogue_builder_c builder;
    ASSERT_TRUE(testing::add_memory_package(builder, "signed.zip",
                                            {{"Win7/a.inf", inf}, {"Vista/a.inf", inf}, {"Win7/pkg.cat", ""},
                                             {"Vista/pkg.cat", ""}},
                                            1000, nullptr, digest, sample_signature));
    ASSERT_TRUE(testing::add_memory_package(builder, "unsigned.zip", {{"a.inf", older}, {"pkg.cat", ""}}, 900,
                                            nullptr, digest));
    built = builder.build();
  }

  std::string reply_body(const std::string& document) {
    const std::string body = testing::multipart_body("xyz", {{"driversm", testing::zlib_compress(document)}});
    query_summary summary;
    const http_answer answer = answer_update_query("multipart/form-data; boundary=xyz", body, *built,
                                                   "http://127.0.0.1:8080/packages/", summary);
    EXPECT_EQ(answer.status, 200);
    return answer.body;
  }

  const std::string digest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  std::shared_ptr<const catalogue_c> built;
};

TEST_F(SignedReply, EveryItemOfASignedPackageCarriesItsSignatureFileAfterTheDigest) {
  const std::string body = reply_body(testing::request_document(
      "WIN764", "437", {{"PCI\\VEN_1E0B&DEV_4A21\\1", {"PCI\\VEN_1E0B&DEV_4A21"}, {}}}));
  TiXmlDocument doc;
  doc.Parse(body.c_str());
  ASSERT_FALSE(doc.Error()) << doc.ErrorDesc();
  const TiXmlElement* hardware = doc.RootElement()->FirstChildElement("hardwares")->FirstChildElement("hardware");
  ASSERT_NE(hardware, nullptr);
  size_t signed_items = 0, unsigned_items = 0;
  for (const TiXmlElement* item = hardware->FirstChildElement("item"); item; item = item->NextSiblingElement("item")) {
    const std::string link = item->FirstChildElement("link")->GetText();
    const TiXmlElement* minisig = item->FirstChildElement("minisig");
    if (link.ends_with("/unsigned.zip")) {
      EXPECT_EQ(minisig, nullptr) << "an unsigned package's items are as before";
      EXPECT_EQ(item->LastChild()->ToElement()->ValueStr(), "sha256");
      ++unsigned_items;
      continue;
    }
    ASSERT_NE(minisig, nullptr);
    ASSERT_NE(minisig->GetText(), nullptr);
    EXPECT_EQ(std::string(minisig->GetText()), sample_signature_base64);
    std::string decoded;
    ASSERT_TRUE(decode_base64(minisig->GetText(), decoded));
    EXPECT_EQ(decoded, sample_signature) << "the file's exact bytes, tabs and line ends included";
    EXPECT_EQ(minisig->PreviousSibling()->ToElement()->ValueStr(), "sha256");
    EXPECT_EQ(minisig->NextSibling(), nullptr);
    EXPECT_EQ(minisig->NextSiblingElement("minisig"), nullptr);
    ++signed_items;
  }
  EXPECT_EQ(signed_items, 2u);
  EXPECT_EQ(unsigned_items, 1u);
  // One line, no breaks inside the element.
  EXPECT_NE(body.find("\t\t\t\t<minisig>" + sample_signature_base64 + "</minisig>\n\t\t\t</item>"), std::string::npos);
}

// The client's own reply parser still takes every offer, with its digest,
// from a reply that carries signatures.
TEST_F(SignedReply, TheClientReadsTheOffersAsBefore) {
  quillary::raw_scan scan;
  scan.classes = {{u"{4D36E972-E325-11CE-BFC1-08002BE10318}", u"Net", u"Network adapters", 0}};
  quillary::raw_device d;
  d.instance_id = u"PCI\\VEN_1E0B&DEV_4A21\\1";
  d.texts[quillary::device_property::device_desc] = u"x";
  d.texts[quillary::device_property::class_name] = u"Net";
  d.texts[quillary::device_property::class_guid] = u"{4D36E972-E325-11CE-BFC1-08002BE10318}";
  d.lists[quillary::device_property::hardware_id] = {u"PCI\\VEN_1E0B&DEV_4A21"};
  d.lists[quillary::device_property::compatible_ids] = {u"PCI\\CC_0200"};
  scan.devices.push_back(d);
  quillary::device_inventory_c inventory(quillary::make_fixture_source(scan));
  quillary::scan_progress progress;
  const auto result = quillary::scan_into_result(inventory, progress);
  ASSERT_NE(result, nullptr);
  auto& devices = result->devices_to_fill();
  quillary::update_request_info info;
  info.os_code_name = "WIN764";
  info.oem_code_page = 437;
  const std::string body = reply_body(quillary::build_update_request(devices, info));
  ASSERT_NE(body.find("<minisig>"), std::string::npos) << body;
  ASSERT_TRUE(quillary::parse_update_reply(body.c_str(), devices));
  ASSERT_EQ(devices.size(), 1u);
  const auto& items = devices[0].items;
  ASSERT_EQ(items.size(), 3u);
  for (const auto& item : items) {
    ASSERT_NE(item.sha256(), nullptr);
    EXPECT_EQ(quillary::to_hex(*item.sha256()), digest);
  }
}

}  // namespace
}  // namespace quillary::server
