// An array in pages of its own, zero-filled, that go back to the system when
// it is released. The samplings of the oldfile are released just before the
// lists are first written; memory that the allocator kept for later would
// add to the run's peak.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <type_traits>

namespace vd {

template <typename T>
class MappedArray {
  static_assert(std::is_trivial_v<T>);

 public:
  MappedArray() = default;
  MappedArray(const MappedArray&) = delete;
  MappedArray& operator=(const MappedArray&) = delete;
  ~MappedArray() { release(); }

  // False, with nothing held, when there is no memory for it.
  bool allocate(std::size_t count) {
    release();
    if (count == 0) return true;
    if (count > SIZE_MAX / sizeof(T)) return false;
    void* memory = mmap(nullptr, count * sizeof(T), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return false;
    items_ = static_cast<T*>(memory);
    count_ = count;
    return true;
  }
  void release() {
    if (items_ != nullptr) munmap(items_, count_ * sizeof(T));
    items_ = nullptr;
    count_ = 0;
  }
  std::size_t size() const { return count_; }
  T* data() { return items_; }
  const T* data() const { return items_; }
  T& operator[](std::size_t i) { return items_[i]; }
  const T& operator[](std::size_t i) const { return items_[i]; }

 private:
  T* items_ = nullptr;
  std::size_t count_ = 0;
};

}  // namespace vd
