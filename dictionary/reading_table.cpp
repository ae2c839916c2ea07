#include "dictionary/reading_table.h"

#include <cstring>
#include <limits>
#include <new>

reading_table program_reading_table;

namespace {

constexpr std::size_t arena_block_size = 256 * 1024;

std::uint64_t mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return h;
}

std::uint32_t hash_reading(std::string_view reading) {
  std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ reading.size();
  std::size_t pos = 0;
  for (; pos + 8 <= reading.size(); pos += 8) {
    std::uint64_t chunk;
    std::memcpy(&chunk, reading.data() + pos, 8);
    h = mix(h ^ chunk) * 0x9E3779B97F4A7C15ULL;
  }
  std::uint64_t tail = 0;
  if (pos < reading.size()) {
    std::memcpy(&tail, reading.data() + pos, reading.size() - pos);
  }
  h = mix(h ^ tail);
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

void place(std::vector<std::uint32_t>& slots, std::uint32_t hash,
           std::uint32_t slot_value) {
  const std::size_t mask = slots.size() - 1;
  std::size_t i = hash & mask;
  while (slots[i] != 0) i = (i + 1) & mask;
  slots[i] = slot_value;
}

void grow_index(reading_table& table) {
  const std::size_t size = table.slots.empty() ? 1024 : table.slots.size() * 2;
  std::vector<std::uint32_t> slots(size, 0);
  for (std::size_t e = 0; e < table.entries.size(); ++e) {
    place(slots, table.entry_hashes[e], static_cast<std::uint32_t>(e + 1));
  }
  table.slots.swap(slots);
}

}  // namespace

void add_word(reading_table& table, std::string_view reading,
              std::string_view word) {
  if ((table.entries.size() + 1) * 2 > table.slots.size()) {
    // Entry numbers are stored in 32 bits, and a slot must stay free.
    if (table.entries.size() >= std::numeric_limits<std::uint32_t>::max() / 4) {
      throw std::bad_alloc();
    }
    grow_index(table);
  }
  const std::uint32_t hash = hash_reading(reading);
  const std::size_t mask = table.slots.size() - 1;
  std::size_t i = hash & mask;
  for (; table.slots[i] != 0; i = (i + 1) & mask) {
    const std::uint32_t e = table.slots[i] - 1;
    if (table.entry_hashes[e] == hash && table.entries[e].reading == reading) {
      table.entries[e].candidates.push_back(word);
      ++table.word_count;
      return;
    }
  }
  table.entries.push_back(reading_entry{reading, {word}});
  table.entry_hashes.push_back(hash);
  table.slots[i] = static_cast<std::uint32_t>(table.entries.size());
  ++table.word_count;
}

std::string_view keep(reading_table& table, std::string_view bytes) {
  if (bytes.empty()) return {};
  text_arena& arena = table.arena;
  if (bytes.size() > arena.free_size) {
    const std::size_t size =
        bytes.size() > arena_block_size ? bytes.size() : arena_block_size;
    arena.blocks.emplace_back(new char[size]);
    arena.free_space = arena.blocks.back().get();
    arena.free_size = size;
  }
  char* copy = arena.free_space;
  std::memcpy(copy, bytes.data(), bytes.size());
  arena.free_space += bytes.size();
  arena.free_size -= bytes.size();
  return {copy, bytes.size()};
}

void clear(reading_table& table) {
  table = reading_table{};
}
