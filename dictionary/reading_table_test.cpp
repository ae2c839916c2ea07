#include "dictionary/reading_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace brenlow {

namespace {

struct filing {
  std::string reading;
  std::string word;
};

struct table_line {
  std::string reading;
  std::vector<std::string> candidates;
};

std::vector<table_line> lines_of(const reading_table& table) {
  std::vector<table_line> lines;
  std::vector<std::uint32_t> words;
  for (const reading_entry& entry : table.entries) {
    table_line line{std::string(reading_of(table, entry)), {}};
    words_of(table, entry, words);
    for (std::uint32_t c : words) {
      line.candidates.emplace_back(word_of(table, c));
    }
    lines.push_back(line);
  }
  return lines;
}

bool operator==(const table_line& a, const table_line& b) {
  return a.reading == b.reading && a.candidates == b.candidates;
}

std::ostream& operator<<(std::ostream& out, const table_line& line) {
  out << line.reading << " /";
  for (const auto& c : line.candidates) out << c << "/";
  return out;
}

TEST(ReadingTable, OrderOfFirstAppearanceAndDuplicates) {
  struct {
    const char* name;
    std::vector<filing> filed;
    std::vector<table_line> expected;
  } const cases[] = {
      {"empty", {}, {}},
      {"one word", {{"kana", "KANA"}}, {{"kana", {"KANA"}}}},
      {"same reading far apart",
       {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"a", "4"}},
       {{"a", {"1", "4"}}, {"b", {"2"}}, {"c", {"3"}}}},
      {"same word twice", {{"a", "x"}, {"a", "x"}}, {{"a", {"x", "x"}}}},
      {"empty word", {{"kana", ""}}, {{"kana", {""}}}},
      {"case and width differ",
       {{"a", "1"}, {"A", "2"}, {"\x82\x60", "3"}, {"\xC1", "4"}},
       {{"a", {"1"}}, {"A", {"2"}}, {"\x82\x60", {"3"}}, {"\xC1", {"4"}}}},
      {"prefixes are other readings",
       {{"ab", "1"}, {"abc", "2"}, {"a", "3"}, {"abc", "4"}},
       {{"ab", {"1"}}, {"abc", {"2", "4"}}, {"a", {"3"}}}},
  };
  for (const auto& c : cases) {
    reading_table table;
    for (const filing& f : c.filed) {
      add_word(table, f.reading, f.word);
    }
    EXPECT_EQ(lines_of(table), c.expected) << c.name;
    EXPECT_EQ(table.candidates.size(), c.filed.size()) << c.name;
  }
}

TEST(ReadingTable, BatchedFilingFilesEveryWord) {
  // The program files its words through add_words, which looks them up 32
  // at a time: 100 words are three full batches and four words more, in
  // every way the calls may cut them.
  std::vector<std::string> readings;
  std::vector<std::string> words;
  for (int i = 0; i < 100; ++i) {
    readings.push_back("r" + std::to_string(i % 10));
    words.push_back(std::to_string(i));
  }
  const std::vector<table_line> expected = {
      {"r0", {"0", "10", "20", "30", "40", "50", "60", "70", "80", "90"}},
      {"r1", {"1", "11", "21", "31", "41", "51", "61", "71", "81", "91"}},
      {"r2", {"2", "12", "22", "32", "42", "52", "62", "72", "82", "92"}},
      {"r3", {"3", "13", "23", "33", "43", "53", "63", "73", "83", "93"}},
      {"r4", {"4", "14", "24", "34", "44", "54", "64", "74", "84", "94"}},
      {"r5", {"5", "15", "25", "35", "45", "55", "65", "75", "85", "95"}},
      {"r6", {"6", "16", "26", "36", "46", "56", "66", "76", "86", "96"}},
      {"r7", {"7", "17", "27", "37", "47", "57", "67", "77", "87", "97"}},
      {"r8", {"8", "18", "28", "38", "48", "58", "68", "78", "88", "98"}},
      {"r9", {"9", "19", "29", "39", "49", "59", "69", "79", "89", "99"}},
  };
  for (std::size_t per_call : {100, 64, 33, 32, 31, 1}) {
    reading_table table;
    std::vector<word_filing> filings;
    for (std::size_t i = 0; i < readings.size(); ++i) {
      filings.push_back({readings[i], words[i]});
    }
    for (std::size_t done = 0; done < filings.size(); done += per_call) {
      add_words(table, filings.data() + done,
                std::min(per_call, filings.size() - done));
    }
    EXPECT_EQ(lines_of(table), expected) << per_call << " words per call";
    EXPECT_EQ(table.candidates.size(), 100u) << per_call << " words per call";
  }
}

TEST(ReadingTable, ManyReadingsSurviveIndexGrowth) {
  reading_table table;
  const int readings = 50000;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < readings; ++i) {
      const std::string reading = "r" + std::to_string(i * 7919 % readings);
      add_word(table, reading, std::to_string(round));
    }
  }
  ASSERT_EQ(table.entries.size(), static_cast<std::size_t>(readings));
  for (int i = 0; i < readings; ++i) {
    const reading_entry& entry = table.entries[i];
    ASSERT_EQ(reading_of(table, entry),
              "r" + std::to_string(i * 7919 % readings));
    std::vector<std::uint32_t> filed;
    words_of(table, entry, filed);
    std::string words;
    for (std::uint32_t c : filed) words += word_of(table, c);
    EXPECT_EQ(words, "012") << reading_of(table, entry);
  }
}

// The index is sized from the words reserved for, and still grows past a
// hint too small; dropped, it finds nothing until it is built again.
TEST(ReadingTable, IndexSizedGrownDroppedAndRebuilt) {
  const int readings = 20000;
  for (const std::size_t reserved :
       {std::size_t{0}, std::size_t{100}, std::size_t{2} * readings,
        std::size_t{1} << 20}) {
    reading_table table;
    if (reserved != 0) reserve_words(table, reserved);
    std::vector<std::string> names;
    names.reserve(readings);
    for (int i = 0; i < readings; ++i) names.push_back("r" + std::to_string(i));
    for (int round = 0; round < 2; ++round) {
      for (const std::string& name : names) add_word(table, name, "w");
    }
    ASSERT_EQ(table.entries.size(), static_cast<std::size_t>(readings))
        << reserved;
    ASSERT_EQ(table.candidates.size(), static_cast<std::size_t>(2 * readings))
        << reserved;
    std::size_t found = 0;
    for (const std::string& name : names) {
      found += find_reading(table, name) != nullptr;
    }
    EXPECT_EQ(found, names.size()) << reserved;
    drop_index(table);
    EXPECT_EQ(find_reading(table, names[0]), nullptr) << reserved;
    index_readings(table);
    found = 0;
    for (const std::string& name : names) {
      const reading_entry* entry = find_reading(table, name);
      found += entry != nullptr && reading_of(table, *entry) == name;
    }
    EXPECT_EQ(found, names.size()) << reserved;
  }
}

// The index has a slot for twice the readings at least, and grows only
// past that: its size is what the memory bound counts (4 bytes a slot).
TEST(ReadingTable, IndexSizes) {
  const struct {
    std::size_t reserved;  // 0: none
    int readings;
    std::size_t slots;
  } cases[] = {
      {0, 1, 1024},          {0, 512, 1024},        {0, 513, 2048},
      {0, 20000, 65536},     {100, 20, 1024},       {100, 20000, 65536},
      {40000, 20000, 65536}, {40000, 32768, 65536}, {40000, 32769, 131072},
  };
  for (const auto& c : cases) {
    reading_table table;
    if (c.reserved != 0) reserve_words(table, c.reserved);
    for (int i = 0; i < c.readings; ++i) {
      add_word(table, "r" + std::to_string(i), "w");
    }
    EXPECT_EQ(table.slots.size(), c.slots)
        << c.readings << " readings, " << c.reserved << " reserved";
    drop_index(table);
    index_readings(table);
    EXPECT_EQ(table.slots.size(), c.slots)
        << "rebuilt: " << c.readings << " readings";
  }
}

TEST(ReadingTable, WhatIsFiledDoesNotDependOnTheKey) {
  // Keys that put the same readings in different slots, colliding
  // differently as the index grows: the readings and words come out in
  // the same order.
  const hash_key keys[] = {{0, 0},
                           {~std::uint64_t{0}, 12345},
                           {0x0123456789abcdefULL, 0xfedcba9876543210ULL},
                           run_hash_key()};
  std::vector<table_line> first;
  for (const hash_key& key : keys) {
    reading_table table;
    table.key = key;
    for (int i = 0; i < 20000; ++i) {
      const std::string reading = "r" + std::to_string(i * 7919 % 5000);
      add_word(table, reading, std::to_string(i));
    }
    const std::vector<table_line> lines = lines_of(table);
    ASSERT_EQ(lines.size(), 5000u);
    if (first.empty()) {
      first = lines;
    } else {
      EXPECT_EQ(lines, first) << "key " << key.k0 << ", " << key.k1;
    }
  }
  EXPECT_EQ(first[1].reading, "r2919");
  EXPECT_EQ(first[1].candidates,
            (std::vector<std::string>{"1", "5001", "10001", "15001"}));
}

TEST(ReadingTable, SipHashMatchesTheReferenceVectors) {
  // The published SipHash-2-4 vectors (key 00 01 ... 0f, input 00 01 ...);
  // the index uses the same code with fewer rounds.
  struct {
    std::size_t length;
    std::uint64_t expected;
  } const cases[] = {{0, 0x726fdb47dd0e0e31ULL},
                     {8, 0x93f5f5799a932462ULL},
                     {15, 0xa129ca6149be45e5ULL}};
  const hash_key key{0x0706050403020100ULL, 0x0f0e0d0c0b0a0908ULL};
  std::string input;
  for (char c = 0; c < 15; ++c) input += c;
  for (const auto& test : cases) {
    const std::string_view bytes =
        std::string_view(input).substr(0, test.length);
    EXPECT_EQ((sip_hash<2, 4>(key, bytes)), test.expected)
        << test.length << " bytes";
  }
}

TEST(ReadingTable, RoomBeyondWhatArraysHoldIsOutOfMemory) {
  // What a dictionary of empty lines asks for in a 32-bit program; the
  // run turns bad_alloc into a message, anything else would end it.
  reading_table table;
  const std::size_t too_many[] = {table.candidates.max_size(),
                                  table.entries.max_size() + 1,
                                  static_cast<std::size_t>(-1)};
  for (std::size_t words : too_many) {
    EXPECT_THROW(reserve_words(table, words), std::bad_alloc) << words;
  }
  add_word(table, "r", "w");
  EXPECT_THROW(reserve_words(table, table.candidates.max_size()),
               std::bad_alloc);
  EXPECT_EQ(table.entries.size(), 1u);
}

TEST(ReadingTable, StoredTextComesBackWhole) {
  // Lengths around those whose count takes one more byte, texts that end
  // a block exactly, pass its end by one or take blocks of their own, each
  // after a short text so that they start inside a block.
  constexpr std::size_t block = text_store::block_size;
  const std::size_t sizes[] = {0,         1,     127,       128,
                               16383,     16384, block - 3, block - 2,
                               block - 1, block, block + 1, 3 * block + 5,
                               2097152,   1,     0};
  reading_table table;
  std::vector<std::uint32_t> offsets;
  std::vector<std::string> texts;
  std::string source;
  for (std::size_t k = 0; k < std::size(sizes); ++k) {
    source.assign(sizes[k], static_cast<char>('a' + k));
    if (!source.empty()) source.back() = '$';
    texts.push_back(source);
    offsets.push_back(store_text(table, source));
    texts.emplace_back("ab");
    offsets.push_back(store_text(table, "ab"));
    source.assign(source.size(), 'z');  // the copy stays as it was
  }
  for (std::size_t k = 0; k < texts.size(); ++k) {
    const std::string_view text = text_of(table, offsets[k]);
    EXPECT_EQ(text.size(), texts[k].size()) << "text " << k;
    EXPECT_TRUE(text == texts[k]) << "text " << k;
  }
}

TEST(ReadingTable, ClearEmptiesTheTable) {
  reading_table table;
  add_word(table, "a", "1");
  clear(table);
  EXPECT_TRUE(table.entries.empty());
  EXPECT_TRUE(table.candidates.empty());
  add_word(table, "a", "2");
  EXPECT_EQ(lines_of(table), (std::vector<table_line>{{"a", {"2"}}}));
}

}  // namespace

}  // namespace brenlow
