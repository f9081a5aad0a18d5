// Times download_file on one link, with the package's SHA-256 computed while
// the file is written and checked at the end, as a download session does
// when the offer names a digest; with a signature and a public key, the
// BLAKE2b the publisher's signature covers in its place, and the signature
// checked at the end, as a session does for a signed package. Prints the seconds,
// the MiB/s and whether SHA-256 ran on the processor's SHA instructions, as
// "seconds=S mib_per_s=R sha_instructions=yes|no", for bench/download.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/minisign.h"
#include "base/sha256.h"
#include "download/package_signature.h"
#include "platform/files.h"
#include "platform/text.h"
#include "service/http_transfer.h"

int main(int argc, char** argv) {
  if (argc != 5 && argc != 7) {
    std::fprintf(stderr, "usage: download_bench LINK SIZE SHA256 FILE [MINISIG PUBLIC_KEY]\n");
    return 2;
  }
  quillary::sha256_digest expected;
  if (!quillary::parse_sha256_hex(argv[3], expected)) {
    std::fprintf(stderr, "download_bench: SHA256 must be 64 hexadecimal digits\n");
    return 2;
  }
  const bool signed_package = argc == 7;
  quillary::signature_trust trust;
  quillary::signed_offer offer;
  if (signed_package) {
    std::string minisig, error;
    quillary::minisign_public_key key;
    if (!quillary::platform::read_whole_file(quillary::utf8_to_utf16(argv[5]), minisig) ||
        !quillary::parse_minisign_public_key(argv[6], key, error)) {
      std::fprintf(stderr, "download_bench: cannot read the signature or the key %s\n", error.c_str());
      return 2;
    }
    trust.keys.push_back({key, "built-in"});
    trust.require_signed = true;
    offer.file_name = quillary::package_file_name(argv[1]);
    offer.sha256 = expected;
    offer.minisig_base64 = quillary::encode_base64(minisig);
  }
  quillary::transfer_library_init();
  quillary::download_progress progress;
  progress.expected_size = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  // As a session keeps it: a signed package's BLAKE2b in place of its SHA-256.
  quillary::package_digest_c digest(signed_package ? quillary::digest_kind::blake2b : quillary::digest_kind::sha256);
  const auto start = std::chrono::steady_clock::now();
  const quillary::outcome result = quillary::download_file(argv[1], progress, quillary::utf8_to_utf16(argv[4]), {}, &digest);
  const bool matches =
      signed_package
          ? quillary::check_package_signature(trust, offer, nullptr, *digest.blake2b()) ==
                quillary::signature_verdict::valid
          : digest.sha256() == expected;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  quillary::transfer_library_cleanup();
  if (!result || progress.transfer_result != 0 || progress.written != progress.expected_size || !matches) {
    std::fprintf(stderr, "download_bench: failed (result %d, libcurl %d, %u bytes, check %s)\n", result.code,
                 progress.transfer_result.load(), progress.written.load(), matches ? "passed" : "failed");
    return 1;
  }
  std::printf("seconds=%.4f mib_per_s=%.1f sha_instructions=%s\n", seconds, progress.written / seconds / (1 << 20),
              quillary::sha256_accelerated_blocks() ? "yes" : "no");
  return 0;
}
