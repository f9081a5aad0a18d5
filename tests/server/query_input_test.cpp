// What the update query arrives as: the multipart body, the zlib stream and
// the request document.
#include <gtest/gtest.h>

#include "server/multipart.h"
#include "service/update_request.h"
#include "server/update_request.h"
#include "server/zlib_stream.h"
#include "server_test_support.h"

namespace quillary::server {
namespace {

TEST(MultipartBoundary, FromTheContentType) {
  std::string boundary;
  ASSERT_TRUE(multipart_boundary("multipart/form-data; boundary=------------------------d74496d66958873e", boundary));
  EXPECT_EQ(boundary, "------------------------d74496d66958873e");
  ASSERT_TRUE(multipart_boundary("Multipart/Form-Data;charset=x; BOUNDARY=\"a b;c\\\"d\"", boundary));
  EXPECT_EQ(boundary, "a b;c\"d");
  EXPECT_FALSE(multipart_boundary("multipart/mixed; boundary=x", boundary));
  EXPECT_FALSE(multipart_boundary("multipart/form-data", boundary));
  EXPECT_FALSE(multipart_boundary("multipart/form-data; boundary=\"\"", boundary));
  EXPECT_FALSE(multipart_boundary("multipart/form-data; boundary=" + std::string(71, 'a'), boundary));
  EXPECT_FALSE(multipart_boundary("", boundary));
}

TEST(MultipartPart, FindsTheNamedPartAmongOthers) {
  const std::string binary("x\r\n--b\0\r\n--bound", 15);  // looks like a delimiter but is not one
  std::string body = "preamble\r\n--bound\r\nContent-Disposition: form-data; name=\"other\"\r\n\r\nzzz\r\n"
                     "--bound  \r\ncontent-disposition: form-data; name=driversm\r\nX-Extra: 1\r\n\r\n" +
                     binary + "\r\n--bound--\r\nepilogue";
  std::string_view part;
  ASSERT_EQ(find_form_part(body, "bound", "driversm", part), multipart_result::found);
  EXPECT_EQ(part, binary);
  // The first delimiter may open the body; a part without headers has no name.
  body = "--bound\r\n\r\nno headers\r\n--bound\r\nContent-Disposition: form-data; name=\"driversm\"\r\n\r\n\r\n--bound--";
  ASSERT_EQ(find_form_part(body, "bound", "driversm", part), multipart_result::found);
  EXPECT_EQ(part, "");
}

TEST(MultipartPart, RejectsWhatIsNotOneWellFormedPart) {
  std::string_view part;
  const auto body = [](const std::string& name) { return testing::multipart_body("b", {{name, "data"}}); };
  EXPECT_EQ(find_form_part(body("driversmx"), "b", "driversm", part), multipart_result::missing);
  EXPECT_EQ(find_form_part(testing::multipart_body("b", {{"driversm", "1"}, {"driversm", "2"}}), "b", "driversm", part),
            multipart_result::duplicate);
  EXPECT_EQ(find_form_part("no delimiter at all", "b", "driversm", part), multipart_result::malformed);
  EXPECT_EQ(find_form_part("--b\r\nContent-Disposition: form-data; name=\"driversm\"\r\n\r\ndata", "b", "driversm", part),
            multipart_result::malformed);  // never closed
  EXPECT_EQ(find_form_part("--b\nContent-Disposition: form-data; name=\"driversm\"\n\ndata\n--b--", "b", "driversm", part),
            multipart_result::malformed);  // bare line feeds
  EXPECT_EQ(find_form_part("--bx\r\n\r\ndata\r\n--b--", "b", "driversm", part), multipart_result::malformed);
}

TEST(ZlibStream, InflatesOneStreamUnderTheCap) {
  const std::string text(100000, 'q');
  const std::string packed = testing::zlib_compress(text);
  std::string out;
  ASSERT_EQ(inflate_zlib(packed, text.size(), out), inflate_result::ok);
  EXPECT_EQ(out, text);
  EXPECT_EQ(inflate_zlib(packed, text.size() - 1, out), inflate_result::too_large);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(inflate_zlib(packed.substr(0, packed.size() - 1), 1 << 20, out), inflate_result::not_zlib);
  EXPECT_EQ(inflate_zlib(packed + "x", 1 << 20, out), inflate_result::not_zlib);
  EXPECT_EQ(inflate_zlib("", 1 << 20, out), inflate_result::not_zlib);
  // A gzip stream of the same data is not a zlib stream.
  EXPECT_EQ(inflate_zlib("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 1 << 20, out), inflate_result::not_zlib);
}

TEST(RequestDocument, ReadsClientAndDevicesByteForByte) {
  // \xE9 is é in the client's code page; the ID keeps its bytes and blanks.
  std::string doc = testing::request_document(
      "WIN764", "850",
      {{"PCI\\VEN_1&DEV_2\\ caf\xE9  x", {"PCI\\VEN_1&DEV_2&SUBSYS_3", "PCI\\VEN_1&DEV_2"}, {"PCI\\CC_0200"}},
       {"ROOT\\LEGACY", {}, {}}});
  doc.replace(doc.find("&SUBSYS_3\n"), 10, "&SUBSYS_3\r\n\n");  // CRLF and an empty line are tolerated
  update_request request;
  std::string reason;
  ASSERT_EQ(parse_update_request(doc, request, reason), request_verdict::accepted) << reason;
  EXPECT_EQ(request.os, "WIN764");
  EXPECT_EQ(request.oem_code_page, 850);
  EXPECT_EQ(request.build, 0) << "an older client sends no build";
  ASSERT_EQ(request.devices.size(), 2u);
  EXPECT_EQ(request.devices[0].id, "PCI\\VEN_1&DEV_2\\ caf\xE9  x");
  EXPECT_EQ(request.devices[0].hardware_ids,
            (std::vector<std::string>{"PCI\\VEN_1&DEV_2&SUBSYS_3", "PCI\\VEN_1&DEV_2"}));
  EXPECT_EQ(request.devices[0].compatible_ids, (std::vector<std::string>{"PCI\\CC_0200"}));
  EXPECT_TRUE(request.devices[1].hardware_ids.empty());
}

TEST(RequestDocument, RejectsOtherStructures) {
  update_request request;
  std::string reason;
  const auto rejects = [&](const std::string& doc) {
    return parse_update_request(doc, request, reason) == request_verdict::malformed;
  };
  EXPECT_TRUE(rejects("not xml"));
  EXPECT_TRUE(rejects("<driversm><client os=\"WIN7\"/><hardwares>"));
  EXPECT_TRUE(rejects("<other><client os=\"WIN7\"/><hardwares/></other>"));
  EXPECT_TRUE(rejects("<driversm><hardwares/></driversm>"));
  EXPECT_TRUE(rejects("<driversm><client os=\"WIN7\"/></driversm>"));
  EXPECT_TRUE(rejects("<driversm><client/><hardwares><hardware><id></id></hardware></hardwares></driversm>"));
  EXPECT_TRUE(rejects(std::string("<driversm><client/><hardwares/></driversm>\0", 43)));
  EXPECT_TRUE(rejects(testing::request_document("WIN7", "437", {{std::string(max_device_id + 1, 'A'), {}, {}}})));
  EXPECT_FALSE(rejects(testing::request_document("WIN7", "437", {{std::string(max_device_id, 'A'), {}, {}}})));
  std::string deep = "<driversm><client/><hardwares/>";
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  EXPECT_TRUE(rejects(deep));
  EXPECT_EQ(reason, "elements nested too deeply");
  // "&#x" runs to the first ';' after it, so each text below hides the end
  // tag before it from the XML library, which then nests every <a> inside
  // the one before.
  std::string hidden = "<driversm><client/><hardwares/>";
  for (int i = 0; i < 100000; ++i) hidden += "<a>&#x</a>&#x;";
  EXPECT_TRUE(rejects(hidden));
  // A request without devices, and an unreadable lang, are fine.
  ASSERT_FALSE(rejects("<driversm><client os=\"WIN7\" lang=\"x\"/><hardwares/></driversm>"));
  EXPECT_TRUE(request.devices.empty());
  EXPECT_EQ(request.oem_code_page, 0);
}

TEST(RequestDocument, TheBuildIsANumberOrNothing) {
  update_request request;
  std::string reason;
  const auto build_of = [&](const std::string& attribute) {
    const std::string doc = "<driversm><client os=\"WIN1164\" " + attribute + "/><hardwares/></driversm>";
    EXPECT_EQ(parse_update_request(doc, request, reason), request_verdict::accepted) << reason;
    return request.build;
  };
  EXPECT_EQ(build_of("build=\"22631\""), 22631);
  EXPECT_EQ(build_of("build=\"22631x\""), 0);
  EXPECT_EQ(build_of("build=\"-5\""), 0);
  EXPECT_EQ(build_of("build=\"99999999999999999999\""), 0);
  EXPECT_EQ(build_of(""), 0);
}

TEST(RequestDocument, TheUiLanguageIsFourHexadecimalDigitsOrNothing) {
  update_request request;
  std::string reason;
  const auto language_of = [&](const std::string& attributes) {
    const std::string doc = "<driversm><client os=\"WIN764\" lang=\"437\" " + attributes + "/><hardwares/></driversm>";
    EXPECT_EQ(parse_update_request(doc, request, reason), request_verdict::accepted) << reason;
    return request.ui_language;
  };
  EXPECT_EQ(language_of("uilang=\"0411\""), 0x0411);
  EXPECT_EQ(language_of("uilang=\"0c0a\""), 0x0C0A);
  EXPECT_EQ(language_of("uilang=\"FFFF\""), 0xFFFF);
  EXPECT_EQ(language_of(""), 0) << "an older client sends none";
  for (const char* malformed : {"411", "04110", "0x41", "04 1", " 411", "zzzz", "", "-411", "+411"}) {
    EXPECT_EQ(language_of(std::string("uilang=\"") + malformed + "\""), 0) << malformed;
  }
  // The other attributes read as before beside it, and attributes no
  // service knows are passed over, as this one is by older services.
  EXPECT_EQ(language_of("build=\"7601\" uilang=\"0407\" future=\"1\""), 0x0407);
  EXPECT_EQ(request.build, 7601);
  EXPECT_EQ(request.oem_code_page, 437);
}

// The client's own request, read back: what the program sends is what the
// service reads.
TEST(RequestDocument, TheClientsUiLanguageArrives) {
  quillary::update_request_info info;
  info.os_code_name = "WIN764";
  info.oem_code_page = 932;
  for (const uint16_t language : {uint16_t{0x0411}, uint16_t{0x0C0A}, uint16_t{0}}) {
    info.ui_language = language;
    update_request request;
    std::string reason;
    ASSERT_EQ(parse_update_request(quillary::build_update_request({}, info), request, reason),
              request_verdict::accepted)
        << reason;
    EXPECT_EQ(request.ui_language, language);
    EXPECT_EQ(request.oem_code_page, 932);
  }
}

}  // namespace
}  // namespace quillary::server
