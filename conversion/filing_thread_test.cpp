#include "conversion/filing_thread.h"

#include <gtest/gtest.h>

#include <map>
#include <new>
#include <string>
#include <vector>

namespace brenlow {
namespace {

// Counts around the batch handed to the thread (4096 words): every word
// must reach the table in the order added, under its reading, and each
// typed word must name its reading's entry.
TEST(FilingThread, FilesEveryWordInOrder) {
  const std::size_t counts[] = {0, 1, 4095, 4096, 4097, 3 * 4096 + 5};
  for (const std::size_t count : counts) {
    std::vector<std::string> readings;
    std::vector<std::string> words;
    for (std::size_t k = 0; k < count; ++k) {
      readings.push_back("r" + std::to_string(k * 7919 % 1000));
      words.push_back("w" + std::to_string(k));
    }
    // What a table filled word by word holds: readings numbered in order
    // of first appearance, the words of each in order.
    std::map<std::string, std::size_t> number;
    std::vector<std::vector<std::string>> expected_words;
    std::vector<std::uint32_t> expected_typed;
    for (std::size_t k = 0; k < count; ++k) {
      const auto found = number.emplace(readings[k], expected_words.size());
      if (found.second) expected_words.emplace_back();
      expected_words[found.first->second].push_back(words[k]);
      if (k % 7 == 3) {
        expected_typed.push_back(
            static_cast<std::uint32_t>(found.first->second));
      }
    }
    reading_table table;
    std::vector<std::uint32_t> typed;
    {
      filing_thread filing(files_into(table), typed);
      for (std::size_t k = 0; k < count; ++k) {
        filing.add(readings[k], words[k], k % 7 == 3);
      }
      filing.finish();
    }
    ASSERT_EQ(table.entries.size(), expected_words.size()) << count;
    std::vector<std::uint32_t> filed;
    for (std::size_t e = 0; e < table.entries.size(); ++e) {
      words_of(table, table.entries[e], filed);
      std::vector<std::string> got;
      got.reserve(filed.size());
      for (const std::uint32_t c : filed) {
        got.emplace_back(word_of(table, c));
      }
      ASSERT_EQ(got, expected_words[e]) << count << " entry " << e;
    }
    EXPECT_EQ(typed, expected_typed) << count;
  }
}

// What the filing throws reaches the side that adds, on the next batch or
// at the end, and nothing waits for ever.
TEST(FilingThread, FailureReachesTheAddingSide) {
  for (const std::size_t failing_batch : {0u, 1u, 2u}) {
    std::size_t calls = 0;
    const batch_filer fails = [&](const word_filing*, std::size_t count,
                                  std::uint32_t* entries) {
      if (calls++ == failing_batch * (4096 / 64)) throw std::bad_alloc();
      for (std::size_t k = 0; k < count; ++k) entries[k] = 0;
    };
    std::vector<std::uint32_t> typed;
    filing_thread filing(fails, typed);
    bool thrown = false;
    try {
      for (std::size_t k = 0; k < std::size_t{5} * 4096; ++k)
        filing.add("r", "w", false);
      filing.finish();
    } catch (const std::bad_alloc&) {
      thrown = true;
    }
    EXPECT_TRUE(thrown) << failing_batch;
  }
}

// A conversion that fails on its own side (an exception while reading
// lines) destroys the thread without finishing it.
TEST(FilingThread, StopsWithoutFinishing) {
  reading_table table;
  std::vector<std::uint32_t> typed;
  {
    filing_thread filing(files_into(table), typed);
    for (std::size_t k = 0; k < std::size_t{3} * 4096; ++k)
      filing.add("r", "w", true);
  }
  // Whatever was filed before the stop is whole.
  EXPECT_LE(table.candidates.size(), 3u * 4096);
  EXPECT_EQ(typed.size(), table.candidates.size());
}

}  // namespace
}  // namespace brenlow
