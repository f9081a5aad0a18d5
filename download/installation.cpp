#include "download/installation.h"

#include <algorithm>
#include <cstdio>

#include "app/system_info.h"
#include "download/package_extraction.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text.h"

namespace quillary {
namespace {

bool has_extension(const std::u16string& name, const char16_t* extension) {
  const std::u16string_view ext(extension);
  return name.size() > ext.size() && equal_ignore_case(std::u16string_view(name).substr(name.size() - ext.size()), ext);
}

// Pages beside the INF files are readmes of the package's vendor.
void delete_pages(const std::u16string& folder) {
  for (const auto& name : platform::folder_entries(folder)) {
    if (has_extension(name, u".htm")) platform::remove_file(platform::join_path(folder, name));
  }
}

// The installer for the extracted package in `folder`.
void start_installer(const std::u16string& folder, const std::set<std::u16string>& inf_paths, shell_i& shell,
                     bool force) {
  const std::u16string common = common_inf_folder(inf_paths);
  std::u16string target = folder + platform::path_separator;
  if (!common.empty()) target = platform::join_path(folder, platform::native_separators(common));
  if (platform::is_directory(target)) {
    for (const auto& inf : inf_paths) {
      if (platform::file_exists(platform::join_path(folder, platform::native_separators(inf)))) {
        run_driver_installer(target, force, shell);
        return;
      }
    }
  }
  // No INF file of the package: its own setup program, looked for from the
  // common INF folder upwards to the package's root.
  std::u16string prefix = common;
  while (!prefix.empty() && prefix.back() == u'\\') prefix.pop_back();
  while (!prefix.empty()) {
    if (find_setup_program(platform::join_path(folder, platform::native_separators(prefix)), shell) == 0) return;
    const size_t cut = prefix.rfind(u'\\');
    prefix = cut == std::u16string::npos ? std::u16string() : prefix.substr(0, cut);
  }
  if (find_setup_program(folder, shell) == 0) return;
  shell.open(folder, u"");  // let the user see what the package holds
}

}  // namespace

std::u16string extraction_folder(const std::u16string& package_path, const std::u16string& base_folder) {
  std::u16string name = platform::file_name_part(package_path);
  if (const size_t dot = name.rfind(u'.'); dot != std::u16string::npos) name.resize(dot);
  return platform::join_path(base_folder, name);
}


std::u16string common_inf_folder(const std::set<std::u16string>& inf_paths) {
  if (inf_paths.empty()) return {};
  std::u16string prefix = *inf_paths.begin();
  for (const auto& path : inf_paths) {
    size_t n = 0;
    while (n < prefix.size() && n < path.size() && prefix[n] == path[n]) ++n;
    prefix.resize(n);
  }
  const size_t cut = prefix.rfind(u'\\');
  return cut == std::u16string::npos ? std::u16string() : prefix.substr(0, cut + 1);
}

int find_setup_program(const std::u16string& folder, shell_i& shell) {
  std::vector<std::u16string> programs;
  for (const auto& name : platform::folder_entries(folder)) {
    if (has_extension(name, u".exe")) programs.push_back(name);
  }
  const std::u16string* chosen = nullptr;
  if (programs.size() == 1) {
    chosen = &programs.front();
  } else {
    for (const auto& name : programs) {
      if (equal_ignore_case(name, u"setup.exe") || equal_ignore_case(name, u"autorun.exe")) {
        chosen = &name;
        break;
      }
    }
  }
  if (!chosen) return -1;
  shell.open(platform::join_path(folder, *chosen), u"");
  return 0;
}

std::u16string driver_installer_parameters(const std::u16string& folder, bool force) {
  // A folder with a trailing separator would put "\"" at the end, which the
  // installer reads as an escaped quote: the closing quote takes its place.
  std::u16string path = folder;
  if (!path.empty() && (path.back() == u'\\' || path.back() == platform::path_separator)) path.pop_back();
  std::u16string parameters = (force ? u"/SH /F /PATH \"" : u"/SH /PATH \"") + path + u"\"";
  return parameters.substr(0, 1023);
}

void run_driver_installer(const std::u16string& folder, bool force, shell_i& shell) {
  shell.open(is_64bit_system() ? u"DPInst64.exe" : u"DPInst32.exe", driver_installer_parameters(folder, force));
}

std::set<std::u16string> contained_inf_paths(const std::set<std::u16string>& inf_paths) {
  std::set<std::u16string> kept;
  for (const auto& inf : inf_paths) {
    if (!inf.empty() && !platform::escapes_folder(inf)) kept.insert(inf);
  }
  return kept;
}

int install_package(const std::u16string& package_path, const std::set<std::u16string>& inf_paths,
                    const std::u16string& download_folder, shell_i& shell, bool force, std::u16string* used_folder) {
  const std::u16string folder = extraction_folder(package_path, download_folder);
  // Into the folder by absolute paths: no thread's current directory changes.
  const package_extraction extraction = extract_fresh(package_path, folder);
  if (extraction.status == extraction_status::not_an_archive) return -1;
  // An installer started on part of a package would install something
  // other than the package.
  if (extraction.status == extraction_status::damaged) return damaged_package;
  if (used_folder) *used_folder = extraction.folder;
  delete_pages(extraction.folder);
  // The INF paths come from the network: one that names anything outside
  // the package must not point the installer there.
  start_installer(extraction.folder, contained_inf_paths(inf_paths), shell, force);
  return 0;
}

int install_job_run(void* argument) {
  auto& job = *static_cast<install_job*>(argument);
  const int result = install_package(job.package_path, job.inf_paths, job.download_folder, *job.shell);
  // Not an archive: a program of its own, or a file for the application
  // that opens its kind.
  if (result == -1) job.shell->open(job.package_path, u"");
  return result;
}

bool record_installed_link(const std::u16string& setup_dat, const std::string& link) {
  std::FILE* file = platform::open_file(setup_dat, "ab");
  if (!file) return false;
  const std::string line = link + "\r\n";
  const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
  return std::fclose(file) == 0 && written;
}

bool start_install_job(const std::shared_ptr<install_job>& job) {
  if (job->busy.exchange(true)) return false;
  job->call.ended = false;
  // The thread holds its own reference: a panel destroyed meanwhile does
  // not take the job away from under it. `busy` is cleared last, so a job
  // started again never has its new outcome written over by this thread.
  try {
    std::thread([job] {
      job->call.result = install_job_run(job.get());
      job->call.ended = true;
      job->busy = false;
    }).detach();
  } catch (const std::system_error&) {
    job->busy = false;
    return false;
  }
  return true;
}

}  // namespace quillary
