// Cabinet packages on the client: extracted and read through the system's
// cabinet reader (libmspack natively; SetupIterateCabinetW when these run
// under Wine), with the zip path's guarantees: every name checked before
// anything is written, a damaged cabinet leaving nothing behind, the INF
// limits, and the format told by the file's first bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "cab_builder.h"
#include "download/cab_archive.h"
#include "download/installation.h"
#include "download/package_archive.h"
#include "download/package_devices.h"
#include "download/package_extraction.h"
#include "platform/cabinet.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "test_support.h"

namespace quillary {
namespace {

namespace fs = std::filesystem;
using testing::build_cabinet;
using testing::cab_compression;
using testing::cab_file;
using testing::cab_layout;

const char* const inf_text =
    "[Version]\r\nSignature=\"$WINDOWS NT$\"\r\nDriverVer=01/15/2021,1.2.3.4\r\n"
    "[Manufacturer]\r\n%Maker%=Maker,NTamd64\r\n"
    "[Maker.NTamd64]\r\n%Pad%=Pad_Install,ACPI\\ABC0001\r\n"
    "[Strings]\r\nMaker=\"Maker\"\r\nPad=\"Pad\"\r\n";

// Bytes that neither repeat nor compress, several blocks long.
std::string noise(size_t size, uint32_t seed) {
  std::string out(size, '\0');
  for (auto& c : out) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 16);
  }
  return out;
}

std::string read_file(const std::u16string& path) {
  std::ifstream in{fs::path(path), std::ios::binary};
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::u16string in(const std::u16string& folder, const std::u16string& relative) {
  return platform::join_path(folder, platform::native_separators(relative));
}

// Everything below a folder, as relative generic paths.
std::set<std::string> tree(const fs::path& root) {
  std::set<std::string> found;
  if (!fs::exists(root)) return found;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    found.insert(item.path().lexically_relative(root).generic_string());
  }
  return found;
}

class cab_test : public ::testing::Test {
 protected:
  std::u16string write(const std::string& name, const std::string& bytes) {
    const std::u16string path = folder.below(name);
    std::ofstream(fs::path(path), std::ios::binary) << bytes;
    return path;
  }
  std::u16string cabinet(const std::string& name, const cab_layout& layout) {
    return write(name, build_cabinet(layout).bytes);
  }
  // A package of a driver in two folders of the cabinet, one stored, one
  // MSZIP-compressed, with a file spanning several blocks.
  cab_layout driver_package() {
    cab_layout layout;
    layout.folders = {cab_compression::none, cab_compression::mszip};
    layout.files = {{"drv\\x64\\a.inf", inf_text, 0},
                    {"drv\\x64\\a.sys", noise(3 * testing::cab_block_size + 1234, 7), 0},
                    {"drv\\x64\\a.cat", std::string(50000, 'c'), 1},
                    {"readme.txt", "read me", 1},
                    {"empty.txt", "", 1}};
    return layout;
  }

  testing::temp_folder_c folder;
};

TEST_F(cab_test, a_cabinet_with_folders_comes_out_whole_with_its_times) {
  const cab_layout layout = driver_package();
  const auto path = cabinet("pkg.cab", layout);
  const auto out = folder.below("out");
  const zip_extraction extraction = extract_cabinet(path, out);
  ASSERT_TRUE(extraction.complete()) << extraction.result.reason;
  EXPECT_EQ(extraction.extracted, layout.files.size());
  for (const auto& file : layout.files) {
    const auto target = in(out, from_ansi(file.name));
    EXPECT_EQ(read_file(target), file.data) << file.name;
    uint32_t dos = 0;
    ASSERT_TRUE(file_dos_time(target, dos)) << file.name;
    EXPECT_EQ(dos, 0x522F6000u) << file.name << ": the cabinet's time";
  }
  EXPECT_EQ(tree(fs::path(out)), (std::set<std::string>{"drv", "drv/x64", "drv/x64/a.inf", "drv/x64/a.sys",
                                                        "drv/x64/a.cat", "readme.txt", "empty.txt"}));

  // Read back whole, each file handed over in order, the unwanted ones
  // checked all the same.
  std::vector<std::u16string> names;
  std::string inf;
  using sink = std::function<bool(const char*, size_t)>;
  const zip_reading reading = read_cabinet(path, [&](const std::u16string& name) -> sink {
    names.push_back(name);
    if (name != u"drv\\x64\\a.inf") return nullptr;
    return [&](const char* data, size_t size) {
      inf.append(data, size);
      return true;
    };
  });
  ASSERT_TRUE(reading.complete());
  EXPECT_EQ(reading.entries, layout.files.size());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"drv\\x64\\a.inf", u"drv\\x64\\a.sys", u"drv\\x64\\a.cat",
                                                 u"readme.txt", u"empty.txt"}));
  EXPECT_EQ(inf, inf_text);
}

TEST_F(cab_test, names_that_would_leave_the_folder_are_never_written) {
  cab_layout layout;
  layout.files = {{"..\\climbed.inf", "x"},       {"drv\\..\\..\\climbed2.inf", "x"}, {"\\rooted.inf", "x"},
                  {"C:\\drive.inf", "x"},         {"C:relative.inf", "x"},          {"drv\\nul.inf", "x"},
                  {"drv\\a.inf:stream", "x"},     {"drv\\... \\dots.inf", "x"},     {"drv\\ok.inf", "kept"}};
  const auto path = cabinet("hostile.cab", layout);
  // Deep enough that climbing lands inside the test's folder.
  const auto base = folder.below("a/b");
  const auto out = folder.below("a/b/out");
  platform::create_directories(base);
  const zip_extraction extraction = extract_cabinet(path, out);
  EXPECT_TRUE(extraction.result.ok());
  EXPECT_EQ(extraction.skipped_unsafe, 8u);
  EXPECT_EQ(extraction.extracted, 1u);
  EXPECT_FALSE(extraction.complete()) << "a package missing files is not the package";
  EXPECT_EQ(tree(folder.path() / "a"), (std::set<std::string>{"b", "b/out", "b/out/drv", "b/out/drv/ok.inf"}));
  EXPECT_EQ(tree(fs::path(folder.text())).count("climbed.inf"), 0u);

  // For installation: nothing of it is left, not even its folder.
  const package_extraction fresh = extract_fresh(path, folder.below("a/b/hostile"));
  EXPECT_EQ(fresh.status, extraction_status::damaged);
  EXPECT_EQ(tree(folder.path() / "a"), (std::set<std::string>{"b", "b/out", "b/out/drv", "b/out/drv/ok.inf"}));
}

TEST_F(cab_test, a_damaged_cabinet_installs_nothing_and_leaves_nothing_behind) {
  const cab_layout layout = driver_package();
  const testing::built_cabinet good = build_cabinet(layout);
  struct damage {
    const char* what;
    std::string bytes;
  };
  std::vector<damage> damages;
  {
    // A data byte of the second block of the stored folder: its checksum fails.
    std::string bytes = good.bytes;
    bytes[good.blocks.at(1) + 8 + 100] ^= 0x20;
    damages.push_back({"a block's checksum", bytes});
  }
  {
    // Cut off within the third block.
    damages.push_back({"cut off in the data", good.bytes.substr(0, good.blocks.at(2) + 500)});
  }
  {
    // Cut off within the files' directory.
    damages.push_back({"cut off in the directory", good.bytes.substr(0, good.files_at + 10)});
  }
  {
    // Cut off within the header.
    damages.push_back({"cut off in the header", good.bytes.substr(0, 20)});
  }
  {
    // Compressed data that is no MSZIP block, its checksum made to match.
    cab_layout unchecked = layout;
    unchecked.checksums = false;
    testing::built_cabinet built = build_cabinet(unchecked);
    const size_t mszip_block = built.blocks.back();
    built.bytes[mszip_block + 8] = 'X';
    damages.push_back({"broken compressed data", built.bytes});
  }
  {
    // A file that claims more than its folder holds.
    std::string bytes = good.bytes;
    const size_t readme_size_at = good.files_at + 3 * 16 + (sizeof "drv\\x64\\a.inf") + (sizeof "drv\\x64\\a.sys") +
                                  (sizeof "drv\\x64\\a.cat");
    bytes[readme_size_at + 2] = 0x10;  // about a megabyte
    damages.push_back({"a file past its folder's end", bytes});
  }

  for (const auto& [what, bytes] : damages) {
    SCOPED_TRACE(what);
    const auto path = write("broken.cab", bytes);
    const zip_extraction extraction = extract_cabinet(path, folder.below("out"));
    EXPECT_FALSE(extraction.complete());
    EXPECT_LT(extraction.extracted, layout.files.size());
    // What did not come out whole is not left as if it had.
    for (const auto& file : layout.files) {
      const auto target = in(folder.below("out"), from_ansi(file.name));
      if (platform::file_exists(target)) {
        EXPECT_EQ(read_file(target), file.data) << file.name;
      }
    }
    platform::remove_tree(folder.below("out"));

    EXPECT_EQ(extract_fresh(path, folder.below("broken")).status, extraction_status::damaged);
    EXPECT_FALSE(platform::file_exists(folder.below("broken")));
    recording_shell_c shell;
    EXPECT_EQ(install_package(path, {u"drv\\x64\\a.inf"}, folder.text(), shell), damaged_package);
    EXPECT_TRUE(shell.calls.empty()) << "neither the installer nor the package itself";
    EXPECT_EQ(tree(folder.path()), (std::set<std::string>{"broken.cab"})) << "nothing beside the package";

    std::vector<std::string> texts;
    EXPECT_EQ(read_package_infs(path, {}, texts), package_infs::damaged);
  }
}

TEST_F(cab_test, a_cabinet_of_a_set_is_not_one_package) {
  for (const uint16_t flags : {testing::cab_has_next, testing::cab_has_previous}) {
    cab_layout layout = driver_package();
    layout.flags = flags;
    const auto path = cabinet("part.cab", layout);
    EXPECT_EQ(platform::walk_cabinet(path, [](const platform::cabinet_file&) { return platform::cabinet_target{}; })
                  .status,
              platform::cabinet_status::in_a_set);
    EXPECT_EQ(extract_fresh(path, folder.below("part")).status, extraction_status::damaged);
    EXPECT_FALSE(platform::file_exists(folder.below("part")));
  }
}

TEST_F(cab_test, the_format_is_the_one_the_first_bytes_say) {
  const auto cab_named_zip = cabinet("really-a-cabinet.zip", driver_package());
  const auto zip_named_cab = folder.below("really-a-zip.cab");
  {
    const auto source = write("source.inf", inf_text);
    zip_archive_c zip;
    ASSERT_TRUE(zip.create(zip_named_cab));
    ASSERT_TRUE(zip.add_file(source, "drv/z.inf"));
    ASSERT_TRUE(zip.close());
  }
  const auto program = write("setup.cab", "MZ a program named like a cabinet");
  const auto short_cabinet = write("short.cab", "MSC");

  package_archive_c archive;
  ASSERT_TRUE(archive.open(cab_named_zip));
  EXPECT_EQ(archive.format(), archive_format::cabinet);
  ASSERT_TRUE(archive.open(zip_named_cab));
  EXPECT_EQ(archive.format(), archive_format::zip);
  EXPECT_FALSE(archive.open(program));
  EXPECT_EQ(archive.format(), archive_format::unknown);
  EXPECT_FALSE(archive.open(short_cabinet)) << "three bytes are no cabinet's signature";

  EXPECT_EQ(extract_fresh(cab_named_zip, folder.below("c")).status, extraction_status::extracted);
  EXPECT_EQ(read_file(in(folder.below("c"), u"drv\\x64\\a.inf")), inf_text);
  EXPECT_EQ(extract_fresh(zip_named_cab, folder.below("z")).status, extraction_status::extracted);
  EXPECT_EQ(read_file(in(folder.below("z"), u"drv\\z.inf")), inf_text);
  EXPECT_EQ(extract_fresh(program, folder.below("p")).status, extraction_status::not_an_archive);
}

TEST_F(cab_test, a_cabinet_package_installs_like_a_zip_one) {
  const auto path = cabinet("pad_1.2.3.4.cab", driver_package());
  recording_shell_c shell;
  install_options options;
  options.offered[u"drv\\x64\\a.inf"] = {u"1.2.3.4", u"2021-01-15"};
  install_report report;
  ASSERT_EQ(install_package(path, {u"drv\\x64\\a.inf"}, folder.text(), shell, options, &report), 0);
  const auto extracted = folder.below("pad_1.2.3.4");
  EXPECT_EQ(report.folder, extracted) << "the folder named without .cab";
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].parameters, u"/SH /PATH \"" + in(extracted, u"drv\\x64") + u"\"");
  EXPECT_EQ(read_file(in(extracted, u"drv\\x64\\a.sys")), noise(3 * testing::cab_block_size + 1234, 7));

  // A newer package under the same name: the installer sees only its files.
  cab_layout newer;
  newer.files = {{"drv\\x64\\a.inf", inf_text}};
  cabinet("pad_1.2.3.4.cab", newer);
  recording_shell_c again;
  ASSERT_EQ(install_package(path, {u"drv\\x64\\a.inf"}, folder.text(), again), 0);
  EXPECT_FALSE(platform::file_exists(in(extracted, u"drv\\x64\\a.sys"))) << "nothing of the earlier package stays";
  EXPECT_TRUE(platform::file_exists(in(extracted, u"drv\\x64\\a.inf")));
}

TEST_F(cab_test, the_infs_of_a_cabinet_and_their_limit) {
  cab_layout layout = driver_package();
  layout.files.push_back({"other\\B.INF", "[Version]\r\n", 1});
  const auto path = cabinet("pkg.cab", layout);
  std::vector<std::string> texts;
  ASSERT_EQ(read_package_infs(path, {}, texts), package_infs::read);
  EXPECT_EQ(texts, (std::vector<std::string>{inf_text, "[Version]\r\n"})) << "every INF when none is named";
  ASSERT_EQ(read_package_infs(path, {u"DRV/x64/A.inf"}, texts), package_infs::read);
  EXPECT_EQ(texts, (std::vector<std::string>{inf_text})) << "the named one, however its separators and letters";

  // One byte past the limit: its devices cannot be known.
  cab_layout large;
  large.folders = {cab_compression::mszip};
  large.files = {{"big.inf", "[Version]\r\n" + std::string(max_package_inf_bytes, ';')}};
  EXPECT_EQ(read_package_infs(cabinet("large.cab", large), {}, texts), package_infs::too_large);
  large.files[0].data.resize(max_package_inf_bytes);
  ASSERT_EQ(read_package_infs(cabinet("large.cab", large), {}, texts), package_infs::read) << "up to the limit";
  EXPECT_EQ(texts.at(0).size(), max_package_inf_bytes);
}

TEST_F(cab_test, names_marked_utf8_and_an_existing_file_in_the_way) {
  cab_layout layout;
  const uint16_t utf8 = testing::cab_utf8_name | testing::cab_archive_attribute;
  layout.files = {{"Ger\xC3\xA4t\\g\xC3\xA4t.inf", inf_text, 0, utf8},
                  {"same.txt", "first"},
                  {"same.txt", "second"}};
  const auto path = cabinet("umlaut.cab", layout);
  const auto out = folder.below("out");
  const zip_extraction extraction = extract_cabinet(path, out);
  EXPECT_TRUE(extraction.complete());
  EXPECT_EQ(read_file(in(out, u"Ger\u00E4t\\g\u00E4t.inf")), inf_text) << "the name as marked";
  EXPECT_EQ(read_file(in(out, u"same.txt")), "first") << "a file once written is never replaced";
  EXPECT_EQ(extraction.extracted, 2u);
}

TEST_F(cab_test, a_file_the_system_cannot_create_damages_the_package) {
  // A file below what is a file already; on Windows a name with '?' too.
  std::vector<std::string> names = {"d\\a.inf\\inner.sys"};
#ifdef _WIN32
  names.push_back("d\\what?.sys");
#endif
  for (const auto& name : names) {
    SCOPED_TRACE(name);
    cab_layout layout;
    layout.files = {{"d\\a.inf", inf_text}, {name, "driver"}, {"d\\z.inf", inf_text}};
    const auto path = cabinet("w.cab", layout);
    const zip_extraction extraction = extract_cabinet(path, folder.below("out"));
    EXPECT_TRUE(extraction.stopped_early);
    EXPECT_EQ(extraction.extracted, 1u) << "the files before it";
    EXPECT_FALSE(platform::file_exists(in(folder.below("out"), u"d\\z.inf"))) << "none after it";
    platform::remove_tree(folder.below("out"));
    recording_shell_c shell;
    EXPECT_EQ(install_package(path, {u"d\\a.inf"}, folder.text(), shell), damaged_package);
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_FALSE(platform::file_exists(folder.below("w"))) << "nothing half-extracted is left";
  }
}

// Windows' cabinet reader takes paths in the ANSI code page, where a
// full-width backslash would become a '\\' by best fit: such a target is
// never handed to it. Natively the name is one ordinary file name.
TEST_F(cab_test, a_name_the_code_page_would_turn_into_a_separator_lands_nowhere_else) {
  cab_layout layout;
  layout.files = {{"drv\\a.inf", inf_text},
                  {"drv\\\xEF\xBC\xBC..\xEF\xBC\xBC..\xEF\xBC\xBC" "escaped.inf", "x", 0,
                   testing::cab_utf8_name | testing::cab_archive_attribute}};
  const auto path = cabinet("wide.cab", layout);
  const auto out = folder.below("a/b/out");
  const zip_extraction extraction = extract_cabinet(path, out);
  for (const char* beside : {"a/b/out/escaped.inf", "a/b/escaped.inf", "a/escaped.inf"}) {
    EXPECT_FALSE(platform::file_exists(folder.below(beside))) << beside;
  }
#ifdef _WIN32
  EXPECT_TRUE(extraction.stopped_early) << "a path the code page cannot hold is never written";
#else
  EXPECT_TRUE(extraction.complete());
  EXPECT_TRUE(platform::file_exists(in(out, u"drv\\\uFF3C..\uFF3C..\uFF3C" u"escaped.inf")));
#endif
}

TEST(cab_walk, a_sink_may_refuse_and_the_walk_ends_there) {
  testing::temp_folder_c folder;
  cab_layout layout;
  layout.files = {{"a.txt", "aaaa"}, {"b.txt", "bbbb"}, {"c.txt", "cccc"}};
  const auto path = folder.below("x.cab");
  std::ofstream(fs::path(path), std::ios::binary) << build_cabinet(layout).bytes;
  std::vector<std::u16string> offered;
  const auto walk = platform::walk_cabinet(path, [&](const platform::cabinet_file& file) {
    offered.push_back(file.name);
    EXPECT_EQ(file.size, 4u);
    EXPECT_EQ(file.dos_date_time, 0x522F6000u);
    return platform::cabinet_target{platform::cabinet_target::kind::sink, {},
                                    [&](const char*, size_t) { return file.name != u"b.txt"; }};
  });
  EXPECT_EQ(walk.status, platform::cabinet_status::target_failed);
  EXPECT_EQ(walk.failed_file, u"b.txt");
  EXPECT_EQ(walk.written, 1u);
  EXPECT_EQ(offered, (std::vector<std::u16string>{u"a.txt", u"b.txt"})) << "nothing offered after the refusal";

  const auto stopped = platform::walk_cabinet(path, [](const platform::cabinet_file& file) {
    platform::cabinet_target target;
    target.what = file.name == u"b.txt" ? platform::cabinet_target::kind::stop : platform::cabinet_target::kind::skip;
    return target;
  });
  EXPECT_EQ(stopped.status, platform::cabinet_status::stopped);
  EXPECT_EQ(stopped.files, 2u);

  // A target file already there is never written over.
  const auto taken = folder.below("taken.txt");
  std::ofstream(fs::path(taken), std::ios::binary) << "mine";
  const auto refused = platform::walk_cabinet(path, [&](const platform::cabinet_file&) {
    return platform::cabinet_target{platform::cabinet_target::kind::file, taken, nullptr};
  });
  EXPECT_EQ(refused.status, platform::cabinet_status::target_failed);
  EXPECT_EQ(read_file(taken), "mine");
  EXPECT_EQ(platform::walk_cabinet(folder.below("none.cab"), nullptr).status, platform::cabinet_status::not_a_cabinet);
}

}  // namespace
}  // namespace quillary
