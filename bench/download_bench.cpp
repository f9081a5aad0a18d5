// Times download_file on one link, with the package's SHA-256 computed while
// the file is written and checked at the end, as a download session does
// when the offer names a digest: prints the seconds and MiB/s as
// "seconds=S mib_per_s=R" for bench/download to compare with curl.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/sha256.h"
#include "platform/text.h"
#include "service/http_transfer.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: download_bench LINK SIZE SHA256 FILE\n");
    return 2;
  }
  quillary::sha256_digest expected;
  if (!quillary::parse_sha256_hex(argv[3], expected)) {
    std::fprintf(stderr, "download_bench: SHA256 must be 64 hexadecimal digits\n");
    return 2;
  }
  quillary::transfer_library_init();
  quillary::download_progress progress;
  progress.expected_size = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  quillary::package_digest_c digest;
  const auto start = std::chrono::steady_clock::now();
  const int result = quillary::download_file(argv[1], progress, quillary::utf8_to_utf16(argv[4]), {}, &digest);
  const bool matches = digest.digest() == expected;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  quillary::transfer_library_cleanup();
  if (result != 0 || progress.transfer_result != 0 || progress.written != progress.expected_size || !matches) {
    std::fprintf(stderr, "download_bench: failed (result %d, libcurl %d, %u bytes, digest %s)\n", result,
                 progress.transfer_result.load(), progress.written.load(), matches ? "right" : "wrong");
    return 1;
  }
  std::printf("seconds=%.4f mib_per_s=%.1f\n", seconds, progress.written / seconds / (1 << 20));
  return 0;
}
