// Hashes what a download writes on a thread of its own, reading it back
// from the file. The writing thread only reports how far the file is
// written: it copies nothing and waits for nothing, so that a transfer with
// its digest runs as fast as one without, the hashing on the other
// processor. (Copying each chunk into a queue for the hashing thread cost
// the writing thread a tenth of its time, and waking that thread for each
// chunk as much again.) The bytes hashed are then those of the file, which
// is what is installed.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/package_digest.h"

namespace quillary {

class background_digest_c {
 public:
  // Bytes read back and hashed at a time. The thread also waits for this
  // much before it reads, so that it is woken about once a megabyte.
  static constexpr size_t batch = 1u << 20;

  // `digest` holds the file's first digest.length() bytes already (those of
  // a resumed download), and goes on from there.
  background_digest_c(package_digest_c& digest, const std::u16string& file);
  // Finishes first.
  ~background_digest_c();
  background_digest_c(const background_digest_c&) = delete;
  background_digest_c& operator=(const background_digest_c&) = delete;

  // The file now holds `length` bytes, flushed to the system, of which
  // `data` and `size` are the last written. The data is hashed at once
  // only when no thread could be started or the file not opened for reading.
  void written(uint64_t length, const void* data, size_t size);
  // Returns once every byte reported is in the digest. Should the file not
  // read back as reported, the digest is emptied instead, so that it
  // vouches for nothing (whoever checks the file then hashes it again).
  void finish();

 private:
  void run();

  package_digest_c& digest_;
  std::FILE* file_ = nullptr;  // the thread's own reading of the file
  std::vector<char> buffer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t reported_;  // what the writer reported
  uint64_t hashed_;    // what the thread hashed
  bool waiting_ = false;
  bool finishing_ = false;
  bool failed_ = false;
  std::thread thread_;  // not joinable when none runs: bytes are then hashed as they are written
};

}  // namespace quillary
