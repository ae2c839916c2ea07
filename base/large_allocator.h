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

template <class T, class U>
bool operator==(const large_allocator<T>&, const large_allocator<U>&) {
  return true;
}
template <class T, class U>
bool operator!=(const large_allocator<T>&, const large_allocator<U>&) {
  return false;
}

}  // namespace brenlow
