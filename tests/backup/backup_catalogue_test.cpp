// What the backup catalogue must never do: give two packages one archive,
// lose entries to a device text or a damaged file, drop an archive whose name
// the code page cannot hold, or forget devices that are not plugged in.
#include <gtest/gtest.h>

#include <algorithm>

#include "backup/backup.h"
#include "backup_fixture.h"
#include "download/zip_archive.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillary {
namespace {

const catalogue_entry* entry_with(const std::vector<catalogue_entry>& entries, const std::u16string& device_id) {
  for (const auto& entry : entries) {
    for (const auto& d : entry.devices) {
      if (d.id == device_id) return &entry;
    }
  }
  return nullptr;
}

// A backup.xml as another run (or another hand) may have left it.
std::string device_xml(const std::string& id, const std::string& inf) {
  return "<device><id><![CDATA[" + id + "]]></id><desc><![CDATA[" + id + "]]></desc><manu><![CDATA[Maker]]></manu>"
         "<name><![CDATA[" + inf + "]]></name><version><![CDATA[1.2.3.4]]></version>"
         "<date><![CDATA[2012-03-04]]></date></device>";
}
std::string catalogue_xml(const std::string& file, const std::string& devices) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<quillary><driver><file><![CDATA[" + file +
         "]]></file><date>2025-12-01</date><devices>" + devices + "</devices></driver></quillary>";
}

class catalogue_safety : public backup_flow {
 protected:
  // One file of an archive, unpacked into a folder of its own.
  std::string unpacked(const std::string& archive_file, const std::u16string& name) {
    const auto target = folder.below("unpacked-" + std::to_string(++unpack_count));
    unzip_archive_c zip;
    if (!zip.open(platform::join_path(backups, from_ansi(archive_file))) || !zip.extract_all(target).result) return {};
    return read(in(target, name));
  }
  std::vector<std::u16string> archives_on_disk() const {
    auto names = platform::folder_entries(backups);
    std::erase_if(names, [](const std::u16string& n) { return !n.ends_with(u".zip"); });
    std::sort(names.begin(), names.end());
    return names;
  }
  // A backup by a run of its own: a catalogue of its own, not loaded first.
  int back_up_in_another_run(driver_store_c& s, const std::vector<const device_record*>& request, const std::string& today) {
    backup_catalogue_c catalogue(catalogue_file, backups);
    backup_context context{s, catalogue, backups, today};
    return backup_worker(context, request);
  }
  int unpack_count = 0;
};

TEST_F(catalogue_safety, packages_sharing_a_description_keep_their_own_archives) {
  devices[0].driver_description = u"Display";  // the network package, named like the display one
  devices[1].driver_description = u"DISPLAY";
  auto s = store();
  s.collect_driver_packages(devices);
  backup_catalogue_c catalogue(catalogue_file, backups);
  backup_context context{s, catalogue, backups, "2026-01-02"};
  ASSERT_EQ(backup_worker(context, {&devices[0], &devices[1]}), 0);

  auto entries = catalogue.entries();
  ASSERT_EQ(entries.size(), 2u);
  const catalogue_entry* net = entry_with(entries, u"PCI\\NET1");
  const catalogue_entry* display = entry_with(entries, u"PCI\\DISP");
  ASSERT_TRUE(net && display && net != display);
  EXPECT_FALSE(equal_ignore_case(from_ansi(net->file), from_ansi(display->file))) << "names differ beyond letter case";
  EXPECT_EQ(unpacked(net->file, u"net.inf"), "[Version]\r\nnet\r\n");
  EXPECT_EQ(unpacked(display->file, u"disp.inf"), "[Version]\r\ndisplay\r\n");
  const std::string net_file = net->file, display_file = display->file;

  // Each package again, the network one through its other device: each
  // refreshes its own entry and archive, no new name.
  context.today = "2026-02-03";
  ASSERT_EQ(backup_worker(context, {&devices[1], &devices[2]}), 0);
  entries = catalogue.entries();
  ASSERT_EQ(entries.size(), 2u);
  for (const auto& entry : entries) EXPECT_EQ(entry.date, "2026-02-03");
  EXPECT_EQ(entry_with(entries, u"PCI\\NET2")->file, net_file);
  EXPECT_EQ(entry_with(entries, u"PCI\\DISP")->file, display_file);
  EXPECT_EQ(archives_on_disk().size(), 2u);

  // What a later run reads back is the same.
  backup_catalogue_c reread(catalogue_file, backups);
  ASSERT_EQ(reread.load(), 0);
  EXPECT_EQ(entry_with(reread.entries(), u"PCI\\DISP")->file, display_file);
}

TEST_F(catalogue_safety, a_file_of_that_name_outside_the_catalogue_is_never_overwritten) {
  write(in(backups, u"Display.zip"), "kept by the user");
  write(in(backups, u"DISPLAY-2.ZIP"), "kept as well");  // taken as well, whatever the letter case
  auto s = store();
  s.collect_driver_packages(devices);
  backup_catalogue_c catalogue(catalogue_file, backups);
  backup_context context{s, catalogue, backups, "2026-01-02"};
  ASSERT_EQ(backup_worker(context, {&devices[1]}), 0);

  EXPECT_EQ(read(in(backups, u"Display.zip")), "kept by the user");
  EXPECT_EQ(read(in(backups, u"DISPLAY-2.ZIP")), "kept as well");
  ASSERT_EQ(catalogue.entries().size(), 1u);
  const std::string file = catalogue.entries()[0].file;
  EXPECT_EQ(file, "Display-3.zip");
  EXPECT_EQ(unpacked(file, u"disp.inf"), "[Version]\r\ndisplay\r\n");
}

TEST_F(catalogue_safety, an_entry_naming_a_path_never_leads_a_backup_out_of_the_folder) {
  write(folder.below("Outside.zip"), "not ours");
  const std::string outside = to_ansi(u".." + std::u16string(1, platform::path_separator) + u"Outside.zip");
  write(catalogue_file, catalogue_xml(outside, device_xml("PCI\\DISP", "OEM7.INF")));
  auto s = store();
  s.collect_driver_packages(devices);
  backup_catalogue_c catalogue(catalogue_file, backups);
  backup_context context{s, catalogue, backups, "2026-01-02"};
  ASSERT_EQ(backup_worker(context, {&devices[1]}), 0);
  EXPECT_EQ(read(folder.below("Outside.zip")), "not ours");
  EXPECT_EQ(archives_on_disk(), std::vector<std::u16string>{u"Display.zip"});
}

// Device texts come from outside the machine (a Bluetooth device names
// itself): whatever they hold must read back as written, and never cost the
// catalogue its other entries.
TEST_F(catalogue_safety, device_texts_read_back_whatever_they_hold) {
  const std::u16string texts[] = {u"a]]>b",        u"]]>",      u"]]]]>",        u"]]",     u"x]",
                                  u"]]]>>]]>",     u"  blanks at both ends  ",     u" ",      u"",
                                  u"<tag> & \"quoted\" 'single' &amp;",           u"tab\there\r\nline\nend\r",
                                  u"\x01\x1f\x7f", u"<![CDATA[inner]]>", u"caf\u00e9 \u65e5\u672c"};
  auto s = store();
  s.collect_driver_packages(devices);
  backup_catalogue_c catalogue(catalogue_file, backups);
  backup_context context{s, catalogue, backups, "2026-01-02"};
  ASSERT_EQ(backup_worker(context, {&devices[0]}), 0);
  for (const auto& text : texts) {
    devices[1].description = text;
    devices[1].device_id = text;
    ASSERT_EQ(backup_worker(context, {&devices[1]}), 0);

    backup_catalogue_c reread(catalogue_file, backups);
    ASSERT_EQ(reread.load(), 0) << "after " << utf16_to_utf8(text);
    const auto entries = reread.entries();
    ASSERT_EQ(entries.size(), 2u) << "the network entry stays";
    const auto& display = entries[0].devices[0].id == u"PCI\\NET1" ? entries[1] : entries[0];
    // What the ANSI code page holds of the text (all of it natively).
    const std::u16string stored = from_ansi(to_ansi(text));
    EXPECT_EQ(display.devices[0].desc, stored);
    EXPECT_EQ(display.devices[0].id, stored);
    EXPECT_EQ(catalogue.entries()[1].devices[0].desc, stored) << "the catalogue shows what it will read back";
  }
}

// A catalogue this program cannot read may be one a user needs: it is moved
// aside, under a name that replaces nothing, and never overwritten.
TEST_F(catalogue_safety, an_unreadable_catalogue_is_set_aside_and_never_overwritten) {
  auto s = store();
  s.collect_driver_packages(devices);
  ASSERT_EQ(back_up_in_another_run(s, {&devices[0]}, "2026-01-02"), 0);
  const std::string damaged = "<?xml version=\"1.0\" ?>\r\n<quillary>\r\n\t<driver>\r\n\t\t<file>";
  write(catalogue_file, damaged);
  backup_catalogue_c catalogue(catalogue_file, backups);
  EXPECT_EQ(catalogue.load(), -1);
  backup_context context{s, catalogue, backups, "2026-01-03"};
  ASSERT_EQ(backup_worker(context, {&devices[1]}), 0);
  EXPECT_EQ(read(catalogue_file + u".unreadable"), damaged);

  // Another damaged file, found by a backup without a load before it: the
  // first one set aside stays as it is.
  write(catalogue_file, "not xml at all");
  ASSERT_EQ(back_up_in_another_run(s, {&devices[1]}, "2026-01-04"), 0);
  EXPECT_EQ(read(catalogue_file + u".unreadable"), damaged);
  EXPECT_EQ(read(catalogue_file + u".unreadable-2"), "not xml at all");

  // Damaged between a load and the next backup.
  backup_catalogue_c loaded(catalogue_file, backups);
  ASSERT_EQ(loaded.load(), 0);
  write(catalogue_file, "<quillary><driver>");
  backup_context loaded_context{s, loaded, backups, "2026-01-05"};
  ASSERT_EQ(backup_worker(loaded_context, {&devices[0]}), 0);
  EXPECT_EQ(read(catalogue_file + u".unreadable-3"), "<quillary><driver>");
  EXPECT_EQ(loaded.set_aside_files(), std::vector<std::u16string>{catalogue_file + u".unreadable-3"})
      << "the user is told where it went";
  backup_catalogue_c reread(catalogue_file, backups);
  ASSERT_EQ(reread.load(), 0);
  EXPECT_EQ(reread.entries().size(), 2u) << "the entry loaded before the damage, and the new one";
}

TEST_F(catalogue_safety, a_catalogue_nested_too_deep_is_set_aside_not_parsed) {
  // Deep enough to overflow the parser's stack, natively and under Wine.
  std::string deep = "<quillary><driver>";
  for (int i = 0; i < 200000; ++i) deep += "<a>";
  write(catalogue_file, deep);
  backup_catalogue_c catalogue(catalogue_file, backups);
  EXPECT_EQ(catalogue.load(), -1);
  EXPECT_EQ(read(catalogue_file + u".unreadable"), deep);
}

TEST_F(catalogue_safety, a_backup_without_a_load_keeps_the_entries_on_disk_and_a_save_never_replaces_them) {
  auto s = store();
  s.collect_driver_packages(devices);
  ASSERT_EQ(back_up_in_another_run(s, {&devices[0]}, "2026-01-02"), 0);
  const std::string one_entry = read(catalogue_file);
  EXPECT_EQ(backup_catalogue_c(catalogue_file, backups).save(), -1) << "a catalogue it has not read";
  EXPECT_EQ(read(catalogue_file), one_entry);

  ASSERT_EQ(back_up_in_another_run(s, {&devices[1]}, "2026-01-03"), 0);
  backup_catalogue_c reread(catalogue_file, backups);
  ASSERT_EQ(reread.load(), 0);
  EXPECT_EQ(reread.entries().size(), 2u);
}

// Unplugged devices, or a device list not filled yet: their archives are
// still there, and so must their entries be.
TEST_F(catalogue_safety, entries_of_absent_devices_stay_with_their_saved_data) {
  auto s = store();
  s.collect_driver_packages(devices);
  ASSERT_EQ(back_up_in_another_run(s, {&devices[0], &devices[1]}, "2026-01-02"), 0);
  // Another day: only the display is plugged in.
  std::vector<device_record> now = {devices[1]};
  auto later_store = store();
  later_store.collect_driver_packages(now);
  {
    backup_catalogue_c catalogue(catalogue_file, backups);
    ASSERT_EQ(catalogue.load(), 0);
    const auto loaded = catalogue.entries();
    const catalogue_entry* net = entry_with(loaded, u"PCI\\NET2");
    ASSERT_TRUE(net) << "the network entry stays";
    EXPECT_EQ(net->devices.size(), 2u);
    EXPECT_EQ(net->devices[1].desc, u"Device PCI\\NET2");
    backup_context context{later_store, catalogue, backups, "2026-01-03"};
    ASSERT_EQ(backup_worker(context, {&now[0]}), 0);
    // The device list is rebuilt (a rescan) before the next save.
    now.clear();
    now.shrink_to_fit();
    ASSERT_EQ(catalogue.save(), 0);
  }
  backup_catalogue_c reread(catalogue_file, backups);
  ASSERT_EQ(reread.load(), 0);
  const auto entries = reread.entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entry_with(entries, u"PCI\\NET1")->devices[1].id, u"PCI\\NET2");
  EXPECT_EQ(entry_with(entries, u"PCI\\DISP")->date, "2026-01-03");
}

TEST_F(catalogue_safety, a_damaged_device_costs_only_itself) {
  write(in(backups, u"Net.zip"), "archive");
  const std::string damaged = "<device><id><![CDATA[PCI\\BROKEN]]></id></device>";
  write(catalogue_file, catalogue_xml("Net.zip", damaged + device_xml("PCI\\NET1", "oem3.inf")));
  backup_catalogue_c catalogue(catalogue_file, backups);
  ASSERT_EQ(catalogue.load(), 0);
  const auto entries = catalogue.entries();
  ASSERT_EQ(entries.size(), 1u);
  ASSERT_EQ(entries[0].devices.size(), 1u);
  EXPECT_EQ(entries[0].devices[0].id, u"PCI\\NET1");

  write(catalogue_file, catalogue_xml("Net.zip", damaged));
  ASSERT_EQ(catalogue.load(), 0);
  EXPECT_TRUE(catalogue.entries().empty()) << "an entry without a readable device";
}

}  // namespace
}  // namespace quillary
