#include "dictionary/skk_writer.h"

#include <algorithm>
#include <numeric>

namespace brenlow {

namespace {

// A reading's words after its first were filed anywhere in the input, so
// walking its chain waits on memory at every step. Readings a little ahead
// of the one being written have their words and links fetched early, two
// steps of the chain deep.
void prefetch_ahead(const reading_table& table, std::size_t e) {
  constexpr std::size_t far = 16;
  constexpr std::size_t near = 8;
  const auto& entries = table.entries;
  const auto& candidates = table.candidates;
  if (e + far < entries.size()) {
    __builtin_prefetch(&candidates[entries[e + far].last_candidate]);
  }
  if (e + near < entries.size()) {
    const candidate& last = candidates[entries[e + near].last_candidate];
    __builtin_prefetch(last.bytes);
    if (last.previous != no_candidate) {
      __builtin_prefetch(&candidates[last.previous]);
    }
  }
}

// words: room for the positions of the entry's words, reused across calls.
void write_entry(const reading_table& table, const reading_entry& entry,
                 std::vector<std::uint32_t>& words, output_stream& stream) {
  write_bytes(stream, entry.reading());
  write_byte(stream, ' ');
  write_byte(stream, '/');
  const candidate& last = table.candidates[entry.last_candidate];
  if (last.previous == no_candidate) {
    // Most readings have one word.
    write_bytes(stream, last.word());
    write_byte(stream, '/');
  } else {
    words_of(table, entry, words);
    for (std::uint32_t c : words) {
      write_bytes(stream, table.candidates[c].word());
      write_byte(stream, '/');
    }
  }
  end_line(stream);
}

// Entries in unsigned byte order of their readings, descending for the
// okuri-ari section.
std::vector<std::uint32_t, large_allocator<std::uint32_t>> sorted_entries(
    const reading_table& table, bool descending) {
  // string_view compares with char_traits<char>, that is memcmp: unsigned
  // byte order.
  std::vector<std::uint32_t, large_allocator<std::uint32_t>> order(
      table.entries.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return descending ? table.entries[b].reading() < table.entries[a].reading()
                      : table.entries[a].reading() < table.entries[b].reading();
  });
  return order;
}

void write_entries(const reading_table& table, output_stream& stream,
                   bool sorted, bool descending) {
  std::vector<std::uint32_t> words;
  if (!sorted) {
    for (std::size_t e = 0; e < table.entries.size(); ++e) {
      prefetch_ahead(table, e);
      write_entry(table, table.entries[e], words, stream);
    }
    return;
  }
  for (std::uint32_t e : sorted_entries(table, descending)) {
    write_entry(table, table.entries[e], words, stream);
  }
}

}  // namespace

void write_skk_dictionary(const reading_table& table, output_stream& stream,
                          const skk_layout& layout,
                          const reading_table* okuri_ari) {
  if (layout.utf_8_coding_line) {
    write_bytes(stream, ";; -*- mode: fundamental; coding: utf-8 -*-");
    end_line(stream);
  } else if (layout.comment_line_first) {
    // No coding here: libskk 1.0.5 stops at cp932 and sjis, and reading
    // the file as shift_jis loses the lines of CP932's own characters.
    write_bytes(stream, ";; -*- mode: fundamental -*-");
    end_line(stream);
  }
  write_bytes(stream, ";; okuri-ari entries.");
  end_line(stream);
  if (okuri_ari != nullptr) {
    write_entries(*okuri_ari, stream, layout.sorted, true);
  }
  write_bytes(stream, ";; okuri-nasi entries.");
  end_line(stream);
  write_entries(table, stream, layout.sorted, false);
}

}  // namespace brenlow
