// For the extraction fuzzers: stands in for the calls that change the file
// system (open for writing, mkdir, utimensat), so that every one an
// extraction makes is checked against its folder as it happens, and checks
// afterwards that nothing appeared beside the folder. Include it in one
// fuzzer's one source file: it defines the C library's names.
#pragma once

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace extraction_sandbox {

namespace fs = std::filesystem;

// Set while an extraction runs: the folder it may write below.
inline const fs::path* folder = nullptr;

inline bool inside(const char* path) {
  const fs::path normal = fs::path(path).lexically_normal();
  const fs::path relative = normal.lexically_relative(*folder);
  return normal.is_absolute() && !relative.empty() && *relative.begin() != "..";
}

[[noreturn]] inline void escaped(const char* call, const char* path) {
  std::fprintf(stderr, "extraction fuzzer: %s outside the extraction folder: %s\n", call, path);
  std::abort();
}

template <typename function>
function real(const char* name) {
  return reinterpret_cast<function>(dlsym(RTLD_NEXT, name));
}

inline int checked_open(const char* name, const char* path, int flags, mode_t mode) {
  if (folder && (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) && !inside(path)) escaped(name, path);
  static const auto call = real<int (*)(const char*, int, ...)>(name);
  return call(path, flags, mode);
}

// A folder of the fuzzer's own for its inputs and extractions.
inline fs::path make_root(const std::string& name) {
  const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  fs::path root = base / ("quillary-" + name + "-" + std::to_string(getpid()));
  fs::create_directories(root);
  return root;
}

// Aborts when anything below `root` is neither one of `allowed` nor below
// `extraction`.
inline void check_nothing_beside(const fs::path& root, const fs::path& extraction,
                                 std::initializer_list<fs::path> allowed) {
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    const fs::path& path = item.path();
    bool fine = path == extraction || path.native().starts_with(extraction.native() + "/");
    for (const auto& other : allowed) fine = fine || path == other;
    if (!fine) escaped("found afterwards", path.c_str());
  }
}

}  // namespace extraction_sandbox

extern "C" int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(args, int)) : 0;
  va_end(args);
  return extraction_sandbox::checked_open("open", path, flags, mode);
}

extern "C" int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(args, int)) : 0;
  va_end(args);
  return extraction_sandbox::checked_open("open64", path, flags, mode);
}

// Making the parents of the folder tries every ancestor, which exists: only
// a folder that was really made must lie inside.
extern "C" int mkdir(const char* path, mode_t mode) {
  static const auto call = extraction_sandbox::real<int (*)(const char*, mode_t)>("mkdir");
  const int result = call(path, mode);
  if (extraction_sandbox::folder && result == 0 && !extraction_sandbox::inside(path)) {
    extraction_sandbox::escaped("mkdir", path);
  }
  return result;
}

extern "C" int utimensat(int dir, const char* path, const struct timespec times[2], int flags) {
  if (extraction_sandbox::folder && (dir != AT_FDCWD || !extraction_sandbox::inside(path))) {
    extraction_sandbox::escaped("utimensat", path);
  }
  static const auto call =
      extraction_sandbox::real<int (*)(int, const char*, const struct timespec*, int)>("utimensat");
  return call(dir, path, times, flags);
}
