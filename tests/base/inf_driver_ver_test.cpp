// DriverVer as the client and the service both read it: the date made
// YYYY-MM-DD, the version kept as written, and what is refused.
#include <gtest/gtest.h>

#include "base/inf_driver_ver.h"

namespace quillary {
namespace {

// The DriverVer of `text`, or "error: <reason>".
std::string driver_ver_of(const std::string& text) {
  inf_file_c inf;
  std::string reason;
  if (!inf.parse(text, reason)) return "syntax: " + reason;
  inf_driver_ver ver;
  if (!read_inf_driver_ver(inf, ver, reason)) return "error: " + reason;
  return ver.date + " " + ver.version;
}

TEST(InfDate, NormalisedToIsoWithTwoDigits) {
  std::string date;
  EXPECT_TRUE(normalize_inf_date("6/1/2009", date));
  EXPECT_EQ(date, "2009-06-01");
  EXPECT_TRUE(normalize_inf_date("12-31-2012", date));
  EXPECT_EQ(date, "2012-12-31");
  for (const char* bad : {"13/01/2012", "00/10/2012", "1/32/2012", "1/1/12", "2012/01/01x", "", "1/1"}) {
    EXPECT_FALSE(normalize_inf_date(bad, date)) << bad;
  }
}


TEST(InfDriverVer, SyntaxAroundTheDirectiveDoesNotChangeItsValue) {
  EXPECT_EQ(driver_ver_of("[Version]\nDriverVer=06/21/2012,6.1.7600.16385\n"), "2012-06-21 6.1.7600.16385");
  EXPECT_EQ(driver_ver_of("[version]\n  driverver  =  \"06/21/2012\" ,  \"6.1.2.3\"  ; as of June\n"),
            "2012-06-21 6.1.2.3");
  EXPECT_EQ(driver_ver_of("[Version]\r\nDriverVer = 06-21-2012, \\\r\n    6.1.2.3\r\n"), "2012-06-21 6.1.2.3");
  EXPECT_EQ(driver_ver_of("[Version]\nDriverVer=%Date%,%Ver%\n[Strings]\nDate=\"6/1/2009\"\nVer=\" 1.2 \"\n"),
            "2009-06-01 1.2");
  // Extra fields are not the version's business.
  EXPECT_EQ(driver_ver_of("[Version]\nDriverVer=06/21/2012,1.0,extra\n"), "2012-06-21 1.0");
}

TEST(InfDriverVer, AVersionThatIsNotGivenIsZero) {
  EXPECT_EQ(driver_ver_of("[Version]\nDriverVer=06/21/2012\n"), "2012-06-21 0.0.0.0");
  EXPECT_EQ(driver_ver_of("[Version]\nDriverVer=06/21/2012,\n"), "2012-06-21 0.0.0.0");
  EXPECT_EQ(driver_ver_of("[Version]\nDriverVer=06/21/2012, \"\" \n"), "2012-06-21 0.0.0.0");
}

TEST(InfDriverVer, TheFirstOfSeveralDirectivesCounts) {
  // Windows reads the first of a key: the service offers by it, and the
  // client checks a downloaded package by it.
  EXPECT_EQ(driver_ver_of("[Version]\nDriverVer=01/01/2010,1.0\nDriverVer=02/02/2011,2.0\n"), "2010-01-01 1.0");
  // Also across two [Version] sections, which are merged in file order.
  EXPECT_EQ(driver_ver_of("[VERSION]\nDriverVer=02/02/2011,2.0\n[Other]\nDriverVer=03/03/2013,3.0\n"
                          "[Version]\nDriverVer=01/01/2010,1.0\n"),
            "2011-02-02 2.0");
  // A broken first one is not made good by a later valid one.
  EXPECT_EQ(driver_ver_of("[Version]\nDriverVer=bad\nDriverVer=01/01/2010,1.0\n"), "error: no valid DriverVer date");
}

TEST(InfDriverVer, MissingOrBrokenDirectivesAreRefusedWithAReason) {
  EXPECT_EQ(driver_ver_of("[Strings]\nDriverVer=06/21/2012,1.0\n"), "error: no [Version] section");
  EXPECT_EQ(driver_ver_of("[Version]\nSignature=\"$Windows NT$\"\n"), "error: no valid DriverVer date");
  EXPECT_EQ(driver_ver_of("[Version]\nDriverVer\n"), "error: no valid DriverVer date");
  EXPECT_EQ(driver_ver_of("[Version]\nDriverVer=2012-06-21,1.0\n"), "error: no valid DriverVer date");
  EXPECT_EQ(driver_ver_of("[Version]\nDriverVer=06/21/2012,1.2.3.4.5\n"),
            "error: DriverVer version \"1.2.3.4.5\" is not a version");
  EXPECT_EQ(driver_ver_of("[Version]\nDriverVer=06/21/2012,v1.0\n"), "error: DriverVer version \"v1.0\" is not a version");
}

TEST(InfDriverVer, VersionsAreOneToFourNumbersOfAtMostFiveDigits) {
  std::array<uint32_t, 4> parts;
  ASSERT_TRUE(parse_driver_version("1.2", parts));
  EXPECT_EQ(parts, (std::array<uint32_t, 4>{1, 2, 0, 0}));
  ASSERT_TRUE(parse_driver_version("007.99999.0.65535", parts));
  EXPECT_EQ(parts, (std::array<uint32_t, 4>{7, 99999, 0, 65535}));
  for (const char* bad : {"", "1.", ".1", "1..2", "1.2.3.4.5", "100000", "1 .2", " 1.2", "-1", "+1", "1,2", "0x1"}) {
    EXPECT_FALSE(parse_driver_version(bad, parts)) << bad;
  }
}

}  // namespace
}  // namespace quillary
