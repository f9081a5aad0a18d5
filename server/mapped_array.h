// A growable array of plain records on an anonymous mapping of its own.
// It grows by mremap, which moves page-table entries rather than bytes:
// the tables of a catalogue of a million INF files reach hundreds of MiB
// each, and a std::vector's doubling would copy every one of them on the
// way and touch twice its memory, each fresh page cleared by the kernel.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

namespace quillary::server {

// The mapping of `bytes` bytes, grown (or first made, from nullptr) to at
// least `wanted`; its new size in `bytes`. Throws std::bad_alloc.
void* grow_mapping(void* data, size_t& bytes, size_t wanted);
void release_mapping(void* data, size_t bytes);

template <class T>
class mapped_array {
  static_assert(std::is_trivially_copyable_v<T>, "records are moved as bytes");

 public:
  mapped_array() = default;
  mapped_array(const mapped_array&) = delete;
  mapped_array& operator=(const mapped_array&) = delete;
  mapped_array(mapped_array&& other) noexcept { swap(other); }
  mapped_array& operator=(mapped_array&& other) noexcept {
    mapped_array(std::move(other)).swap(*this);
    return *this;
  }
  ~mapped_array() { release_mapping(data_, bytes_); }

  void push_back(const T& record) {
    if ((size_ + 1) * sizeof(T) > bytes_) reserve(size_ + 1);
    data_[size_++] = record;
  }
  void append(const T* records, size_t count) {
    if (count == 0) return;  // an empty array has no mapping to copy into
    reserve(size_ + count);
    std::memcpy(static_cast<void*>(data_ + size_), records, count * sizeof(T));
    size_ += count;
  }
  // Records past the old size are zero bytes.
  void resize(size_t size) {
    reserve(size);
    if (size > size_) std::memset(static_cast<void*>(data_ + size_), 0, (size - size_) * sizeof(T));
    size_ = size;
  }
  void reserve(size_t size) {
    if (size * sizeof(T) > bytes_) data_ = static_cast<T*>(grow_mapping(data_, bytes_, size * sizeof(T)));
  }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  T& back() { return data_[size_ - 1]; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

 private:
  void swap(mapped_array& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(bytes_, other.bytes_);
  }
  T* data_ = nullptr;
  size_t size_ = 0;
  size_t bytes_ = 0;  // of the mapping
};

}  // namespace quillary::server
