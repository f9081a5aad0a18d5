#include "app/json_writer.h"
#include "cli/cli.h"
#include "cli/install_output.h"
#include "download/installation.h"
#include "platform/files.h"
#include "platform/restore_point.h"
#include "platform/system.h"
#include "platform/text.h"

namespace quillary::cli {
namespace {

std::u16string absolute(const std::string& path) {
  const std::u16string text = utf8_to_utf16(path);
  const bool rooted = !text.empty() && (text[0] == u'/' || text[0] == u'\\' || (text.size() > 1 && text[1] == u':'));
  return rooted ? text : platform::join_path(platform::current_directory(), text);
}

}  // namespace

int run_install(const arguments& args) {
  std::string package, link;
  std::set<std::u16string> inf_paths;
  install_options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const bool has_value = i + 1 < args.size();
    if (args[i] == "--inf" && has_value) {
      inf_paths.insert(utf8_to_utf16(args[++i]));
    } else if (args[i] == "--link" && has_value) {
      link = args[++i];
    } else if (args[i] == "--name" && has_value) {
      options.package_name = utf8_to_utf16(args[++i]);
    } else if (args[i] == "--force") {
      options.force = true;
    } else if (package.empty() && args[i].rfind("--", 0) != 0) {
      package = args[i];
    } else {
      return usage_error("install: unexpected argument \"" + args[i] + "\"");
    }
  }
  if (package.empty()) return usage_error("install: give the PACKAGE file");
  // Relative to where the command was given, before the program's folder
  // becomes the current directory (where the installers are found).
  const std::u16string package_path = absolute(package);
  if (!platform::file_exists(package_path)) return fail("no such package: " + package);
  if (!take_system_snapshot()) return exit_code::failed;
  if (!platform::user_is_admin()) return fail("installing drivers needs administrator rights");

  if (!link.empty() && !record_installed_link(u"setup.dat", link)) {
    return fail("cannot record the link in setup.dat");
  }
  reporting_shell_c shell;
  std::u16string folder = package_path.substr(0, package_path.find_last_of(u"\\/"));
  // One installation is a batch of its own: one restore point before it.
  restore_point_batch_c restore_points(platform::system_restore_points());
  options.restore_points = &restore_points;
  install_report report;
  const int result = install_package(package_path, inf_paths, folder, shell, options, &report);
  if (result == damaged_package) {
    return fail("the package is damaged or incomplete: an entry could not be extracted whole; nothing was started");
  }
  if (result < 0) {  // not an archive: opened as itself
    report.restore_point = restore_points.before_installing(package_title(options.package_name, package_path));
    shell.open(package_path, u"");
  }

  json_writer_c json;
  json.begin_object();
  json.key("extracted").value(result == 0);
  json.key("extraction_folder").value(result == 0 ? report.folder : extraction_folder(package_path, folder));
  write_install_report(json, shell, report);
  json.end_object();
  print(json.text());
  return exit_code::success;
}

}  // namespace quillary::cli
