#include "download/installation.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <mutex>

#include "app/system_info.h"
#include "base/ascii_text.h"
#include "download/offer_agreement.h"
#include "download/package_extraction.h"
#include "platform/files.h"
#include "platform/restore_point.h"
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

std::u16string without_trailing_separator(std::u16string path) {
  if (!path.empty() && (path.back() == u'\\' || path.back() == platform::path_separator)) path.pop_back();
  return path;
}

std::u16string dpinst_name(const installer_system& system) {
  return system.is_64bit ? u"DPInst64.exe" : u"DPInst32.exe";
}

std::u16string pnputil_path(const installer_system& system) {
  return platform::join_path(system.system_folder, u"pnputil.exe");
}

std::u16string in_program_folder(const installer_system& system, const std::u16string& name) {
  return system.program_folder.empty() ? name : platform::join_path(system.program_folder, name);
}

bool pnputil_adds_drivers(const installer_system& system) {
  const int32_t version = system.os_version_code;
  return version > 100 || (version == 100 && system.build >= pnputil_add_driver_first_build);
}

// What an extracted package is installed with.
struct installation_target {
  enum class kind { driver_installer, setup_program, folder } what = kind::folder;
  // The folder of the INF files, the setup program, or the package's folder.
  std::u16string path;
};

// The target for the extracted package in `folder`: the driver package
// installer on the folder of its INF files, else its own setup program,
// else the folder itself, for the user to see what the package holds.
installation_target choose_target(const std::u16string& folder, const std::set<std::u16string>& inf_paths) {
  using kind = installation_target::kind;
  const std::u16string common = common_inf_folder(inf_paths);
  std::u16string target = folder + platform::path_separator;
  if (!common.empty()) target = platform::join_path(folder, platform::native_separators(common));
  if (platform::is_directory(target)) {
    for (const auto& inf : inf_paths) {
      if (platform::file_exists(platform::join_path(folder, platform::native_separators(inf)))) {
        return {kind::driver_installer, target};
      }
    }
  }
  // No INF file of the package: its own setup program, looked for from the
  // common INF folder upwards to the package's root.
  std::u16string prefix = common;
  while (!prefix.empty() && prefix.back() == u'\\') prefix.pop_back();
  while (!prefix.empty()) {
    std::u16string program = find_setup_program(platform::join_path(folder, platform::native_separators(prefix)));
    if (!program.empty()) return {kind::setup_program, std::move(program)};
    const size_t cut = prefix.rfind(u'\\');
    prefix = cut == std::u16string::npos ? std::u16string() : prefix.substr(0, cut);
  }
  std::u16string program = find_setup_program(folder);
  if (!program.empty()) return {kind::setup_program, std::move(program)};
  return {kind::folder, folder};
}

// Whether the program may start: Windows trusts its signature. It is held
// against writers from before the check until it has been started, so that
// the bytes checked are the bytes that run; a file that cannot be held (or
// no one to check it) stays unchecked. The verdict goes into the report.
bool may_start(const std::u16string& program, const platform::file_hold_c& hold, authenticode_i* authenticode,
               install_report& report) {
  authenticode_answer answer;
  if (authenticode && hold.held()) answer = authenticode->check(program);
  report.setup_program_trust = answer;
  report.setup_program_refused = answer.verdict != trust_verdict::trusted;
  return !report.setup_program_refused;
}

}  // namespace

std::u16string package_title(const std::u16string& given, const std::u16string& package_path) {
  return given.empty() ? platform::file_name_part(package_path) : given;
}

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

std::u16string find_setup_program(const std::u16string& folder) {
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
  return chosen ? platform::join_path(folder, *chosen) : std::u16string();
}

bool runs_as_program(const std::u16string& name) {
  // Programs and screen savers, installer packages and patches, batch
  // files and scripts (Windows Script Host, PowerShell, HTML applications),
  // control panel items, shortcuts (which start whatever they point at) and
  // registry files (merged into the registry when opened).
  static const char16_t* const kinds[] = {u".exe", u".com", u".scr", u".pif", u".cpl", u".msi", u".msp", u".msu",
                                          u".bat", u".cmd", u".ps1", u".vbs", u".vbe", u".js",  u".jse", u".wsf",
                                          u".wsh", u".hta", u".lnk", u".reg"};
  return std::any_of(std::begin(kinds), std::end(kinds),
                     [&](const char16_t* kind) { return has_extension(name, kind); });
}

std::u16string driver_installer_parameters(const std::u16string& folder, bool force) {
  // A folder with a trailing separator would put "\"" at the end, which the
  // installer reads as an escaped quote: the closing quote takes its place.
  std::u16string parameters =
      (force ? u"/SH /F /PATH \"" : u"/SH /PATH \"") + without_trailing_separator(folder) + u"\"";
  return parameters.substr(0, 1023);
}

std::u16string pnputil_parameters(const std::u16string& folder) {
  // The wildcard takes every INF of the folder, /subdirs those below it;
  // /install puts each on the devices it fits where it ranks best.
  return u"/add-driver \"" + platform::join_path(without_trailing_separator(folder), u"*.inf") +
         u"\" /subdirs /install";
}

driver_installer choose_driver_installer(const installer_situation& situation) {
  const bool pnputil = situation.pnputil_present && situation.pnputil_adds_drivers;
  if (situation.arm64) return pnputil ? driver_installer::pnputil : driver_installer::none;
  if (situation.dpinst_present) return driver_installer::dpinst;
  return pnputil ? driver_installer::pnputil : driver_installer::dpinst;
}

installer_system installer_system_of(const system_snapshot& snapshot) {
  installer_system system;
  system.is_64bit = is_64bit_system(snapshot);
  system.arm64 = architecture_of(snapshot) == os_architecture::arm64;
  system.os_version_code = os_version_code_of(snapshot);
  system.build = snapshot.version.build;
  system.system_folder = snapshot.system_folder;
  system.program_folder = snapshot.working_folder;
  return system;
}

installer_situation installer_situation_of(const installer_system& system) {
  installer_situation situation;
  situation.arm64 = system.arm64;
  situation.dpinst_present = platform::file_exists(in_program_folder(system, dpinst_name(system)));
  situation.pnputil_present = !system.system_folder.empty() && platform::file_exists(pnputil_path(system));
  situation.pnputil_adds_drivers = pnputil_adds_drivers(system);
  return situation;
}

const char* installer_name(driver_installer installer) {
  switch (installer) {
    case driver_installer::none: return "none";
    case driver_installer::dpinst: return "dpinst";
    case driver_installer::pnputil: return "pnputil";
  }
  return "";
}

std::string describe_pnputil_exit(uint32_t exit_code) {
  switch (exit_code) {
    case 0: return "installed";
    case 259: return "nothing installed: no device fits, or the devices already have a better or newer driver";
    case 1641: return "installed; the system is restarting";
    case 3010: return "installed; a restart completes the installation";
    default: return "failed (error " + std::to_string(exit_code) + ")";
  }
}

installer_run run_driver_installer(const std::u16string& folder, bool force, shell_i& shell,
                                   const installer_system& system) {
  installer_run run;
  run.installer = choose_driver_installer(installer_situation_of(system));
  switch (run.installer) {
    case driver_installer::none:
      break;
    case driver_installer::dpinst:
      run.program = dpinst_name(system);
      run.parameters = driver_installer_parameters(folder, force);
      run.started = shell.open(run.program, run.parameters);
      break;
    case driver_installer::pnputil:
      // pnputil has no window to show its outcome: the thread waits for its
      // exit code. It has no switch to force either; a driver that ranks
      // below the installed one is added to the store but not put on.
      run.program = pnputil_path(system);
      run.parameters = pnputil_parameters(folder);
      run.started = shell.run_and_wait(run.program, run.parameters, run.exit_code);
      run.waited = run.started;
      break;
  }
  return run;
}

std::set<std::u16string> contained_inf_paths(const std::set<std::u16string>& inf_paths) {
  std::set<std::u16string> kept;
  for (const auto& inf : inf_paths) {
    if (!inf.empty() && !platform::escapes_folder(inf)) kept.insert(inf);
  }
  return kept;
}

int install_package(const std::u16string& package_path, const std::set<std::u16string>& inf_paths,
                    const std::u16string& download_folder, shell_i& shell, const install_options& options,
                    install_report* report) {
  install_report unread;
  install_report& out = report ? *report : unread;
  const std::u16string folder = extraction_folder(package_path, download_folder);
  // Into the folder by absolute paths: no thread's current directory changes.
  const package_extraction extraction = extract_fresh(package_path, folder);
  if (extraction.status == extraction_status::not_an_archive) return -1;
  if (extraction.status == extraction_status::no_folder) return no_extraction_folder;
  // An installer started on part of a package would install something
  // other than the package.
  if (extraction.status == extraction_status::damaged) return damaged_package;
  out.folder = extraction.folder;
  // What the page showed (version, date) must be what the package holds;
  // the first INF that disagrees stops everything before a restore point
  // is asked for or anything is started.
  for (const auto& [inf, driver] : options.offered) {
    const offer_agreement agreement = check_offer_agreement(extraction.folder, inf, driver.version, driver.date);
    if (agreement.verdict != offer_verdict::matches) {
      out.offer_mismatch = agreement.reason;
      return offer_mismatch;
    }
  }
  delete_pages(extraction.folder);
  // The INF paths come from the network: one that names anything outside
  // the package must not point the installer there.
  const installation_target target = choose_target(extraction.folder, contained_inf_paths(inf_paths));
  using kind = installation_target::kind;
  const auto ask_for_restore_point = [&] {
    if (options.restore_points) {
      out.restore_point = options.restore_points->before_installing(package_title(options.package_name, package_path));
    }
  };
  switch (target.what) {
    case kind::driver_installer:
      ask_for_restore_point();
      out.driver_installer_chosen = true;
      out.installer = run_driver_installer(target.path, options.force, shell, options.system);
      break;
    case kind::setup_program: {
      out.setup_program = target.path;
      const platform::file_hold_c hold(target.path);
      // A refused program changes nothing: not even a restore point.
      if (!may_start(target.path, hold, options.authenticode, out)) return untrusted_setup_program;
      ask_for_restore_point();
      out.setup_program_started = shell.open(target.path, u"");
      break;
    }
    case kind::folder:
      ask_for_restore_point();
      shell.open(target.path, u"");  // let the user see what the package holds
      break;
  }
  return 0;
}

int install_job_run(void* argument) {
  auto& job = *static_cast<install_job*>(argument);
  job.report = install_report{};  // a job runs again with the panel's next click
  const auto restore_points =
      job.restore_points ? job.restore_points : std::make_shared<restore_point_batch_c>(platform::system_restore_points());
  install_options options;
  options.force = job.force;
  options.package_name = job.package_name;
  options.restore_points = restore_points.get();
  options.offered = job.offered;
  options.authenticode = job.authenticode;
  options.system = job.system;
  const int result = install_package(job.package_path, job.inf_paths, job.download_folder, *job.shell, options,
                                     &job.report);
  // Not an archive: a program of its own, or a file for the application
  // that opens its kind.
  if (result == -1) {
    const auto open_package = [&] {
      job.report.restore_point = restore_points->before_installing(package_title(job.package_name, job.package_path));
      job.report.package_opened = job.shell->open(job.package_path, u"");
    };
    if (runs_as_program(job.package_path)) {
      const platform::file_hold_c hold(job.package_path);
      if (!may_start(job.package_path, hold, job.authenticode, job.report)) return untrusted_setup_program;
      open_package();
    } else {
      open_package();
    }
  }
  if (!job.link.empty() && !job.setup_dat.empty() && installation_started(result, job.report)) {
    job.report.link_recorded = record_installed_link(job.setup_dat, job.link);
  }
  return result;
}

bool pnputil_installed(uint32_t exit_code) { return exit_code == 0 || exit_code == 3010 || exit_code == 1641; }

bool installation_started(int result, const install_report& report) {
  if (result == -1) return report.package_opened;
  if (result != 0) return false;
  if (!report.driver_installer_chosen) return report.setup_program_started;
  const installer_run& run = report.installer;
  return run.started && (!run.waited || pnputil_installed(run.exit_code));
}

namespace {
// Jobs, and a roll back, may change the list at once: one at a time.
std::mutex& setup_dat_writer() {
  static std::mutex one_writer;
  return one_writer;
}
}  // namespace

bool record_installed_link(const std::u16string& setup_dat, const std::string& link) {
  const std::lock_guard<std::mutex> hold(setup_dat_writer());
  std::FILE* file = platform::open_file(setup_dat, "ab");
  if (!file) return false;
  const std::string line = link + "\r\n";
  const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
  return std::fclose(file) == 0 && written;
}

bool remove_installed_link(const std::u16string& setup_dat, const std::string& link, bool& removed) {
  removed = false;
  const std::lock_guard<std::mutex> hold(setup_dat_writer());
  std::string bytes;
  if (!platform::file_exists(setup_dat)) return true;
  if (!platform::read_whole_file(setup_dat, bytes)) return false;
  // Every line that names the link goes, as the scan reads lines (blanks
  // around them do not count); every other line stays as it was.
  std::string kept;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    end = end == std::string::npos ? bytes.size() : end + 1;
    const std::string_view line(bytes.data() + start, end - start);
    if (trim_blanks(line) == link) {
      removed = true;
    } else {
      kept.append(line);
    }
    start = end;
  }
  if (!removed) return true;
  // Written beside it and put in place: a failure leaves the list whole.
  const std::u16string temporary = setup_dat + u".tmp";
  std::FILE* file = platform::open_file(temporary, "wb");
  if (!file) return false;
  const bool written = std::fwrite(kept.data(), 1, kept.size(), file) == kept.size();
  if (std::fclose(file) != 0 || !written || !platform::replace_file(temporary, setup_dat)) {
    platform::remove_file(temporary);
    removed = false;
    return false;
  }
  return true;
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
