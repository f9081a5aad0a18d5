// quillary-cli: a console companion over the program's core, for
// administrators and for system tests. Every command prints JSON on stdout;
// errors are one line on stderr.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/policy.h"
#include "app/settings.h"
#include "app/system_info.h"
#include "devices/device_source.h"
#include "platform/authenticode.h"
#include "platform/elevation.h"

namespace quillary {
struct batch_entry;
struct install_report;
class driver_store_c;
struct signature_trust;
}

namespace quillary::cli {

namespace exit_code {
constexpr int success = 0;
constexpr int failed = 1;  // the command ran and failed
constexpr int usage = 2;   // the command line is wrong
constexpr int declined = 5;  // install, restore: the request for administrator rights was declined
// download, install: the publisher's signature does not vouch for the
// package (or there is none while one is required); the file was deleted
constexpr int signature_refused = 6;
// download: the policy requires https:// and the link is not
constexpr int https_required = 7;
// install: the extracted package does not hold the driver the offer named
constexpr int offer_mismatch = 8;
// install: the package's setup program (or the package, a program itself)
// is not signed by a publisher Windows trusts; it was not started
constexpr int untrusted_setup_program = 9;
// download, install: the machine's policy blocks the package
constexpr int blocked = 10;
// install: the drivers the package replaces could not be backed up (and
// --no-backup was not given); nothing was installed
constexpr int backup_failed = 11;
// rollback: the installation cannot be undone (not installed from here, no
// backup made before it, or that backup is damaged); nothing was changed
constexpr int rollback_refused = 12;
}  // namespace exit_code

// Arguments after the command name, as UTF-8.
using arguments = std::vector<std::string>;

// `elevator` tells the process's rights and starts the elevated companion
// for install and restore; `authenticode` checks a package's setup program
// in the process that would start it.
int main(const std::vector<std::string>& argv, elevator_i& elevator, authenticode_i& authenticode);

// What the commands share: built once by main and handed to the command.
// The snapshot and the settings are taken by the commands that need them
// (take_system_snapshot, load_user_settings).
struct context {
  context(elevator_i& elevator, authenticode_i& authenticode) : elevator(elevator), authenticode(authenticode) {}
  elevator_i& elevator;
  authenticode_i& authenticode;
  system_info_c system;
  std::unique_ptr<user_settings_c> settings;
};

int run_sysinfo(const arguments& args, context& shared);
int run_settings(const arguments& args, context& shared);
int run_hidden(const arguments& args, context& shared);
int run_hide(const arguments& args, context& shared);
int run_show(const arguments& args, context& shared);
int run_scan(const arguments& args, context& shared);
int run_query(const arguments& args, context& shared);
int run_download(const arguments& args, context& shared);
int run_install(const arguments& args, context& shared);
int run_catalogue(const arguments& args, context& shared);
int run_backup(const arguments& args, context& shared);
int run_restore(const arguments& args, context& shared);
int run_rollback(const arguments& args, context& shared);
int run_batch_file(const arguments& args, context& shared);
int run_zip(const arguments& args, context& shared);
int run_unzip(const arguments& args, context& shared);

// Installs a package or restores an archive: here when this process holds
// administrator rights, else through the elevated companion; prints the
// outcome.
// The driver store of the Windows folder `system_root` (by digest, as
// Windows' own lookup is not there), or, when it is empty, the system's own;
// null where the build has none.
std::unique_ptr<driver_store_c> open_driver_store(const std::string& system_root, context& shared);
// `backup` carries what was backed up before (install's backup fields).
int run_system_change(const batch_entry& entry, context& shared, const install_report* backup = nullptr);

// Output helpers.
void print(const std::string& text);
int fail(const std::string& message, int code = exit_code::failed);
// One line on stderr about something the command passed over.
void warn(const std::string& message);
int usage_error(const std::string& message);
// Enters the program's folder and takes the system snapshot, as start-up
// does; false after printing why not.
bool take_system_snapshot(context& shared);
// The user's settings, loaded from the settings key (after the snapshot,
// which fixes the program's folder); null after printing why not.
settings_values* load_user_settings(context& shared);
// The device source of a command: the fixture file when one is given, else
// the system's device tree. Null after printing why not; `exit` then holds
// the exit code.
std::unique_ptr<device_source_i> open_device_source(const std::string& command,
                                                    const std::string& fixture_file, int& exit);
// The machine's policy, with a line on stderr for each value ignored, and
// the update servers it leads to: the policy's, else the built-in ones.
update_servers_choice read_policy_servers(machine_policy& policy);
// The keys this process trusts (built in, and the policy's) and what the
// policy asks of packages, with a line on stderr for anything ignored.
std::shared_ptr<const signature_trust> read_signature_trust();
// The machine policy's blocked packages (its other values are not weighed here).
std::vector<package_block> read_policy_blocks();
// A signature for --minisig FILE: the file's bytes in base64, as a reply
// carries them; false after printing why not.
bool read_minisig_file(const std::string& command, const std::string& file, std::string& base64);
// Rejects any argument: for commands that take none.
bool no_arguments(const std::string& command, const arguments& args);

}  // namespace quillary::cli
