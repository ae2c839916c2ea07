// The reading table: every word filed under its reading, readings in the
// order of their first appearance, words in the order they were filed.
//
// The table is built for dictionaries of millions of lines: it holds views,
// not copies, of the bytes it is given, keeps the words of all readings in
// one array chained per reading, and finds a reading through a hash index.
// Each word links back to the word filed before it under its reading, so
// filing a word writes only to the end of that array and to its entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/large_allocator.h"

namespace brenlow {

constexpr std::uint32_t no_candidate = 0xFFFFFFFF;

// One filed word. Duplicates and empty words are kept.
struct candidate {
  const char* bytes;
  std::uint32_t size;
  // The word filed before this one under the same reading, or no_candidate.
  std::uint32_t previous;

  std::string_view word() const { return {bytes, size}; }
};

// 16 bytes: a large dictionary has millions of entries, looked up at random.
struct reading_entry {
  const char* reading_bytes;
  std::uint32_t reading_size;
  // The reading's last word in table.candidates; its previous links lead
  // back to the first.
  std::uint32_t last_candidate;

  std::string_view reading() const { return {reading_bytes, reading_size}; }
};

// Bytes the table owns, in blocks that never move, so that views into them
// stay valid until the table is cleared.
struct text_arena {
  std::vector<std::unique_ptr<char[]>> blocks;
  char* free_space = nullptr;
  std::size_t free_size = 0;
};

struct index_slot {
  std::uint32_t hash;
  std::uint32_t entry;  // entry number + 1; 0 marks a free slot
};

struct reading_table {
  std::vector<reading_entry, large_allocator<reading_entry>> entries;
  // Every word, in filing order.
  std::vector<candidate, large_allocator<candidate>> candidates;
  // Open addressing with linear probing; the size is a power of two, at
  // least twice the number of entries.
  std::vector<index_slot, large_allocator<index_slot>> slots;
  text_arena arena;
};

// Makes room for that many more words (and readings) without moving the
// table's arrays. Throws std::bad_alloc when they cannot have that room.
void reserve_words(reading_table& table, std::size_t words);

// Files word under reading, creating the reading's entry at the end of the
// table when it is new. The table keeps the views, not copies: the bytes
// must stay valid until clear(); keep() makes a copy that does. Costs
// O(length of the reading), whatever the size of the table.
// Throws std::bad_alloc when memory runs out or the table is full (2^32 - 2
// words, 2^30 readings or a reading of 4 GiB).
void add_word(reading_table& table, std::string_view reading,
              std::string_view word);

struct word_filing {
  std::string_view reading;
  std::string_view word;
};

// Files each pair in order, exactly as add_word would. Faster on large
// tables: the readings of the batch are looked up in the index together, so
// their memory accesses overlap.
void add_words(reading_table& table, const word_filing* filings,
               std::size_t count);

// Sets filed to the positions in table.candidates of the words filed under
// entry, first to last.
void words_of(const reading_table& table, const reading_entry& entry,
              std::vector<std::uint32_t>& filed);

// Copies bytes into the table's own storage; the view stays valid until
// clear().
std::string_view keep(reading_table& table, std::string_view bytes);

// Removes every entry and frees everything the table holds.
void clear(reading_table& table);

}  // namespace brenlow
