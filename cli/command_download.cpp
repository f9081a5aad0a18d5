#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

#include "app/settings.h"
#include "base/json_writer.h"
#include "base/minisign.h"
#include "cli/cli.h"
#include "download/download_session.h"
#include "service/offer_rules.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"

namespace quillary::cli {
namespace {

const char* state_name(download_state state) {
  switch (state) {
    case download_state::not_downloaded: return "not_downloaded";
    case download_state::downloading: return "downloading";
    case download_state::paused: return "paused";
    case download_state::error: return "error";
    case download_state::complete: return "complete";
  }
  return "";
}

constexpr int exit_paused = 3;
// The bytes did not give the digest the offer named; the file was deleted.
constexpr int exit_digest_mismatch = 4;

// Where a complete signed package keeps its signature, so that `install`
// finds it beside the file: PACKAGE.minisig.
bool keep_signature_beside(const download_session_c& session) {
  std::string text;
  if (!decode_base64(session.offer_signature().minisig_base64, text)) return false;
  const std::u16string path = session.final_path() + u".minisig";
  platform::remove_file(path);
  return platform::write_new_file(path, text);
}

// Publishers' signature files lie beside their packages (the service and
// a web server serve them so): LINK.minisig, before any query. Empty when
// there is none (or it cannot be fetched): the package is then unsigned.
std::string fetch_signature_beside(const std::string& link, const transfer_limits& limits) {
  const size_t end = std::min(link.find_first_of("?#"), link.size());
  const std::string signature_link = link.substr(0, end) + ".minisig" + link.substr(end);
  const auto transfer = create_transfer(max_minisig_bytes + 1, limits);
  if (!transfer) return {};
  const transfer_outcome& outcome = request(*transfer, signature_link, static_cast<int>(request_method::get));
  if (outcome.transfer_result != 0 || outcome.http_status >= 400 || outcome.used == 0) return {};
  return encode_base64(std::string_view(outcome.body.data(), outcome.used));
}

}  // namespace

int run_download(const arguments& args, context& shared) {
  std::string link, folder;
  long long size = -1;
  std::optional<sha256_digest> digest;
  std::string minisig;
  bool no_signature_file = false;
  download_options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const bool has_value = i + 1 < args.size();
    if (args[i] == "--size" && has_value) {
      char* end = nullptr;
      size = std::strtoll(args[i + 1].c_str(), &end, 10);
      if (*end || size < 0 || size > 0xFFFFFFFFll) return usage_error("download: --size takes a byte count");
      ++i;
    } else if (args[i] == "--sha256" && has_value) {
      if (sha256_digest read; parse_sha256_hex(args[++i], read)) {
        digest = read;
      } else {
        return usage_error("download: --sha256 takes 64 hexadecimal digits");
      }
    } else if (args[i] == "--minisig" && has_value) {
      if (!read_minisig_file("download", args[++i], minisig)) return exit_code::usage;
    } else if (args[i] == "--minisig-base64" && has_value) {
      minisig = args[++i];
    } else if (args[i] == "--no-minisig-file") {
      no_signature_file = true;
    } else if (args[i] == "--ca" && has_value) {
      set_transfer_ca_bundle(args[++i]);
    } else if (args[i] == "--dir" && has_value) {
      folder = args[++i];
    } else if (args[i] == "--retry-pause" && has_value) {
      options.retry_pause = std::chrono::milliseconds(std::atoll(args[++i].c_str()));
    } else if (link.empty() && args[i].rfind("--", 0) != 0) {
      link = args[i];
    } else {
      return usage_error("download: unexpected argument \"" + args[i] + "\"");
    }
  }
  if (link.empty() || size < 0) return usage_error("download: give LINK and --size N");
  if (rule_blocking_link(read_policy_blocks(), link)) {
    return fail("the machine's policy blocks the package " + link + "; nothing was downloaded", exit_code::blocked);
  }
  if (!take_system_snapshot(shared)) return exit_code::failed;

  std::u16string download_folder;
  if (folder.empty()) {
    const settings_values* settings = load_user_settings(shared);
    if (!settings) return exit_code::failed;
    download_folder = settings->active_download_path;
  } else {
    download_folder = utf8_to_utf16(folder);
    platform::create_directories(download_folder);
  }
  if (!platform::is_directory(download_folder)) return fail("no download folder " + utf16_to_utf8(download_folder));

  if (minisig.empty() && !no_signature_file) minisig = fetch_signature_beside(link, options.limits);
  download_registry_c registry(download_folder, options, read_signature_trust());
  auto session = registry.find_or_create(link, static_cast<uint32_t>(size), digest ? &*digest : nullptr, minisig);
  // A complete file found on disk is being checked against the digest
  // already; anything else is downloaded (or resumed), unless its offer was
  // refused outright.
  const bool refused = session->signature_refusal() || session->https_refused();
  if (session->state() != download_state::complete && !refused) {
    platform::catch_interrupts();
    const bool terminal = platform::stderr_is_terminal();
    if (session->state() != download_state::downloading && !session->start()) {
      return fail("cannot start the download thread");
    }
    bool pausing = false;
    while (session->state() == download_state::downloading) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      if (platform::interrupted() && !pausing) {
        session->pause();  // Ctrl-C pauses; the partial file stays for the next run
        pausing = true;
      }
      session->observe();
      if (terminal) {
        const auto& p = session->progress();
        std::fprintf(stderr, "\r%u of %u bytes", p.written.load(), p.expected_size.load());
      }
    }
    if (terminal) std::fprintf(stderr, "\n");
  }

  const auto& p = session->progress();
  json_writer_c json;
  json.begin_object();
  json.key("link").value(session->link());
  json.key("state").value(state_name(session->state()));
  json.key("written").value(p.written.load());
  json.key("expected_size").value(p.expected_size.load());
  json.key("http_status").value(p.http_status.load());
  json.key("transfer_result").value(p.transfer_result.load());
  const auto& expected = session->expected_digest();
  json.key("sha256").value(expected ? to_hex(*expected) : std::string());
  json.key("sha256_mismatch").value(session->digest_mismatch());
  json.key("signature_verified").value(session->signature_verified());
  if (session->signature_refusal()) json.key("signature").value(verdict_name(*session->signature_refusal()));
  json.key("https_refused").value(session->https_refused());
  json.key("temp_path").value(session->temp_path());
  json.key("final_path").value(session->final_path());
  json.end_object();
  print(json.text());
  if (session->digest_mismatch()) {
    std::fprintf(stderr, "quillary-cli: the downloaded bytes do not give the SHA-256 the offer names; the file was "
                         "deleted and nothing was installed\n");
    return exit_digest_mismatch;
  }
  if (session->signature_refusal()) {
    return fail(describe(*session->signature_refusal()) + "; the file was deleted and nothing was installed",
                exit_code::signature_refused);
  }
  if (session->https_refused()) {
    return fail("the policy requires https:// for packages, and " + link + " is not; nothing was downloaded",
                exit_code::https_required);
  }
  if (session->signature_verified() && !keep_signature_beside(*session)) {
    return fail("cannot write the signature beside " + utf16_to_utf8(session->final_path()));
  }
  switch (session->state()) {
    case download_state::complete: return exit_code::success;
    case download_state::paused: return exit_paused;
    default: return exit_code::failed;
  }
}

}  // namespace quillary::cli
