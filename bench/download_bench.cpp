// Times download_file on one link: prints the seconds and MiB/s as
// "seconds=S mib_per_s=R" for bench/download to compare with curl.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/text.h"
#include "service/http_transfer.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: download_bench LINK SIZE FILE\n");
    return 2;
  }
  quillary::transfer_library_init();
  quillary::download_progress progress;
  progress.expected_size = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  const auto start = std::chrono::steady_clock::now();
  const int result =
      quillary::download_file(argv[1], progress, quillary::utf8_to_utf16(argv[3]));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  quillary::transfer_library_cleanup();
  if (result != 0 || progress.transfer_result != 0 || progress.written != progress.expected_size) {
    std::fprintf(stderr, "download_bench: failed (result %d, libcurl %d, %u bytes)\n", result,
                 progress.transfer_result.load(), progress.written.load());
    return 1;
  }
  std::printf("seconds=%.4f mib_per_s=%.1f\n", seconds, progress.written / seconds / (1 << 20));
  return 0;
}
