#include "download/zip_archive.h"

#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>

#include "platform/text.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace quillary {
namespace {

namespace fs = std::filesystem;
using testing::temp_folder_c;

// DOS date and time of 2021-07-04 05:06:08 and 2021-01-15 12:00:00.
constexpr uint32_t summer_dos = 0x52E428C4;
constexpr uint32_t winter_dos = 0x522F6000;

struct entry {
  std::string name;
  std::string data;
  uint32_t dos_time = winter_dos;
  int method = Z_DEFLATED;
  uLong flags = 0;  // general-purpose flags, such as bit 11 (UTF-8 name)
};

// Archives written by minizip directly, so that names our own writer would
// never produce can be tried.
void write_archive(const fs::path& path, const std::vector<entry>& entries) {
  zipFile zip = zipOpen64(path.string().c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  for (const auto& e : entries) {
    zip_fileinfo info = {};
    info.dosDate = e.dos_time;
    ASSERT_EQ(zipOpenNewFileInZip4(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, e.method,
                                   Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr,
                                   0, 0, e.flags),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zip, e.data.data(), static_cast<unsigned>(e.data.size())), ZIP_OK);
    ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
  }
  ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
}

// The entries of an archive as minizip reads them, contents included.
std::vector<entry> read_archive(const fs::path& path) {
  std::vector<entry> entries;
  unzFile unzip = unzOpen64(path.string().c_str());
  EXPECT_NE(unzip, nullptr);
  if (!unzip) return entries;
  for (int more = unzGoToFirstFile(unzip); more == UNZ_OK; more = unzGoToNextFile(unzip)) {
    unz_file_info64 info;
    char name[512] = {};
    unzGetCurrentFileInfo64(unzip, &info, name, sizeof name - 1, nullptr, 0, nullptr, 0);
    entry e{name, std::string(info.uncompressed_size, '\0'), static_cast<uint32_t>(info.dosDate),
            static_cast<int>(info.compression_method)};
    EXPECT_EQ(unzOpenCurrentFile(unzip), UNZ_OK);
    EXPECT_EQ(unzReadCurrentFile(unzip, e.data.data(), static_cast<unsigned>(e.data.size())),
              static_cast<int>(e.data.size()));
    EXPECT_EQ(unzCloseCurrentFile(unzip), UNZ_OK) << name;
    entries.push_back(e);
  }
  unzClose(unzip);
  return entries;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

// Every file and folder below `folder`, relative, with '/' between parts.
std::set<std::string> tree(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    names.insert(item.path().lexically_relative(folder).generic_string() + (item.is_directory() ? "/" : ""));
  }
  return names;
}

int64_t utc_seconds(const fs::path& path) {
  const auto system = std::chrono::file_clock::to_sys(fs::last_write_time(path));
  return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

// Natively the test pins the zone (with summer time) so that "local" means
// something known; Windows keeps its own zone, whose offset the tests read.
class time_zone_c {
 public:
  time_zone_c() {
#ifndef _WIN32
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
#endif
  }
  ~time_zone_c() {
#ifndef _WIN32
    if (had_) setenv("TZ", old_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
#endif
  }
  // Seconds to add to a local time to get universal time, for the dates used.
  int64_t to_utc(bool summer) const {
#ifdef _WIN32
    // The file-time conversions use the offset in force now.
    (void)summer;
    TIME_ZONE_INFORMATION zone;
    const DWORD id = GetTimeZoneInformation(&zone);
    return 60 * static_cast<int64_t>(zone.Bias + (id == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias));
#else
    return summer ? -7200 : -3600;
#endif
  }

 private:
  bool had_ = false;
  std::string old_;
};

TEST(unzip_archive, open_tries_the_path_with_zip_appended) {
  zip_extraction extraction;
  temp_folder_c temp;
  write_archive(temp.path() / "package.zip", {{"a.txt", "a"}});
  write_file(temp.path() / "notes", "not an archive");
  write_file(temp.path() / "notes.zip", "not an archive either");
  unzip_archive_c archive;
  EXPECT_EQ(archive.open(temp.below("package")).code, 0);
  EXPECT_EQ(archive.open(temp.below("package.zip")).code, 0);
  EXPECT_EQ(archive.open(temp.below("missing")).code, zip_failed);
  EXPECT_EQ(archive.open(temp.below("notes")).code, zip_failed);
  EXPECT_EQ(archive.open(u"").code, zip_failed);
  extraction = archive.extract_all(temp.below("out"));
  EXPECT_EQ(extraction.result.code, zip_failed) << "nothing is open after a failed open";
}

TEST(unzip_archive, extracts_contents_and_makes_folders_on_demand) {
  zip_extraction extraction;
  temp_folder_c temp;
  const std::string binary("\x00\x01\xFF\x7F\r\n\x1A", 7);
  write_archive(temp.path() / "p.zip", {{"setup.inf", "[Version]\r\n"},
                                        {"empty/", ""},
                                        {"lonely/child/", ""},
                                        {"drivers/x64/net.sys", binary},
                                        {"drivers\\x86\\net.sys", "x86"},
                                        {"stored.bin", std::string(20000, 's'), winter_dos, 0}});
  unzip_archive_c archive;
  ASSERT_EQ(archive.open(temp.below("p.zip")).code, 0);
  const fs::path out = temp.path() / "out" / "pkg";  // made by the extraction
  extraction = archive.extract_all(out.u16string());
  EXPECT_EQ(extraction.result.code, 0);
  EXPECT_EQ(extraction.extracted, 4u);
  EXPECT_EQ(extraction.skipped_unsafe, 0u);
  EXPECT_FALSE(extraction.stopped_early);
  // A folder entry makes one level; its missing parent is not made for it.
  EXPECT_EQ(tree(out), (std::set<std::string>{"setup.inf", "empty/", "drivers/", "drivers/x64/", "drivers/x86/",
                                              "drivers/x64/net.sys", "drivers/x86/net.sys", "stored.bin"}));
  EXPECT_EQ(read_file(out / "setup.inf"), "[Version]\r\n");
  EXPECT_EQ(read_file(out / "drivers" / "x64" / "net.sys"), binary);
  EXPECT_EQ(read_file(out / "drivers" / "x86" / "net.sys"), "x86");
  EXPECT_EQ(read_file(out / "stored.bin"), std::string(20000, 's'));
}

// Names marked UTF-8 (as today's tools write names beyond ASCII) are read
// as UTF-8; unmarked names in the code page, as our own backups write them.
TEST(unzip_archive, names_marked_utf8_are_utf8_and_others_are_in_the_code_page) {
  zip_extraction extraction;
  temp_folder_c temp;
  constexpr uLong utf8_name = 1u << 11;
  const std::u16string backup_name = u"B\u00fcro\\liste.txt";
  write_archive(temp.path() / "p.zip", {{"Ger\xC3\xA4t/ger\xC3\xA4t.inf", "inf", winter_dos, Z_DEFLATED, utf8_name},
                                        {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "cjk", winter_dos, Z_DEFLATED, utf8_name},
                                        {to_ansi(backup_name), "backup"}});
  unzip_archive_c archive;
  ASSERT_EQ(archive.open(temp.below("p.zip")).code, 0);
  const fs::path out = temp.path() / "out";
  extraction = archive.extract_all(out.u16string());
  ASSERT_EQ(extraction.result.code, 0);
  EXPECT_TRUE(extraction.complete());
  EXPECT_EQ(read_file(out / fs::path(u"Ger\u00e4t") / fs::path(u"ger\u00e4t.inf")), "inf");
  EXPECT_EQ(read_file(out / fs::path(u"\u65e5\u672c.txt")), "cjk") << "beyond any single-byte code page";
  EXPECT_EQ(read_file(out / fs::path(u"B\u00fcro") / "liste.txt"), "backup");
}

TEST(unzip_archive, extracting_again_keeps_existing_files) {
  zip_extraction extraction;
  temp_folder_c temp;
  write_archive(temp.path() / "p.zip", {{"a.txt", "original a"}, {"sub/b.txt", "original b"}, {"c.txt", "c"}});
  const fs::path out = temp.path() / "out";
  unzip_archive_c archive;
  ASSERT_EQ(archive.open(temp.below("p.zip")).code, 0);
  extraction = archive.extract_all(out.u16string());
  ASSERT_EQ(extraction.result.code, 0);
  write_file(out / "a.txt", "changed by the user");
  fs::remove(out / "sub" / "b.txt");

  extraction = archive.extract_all(out.u16string());
  EXPECT_EQ(extraction.result.code, 0);
  EXPECT_EQ(extraction.extracted, 1u) << "only the missing file";
  EXPECT_EQ(read_file(out / "a.txt"), "changed by the user");
  EXPECT_EQ(read_file(out / "sub" / "b.txt"), "original b");

  extraction = archive.extract_all(out.u16string(), false, true);
  EXPECT_EQ(extraction.result.code, 0);
  EXPECT_EQ(extraction.extracted, 3u);
  EXPECT_EQ(read_file(out / "a.txt"), "original a") << "overwrite replaces";
}

TEST(unzip_archive, without_folders_puts_every_file_at_the_top) {
  zip_extraction extraction;
  temp_folder_c temp;
  write_archive(temp.path() / "p.zip", {{"a/b/c.txt", "c"}, {"d/", ""}, {"../up.txt", "up"}, {"C:x.txt", "x"}});
  unzip_archive_c archive;
  ASSERT_EQ(archive.open(temp.below("p.zip")).code, 0);
  const fs::path out = temp.path() / "out";
  extraction = archive.extract_all(out.u16string(), true);
  EXPECT_EQ(extraction.result.code, 0);
  EXPECT_EQ(tree(out), (std::set<std::string>{"c.txt", "up.txt"}));
  EXPECT_EQ(extraction.skipped_unsafe, 1u) << "the drive name stays unsafe";
}

TEST(unzip_archive, entries_that_would_land_outside_are_skipped_and_counted) {
  zip_extraction extraction;
  temp_folder_c temp;
  const std::string tag = "qz" + std::to_string(std::random_device()()) + "-";
  const std::vector<std::string> unsafe = {
      "/" + tag + "abs.txt",     "\\" + tag + "abs.txt",      "C:\\" + tag + "drive.txt",
      "C:" + tag + "rel.txt",    "../" + tag + "up.txt",      "a/../../" + tag + "up.txt",
      "a\\..\\..\\" + tag + "up.txt", "..\\..\\" + tag + "up/", ".. /" + tag + "dots.txt",
      ".../" + tag + "dots.txt", "report.txt:hidden",         "CON",
      "sub/aux.txt",             "//server/share/" + tag + "unc.txt"};
  std::vector<entry> entries = {{"good.txt", "good"}, {"a/ok.txt", "ok"}, {"a/..b/fine.txt", "fine"},
                                {"notes..txt", "n"}};
  for (const auto& name : unsafe) entries.push_back({name, "evil"});
  write_archive(temp.path() / "p.zip", entries);

  const fs::path out = temp.path() / "nest" / "out";
  unzip_archive_c archive;
  ASSERT_EQ(archive.open(temp.below("p.zip")).code, 0);
  extraction = archive.extract_all(out.u16string());
  EXPECT_EQ(extraction.result.code, 0);
  EXPECT_EQ(extraction.skipped_unsafe, unsafe.size());
  EXPECT_EQ(extraction.extracted, 4u);
  EXPECT_EQ(tree(temp.path() / "nest"),
            (std::set<std::string>{"out/", "out/good.txt", "out/a/", "out/a/ok.txt", "out/a/..b/",
                                   "out/a/..b/fine.txt", "out/notes..txt"}));
  EXPECT_EQ(tree(temp.path()).size(), tree(temp.path() / "nest").size() + 2) << "p.zip and nest/ only";
  for (const auto& place : {fs::current_path(), fs::current_path().root_path()}) {
    for (const auto& item : fs::directory_iterator(place)) {
      EXPECT_NE(item.path().filename().string().rfind(tag, 0), 0u) << item.path();
    }
  }
}

TEST(unzip_archive, a_wrong_checksum_stops_the_extraction_and_removes_the_bad_file) {
  zip_extraction extraction;
  temp_folder_c temp;
  const fs::path path = temp.path() / "p.zip";
  write_archive(path, {{"first.txt", "first data", winter_dos, 0},
                       {"second.txt", "second data", winter_dos, 0},
                       {"third.txt", "third data", winter_dos, 0}});
  std::string bytes = read_file(path);
  const size_t at = bytes.find("second data");
  ASSERT_NE(at, std::string::npos);
  bytes[at] = 'S';
  write_file(path, bytes);

  unzip_archive_c archive;
  ASSERT_EQ(archive.open(path.u16string()).code, 0);
  const fs::path out = temp.path() / "out";
  extraction = archive.extract_all(out.u16string());
  EXPECT_EQ(extraction.result.code, 0);
  EXPECT_EQ(extraction.extracted, 1u);
  EXPECT_EQ(read_file(out / "first.txt"), "first data");
  EXPECT_FALSE(fs::exists(out / "second.txt")) << "written, then found wrong: it must not pass as extracted";
  EXPECT_FALSE(fs::exists(out / "third.txt"));
  EXPECT_TRUE(extraction.stopped_early);
}

TEST(zip_times, entry_times_are_local_times_in_both_directions) {
  zip_extraction extraction;
  time_zone_c zone;
  temp_folder_c temp;
  write_archive(temp.path() / "p.zip", {{"summer.txt", "s", summer_dos}, {"winter.txt", "w", winter_dos}});
  unzip_archive_c archive;
  ASSERT_EQ(archive.open(temp.below("p.zip")).code, 0);
  const fs::path out = temp.path() / "out";
  extraction = archive.extract_all(out.u16string());
  ASSERT_EQ(extraction.result.code, 0);
  // 2021-07-04 05:06:08 and 2021-01-15 12:00:00 read as universal time.
  EXPECT_EQ(utc_seconds(out / "summer.txt"), 1625375168 + zone.to_utc(true));
  EXPECT_EQ(utc_seconds(out / "winter.txt"), 1610712000 + zone.to_utc(false));

  uint32_t dos = 0;
  EXPECT_EQ(file_dos_time((out / "summer.txt").u16string(), dos).code, 0);
  EXPECT_EQ(dos, summer_dos);
  EXPECT_EQ(file_dos_time(temp.below("missing"), dos).code, zip_failed);

  // And back into an archive: the file's time as local time.
  const fs::path source = temp.path() / "source.txt";
  write_file(source, "x");
  const auto utc = std::chrono::sys_seconds(std::chrono::seconds(1610712000 + zone.to_utc(false)));
  fs::last_write_time(source, std::chrono::file_clock::from_sys(utc));
  zip_archive_c zip;
  ASSERT_EQ(zip.create(temp.below("mine.zip")).code, 0);
  ASSERT_TRUE(zip.add_file(source.u16string()));
  ASSERT_EQ(zip.close().code, 0);
  const auto entries = read_archive(temp.path() / "mine.zip");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].dos_time, winter_dos);
}

TEST(zip_archive, names_lose_leading_separators_or_default_to_the_file_name) {
  temp_folder_c temp;
  const fs::path source = temp.path() / "source.bin";
  std::string data;
  for (int i = 0; i < 50000; ++i) data += "line " + std::to_string(i % 97) + "\n";
  write_file(source, data);
  zip_archive_c zip;
  ASSERT_EQ(zip.create(temp.below("mine.zip")).code, 0);
  for (const std::string name : {"\\\\\\drivers\\x64\\net.sys", "//a/b.txt", ""}) {
    EXPECT_EQ(zip.add_file(source.u16string(), name).code, 0) << name;
  }
  ASSERT_EQ(zip.close().code, 0);
  EXPECT_LT(fs::file_size(temp.path() / "mine.zip"), data.size() / 4) << "deflated";
  const auto entries = read_archive(temp.path() / "mine.zip");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "drivers\\x64\\net.sys");
  EXPECT_EQ(entries[1].name, "a/b.txt");
  EXPECT_EQ(entries[2].name, "source.bin");
  for (const auto& e : entries) {
    EXPECT_EQ(e.data, data) << e.name;
    EXPECT_EQ(e.method, Z_DEFLATED);
  }
}

TEST(zip_archive, a_source_that_cannot_be_read_fails_only_that_file) {
  temp_folder_c temp;
  write_file(temp.path() / "good.txt", "good");
  fs::create_directory(temp.path() / "folder");
  zip_archive_c zip;
  ASSERT_EQ(zip.create(temp.below("mine.zip")).code, 0);
  EXPECT_EQ(zip.add_file(temp.below("missing.txt")).code, zip_failed);
  EXPECT_EQ(zip.add_file(temp.below("folder")).code, zip_failed);
  EXPECT_EQ(zip.add_file(temp.below("good.txt"), "good.txt").code, 0);
  ASSERT_EQ(zip.close().code, 0);

  const auto entries = read_archive(temp.path() / "mine.zip");
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.back().name, "good.txt");
  EXPECT_EQ(entries.back().data, "good");
}

TEST(zip_archive, create_replaces_or_appends) {
  temp_folder_c temp;
  write_file(temp.path() / "a.txt", "a");
  write_file(temp.path() / "b.txt", "b");
  write_file(temp.path() / "mine.zip", "an old file of that name");
  zip_archive_c zip;
  ASSERT_EQ(zip.create(temp.below("mine.zip")).code, 0);
  ASSERT_TRUE(zip.add_file(temp.below("a.txt")));
  ASSERT_EQ(zip.close().code, 0);
  ASSERT_EQ(zip.create(temp.below("mine.zip"), true).code, 0);
  ASSERT_TRUE(zip.add_file(temp.below("b.txt")));
  ASSERT_EQ(zip.close().code, 0);
  const auto entries = read_archive(temp.path() / "mine.zip");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name + entries[1].name, "a.txtb.txt");

  EXPECT_EQ(zip.create(temp.below("no/such/folder/x.zip")).code, zip_failed);
}

TEST(zip_helpers, file_crc32_is_zlibs_in_any_chunk_size) {
  temp_folder_c temp;
  write_file(temp.path() / "check.txt", "123456789");
  write_file(temp.path() / "empty.txt", "");
  for (const size_t chunk : {1, 4, 9, 10, 16384}) {
    uint32_t crc = 0;
    EXPECT_EQ(file_crc32(temp.below("check.txt"), crc, chunk).code, 0);
    EXPECT_EQ(crc, 0xCBF43926u) << chunk;
  }
  uint32_t crc = 1;
  EXPECT_EQ(file_crc32(temp.below("empty.txt"), crc, 16384).code, 0);
  EXPECT_EQ(crc, 0u);
  crc = 1;
  EXPECT_EQ(file_crc32(temp.below("missing.txt"), crc, 16384).code, zip_failed);
  EXPECT_EQ(crc, 0u);
}

TEST(zip_helpers, make_directories_makes_parents_with_either_separator) {
  temp_folder_c temp;
  EXPECT_EQ(make_directories(temp.text() + u"/a\\b/c/").code, 0);
  EXPECT_TRUE(fs::is_directory(temp.path() / "a" / "b" / "c"));
  EXPECT_EQ(make_directories(temp.text() + u"/a/b/c").code, 0) << "existing folders are no failure";
  EXPECT_EQ(make_directories(u"").code, zip_failed);
  write_file(temp.path() / "file", "");
  EXPECT_EQ(make_directories(temp.text() + u"/file/sub/deeper").code, zip_failed);
}

}  // namespace
}  // namespace quillary
