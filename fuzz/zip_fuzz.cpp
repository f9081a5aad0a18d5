// Zip extraction: any bytes are opened as an archive and extracted into a
// folder of their own, without crash, leak or out-of-bounds access, and
// without writing anything outside that folder.
//
// The harness stands in for the calls that change the file system (open for
// writing, mkdir, utimensat), so that every one of them the extraction makes
// is checked against the folder as it happens; it also checks afterwards
// that nothing appeared beside the folder.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "download/zip_archive.h"

namespace fs = std::filesystem;

namespace {

// Set while the extraction runs: the folder it may write below.
const fs::path* sandbox = nullptr;

bool inside_sandbox(const char* path) {
  const fs::path normal = fs::path(path).lexically_normal();
  const fs::path relative = normal.lexically_relative(*sandbox);
  return normal.is_absolute() && !relative.empty() && *relative.begin() != "..";
}

void escaped(const char* call, const char* path) {
  std::fprintf(stderr, "zip_fuzz: %s outside the extraction folder: %s\n", call, path);
  std::abort();
}

template <typename function>
function real(const char* name) {
  return reinterpret_cast<function>(dlsym(RTLD_NEXT, name));
}

int checked_open(const char* name, const char* path, int flags, mode_t mode) {
  if (sandbox && (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) && !inside_sandbox(path)) escaped(name, path);
  static const auto call = real<int (*)(const char*, int, ...)>(name);
  return call(path, flags, mode);
}

fs::path make_root() {
  const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  fs::path root = base / ("quillary-zip-fuzz-" + std::to_string(getpid()));
  fs::create_directories(root);
  return root;
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(args, int)) : 0;
  va_end(args);
  return checked_open("open", path, flags, mode);
}

extern "C" int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(args, int)) : 0;
  va_end(args);
  return checked_open("open64", path, flags, mode);
}

// Making the parents of the folder tries every ancestor, which exists: only
// a folder that was really made must lie inside.
extern "C" int mkdir(const char* path, mode_t mode) {
  static const auto call = real<int (*)(const char*, mode_t)>("mkdir");
  const int result = call(path, mode);
  if (sandbox && result == 0 && !inside_sandbox(path)) escaped("mkdir", path);
  return result;
}

extern "C" int utimensat(int dir, const char* path, const struct timespec times[2], int flags) {
  if (sandbox && (dir != AT_FDCWD || !inside_sandbox(path))) escaped("utimensat", path);
  static const auto call = real<int (*)(int, const char*, const struct timespec*, int)>("utimensat");
  return call(dir, path, times, flags);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path root = make_root();
  static const int cleanup = std::atexit([] {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  });
  (void)cleanup;
  const fs::path archive_path = root / "input.zip";
  // Deep enough that climbing out by a few levels still lands in `root`.
  const fs::path outer = root / "out";
  const fs::path folder = outer / "a" / "b" / "inside";
  {
    std::ofstream(archive_path, std::ios::binary).write(reinterpret_cast<const char*>(data), size);
  }
  // The extraction makes the folder itself, but nothing above it.
  fs::create_directories(folder.parent_path());

  quillary::unzip_archive_c archive;
  if (archive.open(archive_path.u16string())) {
    sandbox = &folder;
    (void)archive.extract_all(folder.u16string());
    sandbox = nullptr;
    archive.close();
  }

  for (const auto& item : fs::recursive_directory_iterator(root)) {
    const fs::path& path = item.path();
    const bool allowed = path == archive_path || path == outer || path == outer / "a" || path == outer / "a" / "b" ||
                         path == folder || path.native().starts_with(folder.native() + "/");
    if (!allowed) escaped("found afterwards", path.c_str());
  }
  std::error_code ignored;
  fs::remove_all(outer, ignored);
  return 0;
}
