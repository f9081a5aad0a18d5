// The driver store, backup archives with their catalogue, and restore, over
// a driver store built in a temporary folder.
#include <gtest/gtest.h>

#include <thread>

#include "backup/backup.h"
#include "backup/restore.h"
#include "backup_fixture.h"
#include "base/md5.h"
#include "download/zip_archive.h"
#include "fake_restore_points.h"
#include "fake_system.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/shell.h"

namespace quillary {
namespace {

TEST(store_folder, the_component_below_the_root) {
  std::u16string name;
  ASSERT_EQ(store_folder_name(u"C:\\WINDOWS\\System32\\DriverStore\\FileRepository",
                              u"c:\\windows\\system32\\driverstore\\filerepository\\a.inf_x86_1\\sub\\a.inf", name), 0);
  EXPECT_EQ(name, u"a.inf_x86_1");
  EXPECT_EQ(store_folder_name(u"C:\\Store", u"D:\\Other\\x\\a.inf", name), -1);
  EXPECT_EQ(store_folder_name(u"C:\\Store", u"C:\\Store", name), -1);
  EXPECT_EQ(store_folder_name(u"C:\\Store", u"C:\\Store\\\\a.inf", name), -1) << "not the whole store";
}

TEST_F(store_test, the_walker_goes_depth_first_and_skips_dot_entries) {
  const auto store_root = store_layout(root, 61).store_root;
  const auto package = in(store_root, u"net.inf_amd64_1a2b");
  std::vector<std::u16string> seen;
  dir_walker_c walker;
  walker.open(package, dir_walker_c::both);
  for (std::u16string path; walker.next(path);) seen.push_back(path.substr(package.size() + 1));
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"net.inf", u"x64", in(u"x64", u"net.sys")}));
  // A folder comes before what it holds; the modes filter the kinds.
  walker.open(package, dir_walker_c::both);
  std::u16string first_of_x64;
  for (std::u16string path; walker.next(path);) {
    if (path.find(u"x64") != std::u16string::npos) {
      first_of_x64 = path;
      break;
    }
  }
  EXPECT_EQ(first_of_x64, in(package, u"x64"));
  walker.open(package, dir_walker_c::directories);
  std::u16string path;
  ASSERT_TRUE(walker.next(path));
  EXPECT_EQ(path, in(package, u"x64"));
  EXPECT_FALSE(walker.next(path));
}

TEST(md5_file, empty_and_exactly_one_block) {
  testing::temp_folder_c folder;
  std::string digest;
  write(folder.below("empty"), "");
  ASSERT_EQ(md5_file_hex(folder.below("empty"), digest), 0);
  EXPECT_EQ(digest, "d41d8cd98f00b204e9800998ecf8427e");
  const std::string block(1024, 'q');
  write(folder.below("block"), block);
  ASSERT_EQ(md5_file_hex(folder.below("block"), digest), 0);
  EXPECT_EQ(digest, md5_hex(block));
  EXPECT_EQ(md5_file_hex(folder.below("missing"), digest), -1);
}

TEST_F(store_test, devices_are_grouped_by_store_folder) {
  auto s = store();  // no system routine: the digest search finds the copies
  s.collect_driver_packages(devices);
  ASSERT_EQ(s.packages().size(), 2u);
  EXPECT_EQ(s.packages()[0].folder, u"net.inf_amd64_1a2b");
  EXPECT_EQ(s.packages()[0].devices, (std::vector<const device_record*>{&devices[0], &devices[2]}));
  EXPECT_FALSE(s.packages()[0].inbox);
  EXPECT_EQ(s.packages()[1].devices, (std::vector<const device_record*>{&devices[1]})) << "OEM7.INF: any case";
  EXPECT_EQ(s.package_index_of(&devices[2]), 0);
  EXPECT_EQ(s.package_index_of(&devices[3]), -1) << "machine.inf has no copy in the store";
  EXPECT_EQ(s.package_index_of(nullptr), -1);
}

TEST_F(store_test, the_system_routine_decides_unless_it_is_unavailable) {
  const auto store_root = store_layout(root, 61).store_root;
  auto answers = [&](const std::u16string& inf, std::u16string& out) {
    if (inf == u"machine.inf") return lookup_result::unavailable;  // as under Wine
    if (inf == u"OEM7.INF") return lookup_result::not_found;
    out = in(store_root, inf == u"oem3.inf" ? u"NET.INF_AMD64_1A2B\\net.inf" : u"x");
    return lookup_result::found;
  };
  devices[2].inf_path = u"oem3.inf";
  auto s = store(61, answers);
  s.collect_driver_packages(devices);
  ASSERT_EQ(s.packages().size(), 1u);
  EXPECT_EQ(s.packages()[0].devices.size(), 2u) << "folder names differing in case are one package";
  EXPECT_EQ(s.package_index_of(&devices[1]), -1) << "the routine said not found";
}

TEST_F(store_test, before_vista_only_oem_drivers_count) {
  const auto old = store_layout(root, 51);
  write(in(old.store_root, u"machine\\machine.inf"), "inbox");
  write(in(old.store_root, u"oem3\\net.inf"), "[Version]\r\nnet\r\n");
  auto s = store(51);
  s.collect_driver_packages(devices);
  ASSERT_EQ(s.packages().size(), 1u);
  EXPECT_EQ(s.packages()[0].folder, u"oem3");
  EXPECT_EQ(s.package_index_of(&devices[3]), -1) << "machine.inf is never listed before Vista";
}

TEST(archive_names, blanks_and_forbidden_characters_become_dashes) {
  device_record d;
  driver_package package{false, u"f", {&d}};
  d.driver_description = u"  Intel(R) USB 3.0 eXtensible Host Controller - 1.0 (Microsoft) ";
  EXPECT_EQ(archive_name_for(package, u"B"),
            platform::join_path(u"B", u"Intel(R)-USB-3.0-eXtensible-Host-Controller---1.0-(Microsoft).zip"));
  d.driver_description = u"A \"B\"\t<C>|D?*";
  EXPECT_EQ(archive_name_for(package, u"B"), platform::join_path(u"B", u"A--B---C--D.zip")) << "no dash at the ends";
  d.driver_description = u"   ";
  EXPECT_EQ(archive_name_for(package, u"B"), platform::join_path(u"B", u"driver.zip"));
  d.driver_description = u"con";
  EXPECT_EQ(archive_name_for(package, u"B"), platform::join_path(u"B", u"condriver.zip"));
  d.driver_description = u"Com1.Port";  // a device name with an extension is a device too
  EXPECT_EQ(archive_name_for(package, u"B"), platform::join_path(u"B", u"Com1driver.Port.zip"));
  d.inf_path = u"oem12.inf";
  d.driver_description = u"<*>";
  EXPECT_EQ(archive_name_for(package, u"B"), platform::join_path(u"B", u"oem12.zip")) << "nothing readable left";
  d.driver_description = std::u16string(150, u'x');
  EXPECT_EQ(archive_name_for(package, u"B"), platform::join_path(u"B", std::u16string(100, u'x') + u".zip"));
}

TEST_F(backup_flow, backs_up_packages_and_records_them) {
  auto s = store();
  s.collect_driver_packages(devices);
  backup_catalogue_c catalogue(catalogue_file, backups);
  backup_context context{s, catalogue, backups, "2026-01-02"};
  ASSERT_EQ(backup_worker(context, {&devices[0], &devices[1]}), 0);

  const auto archive = archive_name_for(s.packages()[0], backups);
  unzip_archive_c zip;
  ASSERT_TRUE(zip.open(archive));
  const auto unpacked = folder.below("unpacked");
  ASSERT_TRUE(zip.extract_all(unpacked).result);
  zip.close();
  EXPECT_EQ(read(in(unpacked, u"x64\\net.sys")), "binary") << "nested files keep their folder";
  EXPECT_FALSE(platform::file_exists(in(unpacked, u".hidden\\skip.txt")));

  auto entries = catalogue.entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].date, "2026-01-02");
  EXPECT_EQ(entries[0].devices.size(), 2u) << "every device of the package";

  // The same package again on a later day: one entry, the later date.
  context.today = "2026-02-03";
  ASSERT_EQ(backup_worker(context, {&devices[2]}), 0);
  entries = catalogue.entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].date, "2026-02-03");
  EXPECT_EQ(backup_worker(context, {&devices[3]}), -1) << "a device without package";
}

TEST_F(backup_flow, the_catalogue_reads_back_and_forgets_what_is_gone) {
  auto s = store();
  s.collect_driver_packages(devices);
  backup_catalogue_c catalogue(catalogue_file, backups);
  backup_context context{s, catalogue, backups, "2026-01-02"};
  ASSERT_EQ(backup_worker(context, {&devices[0], &devices[1]}), 0);
  const std::string saved = read(catalogue_file);
  EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<quillary>\r\n\t<driver>\r\n\t\t<file>", 0), 0u);
  EXPECT_NE(saved.find("<![CDATA[PCI\\NET1]]>"), std::string::npos);

  backup_catalogue_c reread(catalogue_file, backups);
  ASSERT_EQ(reread.load(), 0);
  ASSERT_EQ(reread.save(), 0);
  EXPECT_EQ(read(catalogue_file), saved) << "byte for byte";
  EXPECT_EQ(reread.entries()[0].devices[0].archive, from_ansi(reread.entries()[0].file));

  // The display archive is deleted; NET2 (the network entry's second
  // device) is unplugged.
  platform::remove_file(archive_name_for(s.packages()[1], backups));
  const std::vector<device_record> fewer = {devices[0], devices[3]};
  backup_catalogue_c partial(catalogue_file, backups);
  ASSERT_EQ(partial.load(), 0);
  ASSERT_EQ(partial.entries().size(), 1u) << "the entry of the deleted archive drops out";
  const auto network = partial.entries()[0].devices;
  ASSERT_EQ(network.size(), 2u) << "an unplugged device stays";
  EXPECT_TRUE(is_present(network[0], fewer));
  EXPECT_FALSE(is_present(network[1], fewer)) << "NET2 is not in this device list";

  write(catalogue_file, "<?xml version=\"1.0\"?><quillary></quillary>");
  EXPECT_EQ(partial.load(), -1);
  EXPECT_EQ(partial.entries().size(), 1u) << "no driver element: unchanged";
}

TEST_F(backup_flow, a_reload_during_a_backup_sees_a_whole_catalogue) {
  auto s = store();
  s.collect_driver_packages(devices);
  backup_catalogue_c catalogue(catalogue_file, backups);
  backup_context context{s, catalogue, backups, "2026-01-02"};
  ASSERT_EQ(backup_worker(context, {&devices[0]}), 0);
  int failed_backups = 0;
  std::thread worker([&] {
    for (int i = 0; i < 20; ++i) failed_backups += backup_worker(context, {&devices[1], &devices[0]}) != 0;
  });
  // A page with a catalogue of its own, and one that shares the worker's.
  backup_catalogue_c page(catalogue_file, backups);
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(page.load(), 0) << "the file is never seen half written";
    EXPECT_EQ(catalogue.load(), 0);
    EXPECT_FALSE(catalogue.entries().empty());
  }
  worker.join();
  EXPECT_EQ(failed_backups, 0);
  ASSERT_EQ(page.load(), 0);
  EXPECT_EQ(page.entries().size(), 2u);
  EXPECT_TRUE(page.set_aside_files().empty() && catalogue.set_aside_files().empty());
}

TEST_F(backup_flow, restore_unpacks_beside_the_archive_and_forces_the_installer) {
  ASSERT_EQ(back_up_display(), 0);
  std::vector<std::string> events;
  testing::counting_restore_points_c points;
  points.events = &events;
  testing::event_shell_c shell(events);
  restore_request request;
  request.archive = u"Display.zip";
  request.busy = 1;
  {
    restore_point_batch_c batch(points);
    ASSERT_EQ(restore_archive(request, backups, shell, batch), 0);
  }
  EXPECT_EQ(request.busy, 0);
  EXPECT_EQ(read(in(backups, u"Display\\disp.inf")), "[Version]\r\ndisplay\r\n");
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].parameters, u"/SH /F /PATH \"" + in(backups, u"Display") + u"\"");
  EXPECT_EQ(points.begun, std::vector<std::u16string>{u"Quillary: before installing Display"});
  EXPECT_EQ(events, (std::vector<std::string>{"restore point", "open"})) << "the restore point comes first";
  EXPECT_EQ(request.report.restore_point.state, restore_point_state::made);

  // A later restore of that name installs what the archive holds, not what
  // an earlier restore left in the folder. Without System Restore it goes on.
  write(in(backups, u"Display\\disp.inf"), "left by an earlier restore");
  write(in(backups, u"Display\\stale\\old.inf"), "an older backup's driver");
  request.busy = 1;
  points.answer = testing::no_system_restore();
  restore_point_batch_c batch(points);
  ASSERT_EQ(restore_archive(request, backups, shell, batch), 0);
  EXPECT_EQ(read(in(backups, u"Display\\disp.inf")), "[Version]\r\ndisplay\r\n");
  EXPECT_FALSE(platform::file_exists(in(backups, u"Display\\stale"))) << "the forced installer would take it too";
  EXPECT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(request.report.restore_point.state, restore_point_state::not_supported);
  shell.calls.clear();

  request.archive = u"Missing.zip";
  request.busy = 1;
  points.begun.clear();
  restore_point_batch_c another(points);
  EXPECT_EQ(restore_archive(request, backups, shell, another), -1);
  EXPECT_EQ(request.busy, 0);
  EXPECT_FALSE(platform::file_exists(in(backups, u"Missing"))) << "no folder for a missing archive";
  EXPECT_TRUE(shell.calls.empty());
  EXPECT_TRUE(points.begun.empty()) << "nothing to restore, no restore point";
}

TEST_F(backup_flow, without_dpinst_windows_10_restores_through_pnputil) {
  ASSERT_EQ(back_up_display(), 0);
  const auto system_folder = folder.below("System32");
  platform::create_directories(system_folder);
  write(in(system_folder, u"pnputil.exe"), "a program");
  testing::fake_system_c windows_10(10, 0, 19045);
  windows_10.system = system_folder;
  testing::taken_snapshot_c snapshot(windows_10);
  snapshot.info().working_folder = folder.below("program");  // no DPInst there
  recording_shell_c shell;
  shell.exit_code = 259;
  testing::counting_restore_points_c points;
  restore_point_batch_c batch(points);
  restore_request request;
  request.archive = u"Display.zip";
  request.system = installer_system_of(snapshot.info());
  ASSERT_EQ(restore_archive(request, backups, shell, batch), 0);
  const std::vector<recording_shell_c::call> expected{
      {in(system_folder, u"pnputil.exe"),
       u"/add-driver \"" + in(in(backups, u"Display"), u"*.inf") + u"\" /subdirs /install", true}};
  EXPECT_EQ(shell.calls, expected);
  // pnputil cannot force: an older driver than the installed one stays in
  // the store, and the report says so.
  EXPECT_EQ(request.report.installer.exit_code, 259u);
  EXPECT_EQ(points.begun.size(), 1u);
}

TEST_F(backup_flow, a_package_folder_that_is_gone_fails_and_keeps_the_earlier_archive) {
  auto s = store();
  s.collect_driver_packages(devices);
  backup_catalogue_c catalogue(catalogue_file, backups);
  backup_context context{s, catalogue, backups, "2026-01-02"};
  ASSERT_EQ(backup_worker(context, {&devices[1]}), 0);
  const auto& package = s.packages()[1];
  std::filesystem::remove_all(std::filesystem::path(platform::join_path(s.paths().store_root, package.folder)));

  context.today = "2026-03-04";
  EXPECT_EQ(backup_worker(context, {&devices[1]}), -1) << "not an empty archive passed off as a backup";
  unzip_archive_c zip;
  ASSERT_TRUE(zip.open(archive_name_for(package, backups)));
  ASSERT_TRUE(zip.extract_all(folder.below("earlier")).result);
  EXPECT_EQ(read(in(folder.below("earlier"), u"disp.inf")), "[Version]\r\ndisplay\r\n");
  EXPECT_FALSE(platform::file_exists(archive_name_for(package, backups) + u".tmp"));
  EXPECT_EQ(catalogue.entries().at(0).date, "2026-01-02");
}

}  // namespace
}  // namespace quillary
