#include "base/large_allocator.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace brenlow {

#if defined(_WIN32)
// Windows has no transparent huge pages to place a block for, nor
// aligned_alloc.
void* allocate_large(std::size_t bytes) { return ::operator new(bytes); }

void free_large(void* block, std::size_t) noexcept { ::operator delete(block); }

// calloc may write the zeros itself here: the whole block then counts.
void* allocate_zeroed(std::size_t bytes) { return std::calloc(bytes, 1); }
void free_zeroed(void* block, std::size_t) noexcept { std::free(block); }

#else
namespace {
constexpr std::size_t large_block = std::size_t{4} << 20;
constexpr std::size_t huge_page = std::size_t{2} << 20;

// bytes rounded up to whole huge pages, or 0 past the address space.
std::size_t in_huge_pages(std::size_t bytes) {
  const std::size_t rounded = (bytes + huge_page - 1) / huge_page * huge_page;
  return rounded < bytes ? 0 : rounded;
}

// Only advice: without huge pages the block works the same.
void offer_huge_pages(void* block, std::size_t size) {
#if defined(MADV_HUGEPAGE)
  madvise(block, size, MADV_HUGEPAGE);
#else
  (void)block;
  (void)size;
#endif
}
}  // namespace

void* allocate_large(std::size_t bytes) {
  if (bytes < large_block) return ::operator new(bytes);
  // aligned_alloc wants a multiple of the alignment.
  const std::size_t rounded = in_huge_pages(bytes);
  if (rounded == 0) throw std::bad_alloc();
  void* block = std::aligned_alloc(huge_page, rounded);
  if (block == nullptr) throw std::bad_alloc();
  offer_huge_pages(block, rounded);
  return block;
}

void free_large(void* block, std::size_t bytes) noexcept {
  if (bytes < large_block) {
    ::operator delete(block);
  } else {
    std::free(block);
  }
}

#if defined(__linux__)
// Large blocks are mapped here rather than left to calloc, which may hand
// out (and so zero) memory freed earlier: the reading index is sized for a
// reading on every line, and only the pages its readings land on may cost
// memory. Placed on a 2 MiB boundary with huge pages offered, as above.
void* allocate_zeroed(std::size_t bytes) {
  if (bytes < large_block) return std::calloc(bytes, 1);
  const std::size_t rounded = in_huge_pages(bytes);
  if (rounded == 0 || rounded + huge_page < rounded) return nullptr;
  void* mapped = mmap(nullptr, rounded + huge_page, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  // Only the aligned part is kept.
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::size_t head = in_huge_pages(start) - start;
  char* const block = static_cast<char*>(mapped) + head;
  if (head != 0) munmap(mapped, head);
  if (huge_page > head) munmap(block + rounded, huge_page - head);
  offer_huge_pages(block, rounded);
  return block;
}

void free_zeroed(void* block, std::size_t bytes) noexcept {
  if (bytes < large_block) {
    std::free(block);
    return;
  }
  munmap(block, in_huge_pages(bytes));
}
#else
void* allocate_zeroed(std::size_t bytes) { return std::calloc(bytes, 1); }
void free_zeroed(void* block, std::size_t) noexcept { std::free(block); }
#endif
#endif

}  // namespace brenlow
