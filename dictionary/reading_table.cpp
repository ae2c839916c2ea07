#include "dictionary/reading_table.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
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

constexpr std::size_t arena_block_size = std::size_t{256} * 1024;
constexpr std::size_t max_entries = std::size_t{1} << 30;

std::uint32_t hash_reading(const hash_key& key, std::string_view reading) {
  const std::uint64_t h = sip_hash<1, 3>(key, reading);
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

void grow_index(reading_table& table) {
  const std::size_t size = table.slots.empty() ? 1024 : table.slots.size() * 2;
  zeroed_array<index_slot> slots(size);
  const std::size_t mask = size - 1;
  for (const index_slot& slot : table.slots) {
    if (slot.entry == 0) continue;
    std::size_t i = slot.hash & mask;
    while (slots[i].entry != 0) i = (i + 1) & mask;
    slots[i] = slot;
  }
  table.slots.swap(slots);
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
  if (table.candidates.size() >= no_candidate - 1 ||
      !fits_in_32_bits(word.size())) {
    throw std::bad_alloc();
  }
  table.candidates.push_back(candidate{
      word.data(), static_cast<std::uint32_t>(word.size()), previous});
  return static_cast<std::uint32_t>(table.candidates.size() - 1);
}

void make_room(reading_table& table, std::size_t new_readings) {
  if (table.entries.size() + new_readings > max_entries) throw std::bad_alloc();
  while ((table.entries.size() + new_readings) * 2 > table.slots.size()) {
    grow_index(table);
  }
}

// Files word under the reading whose hash is given; the index has room for
// one more reading. Returns the reading's entry number.
std::uint32_t file_word(reading_table& table, std::string_view reading,
                        std::uint32_t hash, std::string_view word) {
  const std::size_t mask = table.slots.size() - 1;
  std::size_t i = hash & mask;
  for (; table.slots[i].entry != 0; i = (i + 1) & mask) {
    if (table.slots[i].hash != hash) continue;
    reading_entry& entry = table.entries[table.slots[i].entry - 1];
    if (entry.reading() != reading) continue;
    entry.last_candidate = file_candidate(table, word, entry.last_candidate);
    return table.slots[i].entry - 1;
  }
  if (!fits_in_32_bits(reading.size())) throw std::bad_alloc();
  const std::uint32_t filed = file_candidate(table, word, no_candidate);
  table.entries.push_back(reading_entry{
      reading.data(), static_cast<std::uint32_t>(reading.size()), filed});
  table.slots[i] =
      index_slot{hash, static_cast<std::uint32_t>(table.entries.size())};
  return table.slots[i].entry - 1;
}

}  // namespace

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
  zeroed_array<index_slot>(size).swap(table.slots);
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
    for (std::size_t k = 0; k < n; ++k) {
      hashes[k] = hash_reading(table.key, filings[done + k].reading);
      __builtin_prefetch(&table.slots[hashes[k] & mask]);
    }
    for (std::size_t k = 0; k < n; ++k) {
      likely[k] = nullptr;
      for (std::size_t i = hashes[k] & mask; table.slots[i].entry != 0;
           i = (i + 1) & mask) {
        if (table.slots[i].hash == hashes[k]) {
          likely[k] = &table.entries[table.slots[i].entry - 1];
          __builtin_prefetch(likely[k]);
          break;
        }
      }
    }
    for (std::size_t k = 0; k < n; ++k) {
      if (likely[k] != nullptr) __builtin_prefetch(likely[k]->reading_bytes);
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
  for (std::size_t i = hash & mask; table.slots[i].entry != 0;
       i = (i + 1) & mask) {
    if (table.slots[i].hash != hash) continue;
    reading_entry& entry = table.entries[table.slots[i].entry - 1];
    if (entry.reading() == reading) return &entry;
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
  drop_index(table);
  const std::size_t count = table.entries.size();
  std::size_t size = 1024;
  while (size < 2 * count) size *= 2;
  zeroed_array<index_slot>(size).swap(table.slots);
  const std::size_t mask = size - 1;
  for (std::size_t e = 0; e < count; ++e) {
    const std::uint32_t hash =
        hash_reading(table.key, table.entries[e].reading());
    std::size_t i = hash & mask;
    while (table.slots[i].entry != 0) i = (i + 1) & mask;
    table.slots[i] = index_slot{hash, static_cast<std::uint32_t>(e + 1)};
  }
}

void drop_index(reading_table& table) {
  decltype(table.slots)().swap(table.slots);
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

char* room_for(reading_table& table, std::size_t size) {
  text_arena& arena = table.arena;
  if (size > arena.free_size) {
    const std::size_t block = size > arena_block_size ? size : arena_block_size;
    arena.blocks.emplace_back(new char[block]);
    arena.free_space = arena.blocks.back().get();
    arena.free_size = block;
  }
  return arena.free_space;
}

void use_room(reading_table& table, std::size_t used) {
  table.arena.free_space += used;
  table.arena.free_size -= used;
}

std::string_view keep(reading_table& table, std::string_view bytes) {
  if (bytes.empty()) return {};
  char* copy = room_for(table, bytes.size());
  std::memcpy(copy, bytes.data(), bytes.size());
  use_room(table, bytes.size());
  return {copy, bytes.size()};
}

void clear(reading_table& table) { table = reading_table{}; }

}  // namespace brenlow
