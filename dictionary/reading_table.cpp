#include "dictionary/reading_table.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <random>

namespace brenlow {

hash_key run_hash_key() {
  static const hash_key key = [] {
    // A run's key needs to be unknown to whoever wrote the input, not
    // secret for ever: where the system's source fails, the time and an
    // address (moved by address-space randomization) still differ from run
    // to run.
    std::uint64_t seed[2] = {0, 0};
    try {
      std::random_device source;
      for (std::uint64_t& word : seed) {
        word = (std::uint64_t{source()} << 32) ^ source();
      }
    } catch (const std::exception&) {
    }
    static const char here = 0;
    const hash_key mixing{
        static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now()
                                       .time_since_epoch()
                                       .count()),
        static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&here))};
    const std::string_view bytes(reinterpret_cast<const char*>(seed),
                                 sizeof seed);
    return hash_key{
        seed[0] ^ sip_hash<2, 4>(mixing, bytes),
        seed[1] ^ sip_hash<2, 4>(hash_key{mixing.k1, mixing.k0}, bytes)};
  }();
  return key;
}

namespace {

constexpr std::size_t max_entries = std::size_t{1} << 30;

std::uint32_t hash_reading(const hash_key& key, std::string_view reading) {
  const std::uint64_t h = sip_hash<1, 3>(key, reading);
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// An index of size slots (a power of two, at least 4): entry numbers + 1
// up to size / 2 + 1 fit below the hash's bits.
void size_index(reading_table& table, std::size_t size) {
  zeroed_array<std::uint32_t>(size).swap(table.slots);
  unsigned bits = 0;
  while ((std::size_t{1} << bits) < size) ++bits;
  table.index_bits = bits;
}

// The slot's mark of a reading's hash: the bits above the entry number,
// which the slot's position (the hash's low bits) leaves unused.
std::uint32_t hash_mark(const reading_table& table, std::uint32_t hash) {
  return (hash >> table.index_bits) << table.index_bits;
}

std::uint32_t entry_mask(const reading_table& table) {
  return (std::uint32_t{1} << table.index_bits) - 1;
}

// Puts entry e, whose reading has hash, in the first free slot from its
// place.
void place(reading_table& table, std::uint32_t hash, std::size_t e) {
  const std::size_t mask = table.slots.size() - 1;
  std::size_t i = hash & mask;
  while (table.slots[i] != 0) i = (i + 1) & mask;
  table.slots[i] = hash_mark(table, hash) | static_cast<std::uint32_t>(e + 1);
}

// Builds an index of size slots for the table's entries.
void build_index(reading_table& table, std::size_t size) {
  drop_index(table);
  size_index(table, size);
  const std::size_t count = table.entries.size();
  for (std::size_t e = 0; e < count; ++e) {
    place(table, hash_reading(table.key, reading_of(table, table.entries[e])),
          e);
  }
}

std::size_t index_size_for(std::size_t readings) {
  std::size_t size = 1024;
  while (size < 2 * readings) size *= 2;
  return size;
}

bool fits_in_32_bits(std::size_t size) {
  if constexpr (sizeof size > 4) {
    return size <= 0xFFFFFFFFu;
  } else {
    return true;  // a 32-bit program's sizes always fit
  }
}

std::uint32_t file_candidate(reading_table& table, std::string_view word,
                             std::uint32_t previous) {
  if (table.candidates.size() >= no_candidate - 1) throw std::bad_alloc();
  table.candidates.push_back(candidate{store_text(table, word), previous});
  return static_cast<std::uint32_t>(table.candidates.size() - 1);
}

void make_room(reading_table& table, std::size_t new_readings) {
  if (table.entries.size() + new_readings > max_entries) throw std::bad_alloc();
  const std::size_t wanted = table.entries.size() + new_readings;
  if (wanted * 2 > table.slots.size()) {
    build_index(table, index_size_for(wanted));
  }
}

// Files word under the reading whose hash is given; the index has room for
// one more reading. Returns the reading's entry number.
std::uint32_t file_word(reading_table& table, std::string_view reading,
                        std::uint32_t hash, std::string_view word) {
  const std::size_t mask = table.slots.size() - 1;
  const std::uint32_t mark = hash_mark(table, hash);
  const std::uint32_t number = entry_mask(table);
  std::size_t i = hash & mask;
  for (; table.slots[i] != 0; i = (i + 1) & mask) {
    if ((table.slots[i] & ~number) != mark) continue;
    const std::uint32_t e = (table.slots[i] & number) - 1;
    reading_entry& entry = table.entries[e];
    if (reading_of(table, entry) != reading) continue;
    entry.last_candidate = file_candidate(table, word, entry.last_candidate);
    return e;
  }
  const std::uint32_t text = store_text(table, reading);
  const std::uint32_t filed = file_candidate(table, word, no_candidate);
  table.entries.push_back(reading_entry{text, filed});
  const std::size_t e = table.entries.size() - 1;
  table.slots[i] = mark | static_cast<std::uint32_t>(e + 1);
  return static_cast<std::uint32_t>(e);
}

}  // namespace

std::uint32_t store_text(reading_table& table, std::string_view bytes) {
  text_store& store = table.text;
  if (!fits_in_32_bits(bytes.size())) throw std::bad_alloc();
  unsigned char length[5];
  std::size_t length_size = 0;
  for (std::size_t rest = bytes.size();; rest >>= 7) {
    length[length_size++] =
        static_cast<unsigned char>((rest & 0x7F) | (rest >= 0x80 ? 0x80 : 0));
    if (rest < 0x80) break;
  }
  const std::uint64_t need = length_size + std::uint64_t{bytes.size()};
  constexpr std::uint64_t block = text_store::block_size;
  std::uint64_t at = store.used;
  if (at % block + need > block) at = (at + block - 1) / block * block;
  if (at + need > (std::uint64_t{1} << 32)) throw std::bad_alloc();
  // Blocks are taken whole (their pages are touched only as text comes),
  // and a text larger than one takes as many as it covers, in one piece.
  // Offsets below 2^32 make at most 4096 blocks.
  const auto last_block = static_cast<std::size_t>((at + need - 1) / block);
  while (last_block >= store.blocks.size()) {
    const std::size_t first = store.blocks.size();
    const std::uint64_t whole = at / block == first && need > block
                                    ? (need + block - 1) / block * block
                                    : block;
    if (whole > std::numeric_limits<std::size_t>::max()) {
      throw std::bad_alloc();
    }
    const auto size = static_cast<std::size_t>(whole);
    store.blocks.reserve(first + size / text_store::block_size);
    store.owned.emplace_back(new char[size]);
    for (std::size_t k = 0; k < size; k += text_store::block_size) {
      store.blocks.push_back(store.owned.back().get() + k);
    }
  }
  char* where = store.blocks[static_cast<std::size_t>(at / block)] +
                static_cast<std::size_t>(at % block);
  std::memcpy(where, length, length_size);
  if (!bytes.empty())
    std::memcpy(where + length_size, bytes.data(), bytes.size());
  store.used = at + need;
  return static_cast<std::uint32_t>(at);
}

void reserve_words(reading_table& table, std::size_t words) {
  // More than the arrays can ever hold (a 32-bit program's limit is near):
  // out of memory, not the length_error reserve would throw.
  if (words > table.candidates.max_size() - table.candidates.size() ||
      words > table.entries.max_size() - table.entries.size()) {
    throw std::bad_alloc();
  }
  table.candidates.reserve(table.candidates.size() + words);
  // Each word may bring a new reading. Reserved pages that are never used
  // are never touched, so this costs address space, not memory.
  table.entries.reserve(table.entries.size() + words);
  // Growing the index as readings come costs as much again in copies and
  // fresh pages as the index itself; sized once, it never grows. A 32-bit
  // program keeps its address space for the arrays.
  if (sizeof(void*) < 8 || !table.slots.empty()) return;
  const std::size_t readings = words < max_entries - table.entries.size()
                                   ? table.entries.size() + words
                                   : max_entries;
  std::size_t size = 1024;
  while (size < readings) size *= 2;
  size_index(table, size);
}

void add_word(reading_table& table, std::string_view reading,
              std::string_view word) {
  make_room(table, 1);
  file_word(table, reading, hash_reading(table.key, reading), word);
}

void add_words(reading_table& table, const word_filing* filings,
               std::size_t count, std::uint32_t* entries) {
  // A lookup in a large table waits on memory three times: for the index
  // slot, for the entry it names and for the entry's reading. The batch
  // asks for each of these for all its readings before it uses any, so the
  // waits overlap. The hints never change what is filed.
  constexpr std::size_t batch = 32;
  std::uint32_t hashes[batch];
  const reading_entry* likely[batch];
  for (std::size_t done = 0; done < count; done += batch) {
    const std::size_t n = count - done < batch ? count - done : batch;
    make_room(table, n);
    const std::size_t mask = table.slots.size() - 1;
    const std::uint32_t number = entry_mask(table);
    for (std::size_t k = 0; k < n; ++k) {
      hashes[k] = hash_reading(table.key, filings[done + k].reading);
      __builtin_prefetch(&table.slots[hashes[k] & mask]);
    }
    for (std::size_t k = 0; k < n; ++k) {
      likely[k] = nullptr;
      const std::uint32_t mark = hash_mark(table, hashes[k]);
      for (std::size_t i = hashes[k] & mask; table.slots[i] != 0;
           i = (i + 1) & mask) {
        if ((table.slots[i] & ~number) == mark) {
          likely[k] = &table.entries[(table.slots[i] & number) - 1];
          __builtin_prefetch(likely[k]);
          break;
        }
      }
    }
    for (std::size_t k = 0; k < n; ++k) {
      if (likely[k] != nullptr) {
        __builtin_prefetch(text_start(table, likely[k]->text));
      }
    }
    for (std::size_t k = 0; k < n; ++k) {
      const std::uint32_t entry = file_word(table, filings[done + k].reading,
                                            hashes[k], filings[done + k].word);
      if (entries != nullptr) entries[done + k] = entry;
    }
  }
}

void words_of(const reading_table& table, const reading_entry& entry,
              std::vector<std::uint32_t>& filed) {
  filed.clear();
  for (std::uint32_t c = entry.last_candidate; c != no_candidate;
       c = table.candidates[c].previous) {
    filed.push_back(c);
  }
  std::reverse(filed.begin(), filed.end());
}

reading_entry* find_reading(reading_table& table, std::string_view reading) {
  if (table.slots.empty()) return nullptr;
  const std::uint32_t hash = hash_reading(table.key, reading);
  const std::size_t mask = table.slots.size() - 1;
  const std::uint32_t mark = hash_mark(table, hash);
  const std::uint32_t number = entry_mask(table);
  for (std::size_t i = hash & mask; table.slots[i] != 0; i = (i + 1) & mask) {
    if ((table.slots[i] & ~number) != mark) continue;
    reading_entry& entry = table.entries[(table.slots[i] & number) - 1];
    if (reading_of(table, entry) == reading) return &entry;
  }
  return nullptr;
}

void relink_words(reading_table& table, reading_entry& entry,
                  const std::vector<std::uint32_t>& kept) {
  std::uint32_t previous = no_candidate;
  for (const std::uint32_t c : kept) {
    table.candidates[c].previous = previous;
    previous = c;
  }
  entry.last_candidate = previous;
}

void index_readings(reading_table& table) {
  build_index(table, index_size_for(table.entries.size()));
}

void drop_index(reading_table& table) {
  decltype(table.slots)().swap(table.slots);
  table.index_bits = 0;
}

void remove_marked_readings(reading_table& table) {
  auto& entries = table.entries;
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [](const reading_entry& entry) {
                                 return entry.last_candidate == no_candidate;
                               }),
                entries.end());
  drop_index(table);
}

void clear(reading_table& table) { table = reading_table{}; }

}  // namespace brenlow
