#include "backup/installation_batch.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <thread>

#include "backup/restore.h"
#include "base/json_reader.h"
#include "base/json_writer.h"
#include "platform/files.h"
#include "platform/restore_point.h"
#include "platform/system.h"
#include "platform/text.h"

namespace quillary {
namespace {

constexpr int batch_format = 1;

const char* kind_name(batch_entry::kind kind) {
  switch (kind) {
    case batch_entry::kind::package: return "package";
    case batch_entry::kind::backup_archive: return "backup_archive";
    case batch_entry::kind::rollback: return "rollback";
  }
  return "package";
}

// A path the companion may act on: whole, absolute, in one piece. Anything
// relative would resolve against whatever folder the elevated process
// happens to be in.
bool is_full_path(const std::u16string& path) {
  if (path.size() > 32767 || path.find(u'\0') != std::u16string::npos) return false;
  if (platform::path_separator == u'/') return path.size() > 1 && path[0] == u'/' && !platform::escapes_folder(path.substr(1));
  const bool drive = path.size() > 2 && ((path[0] | 0x20) >= u'a' && (path[0] | 0x20) <= u'z') && path[1] == u':' &&
                     path[2] == u'\\';
  const bool share = path.size() > 2 && path[0] == u'\\' && path[1] == u'\\';
  if (!drive && !share) return false;
  // No part that climbs out of the folders it names.
  return !platform::escapes_folder(path.substr(drive ? 3 : 2));
}

bool text_member(const json_value& object, const char* name, std::string& out) {
  const json_value* member = object.find(name);
  if (!member || !member->is_string()) return false;
  out = member->text();
  return true;
}

bool bool_member(const json_value& object, const char* name, bool& out) {
  const json_value* member = object.find(name);
  if (!member || !member->is_bool()) return false;
  out = member->boolean();
  return true;
}

bool int_member(const json_value& object, const char* name, int64_t& out) {
  const json_value* member = object.find(name);
  if (!member || !member->is_number()) return false;
  const std::string& text = member->text();
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size();
}

bool read_entry(const json_value& object, batch_entry& entry, std::string& error) {
  std::string kind, path, digest, name;
  if (!object.is_object() || !text_member(object, "kind", kind) || !text_member(object, "path", path) ||
      !text_member(object, "sha256", digest)) {
    error = "an entry needs its kind, path and sha256";
    return false;
  }
  if (kind == "package") {
    entry.what = batch_entry::kind::package;
  } else if (kind == "backup_archive") {
    entry.what = batch_entry::kind::backup_archive;
  } else if (kind == "rollback") {
    entry.what = batch_entry::kind::rollback;
  } else {
    error = "unknown entry kind \"" + kind + "\"";
    return false;
  }
  entry.path = utf8_to_utf16(path);
  if (!is_full_path(entry.path)) {
    error = "not a full path: " + path;
    return false;
  }
  if (sha256_digest read; parse_sha256_hex(digest, read)) {
    entry.digest = read;
  } else {
    error = "not a SHA-256: " + digest;
    return false;
  }
  if (const json_value* infs = object.find("inf"); infs && infs->is_array()) {
    for (const auto& inf : infs->items()) {
      if (!inf.is_string()) {
        error = "an INF path is not text";
        return false;
      }
      entry.inf_paths.insert(utf8_to_utf16(inf.text()));
    }
  }
  if (const json_value* offered = object.find("offered"); offered && offered->is_array()) {
    for (const auto& driver : offered->items()) {
      std::string inf, version, date;
      if (!text_member(driver, "inf", inf) || !text_member(driver, "version", version) ||
          !text_member(driver, "date", date)) {
        error = "an offered driver needs its inf, version and date";
        return false;
      }
      entry.offered[utf8_to_utf16(inf)] = offered_driver{utf8_to_utf16(version), utf8_to_utf16(date)};
    }
  }
  text_member(object, "minisig", entry.minisig);
  text_member(object, "signed_name", entry.signed_name);
  text_member(object, "link", entry.link);
  if (text_member(object, "name", name)) entry.name = utf8_to_utf16(name);
  bool_member(object, "force", entry.force);
  if (const json_value* devices = object.find("devices"); devices && devices->is_array()) {
    for (const auto& id : devices->items()) {
      if (!id.is_string()) {
        error = "a device ID is not text";
        return false;
      }
      entry.device_ids.push_back(utf8_to_utf16(id.text()));
    }
  }
  return true;
}

const char* installer_field(const json_value& installer, const char* name) {
  const json_value* member = installer.find(name);
  return member && member->is_string() ? member->text().c_str() : "";
}

void read_installer(const json_value& installer, installer_run& run) {
  const std::string name = installer_field(installer, "name");
  for (const driver_installer kind : {driver_installer::none, driver_installer::dpinst, driver_installer::pnputil}) {
    if (name == installer_name(kind)) run.installer = kind;
  }
  run.program = utf8_to_utf16(installer_field(installer, "program"));
  run.parameters = utf8_to_utf16(installer_field(installer, "parameters"));
  bool_member(installer, "started", run.started);
  bool_member(installer, "waited", run.waited);
  if (int64_t code = 0; int_member(installer, "exit_code", code)) run.exit_code = static_cast<uint32_t>(code);
}

void read_restore_point(const json_value& point, restore_point_outcome& outcome) {
  std::string state, text;
  if (text_member(point, "state", state)) outcome.state = restore_point_state_from_name(state);
  if (text_member(point, "description", text)) outcome.description = utf8_to_utf16(text);
  if (text_member(point, "created", text)) outcome.created = utf8_to_utf16(text);
  if (int64_t status = 0; int_member(point, "status", status)) outcome.status = static_cast<uint32_t>(status);
  int_member(point, "sequence_number", outcome.sequence_number);
}

// The setup program's Authenticode check: null when none was made.
void write_trust(json_writer_c& json, const install_report& report) {
  if (!report.setup_program_trust) {
    json.null();
    return;
  }
  const authenticode_answer& answer = *report.setup_program_trust;
  json.begin_object();
  json.key("verdict").value(verdict_name(answer.verdict));
  json.key("status").value(answer.status);
  json.key("reason").value(describe(answer.verdict));
  json.end_object();
}

// A verdict of a name this version does not know is "unchecked": never
// taken for trusted.
void read_trust(const json_value& trust, install_report& report) {
  authenticode_answer answer;
  std::string name;
  if (!text_member(trust, "verdict", name) || !verdict_from_name(name, answer.verdict)) {
    answer.verdict = trust_verdict::unchecked;
  }
  if (int64_t status = 0; int_member(trust, "status", status)) answer.status = static_cast<uint32_t>(status);
  report.setup_program_trust = answer;
}

void write_installer(json_writer_c& json, const install_report& report) {
  // No driver package installer when the package had none of its INF files.
  if (!report.driver_installer_chosen) {
    json.null();
    return;
  }
  const installer_run& run = report.installer;
  json.begin_object();
  json.key("name").value(installer_name(run.installer));
  json.key("program").value(run.program);
  json.key("parameters").value(run.parameters);
  json.key("started").value(run.started);
  json.key("waited").value(run.waited);
  if (run.waited) {
    json.key("exit_code").value(run.exit_code);
    json.key("result").value(describe_pnputil_exit(run.exit_code));
  } else if (run.installer == driver_installer::none) {
    json.key("result").value("no driver package installer for this system: pnputil.exe is missing");
  }
  json.end_object();
}

// "made" is true only for a new point made for this installation. A point
// that exists (new, kept by Windows, or either) has its number and, where
// known, its creation time (UTC); without a new one, "reason" says why.
void write_restore_point(json_writer_c& json, const restore_point_outcome& outcome) {
  json.begin_object();
  json.key("made").value(outcome.state == restore_point_state::made);
  json.key("state").value(state_name(outcome.state));
  json.key("description").value(outcome.description);
  if (has_restore_point(outcome)) {
    json.key("sequence_number").value(outcome.sequence_number);
    if (!outcome.created.empty()) json.key("created").value(outcome.created);
  }
  if (outcome.state != restore_point_state::made) {
    json.key("reason").value(describe(outcome));
    json.key("status").value(outcome.status);
  }
  json.end_object();
}

std::vector<entry_outcome> all_ending(size_t count, int result) {
  std::vector<entry_outcome> outcomes(count);
  for (auto& outcome : outcomes) outcome.result = result;
  return outcomes;
}

// A folder of its own for each batch, so that no batch file is ever taken
// for another's and nothing of an earlier one is read back.
std::u16string fresh_batch_folder(const std::u16string& below) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "quillary-batch-" + std::to_string(platform::process_id()) + "-" +
                             std::to_string(counter++);
    const std::u16string folder = platform::join_path(below, utf8_to_utf16(name));
    if (platform::create_new_folder(folder)) return folder;
  }
  return {};
}

batch_run through_companion(const std::vector<batch_entry>& entries, elevator_i& elevator,
                            const companion_place& companion, uintptr_t owner) {
  batch_run run;
  run.rights = process_rights::can_elevate;
  // A file whose download was checked must still give that digest; any
  // other's digest is taken now, as the user's process sees it: the
  // companion installs these bytes or nothing.
  std::vector<batch_entry> sent = entries;
  std::vector<bool> readable(sent.size(), true);
  for (size_t i = 0; i < sent.size(); ++i) {
    if (sent[i].digest) continue;
    sha256_digest digest{};
    readable[i] = sha256_of_file(sent[i].path, digest);
    sent[i].digest = digest;
  }

  const std::u16string folder = fresh_batch_folder(companion.work_folder);
  const std::u16string batch_file = platform::join_path(folder, u"batch.json");
  const std::string text = batch_text(sent);
  run.outcomes = all_ending(entries.size(), elevation_failed);
  if (folder.empty() || !platform::write_new_file(batch_file, text)) return run;

  uint32_t exit_code = 0;
  run.prompted = true;
  run.answer = elevator.run_elevated(companion.program, companion_parameters(batch_file, sha256_of(text)), owner,
                                     exit_code);
  std::string answer;
  if (run.answer == elevation_answer::declined) {
    run.outcomes = all_ending(entries.size(), elevation_declined);
  } else if (run.answer == elevation_answer::ran &&
             platform::read_whole_file(batch_file + u".outcome", answer)) {
    std::vector<entry_outcome> outcomes;
    std::string error;
    if (parse_outcomes(answer, outcomes, error) && outcomes.size() == entries.size()) run.outcomes = outcomes;
  }
  for (size_t i = 0; i < sent.size(); ++i) {
    if (!readable[i]) run.outcomes[i].result = package_changed;
  }
  platform::remove_tree(folder);
  return run;
}

}  // namespace

std::string batch_text(const std::vector<batch_entry>& entries) {
  json_writer_c json;
  json.begin_object();
  json.key("format").value(batch_format);
  json.key("entries").begin_array();
  for (const auto& entry : entries) {
    json.begin_object();
    json.key("kind").value(kind_name(entry.what));
    json.key("path").value(entry.path);
    json.key("sha256").value(entry.digest ? to_hex(*entry.digest) : std::string());
    json.key("inf").begin_array();
    for (const auto& inf : entry.inf_paths) json.value(inf);
    json.end_array();
    json.key("offered").begin_array();
    for (const auto& [inf, driver] : entry.offered) {
      json.begin_object();
      json.key("inf").value(inf);
      json.key("version").value(driver.version);
      json.key("date").value(driver.date);
      json.end_object();
    }
    json.end_array();
    json.key("minisig").value(entry.minisig);
    json.key("signed_name").value(entry.signed_name);
    json.key("link").value(entry.link);
    json.key("name").value(entry.name);
    json.key("force").value(entry.force);
    json.key("devices").begin_array();
    for (const auto& id : entry.device_ids) json.value(id);
    json.end_array();
    json.end_object();
  }
  json.end_array();
  json.end_object();
  return json.text();
}

bool parse_batch(const std::string& text, std::vector<batch_entry>& entries, std::string& error) {
  entries.clear();
  if (text.size() > max_batch_bytes) {
    error = "the batch is too large";
    return false;
  }
  json_value document;
  if (!parse_json(text, document, error)) return false;
  int64_t format = 0;
  const json_value* list = document.find("entries");
  if (!int_member(document, "format", format) || format != batch_format || !list || !list->is_array()) {
    error = "not a batch of this program's format";
    return false;
  }
  if (list->items().size() > max_batch_entries) {
    error = "too many entries";
    return false;
  }
  for (const auto& item : list->items()) {
    batch_entry entry;
    if (!read_entry(item, entry, error)) return false;
    entries.push_back(std::move(entry));
  }
  return true;
}

void write_outcome_fields(json_writer_c& json, int result, const install_report& report) {
  json.key("result").value(static_cast<int64_t>(result));
  json.key("extraction_folder").value(report.folder);
  json.key("installation_started").value(installation_started(result, report));
  json.key("link_recorded").value(report.link_recorded);
  json.key("installer");
  write_installer(json, report);
  json.key("setup_program").value(report.setup_program);
  json.key("setup_program_started").value(report.setup_program_started);
  json.key("package_opened").value(report.package_opened);
  json.key("setup_program_refused").value(report.setup_program_refused);
  json.key("setup_program_trust");
  write_trust(json, report);
  json.key("restore_point");
  write_restore_point(json, report.restore_point);
  json.key("signature").value(verdict_name(report.signature));
  if (result == signature_refused) json.key("signature_problem").value(describe(report.signature));
  if (!report.offer_mismatch.empty()) json.key("offer_mismatch").value(report.offer_mismatch);
  if (!report.rollback_route.empty()) {
    json.key("rollback_route").value(report.rollback_route);
    json.key("link_removed").value(report.link_removed);
  }
  // Made by the user's process before the batch, never by the companion.
  if (!report.backup_state.empty()) {
    json.key("backup").begin_object();
    json.key("state").value(report.backup_state);
    json.key("archives").begin_array();
    for (const auto& archive : report.backup_archives) json.value(archive);
    json.end_array();
    if (!report.backup_problem.empty()) json.key("problem").value(report.backup_problem);
    json.end_object();
  }
}

bool read_outcome(const json_value& object, entry_outcome& out) {
  int64_t result = 0;
  if (!object.is_object() || !int_member(object, "result", result)) return false;
  out = entry_outcome{};
  out.result = static_cast<int>(result);
  install_report& report = out.report;
  std::string text;
  if (text_member(object, "extraction_folder", text)) report.folder = utf8_to_utf16(text);
  bool_member(object, "link_recorded", report.link_recorded);
  if (const json_value* installer = object.find("installer"); installer && installer->is_object()) {
    report.driver_installer_chosen = true;
    read_installer(*installer, report.installer);
  }
  if (text_member(object, "setup_program", text)) report.setup_program = utf8_to_utf16(text);
  bool_member(object, "setup_program_started", report.setup_program_started);
  bool_member(object, "package_opened", report.package_opened);
  bool_member(object, "setup_program_refused", report.setup_program_refused);
  if (const json_value* trust = object.find("setup_program_trust"); trust && trust->is_object()) {
    read_trust(*trust, report);
  }
  if (const json_value* point = object.find("restore_point"); point && point->is_object()) {
    read_restore_point(*point, report.restore_point);
  }
  if (text_member(object, "signature", text)) {
    // An answer this process cannot read as a verdict passes nothing.
    report.signature = signature_verdict_from_name(text).value_or(signature_verdict::malformed);
  }
  text_member(object, "offer_mismatch", report.offer_mismatch);
  text_member(object, "rollback_route", report.rollback_route);
  bool_member(object, "link_removed", report.link_removed);
  return true;
}

bool parse_outcomes(const std::string& text, std::vector<entry_outcome>& out, std::string& error) {
  out.clear();
  json_value document;
  if (text.size() > max_batch_bytes || !parse_json(text, document, error)) return false;
  const json_value* list = document.find("entries");
  if (!list || !list->is_array()) {
    error = "no entries";
    return false;
  }
  for (const auto& item : list->items()) {
    entry_outcome outcome;
    if (!read_outcome(item, outcome)) {
      error = "an entry without its result";
      return false;
    }
    out.push_back(std::move(outcome));
  }
  return true;
}

bool sha256_of_file(const std::u16string& path, sha256_digest& out) {
  std::FILE* file = platform::open_file(path, "rb");
  if (!file) return false;
  sha256_c hash;
  std::vector<char> buffer(1 << 20);
  size_t count = 0;
  while ((count = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) hash.update(buffer.data(), count);
  const bool read = std::ferror(file) == 0;
  std::fclose(file);
  if (read) out = hash.digest();
  return read;
}

namespace {

// The backup archive, unpacked fresh and installed forced, as a restore.
entry_outcome restore_here(const batch_entry& entry, const local_installation& here) {
  entry_outcome outcome;
  restore_request request;
  request.archive = platform::file_name_part(entry.path);
  request.busy = 1;
  request.system = here.system;
  outcome.result = restore_archive(request, platform::parent_folder(entry.path), *here.shell, *here.restore_points);
  outcome.report = request.report;
  return outcome;
}

// Windows' own roll back where it has the earlier driver of every device,
// else the backup; then the link goes, once the earlier drivers are back
// (or their installer started).
entry_outcome roll_back_here(const batch_entry& entry, const local_installation& here) {
  bool by_windows = here.rollback && !entry.device_ids.empty();
  for (const auto& id : entry.device_ids) {
    if (!by_windows) break;
    by_windows = here.rollback->roll_back(id).answer == rollback_answer::rolled_back;
  }
  entry_outcome outcome;
  if (by_windows) {
    outcome.result = 0;
  } else {
    outcome = restore_here(entry, here);
  }
  outcome.report.rollback_route = by_windows ? "windows" : "backup";
  const bool done = by_windows || installation_started(outcome.result, outcome.report);
  if (done && !here.setup_dat.empty() && !entry.link.empty()) {
    remove_installed_link(here.setup_dat, entry.link, outcome.report.link_removed);
  }
  return outcome;
}

}  // namespace

entry_outcome run_entry_here(const batch_entry& entry, const local_installation& here) {
  entry_outcome outcome;
  if (entry.what == batch_entry::kind::package && here.blocked && rule_blocking_link(*here.blocked, entry.link)) {
    outcome.result = package_blocked;
    return outcome;
  }
  const platform::file_hold_c hold(entry.path);
  // A package is checked against this process's own keys, on the bytes it
  // holds against writers until the installer has them: what is extracted
  // is what the publisher signed.
  const bool check_signature = entry.what == batch_entry::kind::package && here.trust;
  if (entry.digest || check_signature) {
    sha256_digest digest{};
    blake2b_digest blake2b{};
    const bool read = hold.held() && (check_signature ? hash_file_for_signature(entry.path, digest, blake2b)
                                                      : sha256_of_file(entry.path, digest));
    if (!read || (entry.digest && digest != *entry.digest)) {
      outcome.result = package_changed;
      return outcome;
    }
    if (check_signature) {
      signed_offer offer;
      offer.file_name = entry.signed_name.empty() ? utf16_to_utf8(platform::file_name_part(entry.path))
                                                  : entry.signed_name;
      offer.sha256 = entry.digest;
      offer.minisig_base64 = entry.minisig;
      outcome.report.signature = check_package_signature(*here.trust, offer, &digest, blake2b);
      if (!signature_accepted(outcome.report.signature)) {
        outcome.result = signature_refused;
        return outcome;
      }
    }
  }
  if (entry.what == batch_entry::kind::rollback) return roll_back_here(entry, here);
  if (entry.what == batch_entry::kind::backup_archive) return restore_here(entry, here);
  install_job job;
  job.package_path = entry.path;
  job.inf_paths = entry.inf_paths;
  job.offered = entry.offered;
  job.download_folder = platform::parent_folder(entry.path);
  job.package_name = entry.name;
  job.force = entry.force;
  job.shell = here.shell;
  job.authenticode = here.authenticode;
  job.system = here.system;
  job.link = entry.link;
  job.setup_dat = here.setup_dat;
  job.restore_points = std::shared_ptr<restore_point_batch_c>(here.restore_points, [](restore_point_batch_c*) {});
  outcome.result = install_job_run(&job);
  const signature_verdict checked = outcome.report.signature;
  outcome.report = job.report;
  outcome.report.signature = checked;
  return outcome;
}

batch_run run_batch(const std::vector<batch_entry>& entries, elevator_i& elevator, const companion_place& companion,
                    const local_installation& here, uintptr_t owner) {
  const process_rights rights = elevator.rights();
  if (rights == process_rights::can_elevate) return through_companion(entries, elevator, companion, owner);
  batch_run run;
  run.rights = rights;
  if (rights == process_rights::cannot_elevate) {
    run.answer = elevation_answer::failed;
    run.outcomes = all_ending(entries.size(), elevation_failed);
    return run;
  }
  for (const auto& entry : entries) run.outcomes.push_back(run_entry_here(entry, here));
  return run;
}

std::u16string companion_parameters(const std::u16string& batch_file, const sha256_digest& digest) {
  return u"run-batch \"" + batch_file + u"\" --sha256 " + utf8_to_utf16(to_hex(digest));
}

batch_entry entry_of(const install_job& job) {
  batch_entry entry;
  entry.what = batch_entry::kind::package;
  entry.path = job.package_path;
  entry.inf_paths = job.inf_paths;
  entry.link = job.link;
  entry.name = job.package_name;
  entry.force = job.force;
  entry.digest = job.expected_digest;
  entry.offered = job.offered;
  entry.minisig = job.signature.minisig_base64;
  entry.signed_name = job.signature.file_name;
  return entry;
}

bool back_up_for_job(install_backup_step* step, const install_job& job, install_report& report) {
  if (!step) return true;
  const install_backup_outcome backup = back_up_before_installing(step->store, step->place, job.devices, job.link);
  report.backup_state = install_backup_state_name(backup.state);
  report.backup_archives = backup.archives;
  report.backup_problem = backup.problem;
  if (backup.state != install_backup_state::failed) return true;
  return step->install_anyway && step->install_anyway(job, backup);
}

bool start_install_batch(const std::vector<std::shared_ptr<install_job>>& jobs, const batch_runner& runner) {
  std::vector<std::shared_ptr<install_job>> taken;
  for (const auto& job : jobs) {
    if (job->busy.exchange(true)) continue;
    job->call.ended = false;
    job->speaks_for_batch = taken.empty();
    taken.push_back(job);
  }
  if (taken.empty()) return false;
  // The thread holds its own references: panels destroyed meanwhile do not
  // take the jobs away from under it. `busy` is cleared last, so a job
  // started again never has its new outcome written over by this thread.
  try {
    std::thread([taken, runner] {
      // Each package's backup comes first, in the user's process, which
      // can read the store; the installations that may go on run as one
      // batch behind one prompt.
      std::vector<install_report> backups(taken.size());
      std::vector<int> results(taken.size(), backup_declined);
      std::vector<batch_entry> entries;
      std::vector<size_t> sent;
      for (size_t i = 0; i < taken.size(); ++i) {
        if (!back_up_for_job(runner.backup.get(), *taken[i], backups[i])) continue;
        entries.push_back(entry_of(*taken[i]));
        sent.push_back(i);
      }
      std::vector<install_report> reports = backups;
      if (!entries.empty()) {
        restore_point_batch_c restore_points(platform::system_restore_points());
        const local_installation here{taken.front()->shell, &restore_points, taken.front()->setup_dat,
                                      runner.trust.get(), taken.front()->authenticode, taken.front()->system};
        const batch_run run = run_batch(entries, *runner.elevator, runner.companion, here, runner.owner);
        for (size_t k = 0; k < sent.size(); ++k) {
          install_report& report = reports[sent[k]];
          report = run.outcomes[k].report;
          report.backup_state = backups[sent[k]].backup_state;
          report.backup_archives = backups[sent[k]].backup_archives;
          report.backup_problem = backups[sent[k]].backup_problem;
          results[sent[k]] = run.outcomes[k].result;
        }
      }
      for (size_t i = 0; i < taken.size(); ++i) {
        taken[i]->report = reports[i];
        taken[i]->call.result = results[i];
        taken[i]->call.ended = true;
        taken[i]->busy = false;
      }
      if (runner.on_end) runner.on_end();
    }).detach();
  } catch (const std::system_error&) {
    for (const auto& job : taken) job->busy = false;
    return false;
  }
  return true;
}

}  // namespace quillary
