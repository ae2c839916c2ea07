#include "base/large_allocator.h"

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

#else
namespace {
constexpr std::size_t large_block = std::size_t{4} << 20;
constexpr std::size_t huge_page = std::size_t{2} << 20;
}  // namespace

void* allocate_large(std::size_t bytes) {
  if (bytes < large_block) return ::operator new(bytes);
  // aligned_alloc wants a multiple of the alignment.
  const std::size_t rounded = (bytes + huge_page - 1) / huge_page * huge_page;
  if (rounded < bytes) throw std::bad_alloc();
  void* block = std::aligned_alloc(huge_page, rounded);
  if (block == nullptr) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
  // Only advice: without huge pages the block works the same.
  madvise(block, rounded, MADV_HUGEPAGE);
#endif
  return block;
}

void free_large(void* block, std::size_t bytes) noexcept {
  if (bytes < large_block) {
    ::operator delete(block);
  } else {
    std::free(block);
  }
}
#endif

}  // namespace brenlow
