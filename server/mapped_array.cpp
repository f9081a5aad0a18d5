#include "server/mapped_array.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <new>

namespace quillary::server {

namespace {

constexpr size_t huge_page = size_t{2} << 20;

void* fresh_mapping(size_t bytes) {
  return mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
}

}  // namespace

void* grow_mapping(void* data, size_t& bytes, size_t wanted) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  size_t size = bytes == 0 ? page : bytes;
  while (size < wanted) {
    if (size > SIZE_MAX / 2) throw std::bad_alloc();
    size *= 2;
  }
  void* grown = data == nullptr ? fresh_mapping(size) : mremap(data, bytes, size, MREMAP_MAYMOVE);
  if (grown == MAP_FAILED && data != nullptr) {
    // mremap grows one area of like pages only; should the kernel have
    // split ours, copy it once into a fresh one.
    grown = fresh_mapping(size);
    if (grown != MAP_FAILED) {
      std::memcpy(grown, data, bytes);
      munmap(data, bytes);
    }
  }
  if (grown == MAP_FAILED) throw std::bad_alloc();
  // Huge pages under the large tables: the string pool and the ID tables
  // are looked up at random, and a miss of the page table for every lookup
  // would cost more than the lookup. The whole mapping is advised, never a
  // part: a part would become an area of its own, which mremap cannot grow
  // together with the rest. A hint, so a refusal changes nothing.
  if (size >= huge_page) madvise(grown, size, MADV_HUGEPAGE);
  bytes = size;
  return grown;
}

void release_mapping(void* data, size_t bytes) {
  if (data != nullptr) munmap(data, bytes);
}

}  // namespace quillary::server
