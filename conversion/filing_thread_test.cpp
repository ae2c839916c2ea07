#include "conversion/filing_thread.h"

#include <gtest/gtest.h>

#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace brenlow {
namespace {

// Every word must reach the table in the order added, under its reading,
// and each typed word must name its reading's entry: at counts around the
// batch handed to the thread (4096 words), with words that end a batch by
// their bytes (1 MiB), and with words long enough to be filed at once
// (over 64 KiB) among short ones. The words are given in a buffer that is
// overwritten once add returns.
TEST(FilingThread, FilesEveryWordInOrder) {
  struct filing_case {
    std::size_t count;
    std::size_t long_every;  // every long_every-th word is long; 0: none
    std::size_t long_size;
  };
  const filing_case cases[] = {{0, 0, 0},
                               {1, 0, 0},
                               {4095, 0, 0},
                               {4096, 0, 0},
                               {4097, 0, 0},
                               {3 * 4096 + 5, 0, 0},
                               {60, 1, 40000},
                               {20, 3, 70000},
                               {9000, 4000, 65536 - 5},
                               {9000, 4000, 65536 - 4},
                               {3, 1, 300000}};
  for (const filing_case& c : cases) {
    const std::size_t count = c.count;
    std::vector<std::string> readings;
    std::vector<std::string> words;
    for (std::size_t k = 0; k < count; ++k) {
      readings.push_back("r" + std::to_string(k * 7919 % 1000));
      words.push_back("w" + std::to_string(k));
      if (c.long_every != 0 && k % c.long_every == 0) {
        words.back().resize(c.long_size, static_cast<char>('a' + k % 26));
      }
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
        std::string given = readings[k] + words[k];
        filing.add(std::string_view(given).substr(0, readings[k].size()),
                   std::string_view(given).substr(readings[k].size()),
                   k % 7 == 3);
        given.assign(given.size(), '?');
      }
      filing.finish();
    }
    const std::string name = std::to_string(count) + " words, long size " +
                             std::to_string(c.long_size);
    ASSERT_EQ(table.entries.size(), expected_words.size()) << name;
    std::vector<std::uint32_t> filed;
    for (std::size_t e = 0; e < table.entries.size(); ++e) {
      words_of(table, table.entries[e], filed);
      std::vector<std::string> got;
      got.reserve(filed.size());
      for (const std::uint32_t w : filed) {
        got.emplace_back(word_of(table, w));
      }
      ASSERT_EQ(got, expected_words[e]) << name << " entry " << e;
    }
    EXPECT_EQ(typed, expected_typed) << name;
  }
}

// Words that lie in the stable text are filed from their views, which
// must hold until the mark after them is told done: done_with overwrites
// the text before each mark it is told, and the table must hold every
// word as given. Marks come every few words or every few thousand (a batch
// with two marks is handed over at the second), among words copied from a
// buffer overwritten after add and words long enough to be filed at once.
// Filed recoded, a table holds each reading and word as the target writes
// it (the bytes as Emacs and iconv write the same characters), finds a
// reading again by those bytes, and groups the readings whose bytes agree
// in the target even where the input's differ: code page 932 has two codes
// for some characters (0xED40 and 0xFA5C are both 纊, 0x8FD4E3 in EUC-JP).
// A word long enough to be filed at once (over 64 KiB) is recoded too.
TEST(FilingThread, FilesRecoded) {
  struct row {
    const char* what;
    text_encoding held;
    output_encoding target;
    std::vector<std::pair<std::string, std::string>> added;
    const char* expected;  // "reading /word/word/|..." in the target
  } const rows[] = {
      {"Shift_JIS to EUC-JP",
       text_encoding::shift_jis,
       output_encoding::euc_jp,
       {{"\x82\xA0", "\x8A\xBF"},  // あ 漢
        {"\xED\x40", "a"},         // 纊
        {"\x82\xA0", "\xB1"},      // ｱ
        {"\xFA\x5C", "b"}},        // 纊 again
       "\xA4\xA2 /\xB4\xC1/\x8E\xB1/|\x8F\xD4\xE3 /a/b/"},
      {"Shift_JIS to UTF-8",
       text_encoding::shift_jis,
       output_encoding::utf_8,
       {{"\x82\xA0", "\x8A\xBF"}, {"k", "\x82\xA0"}, {"\x82\xA0", "x"}},
       "あ /漢/x/|k /あ/"},
      {"UTF-8 to Shift_JIS",
       text_encoding::utf_8,
       output_encoding::shift_jis,
       {{"あ", "漢"}, {"あ", "ｱ"}},
       "\x82\xA0 /\x8A\xBF/\xB1/"},
  };
  for (const row& r : rows) {
    reading_table table;
    std::vector<std::uint32_t> typed;
    filing_thread filing(files_recoded_into(table, r.held, r.target), typed);
    for (const auto& [reading, word] : r.added)
      filing.add(reading, word, false);
    filing.finish();
    std::string got;
    for (const reading_entry& entry : table.entries) {
      if (!got.empty()) got += "|";
      got += std::string(reading_of(table, entry)) + " /";
      std::vector<std::uint32_t> words;
      words_of(table, entry, words);
      for (const std::uint32_t c : words) {
        got += std::string(word_of(table, c)) + "/";
      }
    }
    EXPECT_EQ(got, r.expected) << r.what;
  }
  // A word filed at once, in 70,000 kanji: 140,000 bytes either way.
  std::string word;
  for (int k = 0; k < 70000; ++k) word += "\x8A\xBF";
  reading_table table;
  std::vector<std::uint32_t> typed;
  filing_thread filing(files_recoded_into(table, text_encoding::shift_jis,
                                          output_encoding::euc_jp),
                       typed);
  filing.add("\x82\xA0", word, true);
  filing.finish();
  ASSERT_EQ(table.candidates.size(), 1u);
  std::string expected;
  for (int k = 0; k < 70000; ++k) expected += "\xB4\xC1";
  EXPECT_EQ(word_of(table, 0), expected);
  EXPECT_EQ(typed, std::vector<std::uint32_t>{0});
}

TEST(FilingThread, ViewsOfTheTextHoldUntilTheirMarkIsTold) {
  const struct {
    std::size_t count;
    std::size_t mark_every;
    std::size_t copy_every;  // every copy_every-th word lies outside
    std::size_t long_every;  // every long_every-th word is 70,000 bytes
  } cases[] = {{10, 1, 0, 0},
               {5000, 7, 3, 0},
               {20000, 3000, 5, 0},
               {9000, 100, 0, 4000},
               {12000, 1, 2, 5000}};
  for (const auto& c : cases) {
    const std::string name = std::to_string(c.count) + " words, a mark every " +
                             std::to_string(c.mark_every);
    std::string text;
    std::vector<std::size_t> starts;
    for (std::size_t k = 0; k < c.count; ++k) {
      starts.push_back(text.size());
      text += "r" + std::to_string(k % 97) + "\t";
      text += c.long_every != 0 && k % c.long_every == 1
                  ? std::string(70000, 'L')
                  : "w" + std::to_string(k);
      text += "\n";
    }
    starts.push_back(text.size());
    std::string given = text;  // the words as added; the text is overwritten
    std::vector<std::size_t> told;
    reading_table table;
    {
      std::size_t overwritten = 0;
      std::vector<std::uint32_t> typed;
      filing_thread filing(
          files_into(table), typed, text, [&](const char* end) {
            const auto at = static_cast<std::size_t>(end - text.data());
            told.push_back(at);
            for (; overwritten < at; ++overwritten) {
              text[overwritten] = '?';
            }
          });
      std::string copied;
      for (std::size_t k = 0; k < c.count; ++k) {
        std::string_view line(text.data() + starts[k],
                              starts[k + 1] - starts[k] - 1);
        const bool outside = c.copy_every != 0 && k % c.copy_every == 0;
        if (outside) {
          copied.assign(line);
          line = copied;
        }
        const std::size_t tab = line.find('\t');
        filing.add(line.substr(0, tab), line.substr(tab + 1), false);
        if (outside) copied.assign(copied.size(), '?');
        if ((k + 1) % c.mark_every == 0) {
          filing.mark_done(text.data() + starts[k + 1]);
        }
      }
      filing.finish();
    }
    std::vector<std::string> expected;
    std::vector<std::string> got;
    std::vector<std::uint32_t> filed;
    for (std::size_t k = 0; k < c.count; ++k) {
      const std::string_view line(given.data() + starts[k],
                                  starts[k + 1] - starts[k] - 1);
      if (k < 97) expected.emplace_back(line.substr(0, line.find('\t')));
    }
    for (const reading_entry& entry : table.entries) {
      got.emplace_back(reading_of(table, entry));
    }
    ASSERT_EQ(got, expected) << name;
    for (std::size_t e = 0; e < table.entries.size(); ++e) {
      words_of(table, table.entries[e], filed);
      for (std::size_t n = 0; n < filed.size(); ++n) {
        const std::size_t k = e + 97 * n;
        const std::string_view line(given.data() + starts[k],
                                    starts[k + 1] - starts[k] - 1);
        ASSERT_EQ(word_of(table, filed[n]), line.substr(line.find('\t') + 1))
            << name << " word " << k;
      }
    }
    // Every mark is told, in order.
    std::vector<std::size_t> marks;
    for (std::size_t k = c.mark_every; k <= c.count; k += c.mark_every) {
      marks.push_back(starts[k]);
    }
    EXPECT_EQ(told, marks) << name;
  }
}

// Batches are cut by their bytes as well as their words, so that the
// copies on their way take about a megabyte: 40 words of 60,000 bytes
// (2.4 MB) go in two to four batches, neither one each nor all in one.
TEST(FilingThread, BatchesCutByTheirBytes) {
  std::size_t calls = 0;
  std::size_t filed = 0;
  const batch_filer counts = [&](const word_filing*, std::size_t count,
                                 std::uint32_t* entries) {
    ++calls;
    filed += count;
    for (std::size_t k = 0; k < count; ++k) entries[k] = 0;
  };
  std::vector<std::uint32_t> typed;
  filing_thread filing(counts, typed);
  const std::string word(60000, 'w');
  for (int k = 0; k < 40; ++k) filing.add("r", word, false);
  filing.finish();
  EXPECT_EQ(filed, 40u);
  EXPECT_GE(calls, 2u);
  EXPECT_LE(calls, 4u);
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
