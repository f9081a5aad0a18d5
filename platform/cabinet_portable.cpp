// Cabinets natively, through libmspack. The library reads and writes only
// through the file functions given to it: these read the cabinet by its
// path and send each file's bytes to the target the caller chose, so that
// nothing is written anywhere the caller did not name.
#include <errno.h>
#include <fcntl.h>
#include <mspack.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/cabinet.h"
#include "platform/text.h"

namespace quillary::platform {
namespace {

// The file functions handed to libmspack, with the target of the file
// being extracted. libmspack passes `base` back to open(); the rest of the
// structure comes with it.
struct cabinet_system {
  mspack_system base;
  const cabinet_target* target = nullptr;
  bool target_failed = false;  // the target, not the cabinet, failed
  bool created = false;        // the target file was made (and is removed on failure)
};

// What open() hands out: the cabinet read by its descriptor, or a target.
struct open_handle {
  cabinet_system* system = nullptr;
  int fd = -1;
  bool writing = false;
};

open_handle* as_handle(mspack_file* file) { return reinterpret_cast<open_handle*>(file); }

mspack_file* open_file(mspack_system* self, const char* filename, int mode) {
  auto* system = reinterpret_cast<cabinet_system*>(self);
  auto handle = std::make_unique<open_handle>();
  handle->system = system;
  if (mode == MSPACK_SYS_OPEN_READ) {
    handle->fd = ::open(filename, O_RDONLY | O_CLOEXEC);
    if (handle->fd < 0) return nullptr;
  } else if (mode == MSPACK_SYS_OPEN_WRITE && system->target) {
    // The name libmspack passes is ours and means nothing: the target says
    // where the bytes go.
    handle->writing = true;
    if (system->target->what == cabinet_target::kind::file) {
      handle->fd = ::open(utf16_to_utf8(system->target->path).c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
      if (handle->fd < 0) {
        system->target_failed = true;
        return nullptr;
      }
      system->created = true;
    }
  } else {
    return nullptr;  // nothing else is asked of a cabinet being read
  }
  return reinterpret_cast<mspack_file*>(handle.release());
}

void close_file(mspack_file* file) {
  open_handle* handle = as_handle(file);
  if (handle->fd >= 0 && ::close(handle->fd) != 0 && handle->writing) handle->system->target_failed = true;
  delete handle;
}

int read_file(mspack_file* file, void* buffer, int bytes) {
  open_handle* handle = as_handle(file);
  if (handle->writing || bytes < 0) return -1;
  // libmspack takes a short read for the end of the file: read it all.
  int total = 0;
  while (total < bytes) {
    const ssize_t got = ::read(handle->fd, static_cast<char*>(buffer) + total, static_cast<size_t>(bytes - total));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    total += static_cast<int>(got);
  }
  return total;
}

int write_file(mspack_file* file, void* buffer, int bytes) {
  open_handle* handle = as_handle(file);
  if (!handle->writing || bytes < 0) return -1;
  cabinet_system& system = *handle->system;
  const char* data = static_cast<const char*>(buffer);
  if (system.target->what == cabinet_target::kind::sink) {
    if (system.target->sink && !system.target->sink(data, static_cast<size_t>(bytes))) {
      system.target_failed = true;
      return -1;
    }
    return bytes;
  }
  int total = 0;
  while (total < bytes) {
    const ssize_t put = ::write(handle->fd, data + total, static_cast<size_t>(bytes - total));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      system.target_failed = true;
      return -1;
    }
    total += static_cast<int>(put);
  }
  return total;
}

int seek_file(mspack_file* file, off_t offset, int mode) {
  open_handle* handle = as_handle(file);
  if (handle->fd < 0 || handle->writing) return -1;
  const int whence = mode == MSPACK_SYS_SEEK_START ? SEEK_SET : mode == MSPACK_SYS_SEEK_CUR ? SEEK_CUR : SEEK_END;
  return lseek(handle->fd, offset, whence) < 0 ? -1 : 0;
}

off_t tell_file(mspack_file* file) {
  open_handle* handle = as_handle(file);
  return handle->fd < 0 ? -1 : lseek(handle->fd, 0, SEEK_CUR);
}

// The library's remarks on odd cabinets go nowhere: what counts is the
// error code.
void message(mspack_file*, const char*, ...) {}

void* allocate(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void release(void* pointer) { std::free(pointer); }
void copy(void* from, void* to, size_t bytes) { std::memmove(to, from, bytes); }

struct decompressor_closer {
  void operator()(mscab_decompressor* decompressor) const { mspack_destroy_cab_decompressor(decompressor); }
};

uint32_t dos_date_time_of(const mscabd_file& file) {
  const uint32_t date = (static_cast<uint32_t>(file.date_y - 1980) << 9) |
                        (static_cast<uint32_t>(file.date_m & 0x0F) << 5) | static_cast<uint32_t>(file.date_d & 0x1F);
  const uint32_t time = (static_cast<uint32_t>(file.time_h & 0x1F) << 11) |
                        (static_cast<uint32_t>(file.time_m & 0x3F) << 5) |
                        static_cast<uint32_t>((file.time_s & 0x3F) / 2);
  return ((date & 0xFFFF) << 16) | time;
}

cabinet_file file_of(const mscabd_file& entry) {
  cabinet_file file;
  file.raw_name = entry.filename;
  file.utf8_name = (entry.attribs & MSCAB_ATTRIB_UTF_NAME) != 0;
  file.name = file.utf8_name ? utf8_to_utf16(file.raw_name) : from_ansi(file.raw_name);
  file.size = entry.length;
  file.dos_date_time = dos_date_time_of(entry);
  return file;
}

}  // namespace

cabinet_walk walk_cabinet_files(const std::u16string& path, const cabinet_chooser& choose) {
  cabinet_system system{};
  system.base = {open_file, close_file, read_file, write_file, seek_file, tell_file, message,
                 allocate,  release,    copy,      nullptr};
  std::unique_ptr<mscab_decompressor, decompressor_closer> decompressor(
      mspack_create_cab_decompressor(&system.base));
  if (!decompressor) return walk_ended(cabinet_status::damaged);
  // Bad checksums and broken data are errors, never repaired or skipped
  // (the library's defaults, said again here).
  decompressor->set_param(decompressor.get(), MSCABD_PARAM_FIXMSZIP, 0);
  decompressor->set_param(decompressor.get(), MSCABD_PARAM_SALVAGE, 0);

  const std::string native_path = utf16_to_utf8(path);
  mscabd_cabinet* cabinet = decompressor->open(decompressor.get(), native_path.c_str());
  if (!cabinet) {
    const int error = decompressor->last_error(decompressor.get());
    return walk_ended(error == MSPACK_ERR_OPEN || error == MSPACK_ERR_SIGNATURE ? cabinet_status::not_a_cabinet
                                                                                : cabinet_status::damaged);
  }
  cabinet_walk walk;
  walk.status = cabinet_status::done;
  for (mscabd_file* entry = cabinet->files; entry; entry = entry->next) {
    const cabinet_file file = file_of(*entry);
    ++walk.files;
    const cabinet_target target = choose(file);
    if (target.what == cabinet_target::kind::skip) continue;
    if (target.what == cabinet_target::kind::stop) {
      walk.status = cabinet_status::stopped;
      walk.failed_file = file.name;
      break;
    }
    system.target = &target;
    system.target_failed = false;
    system.created = false;
    const int error = decompressor->extract(decompressor.get(), entry, "target");
    system.target = nullptr;
    if (error == MSPACK_ERR_OK && !system.target_failed) {
      ++walk.written;
      continue;
    }
    if (system.created) ::unlink(utf16_to_utf8(target.path).c_str());
    walk.status = system.target_failed ? cabinet_status::target_failed : cabinet_status::damaged;
    walk.failed_file = file.name;
    break;
  }
  decompressor->close(decompressor.get(), cabinet);
  return walk;
}

}  // namespace quillary::platform
