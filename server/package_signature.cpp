#include "server/package_signature.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/minisign.h"
#include "server/outgoing_answer.h"

namespace quillary::server {

// The same reader the program uses: what it would refuse to read is not
// handed to it.
bool is_plausible_signature(std::string_view text) {
  minisign_signature signature;
  std::string error;
  return parse_minisign_signature(text, signature, error);
}

void read_package_signature(const std::string& folder, const std::string& package_name, std::string& signature,
                            const warning_sink& warn) {
  signature.clear();
  const std::string name = package_name + std::string(signature_suffix);
  const std::string path = (std::filesystem::path(folder) / name).string();
  // O_NONBLOCK: a FIFO put there must not hold the service up.
  owned_file_c file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) {
    if (errno != ENOENT) warn(name + ": cannot be opened; the package is offered without its signature");
    return;
  }
  struct stat info{};
  if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    warn(name + ": not a plain file; the package is offered without its signature");
    return;
  }
  std::string bytes(max_signature_bytes + 1, '\0');
  size_t read_so_far = 0;
  while (read_so_far < bytes.size()) {
    const ssize_t got = read(file.get(), bytes.data() + read_so_far, bytes.size() - read_so_far);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      warn(name + ": cannot be read; the package is offered without its signature");
      return;
    }
    if (got == 0) break;
    read_so_far += static_cast<size_t>(got);
  }
  if (read_so_far > max_signature_bytes) {
    warn(name + ": larger than " + std::to_string(max_signature_bytes) +
         " bytes, not a signature; the package is offered without one");
    return;
  }
  bytes.resize(read_so_far);
  if (!is_plausible_signature(bytes)) {
    warn(name + ": not a minisign signature file; the package is offered without a signature");
    return;
  }
  signature = std::move(bytes);
}

void read_package_signatures(const std::string& folder, std::vector<package_file>& files, const warning_sink& warn) {
  for (auto& file : files) read_package_signature(folder, file.name, file.minisig, warn);
}

}  // namespace quillary::server
