// Driver package installation: a downloaded package is extracted into a
// folder of its own beside it and a driver package installer is pointed at
// the folder holding the package's INF files: Microsoft's DPInst from the
// program's folder, started and left to its own window, or, where DPInst is
// not there (and always on ARM64 PCs), Windows' own pnputil, which the
// installation waits for. Without such INF files the package's own setup
// program is started, and a download that is no archive at all is opened
// through the shell. A setup program (or a download that is itself a
// program) starts only when Windows trusts its Authenticode signature: it
// would run with administrator rights. A restore point comes first.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include <vector>

#include "base/sha256.h"
#include "devices/device_record.h"
#include "download/package_signature.h"
#include "download/restore_point_batch.h"
#include "download/thread_call.h"
#include "platform/authenticode.h"

namespace quillary {

class shell_i;

enum class driver_installer { none, dpinst, pnputil };

// What decides the driver package installer.
struct installer_situation {
  // DPInst64 is an x64 program: on an ARM64 PC it would install the x64
  // drivers of a package, which cannot run there. pnputil is native.
  bool arm64 = false;
  bool dpinst_present = false;   // DPInst64.exe or DPInst32.exe, by width, in the program's folder
  bool pnputil_present = false;  // pnputil.exe in the system folder
  bool pnputil_adds_drivers = false;  // it knows /add-driver: Windows 10 1607 (build 14393) and later
};

// DPInst where it lies in the program's folder (as the program always did),
// else pnputil where it can install; else DPInst's start is tried as
// before, and fails. On ARM64 PCs only pnputil, or nothing.
driver_installer choose_driver_installer(const installer_situation& situation);

// What the choice of driver installer needs to know of the system; the
// program fills it from its snapshot (a default one is a 32-bit system
// before Vista with no folders known: DPInst32 in the current directory).
struct installer_system {
  bool is_64bit = false;
  bool arm64 = false;
  int32_t os_version_code = 0;
  uint32_t build = 0;
  std::u16string system_folder;   // where pnputil.exe is
  std::u16string program_folder;  // where DPInst is; the current directory when empty
};
struct system_snapshot;
installer_system installer_system_of(const system_snapshot& snapshot);

// The situation on that system: its facts and the files present.
installer_situation installer_situation_of(const installer_system& system);

// The first build whose pnputil has /add-driver, /subdirs and /install.
constexpr uint32_t pnputil_add_driver_first_build = 14393;

// What came of starting the driver package installer.
struct installer_run {
  driver_installer installer = driver_installer::none;
  std::u16string program;
  std::u16string parameters;
  bool started = false;
  // pnputil is waited for and its exit code kept; DPInst's own window
  // takes over and nobody waits for it.
  bool waited = false;
  uint32_t exit_code = 0;
};

const char* installer_name(driver_installer installer);  // "none", "dpinst", "pnputil"
// What pnputil's exit code means, in English for the command line.
std::string describe_pnputil_exit(uint32_t exit_code);

// What the offer told the user about the driver of one INF of the package.
struct offered_driver {
  std::u16string version;  // dotted, as the page shows it
  std::u16string date;     // YYYY-MM-DD
  bool operator==(const offered_driver& other) const { return version == other.version && date == other.date; }
};
// By the package-relative INF path the offer names.
using offered_drivers = std::map<std::u16string, offered_driver>;

// How one installation is to run.
struct install_options {
  // Installs even drivers that are not better than the installed ones
  // (DPInst's /F; pnputil has no such switch).
  bool force = false;
  // Names the restore point; the package's file name when empty.
  std::u16string package_name;
  // Asked for a restore point before anything is started; none without.
  restore_point_batch_c* restore_points = nullptr;
  // The page showed these versions and dates: each named INF must exist in
  // the extracted package and its DriverVer must say the same, or nothing
  // is started.
  offered_drivers offered;
  // Checks the package's setup program before it starts. Without one
  // nothing can be checked, so no setup program starts.
  authenticode_i* authenticode = nullptr;
  installer_system system;
};

// What one installation did.
struct install_report {
  std::u16string folder;  // the extraction folder
  // Whether the package's INF files were found, so that a driver package
  // installer was to start on them; `installer` says which one did.
  bool driver_installer_chosen = false;
  installer_run installer;
  // Without them: the package's own setup program, when it has one, and
  // whether it started; else the folder was shown to the user.
  std::u16string setup_program;
  bool setup_program_started = false;
  // A download that is no archive, opened as it is (a program of its own,
  // or a file for the application that opens its kind).
  bool package_opened = false;
  // The Authenticode check of the program that was to start: the setup
  // program, or the download itself when it is a program (none for a
  // driver package installer, a folder or a document). Any verdict but
  // "trusted" refuses it: nothing was started, no restore point asked for.
  std::optional<authenticode_answer> setup_program_trust;
  bool setup_program_refused = false;
  restore_point_outcome restore_point;
  // Whether the link went into the list of installed packages.
  bool link_recorded = false;
  // What the check of the publisher's signature found, just before the
  // package was extracted.
  signature_verdict signature = signature_verdict::not_required;
  // Why the package is not the one offered (its INF missing, or another
  // DriverVer), in English; empty when it is.
  std::string offer_mismatch;
  // The backup of the drivers the package replaces, made by the user's
  // process before anything else: "made", "not_needed", "failed" (the user
  // chose to install anyway), "skipped" (the command line's --no-backup),
  // or empty when none was asked for; the
  // archives it made in the backup folder, and why it failed.
  std::string backup_state;
  std::vector<std::u16string> backup_archives;
  std::string backup_problem;
  // A roll back: how the earlier drivers came back ("windows": Windows' own
  // roll back; "backup": the backup restored), and whether the link left
  // the list of installed packages.
  std::string rollback_route;
  bool link_removed = false;
};

// pnputil's codes for drivers it installed (0, and 3010 or 1641 with a
// restart to follow or under way).
bool pnputil_installed(uint32_t exit_code);

// Whether `install_package` (result) and what followed started an
// installation that did not fail as far as the installer reports: a
// driver package installer that started (pnputil with an installing exit
// code), the package's setup program, or the package itself. Only then is
// the package recorded as installed: a device whose package was not
// installed must be offered it again.
bool installation_started(int result, const install_report& report);

// What one installation needs. One package has one job (its download
// session keeps it), so that it is never installed twice at once, whatever
// panels come and go meanwhile. Lives as long as its thread: the session
// and the thread share it.
struct install_job {
  std::u16string package_path;
  // The package-relative INF paths the update service named for the
  // package's devices, in plain character order.
  std::set<std::u16string> inf_paths;
  offered_drivers offered;
  // The offer's signature, checked again just before extraction.
  signed_offer signature;
  std::u16string download_folder;
  std::u16string package_name;  // the title the user knows the package by
  // The devices the package is for, as the scan found them: the drivers
  // they have now are backed up before it is installed.
  std::vector<device_record> devices;
  // The digest the download was checked against, when the offer named one:
  // the package is installed only while it still gives it.
  std::optional<sha256_digest> expected_digest;
  bool force = false;
  shell_i* shell = nullptr;
  // Checks a setup program before it starts (see install_options).
  authenticode_i* authenticode = nullptr;
  installer_system system;
  // The package's link and the list of installed packages it goes into
  // once an installation has really started (none when either is empty).
  std::string link;
  std::u16string setup_dat;
  // Shared by the jobs of one batch ("download all"); a job without one
  // makes a batch of its own.
  std::shared_ptr<restore_point_batch_c> restore_points;
  std::atomic<bool> busy{false};
  thread_call call;
  // Written by the job's thread; read once `call.ended` is seen.
  install_report report;
  // On the window thread: whether a panel has shown how the last run ended
  // (the panel that started it may be gone by then).
  bool end_shown = true;
  // Whether the panel that shows its end tells what its whole batch shares
  // (the restore point, a declined prompt): told once, by the first job's.
  bool speaks_for_batch = true;
};

// The name a restore point gives the package: the title the user knows it
// by, else its file name.
std::u16string package_title(const std::u16string& given, const std::u16string& package_path);

// The folder a package is extracted into: the base folder joined with the
// package's file name without its extension.
std::u16string extraction_folder(const std::u16string& package_path, const std::u16string& base_folder);

// Extracts the package into a fresh extraction folder (files an earlier
// extraction left there go) and starts the installer: 0 when the archive
// was extracted, -1 when it is not an archive (or there is no folder for
// it), `damaged_package` when an entry could not be extracted whole or
// would land outside the folder (nothing is started then). `force` has the
// installer install even drivers that are not better than the installed
// ones. INF paths that would lead outside the package are ignored.
constexpr int damaged_package = -2;
// No folder could be made to extract it into (no room, no rights).
constexpr int no_extraction_folder = -3;
// The extracted package does not hold what the offer said (see
// install_options::offered); nothing was started.
constexpr int offer_mismatch = -7;
// The publisher's signature does not vouch for the file (see
// install_report::signature); it was not extracted.
constexpr int signature_refused = -9;
// The package's setup program (or the download, a program itself) is not
// signed by a publisher Windows trusts: it was not started, nor anything
// else (`setup_program_trust` says why).
constexpr int untrusted_setup_program = -8;
int install_package(const std::u16string& package_path, const std::set<std::u16string>& inf_paths,
                    const std::u16string& download_folder, shell_i& shell, const install_options& options = {},
                    install_report* report = nullptr);

// The INF paths that stay inside the package: absolute ones, drive
// letters, climbing parts ("..") and device names are dropped.
std::set<std::u16string> contained_inf_paths(const std::set<std::u16string>& inf_paths);

// The longest common prefix of the INF paths, cut back to just after its
// last backslash; empty when it has no backslash.
std::u16string common_inf_folder(const std::set<std::u16string>& inf_paths);

// The one setup program of a folder (or, among several, setup.exe or
// autorun.exe), as a full path; empty when there is none.
std::u16string find_setup_program(const std::u16string& folder);

// Whether Windows starts a file of this name as a program (or a script,
// an installer package, a shortcut, a registry file it merges) rather than
// opening it as a document: such a download must pass the Authenticode
// check before it is opened. Scripts and batch files carry no signature
// that the check accepts, so they are refused like unsigned programs.
bool runs_as_program(const std::u16string& name);

// Starts the driver package installer chosen for this system on a folder:
// DPInst64.exe or DPInst32.exe (by the system's width, found in the
// program's folder, the current directory), or pnputil.exe from the system
// folder, waited for. `force` installs even drivers that are not better
// than the installed ones where the installer can.
installer_run run_driver_installer(const std::u16string& folder, bool force, shell_i& shell,
                                   const installer_system& system);
std::u16string driver_installer_parameters(const std::u16string& folder, bool force);
// pnputil on every INF file of the folder and its sub-folders.
std::u16string pnputil_parameters(const std::u16string& folder);

// The body of an installation thread (the command line runs it directly):
// a restore point, then install, and open the package itself with
// the shell when it is no archive (a program only when Windows trusts its
// signature: else `untrusted_setup_program`); then, when that started an
// installation, record the link.
int install_job_run(void* job);

// Appends a package link to the list of installed packages ("setup.dat").
// Jobs of several packages may end at once: one line is written at a time.
bool record_installed_link(const std::u16string& setup_dat, const std::string& link);

// Takes every line of the link out of the list of installed packages, so
// that the next scan offers the package again. False when the list could
// not be read or written (it is then as it was); `removed` tells whether
// the link was there.
bool remove_installed_link(const std::u16string& setup_dat, const std::string& link, bool& removed);

// Starts the job on a thread of its own (shared ownership keeps the job as
// long as the thread runs). False when it is busy or no thread can be made.
bool start_install_job(const std::shared_ptr<install_job>& job);

}  // namespace quillary
