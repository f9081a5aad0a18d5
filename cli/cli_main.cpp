#include <cstdio>
#include <functional>
#include <map>

#include "app/outcome.h"
#include "app/program_folder.h"
#include "app/system_info.h"
#include "backup/driver_store.h"
#include "cli/cli.h"
#include "devices/device_inventory.h"
#include "devices/raw_scan.h"
#include "download/package_signature.h"
#include "platform/files.h"
#include "platform/text.h"
#include "service/update_client.h"

namespace quillary::cli {
namespace {

constexpr char usage_text[] =
    "usage: quillary-cli COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  sysinfo    the system snapshot (the Windows code name and version code,\n"
    "             build, architecture) and the WMI summary, as JSON\n"
    "  settings   the user's eight settings, as JSON; they are loaded as the\n"
    "             program loads them, so a first run creates them. Under\n"
    "             \"policy\": the update servers the program asks and where\n"
    "             they come from (\"policy\": the machine policy an\n"
    "             administrator set; \"built-in\"), and the policy values\n"
    "             ignored, each also one line on stderr\n"
    "  hidden     the updates the user chose not to be offered again, as JSON\n"
    "             (link and device ID each), as the download page keeps them\n"
    "  hide LINK DEVICE_ID ...\n"
    "             no longer offers the package of that link to those devices\n"
    "             (a newer package for them has a link of its own and is\n"
    "             offered); prints the list\n"
    "  show LINK | --all\n"
    "             offers the package (or every hidden one) again; prints the list\n"
    "  scan [--all] [--raw] [--devices FILE]\n"
    "             the devices and their installed drivers, as JSON; --all also\n"
    "             lists devices that are not present; --raw prints what the\n"
    "             device tree reports before any filtering (a fixture that\n"
    "             --devices FILE replays instead of the live device tree)\n"
    "  query [--devices FILE] [--server URL ...] [--latest] [--installed FILE]\n"
    "        [--os CODE] [--os-version N] [--os-build N] [--oem-code-page N]\n"
    "        [--model TEXT] [--ui-language LANGID] [--ca FILE]\n"
    "             scans (or reads the fixture), asks the update servers (the\n"
    "             machine policy's, else the ones built in, or up to three\n"
    "             --server URLs, tried in turn), and prints each device's\n"
    "             offers with the best and latest choice and the package\n"
    "             rows (of the latest offers with --latest). --installed\n"
    "             names the list of installed package links (default:\n"
    "             setup.dat in the program's folder); --ca names certificate\n"
    "             authorities (PEM) to trust for https instead of the\n"
    "             system's; --ui-language names the interface language\n"
    "             the service gives INF texts in (four hexadecimal digits,\n"
    "             such as 0411; 0000 names none; default: the language of\n"
    "             the user's settings); the other options replace what the\n"
    "             system snapshot says. Offers the user hid (see hide) are listed\n"
    "             as each device's hidden_items and neither picked nor in the\n"
    "             rows; offers the machine policy blocks are left out and\n"
    "             counted (blocked_offers)\n"
    "  download LINK --size N [--sha256 HEX] [--minisig FILE | --minisig-base64 TEXT\n"
    "           | --no-minisig-file] [--dir D] [--ca FILE]\n"
    "             downloads a package into the download folder (or D) under\n"
    "             the program's file names, resuming a partial file; Ctrl-C\n"
    "             pauses and keeps it. With --sha256 (the offer's digest, 64\n"
    "             hexadecimal digits) the bytes are checked before the file\n"
    "             counts as complete (a complete file already there is\n"
    "             checked too); a file that does not match is deleted. Prints\n"
    "             the session as JSON; exit code 0 complete, 3 paused,\n"
    "             4 SHA-256 mismatch, 6 signature refused, 7 not https,\n"
    "             10 blocked by the machine policy, 1 failed.\n"
    "             --minisig names the publisher's signature file (or\n"
    "             --minisig-base64 gives it as query prints it; without\n"
    "             either, LINK.minisig is fetched, unless --no-minisig-file):\n"
    "             once the bytes pass it, it is kept beside the file as\n"
    "             FILE.minisig.\n"
    "             While a publisher's key is trusted (built in, or by policy)\n"
    "             an unsigned package, or one the signature does not vouch\n"
    "             for, is refused and its file deleted\n"
    "  install PACKAGE [--inf PATH ...] [--link URL] [--name TEXT] [--force]\n"
    "          [--minisig FILE] [--offered INF VERSION DATE ...]\n"
    "          [--no-backup] [--devices FILE] [--system-root DIR]\n"
    "             first backs up the drivers the package replaces: those of\n"
    "             the devices its INF files name (--devices: from a fixture)\n"
    "             that have one, each driver-store package (--system-root:\n"
    "             of that Windows folder) into a verified archive in the\n"
    "             backup folder, listed in backup.xml with the --link it made\n"
    "             way for (\"backup\" in the JSON); when that fails nothing is\n"
    "             installed (exit code 11) unless --no-backup is given. Then\n"
    "             extracts the package (a zip archive or a cabinet, told by\n"
    "             its first bytes) into a folder beside itself (one a\n"
    "             former extraction made, never a folder of the user's: then\n"
    "             \"NAME (2)\" and so on), asks for a restore point\n"
    "             (\"Quillary: before installing\" --name, else the file name)\n"
    "             and starts the driver package installer on the folder of the\n"
    "             named INF files: DPInst64.exe/DPInst32.exe from the program's\n"
    "             folder, else pnputil.exe (Windows 10 1607 and later; always\n"
    "             on ARM64), which is waited for (or the package's setup\n"
    "             program); --link records the package in setup.dat once an\n"
    "             installation has started (from pnputil, one that installed:\n"
    "             exit code 0, 3010 or 1641), --force\n"
    "             has DPInst take drivers that are not newer. Prints what was\n"
    "             started, pnputil's exit code and the restore point as JSON.\n"
    "             The package's signature (--minisig, else PACKAGE.minisig)\n"
    "             must name the file of --link (else the package's own name)\n"
    "             while a key is trusted: exit code 6 when it does not pass.\n"
    "             --offered: the INF must be in the package with that\n"
    "             DriverVer version and date (YYYY-MM-DD), else exit code 8.\n"
    "             A setup program (or a PACKAGE that is itself a program or a\n"
    "             script) starts only when Windows trusts its Authenticode\n"
    "             signature (WinVerifyTrust); else nothing starts and\n"
    "             \"setup_program_trust\" says why (exit code 9)\n"
    "  zip ARCHIVE FILE...\n"
    "             writes a new zip archive of the files, each under its file\n"
    "             name; prints nothing\n"
    "  unzip ARCHIVE DIR\n"
    "             extracts the archive (or ARCHIVE.zip) below DIR, keeping\n"
    "             files that exist there and skipping entries that would land\n"
    "             outside it; prints the counts and the result as JSON. A\n"
    "             cabinet (.cab, told by its first bytes) is extracted alike.\n"
    "             zip and unzip take paths relative to the current directory\n"
    "  catalogue [--devices FILE]\n"
    "             the backup catalogue (backup.xml in the program's folder) as\n"
    "             JSON, each device with whether it is in the device list\n"
    "  backup (--all | --device ID ...) [--devices FILE] [--system-root DIR]\n"
    "             archives the driver-store packages of the given devices (or\n"
    "             every package) into the backup folder and records them;\n"
    "             --system-root names a Windows folder whose driver store to use.\n"
    "             A backup.xml that cannot be read is moved aside (named on\n"
    "             stderr, and under \"set_aside\" in the JSON of backup)\n"
    "  restore ARCHIVE\n"
    "             unpacks the archive (a file name in the backup folder) beside\n"
    "             itself, asks for a restore point and starts the driver\n"
    "             package installer on it (DPInst forced, or pnputil), with\n"
    "             the same JSON as install\n"
    "             install and restore change the system: run without\n"
    "             administrator rights (under UAC, an ordinary start), they\n"
    "             start this program's own companion elevated, after one UAC\n"
    "             prompt (an administrator's credentials for a standard user),\n"
    "             and print what it did (\"elevated_companion\": true); exit\n"
    "             code 5 when the prompt is declined (nothing is installed)\n"
    "  rollback LINK\n"
    "             undoes the installation of the package of LINK made from\n"
    "             here: each device gets back its earlier driver, by Windows'\n"
    "             own roll back (DiRollbackDriver) where Windows kept it, else\n"
    "             from the backup made before the installation (forced), and\n"
    "             LINK leaves setup.dat so that the next scan offers it again;\n"
    "             the JSON of restore per backup, with \"rollback_route\" and\n"
    "             \"link_removed\". Exit code 12, with nothing changed, when it\n"
    "             cannot be done\n"
    "  run-batch BATCH --sha256 HEX\n"
    "             the elevated companion: installs and restores the entries\n"
    "             of a batch the program wrote (the batch must give HEX, and\n"
    "             each file the SHA-256 the batch names), writing BATCH.outcome\n"
    "  --help     this text\n"
    "\n"
    "The commands work in the program's folder, as the program does.\n"
    "\n"
    "Exit codes:\n"
    "  0  success\n"
    "  1  the command failed; the reason is on stderr\n"
    "  2  the command line is wrong\n"
    "  3  download: paused (the partial file stays for a later run)\n"
    "  4  download: the bytes did not give the offer's SHA-256; the file was\n"
    "     deleted\n"
    "  5  install, restore: the request for administrator rights was declined\n"
    "  6  download, install: the package is not signed by a trusted key while\n"
    "     one is required, or its signature does not vouch for it; the file\n"
    "     was deleted (download) and nothing was installed\n"
    "  7  download: the policy requires https:// and the link is not\n"
    "  8  install: the package does not hold the driver its offer named\n"
    "  9  install: the package's setup program is not signed by a publisher\n"
    "     Windows trusts (or the signature is broken); nothing was started\n"
    "  10 download, install: the machine policy blocks the package's link;\n"
    "     nothing was fetched or installed\n"
    "  11 install: the drivers the package replaces could not be backed up;\n"
    "     nothing was installed\n"
    "  12 rollback: the installation cannot be undone (not installed from\n"
    "     here, or no sound backup made before it); nothing was changed\n";

}  // namespace

void print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void warn(const std::string& message) { std::fprintf(stderr, "quillary-cli: %s\n", message.c_str()); }

int fail(const std::string& message, int code) {
  warn(message);
  return code;
}

std::shared_ptr<const signature_trust> read_signature_trust() {
  const machine_policy policy = read_machine_policy(local_machine_registry());
  for (const auto& line : policy.problems) warn(line);
  std::vector<std::string> problems;
  auto trust = std::make_shared<signature_trust>(make_signature_trust(built_in_catalogue_keys(), policy, &problems));
  for (const auto& line : problems) warn(line);
  return trust;
}

std::vector<package_block> read_policy_blocks() { return read_machine_policy(local_machine_registry()).blocked_packages; }

bool read_minisig_file(const std::string& command, const std::string& file, std::string& base64) {
  std::string text;
  if (!platform::read_whole_file(utf8_to_utf16(file), text)) {
    fail(command + ": cannot read the signature " + file);
    return false;
  }
  if (text.size() > max_minisig_bytes) {
    fail(command + ": " + file + " is too large for a signature file");
    return false;
  }
  base64 = encode_base64(text);
  return true;
}

update_servers_choice read_policy_servers(machine_policy& policy) {
  policy = read_machine_policy(local_machine_registry());
  for (const auto& line : policy.problems) warn(line);
  return choose_update_servers(policy, configured_servers());
}

int usage_error(const std::string& message) {
  fail(message + " (see quillary-cli --help)");
  return exit_code::usage;
}

bool no_arguments(const std::string& command, const arguments& args) {
  if (args.empty()) return true;
  usage_error(command + " takes no argument, got \"" + args.front() + "\"");
  return false;
}

bool take_system_snapshot(context& shared) {
  enter_program_folder();
  const outcome captured = shared.system.capture();
  if (captured) return true;
  fail("cannot take the system snapshot (last error " + std::to_string(captured.code) + ")");
  return false;
}

settings_values* load_user_settings(context& shared) {
  const system_snapshot& system = shared.system.snapshot();
  shared.settings =
      std::make_unique<user_settings_c>(user_settings_environment(system.working_folder, system.module_path));
  if (shared.settings->load()) return &shared.settings->values();
  fail("cannot open or create the settings key");
  return nullptr;
}

std::unique_ptr<device_source_i> open_device_source(const std::string& command,
                                                    const std::string& fixture_file, int& exit) {
  exit = exit_code::failed;
  if (fixture_file.empty()) {
    auto source = make_system_device_source();
    if (!source) exit = usage_error(command + ": this build has no device tree of its own; give --devices FILE");
    return source;
  }
  std::string text, error;
  raw_scan fixture;
  if (!platform::read_whole_file(utf8_to_utf16(fixture_file), text)) {
    fail("cannot read " + fixture_file);
    return nullptr;
  }
  if (!raw_scan_from_json(text, fixture, error)) {
    fail(fixture_file + ": " + error);
    return nullptr;
  }
  return make_fixture_source(std::move(fixture));
}

std::unique_ptr<driver_store_c> open_driver_store(const std::string& system_root, context& shared) {
  const int32_t os = os_version_code_of(shared.system.snapshot());
  if (system_root.empty()) return make_system_driver_store(os);
  return std::make_unique<driver_store_c>(store_layout(utf8_to_utf16(system_root), os), store_lookup());
}

int main(const std::vector<std::string>& argv, elevator_i& elevator, authenticode_i& authenticode) {
  const std::map<std::string, int (*)(const arguments&, context&)> commands = {
      {"sysinfo", run_sysinfo},     {"settings", run_settings}, {"scan", run_scan},
      {"query", run_query},         {"download", run_download}, {"install", run_install},
      {"catalogue", run_catalogue}, {"backup", run_backup},     {"restore", run_restore}, {"rollback", run_rollback},
      {"run-batch", run_batch_file}, {"zip", run_zip},          {"unzip", run_unzip},
      {"hidden", run_hidden},       {"hide", run_hide},         {"show", run_show},
  };
  if (argv.size() < 2) return usage_error("no command given");
  const std::string& command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    print(usage_text);
    return exit_code::success;
  }
  const auto it = commands.find(command);
  if (it == commands.end()) return usage_error("unknown command \"" + command + "\"");
  context shared(elevator, authenticode);
  return it->second(arguments(argv.begin() + 2, argv.end()), shared);
}

}  // namespace quillary::cli
