// An allocator for arrays of many megabytes (the input text and the arrays
// of the reading table). Blocks of 4 MiB and more are placed on 2 MiB
// boundaries and, on Linux, offered transparent huge pages: a dictionary of
// millions of lines then costs a few hundred page faults instead of tens of
// thousands, and the table's random lookups miss the TLB far less often.
#pragma once

#include <cstddef>
#include <limits>
#include <new>
#include <utility>

namespace brenlow {

void* allocate_large(std::size_t bytes);
void free_large(void* block, std::size_t bytes) noexcept;

template <class T>
struct large_allocator {
  using value_type = T;
  large_allocator() = default;
  template <class U>
  large_allocator(const large_allocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
      throw std::bad_alloc();
    }
    return static_cast<T*>(allocate_large(n * sizeof(T)));
  }
  void deallocate(T* block, std::size_t n) noexcept {
    free_large(block, n * sizeof(T));
  }
  // Elements made without a value are left uninitialised: a buffer about to
  // be filled by a read is not zeroed first.
  template <class U>
  void construct(U* place) noexcept {
    ::new (static_cast<void*>(place)) U;
  }
  template <class U, class... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }
};

// Room for bytes bytes, all zero, or nullptr when memory runs out. A large
// block comes from fresh pages of the system, zero without being written:
// pages never touched are never zeroed nor counted as the program's memory.
void* allocate_zeroed(std::size_t bytes);
void free_zeroed(void* block, std::size_t bytes) noexcept;

// A fixed array of trivial elements whose bytes all start as zero (see
// allocate_zeroed). Throws std::bad_alloc when memory runs out.
template <class T>
class zeroed_array {
 public:
  zeroed_array() = default;
  explicit zeroed_array(std::size_t size) {
    if (size == 0) return;
    if (size > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
      throw std::bad_alloc();
    }
    data_ = static_cast<T*>(allocate_zeroed(size * sizeof(T)));
    if (data_ == nullptr) throw std::bad_alloc();
    size_ = size;
  }
  zeroed_array(zeroed_array&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)) {}
  // other takes this array's block, and frees it.
  zeroed_array& operator=(zeroed_array&& other) noexcept {
    swap(other);
    return *this;
  }
  zeroed_array(const zeroed_array&) = delete;
  zeroed_array& operator=(const zeroed_array&) = delete;
  ~zeroed_array() {
    if (data_ != nullptr) free_zeroed(data_, size_ * sizeof(T));
  }
  void swap(zeroed_array& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
  }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t k) { return data_[k]; }
  const T& operator[](std::size_t k) const { return data_[k]; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
};

template <class T, class U>
bool operator==(const large_allocator<T>&, const large_allocator<U>&) {
  return true;
}
template <class T, class U>
bool operator!=(const large_allocator<T>&, const large_allocator<U>&) {
  return false;
}

}  // namespace brenlow
