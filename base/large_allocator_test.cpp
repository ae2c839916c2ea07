#include "base/large_allocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#if defined(__linux__)
#include <unistd.h>
#endif

namespace brenlow {
namespace {

// Sizes below, at and past the point where blocks come from fresh pages,
// one not a multiple of a page or of a huge page.
TEST(zeroed_array_test, starts_zero_and_keeps_what_is_written) {
  const std::size_t sizes[] = {1, 1000, std::size_t{1} << 20,
                               (std::size_t{4} << 20) / 8 + 12345,
                               std::size_t{3} << 20};
  for (const std::size_t size : sizes) {
    zeroed_array<std::uint64_t> array(size);
    ASSERT_EQ(array.size(), size);
    std::size_t nonzero = 0;
    for (const std::uint64_t value : array) nonzero += value != 0;
    EXPECT_EQ(nonzero, 0u) << size;
    array[0] = 1;
    array[size - 1] = 2;  // the last element is inside the block
    zeroed_array<std::uint64_t> moved(std::move(array));
    EXPECT_EQ(moved[size - 1], 2u) << size;
    if (size > 1) {
      EXPECT_EQ(moved[0], 1u) << size;
    }
  }
}

// A block freed and taken again is zero again, whatever was written to it.
TEST(zeroed_array_test, zero_after_memory_is_reused) {
  for (int round = 0; round < 3; ++round) {
    zeroed_array<std::uint32_t> array((std::size_t{5} << 20) + 7);
    std::size_t nonzero = 0;
    for (const std::uint32_t value : array) nonzero += value != 0;
    EXPECT_EQ(nonzero, 0u) << round;
    for (std::size_t k = 0; k < array.size(); k += 97) array[k] = 0xFFFFFFFF;
  }
}

#if defined(__linux__)
// The program's resident pages, from the system's own count.
std::size_t resident_bytes() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  char line[128] = {};
  const bool read = std::fgets(line, sizeof line, statm) != nullptr;
  (void)std::fclose(statm);
  if (!read) return 0;
  // The second number: pages resident.
  char* rest = nullptr;
  (void)std::strtoul(line, &rest, 10);
  const unsigned long resident = std::strtoul(rest, nullptr, 10);
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Large arrays give their pages back when they go: eight of 16 MiB, each
// written throughout, leave the program less than two of them larger.
TEST(zeroed_array_test, gives_its_pages_back) {
  const std::size_t before = resident_bytes();
  ASSERT_NE(before, 0u);
  for (int round = 0; round < 8; ++round) {
    zeroed_array<char> array(std::size_t{16} << 20);
    for (std::size_t k = 0; k < array.size(); k += 4096) array[k] = 1;
  }
  EXPECT_LT(resident_bytes(), before + (std::size_t{32} << 20));
}
#endif

TEST(zeroed_array_test, refuses_sizes_past_the_address_space) {
  EXPECT_THROW(
      {
        const zeroed_array<std::uint64_t> huge(~std::size_t{0} / 4);
        EXPECT_TRUE(huge.empty());  // not reached
      },
      std::bad_alloc);
}

}  // namespace
}  // namespace brenlow
