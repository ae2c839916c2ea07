#include "dictionary/skk_writer.h"

#include <algorithm>
#include <numeric>

namespace {

// The second and later words of a reading were filed anywhere in the input,
// so walking a reading's chain waits on memory at every step. Readings a
// little ahead of the one being written have their next links and words
// fetched early, two steps of the chain deep.
void prefetch_ahead(const reading_table& table, std::size_t e) {
  constexpr std::size_t far = 16;
  constexpr std::size_t near = 8;
  const auto& entries = table.entries;
  const auto& candidates = table.candidates;
  if (e + far < entries.size()) {
    const std::uint32_t next =
        candidates[entries[e + far].first_candidate].next;
    if (next != no_candidate) __builtin_prefetch(&candidates[next]);
  }
  if (e + near < entries.size()) {
    const std::uint32_t next =
        candidates[entries[e + near].first_candidate].next;
    if (next != no_candidate) {
      __builtin_prefetch(candidates[next].bytes);
      const std::uint32_t after = candidates[next].next;
      if (after != no_candidate) __builtin_prefetch(&candidates[after]);
    }
  }
}

void write_entry(const reading_table& table, const reading_entry& entry,
                 output_stream& stream) {
  write_bytes(stream, entry.reading);
  write_byte(stream, ' ');
  write_byte(stream, '/');
  for (std::uint32_t c = entry.first_candidate; c != no_candidate;
       c = table.candidates[c].next) {
    write_bytes(stream, table.candidates[c].word());
    write_byte(stream, '/');
  }
  end_line(stream);
}

}  // namespace

void write_skk_dictionary(const reading_table& table, output_stream& stream,
                          const skk_layout& layout) {
  if (layout.utf_8_coding_line) {
    write_bytes(stream, ";; -*- mode: fundamental; coding: utf-8 -*-");
    end_line(stream);
  }
  write_bytes(stream, ";; okuri-ari entries.");
  end_line(stream);
  write_bytes(stream, ";; okuri-nasi entries.");
  end_line(stream);
  if (!layout.sorted) {
    for (std::size_t e = 0; e < table.entries.size(); ++e) {
      prefetch_ahead(table, e);
      write_entry(table, table.entries[e], stream);
    }
    return;
  }
  // string_view compares with char_traits<char>, that is memcmp: unsigned
  // byte order.
  std::vector<std::uint32_t, large_allocator<std::uint32_t>> order(
      table.entries.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return table.entries[a].reading < table.entries[b].reading;
  });
  for (std::uint32_t e : order) write_entry(table, table.entries[e], stream);
}
