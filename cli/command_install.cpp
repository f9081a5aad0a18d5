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
  std::string package;
  install_job job;
  for (size_t i = 0; i < args.size(); ++i) {
    const bool has_value = i + 1 < args.size();
    if (args[i] == "--inf" && has_value) {
      job.inf_paths.insert(utf8_to_utf16(args[++i]));
    } else if (args[i] == "--link" && has_value) {
      job.link = args[++i];
    } else if (args[i] == "--name" && has_value) {
      job.package_name = utf8_to_utf16(args[++i]);
    } else if (args[i] == "--force") {
      job.force = true;
    } else if (package.empty() && args[i].rfind("--", 0) != 0) {
      package = args[i];
    } else {
      return usage_error("install: unexpected argument \"" + args[i] + "\"");
    }
  }
  if (package.empty()) return usage_error("install: give the PACKAGE file");
  // Relative to where the command was given, before the program's folder
  // becomes the current directory (where the installers are found).
  job.package_path = absolute(package);
  if (!platform::file_exists(job.package_path)) return fail("no such package: " + package);
  if (!take_system_snapshot()) return exit_code::failed;
  if (!platform::user_is_admin()) return fail("installing drivers needs administrator rights");

  reporting_shell_c shell;
  job.shell = &shell;
  job.download_folder = platform::parent_folder(job.package_path);
  // As the program records it: only once an installation has started.
  job.setup_dat = u"setup.dat";
  // One installation is a batch of its own: one restore point before it.
  job.restore_points = std::make_shared<restore_point_batch_c>(platform::system_restore_points());
  const int result = install_job_run(&job);
  if (result == damaged_package) {
    return fail("the package is damaged or incomplete: an entry could not be extracted whole; nothing was started");
  }
  if (result == no_extraction_folder) return fail("no folder could be made to extract the package into");
  if (!job.link.empty() && installation_started(result, job.report) && !job.report.link_recorded) {
    return fail("cannot record the link in setup.dat");
  }

  json_writer_c json;
  json.begin_object();
  json.key("extracted").value(result == 0);
  json.key("extraction_folder").value(result == 0 ? job.report.folder
                                                   : extraction_folder(job.package_path, job.download_folder));
  json.key("installation_started").value(installation_started(result, job.report));
  json.key("link_recorded").value(job.report.link_recorded);
  write_install_report(json, shell, job.report);
  json.end_object();
  print(json.text());
  return exit_code::success;
}

}  // namespace quillary::cli
