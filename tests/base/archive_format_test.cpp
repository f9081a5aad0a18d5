// A package's format from its first bytes, and what a cabinet's header says
// of it: the installation and the service decide by these, not by names.
#include "base/archive_format.h"

#include <gtest/gtest.h>

#include <string>

namespace quillary {
namespace {

// A cabinet's fixed header: signature, sizes, version 1.3, counts, flags.
std::string cabinet_header(uint16_t flags = 0, char major = 1, char minor = 3) {
  std::string header("MSCF", 4);
  header.append(20, '\0');
  header += minor;
  header += major;
  header.append(4, '\0');  // folders, files
  header += static_cast<char>(flags & 0xFF);
  header += static_cast<char>(flags >> 8);
  header.append(4, '\0');  // set ID, index
  return header;
}

TEST(archive_format, the_first_bytes_name_the_format) {
  EXPECT_EQ(archive_format_of(cabinet_header()), archive_format::cabinet);
  EXPECT_EQ(archive_format_of("MSCF"), archive_format::cabinet);
  EXPECT_EQ(archive_format_of(std::string("PK\x03\x04", 4) + "rest"), archive_format::zip);
  EXPECT_EQ(archive_format_of(std::string("PK\x05\x06", 4)), archive_format::zip) << "an empty archive";
  EXPECT_EQ(archive_format_of(std::string("PK\x07\x08", 4)), archive_format::zip) << "a spanned one's marker";
  for (const std::string other : {std::string(), std::string("MSC"), std::string("mscf"), std::string("PK"),
                                  std::string("PKZIP"), std::string("MZ\x90\0", 4), std::string("ISc(")}) {
    EXPECT_EQ(archive_format_of(other), archive_format::unknown) << other;
  }
}

TEST(archive_format, a_cabinet_must_stand_alone_in_the_version_windows_reads) {
  EXPECT_EQ(check_cabinet_header(cabinet_header()), cabinet_header_verdict::whole);
  EXPECT_EQ(check_cabinet_header(cabinet_header() + "more"), cabinet_header_verdict::whole);
  EXPECT_EQ(check_cabinet_header(cabinet_header(0x0004)), cabinet_header_verdict::whole) << "reserved space only";
  EXPECT_EQ(check_cabinet_header(cabinet_header(0x0001)), cabinet_header_verdict::in_a_set) << "a previous cabinet";
  EXPECT_EQ(check_cabinet_header(cabinet_header(0x0002)), cabinet_header_verdict::in_a_set) << "a next cabinet";
  EXPECT_EQ(check_cabinet_header(cabinet_header(0x0106)), cabinet_header_verdict::in_a_set) << "the low byte counts";
  EXPECT_EQ(check_cabinet_header(cabinet_header(0, 1, 2)), cabinet_header_verdict::unsupported);
  EXPECT_EQ(check_cabinet_header(cabinet_header(0, 2, 3)), cabinet_header_verdict::unsupported);
  EXPECT_EQ(check_cabinet_header(cabinet_header().substr(0, 35)), cabinet_header_verdict::too_short);
  EXPECT_EQ(check_cabinet_header("MS"), cabinet_header_verdict::too_short) << "the start of a signature, cut off";
  EXPECT_EQ(check_cabinet_header(""), cabinet_header_verdict::too_short);
  EXPECT_EQ(check_cabinet_header("PK"), cabinet_header_verdict::not_cabinet);
  EXPECT_EQ(check_cabinet_header(std::string("PK\x03\x04", 4) + std::string(40, '\0')),
            cabinet_header_verdict::not_cabinet);
}

}  // namespace
}  // namespace quillary
