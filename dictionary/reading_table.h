// The reading table: every word filed under its reading, readings in the
// order of their first appearance, words in the order they were filed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

struct reading_entry {
  std::string_view reading;
  std::vector<std::string_view> candidates;  // duplicates and empty words kept
};

// Bytes the table owns, in blocks that never move, so that views into them
// stay valid until the table is cleared.
struct text_arena {
  std::vector<std::unique_ptr<char[]>> blocks;
  char* free_space = nullptr;
  std::size_t free_size = 0;
};

struct reading_table {
  std::vector<reading_entry> entries;  // the output order
  std::size_t word_count = 0;
  // Open-addressing index from reading to entry: each slot holds an entry
  // number + 1, or 0 when free. Its size is a power of two, at least twice
  // the number of entries.
  std::vector<std::uint32_t> slots;
  std::vector<std::uint32_t> entry_hashes;
  text_arena arena;
};

// The program-wide table.
extern reading_table program_reading_table;

// Files word under reading, creating the reading's entry at the end of the
// table when it is new. The table keeps the views, not copies: the bytes
// must stay valid until clear(); keep() makes a copy that does. Costs
// O(length of the reading), whatever the size of the table.
// Throws std::bad_alloc when memory runs out.
void add_word(reading_table& table, std::string_view reading,
              std::string_view word);

// Copies bytes into the table's own storage; the view stays valid until
// clear().
std::string_view keep(reading_table& table, std::string_view bytes);

// Removes every entry and frees everything the table holds.
void clear(reading_table& table);
