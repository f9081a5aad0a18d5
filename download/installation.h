// Driver package installation: a downloaded package is extracted into a
// folder of its own beside it and Microsoft's driver package installer is
// pointed at the folder holding the package's INF files; without such INF
// files the package's own setup program is started, and a download that is
// no archive at all is opened through the shell. Nothing is waited for.
#pragma once

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "download/thread_call.h"

namespace quillary {

class shell_i;

// What one installation needs. Lives as long as its thread: the panel that
// starts it and the thread share it.
struct install_job {
  std::u16string package_path;
  // The package-relative INF paths the update service named for the
  // package's devices, in plain character order.
  std::set<std::u16string> inf_paths;
  std::u16string download_folder;
  shell_i* shell = nullptr;
  std::atomic<bool> busy{false};
  thread_call call;
};

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
// `used_folder` receives the folder the installer was started on.
constexpr int damaged_package = -2;
int install_package(const std::u16string& package_path, const std::set<std::u16string>& inf_paths,
                    const std::u16string& download_folder, shell_i& shell, bool force = false,
                    std::u16string* used_folder = nullptr);

// The INF paths that stay inside the package: absolute ones, drive
// letters, climbing parts ("..") and device names are dropped.
std::set<std::u16string> contained_inf_paths(const std::set<std::u16string>& inf_paths);

// The longest common prefix of the INF paths, cut back to just after its
// last backslash; empty when it has no backslash.
std::u16string common_inf_folder(const std::set<std::u16string>& inf_paths);

// Starts the one setup program of a folder (or, among several, setup.exe or
// autorun.exe): 0 when one was started, -1 otherwise.
int find_setup_program(const std::u16string& folder, shell_i& shell);

// Starts DPInst64.exe or DPInst32.exe (by the system's width, found in the
// program's folder, the current directory) on a folder; `force` installs
// even drivers that are not better than the installed ones.
void run_driver_installer(const std::u16string& folder, bool force, shell_i& shell);
std::u16string driver_installer_parameters(const std::u16string& folder, bool force);

// The body of an installation thread: install, and open the package itself
// with the shell when it is no archive.
int install_job_run(void* job);

// Appends a package link to the list of installed packages ("setup.dat").
bool record_installed_link(const std::u16string& setup_dat, const std::string& link);

// Starts the job on a thread of its own (shared ownership keeps the job as
// long as the thread runs). False when it is busy or no thread can be made.
bool start_install_job(const std::shared_ptr<install_job>& job);

}  // namespace quillary
