// The reading table: every word filed under its reading, readings in the
// order of their first appearance, words in the order they were filed.
//
// The table is built for dictionaries of millions of lines: it keeps its
// own copy of each reading once and of each word, so that the input's
// memory can be given back as it is read; its records are 8 bytes, naming
// text by a 32-bit offset; it keeps the words of all readings in one array
// chained per reading, and finds a reading through a hash index of 4 bytes
// a slot. Each word links back to the word filed before it under its
// reading, so filing a word writes only to the end of that array, to the
// end of the text and to its entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "base/large_allocator.h"

namespace brenlow {

constexpr std::uint32_t no_candidate = 0xFFFFFFFF;

// One filed word. Duplicates and empty words are kept.
struct candidate {
  std::uint32_t text;  // where the word's bytes are (text_of)
  // The word filed before this one under the same reading, or no_candidate.
  std::uint32_t previous;
};

// 8 bytes: a large dictionary has millions of entries, looked up at random.
struct reading_entry {
  std::uint32_t text;  // where the reading's bytes are (text_of)
  // The reading's last word in table.candidates; its previous links lead
  // back to the first.
  std::uint32_t last_candidate;
};

// The table's readings and words, each its length (seven bits a byte, low
// bits first, the high bit set on all bytes but the last) and then its
// bytes, named by their offset. The offsets run through blocks that never
// move; a text never crosses from one block into the next, and one larger
// than a block has blocks of its own.
struct text_store {
  static constexpr unsigned block_bits = 20;
  static constexpr std::size_t block_size = std::size_t{1} << block_bits;
  std::vector<std::unique_ptr<char[]>> owned;
  std::vector<char*> blocks;  // where each block's offsets start
  std::uint64_t used = 0;     // the next free offset
};

// The key of the index's hash. Chosen anew for each run, so that no input
// can be made to collide in the index of every run; what the table holds
// and in which order never depends on it.
struct hash_key {
  std::uint64_t k0;
  std::uint64_t k1;
};

// This run's key: from the system's random source, mixed with the time and
// an address where that source fails. The same for the whole run.
hash_key run_hash_key();

// SipHash with c rounds per 8 bytes of input and d rounds at the end; the
// index uses SipHash-1-3. A keyed function: without the key, inputs that
// collide cannot be chosen.
template <int c, int d>
std::uint64_t sip_hash(const hash_key& key, std::string_view bytes);

struct reading_table {
  std::vector<reading_entry, large_allocator<reading_entry>> entries;
  // Every word, in filing order.
  std::vector<candidate, large_allocator<candidate>> candidates;
  // Open addressing with linear probing; the size is a power of two, at
  // least twice the number of entries. A slot holds the entry's number + 1
  // in its low index_bits bits (0 marks a free slot) and, above them, the
  // top bits of the reading's hash, so that most slots of other readings
  // are passed over without a look at their text.
  zeroed_array<std::uint32_t> slots;
  unsigned index_bits = 0;
  text_store text;
  hash_key key = run_hash_key();
};

// The bytes stored at offset at (a candidate's or an entry's text).
inline std::string_view text_of(const reading_table& table, std::uint32_t at) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(
      table.text.blocks[at >> text_store::block_bits] +
      (at & (text_store::block_size - 1)));
  std::size_t size = 0;
  unsigned shift = 0;
  for (;; shift += 7) {
    const unsigned char byte = *bytes++;
    size |= std::size_t{byte & 0x7Fu} << shift;
    if (byte < 0x80) break;
  }
  return {reinterpret_cast<const char*>(bytes), size};
}

inline std::string_view reading_of(const reading_table& table,
                                   const reading_entry& entry) {
  return text_of(table, entry.text);
}

// The word at position c in table.candidates.
inline std::string_view word_of(const reading_table& table, std::uint32_t c) {
  return text_of(table, table.candidates[c].text);
}

// Where the text at offset at starts, to fetch ahead of its use.
inline const char* text_start(const reading_table& table, std::uint32_t at) {
  return table.text.blocks[at >> text_store::block_bits] +
         (at & (text_store::block_size - 1));
}

// Stores a copy of bytes in the table's text; returns its offset. Throws
// std::bad_alloc when memory runs out or the text passes 4 GiB.
std::uint32_t store_text(reading_table& table, std::string_view bytes);

// Makes room for that many more words (and readings) without moving the
// table's arrays; in a 64-bit program, sizes an empty index for a reading
// per word (8 bytes a word at most, of which only the pages readings land
// on are touched). Throws std::bad_alloc when they cannot have that room.
void reserve_words(reading_table& table, std::size_t words);

// Files a copy of word under reading, creating the reading's entry (with a
// copy of the reading) at the end of the table when it is new. Costs
// O(length of the reading and word), whatever the size of the table.
// Throws std::bad_alloc when memory runs out or the table is full (2^32 - 2
// words, 2^30 readings or 4 GiB of text).
void add_word(reading_table& table, std::string_view reading,
              std::string_view word);

struct word_filing {
  std::string_view reading;
  std::string_view word;
};

// Files each pair in order, exactly as add_word would. Faster on large
// tables: the readings of the batch are looked up in the index together, so
// their memory accesses overlap. Unless entries is nullptr, sets entries[k]
// to the number in table.entries of the reading filings[k] went under.
void add_words(reading_table& table, const word_filing* filings,
               std::size_t count, std::uint32_t* entries = nullptr);

// Sets filed to the positions in table.candidates of the words filed under
// entry, first to last.
void words_of(const reading_table& table, const reading_entry& entry,
              std::vector<std::uint32_t>& filed);

// The entry of reading, or nullptr when no word was filed under it.
reading_entry* find_reading(reading_table& table, std::string_view reading);

// Makes kept, positions in table.candidates in the order wanted, the words
// of entry; words of entry not in kept are no longer written. kept must
// not be empty and must hold only words of entry.
void relink_words(reading_table& table, reading_entry& entry,
                  const std::vector<std::uint32_t>& kept);

// Builds the index anew from the table's entries, whose readings must all
// differ (as after recode_table, which drops it, or after entries were
// removed). Throws std::bad_alloc when memory runs out.
void index_readings(reading_table& table);

// Frees the index, once no reading is looked up any more (the writing's
// orders and lines take memory of their own); index_readings builds it
// again. find_reading finds nothing, and nothing may be filed, until then.
void drop_index(reading_table& table);

// Removes the entries marked with no_candidate as their last_candidate,
// keeping the others in order; the index is dropped (see index_readings).
void remove_marked_readings(reading_table& table);

// Removes every entry and frees everything the table holds.
void clear(reading_table& table);

template <int c, int d>
std::uint64_t sip_hash(const hash_key& key, std::string_view bytes) {
  std::uint64_t v0 = key.k0 ^ 0x736f6d6570736575ULL;
  std::uint64_t v1 = key.k1 ^ 0x646f72616e646f6dULL;
  std::uint64_t v2 = key.k0 ^ 0x6c7967656e657261ULL;
  std::uint64_t v3 = key.k1 ^ 0x7465646279746573ULL;
  const auto rotate = [](std::uint64_t x, int n) {
    return (x << n) | (x >> (64 - n));
  };
  const auto rounds = [&](int n) {
    for (int i = 0; i < n; ++i) {
      // The round as SipHash's description lays it out.
      // clang-format off
      v0 += v1; v1 = rotate(v1, 13); v1 ^= v0; v0 = rotate(v0, 32);
      v2 += v3; v3 = rotate(v3, 16); v3 ^= v2;
      v0 += v3; v3 = rotate(v3, 21); v3 ^= v0;
      v2 += v1; v1 = rotate(v1, 17); v1 ^= v2; v2 = rotate(v2, 32);
      // clang-format on
    }
  };
  const std::size_t size = bytes.size();
  std::size_t pos = 0;
  for (; pos + 8 <= size; pos += 8) {
    std::uint64_t m;  // little-endian, as SipHash reads its input
    std::memcpy(&m, bytes.data() + pos, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    m = __builtin_bswap64(m);
#endif
    v3 ^= m;
    rounds(c);
    v0 ^= m;
  }
  std::uint64_t last = static_cast<std::uint64_t>(size) << 56;
  for (std::size_t k = size; k > pos; --k) {
    last |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[k - 1]))
            << (8 * (k - 1 - pos));
  }
  v3 ^= last;
  rounds(c);
  v0 ^= last;
  v2 ^= 0xff;
  rounds(d);
  return v0 ^ v1 ^ v2 ^ v3;
}

}  // namespace brenlow
