// A download session: one driver package on its way from its link to a
// file in the download folder. There is one session per package link for
// the whole run, so a download goes on while the panels that show it come
// and go, and a rebuilt panel finds it again.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "download/installation.h"
#include "download/package_signature.h"
#include "download/thread_call.h"
#include "service/http_transfer.h"

namespace quillary {

enum class download_state : int32_t {
  not_downloaded = 1,
  downloading = 2,
  paused = 3,
  error = 4,
  complete = 5,
};

// The files of a link in the download folder: the MD5 of the whole link
// names them, the extension of the file it names (".exe" when there is
// none) ends them.
struct download_paths {
  std::u16string temp_path;   // while downloading: final path + ".tmp"
  std::u16string final_path;
};
download_paths paths_for_link(const std::string& link, const std::u16string& download_folder);
// The extension, dot included, of the file a link names: its last
// component's, or, when that is missing or a script page's (".php"), the
// one of a file name in its query ("get.php?file=driver.msi").
std::string extension_for_link(const std::string& link);

// Sessions are owned by shared pointers (the registry's): a running
// download thread holds one too.
//
// When the offer names the package's SHA-256, a session checks the bytes
// before it calls itself complete: the digest is computed while the file is
// written, and a file that does not give it is deleted and the session ends
// in error. A complete file that was not checked against the digest now
// expected (left by an earlier run, or downloaded before an offer named the
// digest) is checked on the download thread as soon as the digest is known:
// the state reads downloading meanwhile, then complete or error.
//
// A signed package's bytes are checked against its publisher's signature
// instead, whose comment names the SHA-256 (see package_digest.h).
//
// With a trust (the publishers' keys the program holds), a package is
// refused before a byte is fetched when its offer cannot pass (no signature
// while one is required, another file's or another digest's signature, a
// revoked key, a link that is not https:// where the policy demands it),
// and, once its bytes are there, unless the signature vouches for them; a
// refused package's files are deleted and the session ends in error. The
// signature's digest becomes the expected one when the offer names none.
class download_session_c : public std::enable_shared_from_this<download_session_c> {
 public:
  download_session_c(std::string link, uint32_t expected_size, const std::u16string& download_folder,
                     download_options options, std::shared_ptr<const signature_trust> trust = nullptr);
  ~download_session_c();
  download_session_c(const download_session_c&) = delete;
  download_session_c& operator=(const download_session_c&) = delete;

  // Begins or resumes the download in a thread of its own (nothing happens
  // when one runs already). A partial file larger than the package cannot
  // be resumed (the server would refuse the range for good): it is
  // discarded and the download starts over. False when no thread can be
  // made: the session is then in error.
  bool start();
  // Asks the running transfer to stop; the state reads downloading until
  // observe() sees the thread end.
  void pause();
  // On the window thread, while downloading: applies the end of the thread.
  void observe();
  // Deletes the partial or complete file; false (and nothing changes) when
  // the deletion fails or the state has no file to remove.
  bool remove();
  // The digest the package's bytes must give from now on. A session keeps
  // the latest digest an offer named (a later offer without one does not
  // take it away). A complete file not yet checked against it is checked
  // at once (see above); a running download keeps to the digest it started
  // with, and its file is checked again when it ends.
  void expect_digest(const sha256_digest& digest);
  // The offer of a later scan for this link. The same size (and no other
  // digest than the one known) is the same package: only its digest is
  // taken, as above. A package published again under the link, with
  // another size or digest, makes what is on disk the old package's: a
  // partial file is discarded (it must never be completed into the new
  // package), and so is a complete file of another size; the session then
  // expects the new size and digest. A download or check running meanwhile
  // is stopped first; a download that was not paused by the user starts
  // over on the new package once its thread has ended.
  // The offer's signature (base64 of the `.minisig` file, empty when
  // none) comes with it; a new signature is checked anew.
  void take_offer(uint32_t size, const sha256_digest* digest, const std::string& minisig = {});
  // The first offer of a new session: its digest and signature, checked as
  // above (a complete file already there is checked at once).
  void take_first_offer(const sha256_digest* digest, const std::string& minisig = {});
  const std::optional<sha256_digest>& expected_digest() const { return expected_digest_; }
  // The last download or check ended because the bytes did not give the
  // expected digest; the file was deleted. Cleared by start().
  bool digest_mismatch() const { return digest_mismatch_; }
  // Why the package was refused when it was: the signature's verdict, or
  // the policy's demand for https://. Cleared when a new offer is taken.
  const std::optional<signature_verdict>& signature_refusal() const { return signature_refusal_; }
  bool https_refused() const { return https_refused_; }
  // Whether the session's package is one a trusted key signed and whose
  // bytes were found to be the signed ones (this run or before installing).
  bool signature_verified() const;
  // What the offer said of the signature, for the installation to check
  // again just before anything is extracted or started.
  const signed_offer& offer_signature() const { return signed_; }
  // The installation found the file not to pass its signature (it changed
  // since, or the installing process trusts other keys): the file goes and
  // the session ends in error, as after a download that failed its check.
  // Nothing happens while a thread runs.
  void refuse_installation(signature_verdict verdict);

  const std::string& link() const { return link_; }
  download_state state() const { return state_; }
  bool has_thread() const { return thread_ != nullptr; }
  // Whether the download thread has ended (or there is none).
  bool thread_ended() const { return !thread_ || call_.ended; }
  const download_progress& progress() const { return progress_; }
  const std::u16string& temp_path() const { return paths_.temp_path; }
  const std::u16string& final_path() const { return paths_.final_path; }

  // The installation of the package: one job for the session's whole life,
  // which every panel of the link finds again, so that the package is never
  // installed twice at once. Used on the window thread.
  const std::shared_ptr<install_job>& installation() const { return installation_; }

 private:
  enum class digest_verdict { none, matched, mismatched, signature_refused };

  static int run(void* self);
  // Starts the download thread for a download or, with `check_only`, for a
  // check of the complete file; the state is downloading afterwards (error
  // when no thread can be made).
  bool start_thread(bool check_only);
  void start_check_when_unverified();
  // On the download thread, after the transfer: the file against the digest
  // the thread started with.
  digest_verdict verify_file();
  void apply_thread_end();
  void apply_waiting_offer(bool download_again);
  // Refuses the package when what its offer says cannot pass (see above):
  // true when it was refused.
  bool refuse_unacceptable_offer();
  void refuse(std::optional<signature_verdict> verdict, bool https);
  bool checks_signature() const;

  std::string link_;
  download_paths paths_;
  download_options options_;
  std::shared_ptr<const signature_trust> trust_;
  signed_offer signed_;
  download_progress progress_;
  thread_call call_;
  std::unique_ptr<std::thread> thread_;
  download_state state_ = download_state::not_downloaded;

  std::optional<sha256_digest> expected_digest_;
  // The digest the final file was found to give; checks are not repeated.
  std::optional<sha256_digest> verified_digest_;
  bool digest_mismatch_ = false;
  std::optional<signature_verdict> signature_refusal_;
  bool https_refused_ = false;
  // The signature (as the offer carried it) that the final file was found
  // to pass; checks are not repeated.
  std::optional<std::string> verified_signature_;
  // The user asked for the running download to stop (not a new offer).
  bool pause_requested_ = false;
  // A new package under the link, taken once the running thread has ended.
  struct package_offer {
    uint32_t size = 0;
    std::optional<sha256_digest> digest;
    std::string minisig;
  };
  std::optional<package_offer> waiting_offer_;
  std::shared_ptr<install_job> installation_ = std::make_shared<install_job>();
  // Set before the thread starts and read by it; the thread alone touches
  // `running_digest_` and writes `verdict_` while it runs.
  bool check_only_ = false;
  std::optional<sha256_digest> thread_digest_;
  std::optional<signed_offer> thread_signature_;  // when the thread checks one
  package_digest_c running_digest_;
  digest_verdict verdict_ = digest_verdict::none;
  signature_verdict thread_signature_verdict_ = signature_verdict::not_required;
};

// Every session of the run, in order of creation; sessions live until the
// process ends. Used on the window thread only.
class download_registry_c {
 public:
  // Sessions check packages against `trust` when given.
  explicit download_registry_c(std::u16string download_folder, download_options options = {},
                               std::shared_ptr<const signature_trust> trust = nullptr)
      : folder_(std::move(download_folder)), options_(options), trust_(std::move(trust)) {}
  // The session of that link (compared byte by byte), made when new. Links
  // are kept whole, however long, so a long link finds its session again.
  // A session found again takes the offer's size and digest (see
  // download_session_c::take_offer); a new one expects the digest when
  // there is one.
  std::shared_ptr<download_session_c> find_or_create(const std::string& link, uint32_t expected_size,
                                                     const sha256_digest* expected_digest = nullptr,
                                                     const std::string& minisig = {});
  const std::shared_ptr<const signature_trust>& trust() const { return trust_; }
  const std::vector<std::shared_ptr<download_session_c>>& sessions() const { return sessions_; }
  // Whether any session's download is under way (asked before quitting).
  bool any_downloading() const;
  // At exit: asks every running download to stop and waits at most
  // `limit` for their threads to end; the partial files stay for the next
  // run. True when no download thread runs any more.
  bool stop_all(std::chrono::milliseconds limit);

 private:
  std::u16string folder_;
  download_options options_;
  std::shared_ptr<const signature_trust> trust_;
  std::vector<std::shared_ptr<download_session_c>> sessions_;
};

}  // namespace quillary
