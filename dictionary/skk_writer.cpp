#include "dictionary/skk_writer.h"

namespace brenlow {

namespace {

// A reading's words after its first were filed anywhere in the input, so
// walking its chain waits on memory at every step. Readings a little ahead
// of the one being written have their words and links fetched early, two
// steps of the chain deep; in sorted output the entries themselves lie
// anywhere too and are fetched earlier still. position(k) is the entry
// written k-th, for k below count.
template <typename Position>
void prefetch_ahead(const reading_table& table, std::size_t k,
                    std::size_t count, Position position) {
  constexpr std::size_t farthest = 32;
  constexpr std::size_t far = 16;
  constexpr std::size_t near = 8;
  const auto& entries = table.entries;
  const auto& candidates = table.candidates;
  if (k + farthest < count) {
    __builtin_prefetch(&entries[position(k + farthest)]);
  }
  if (k + far < count) {
    const reading_entry& entry = entries[position(k + far)];
    __builtin_prefetch(&candidates[entry.last_candidate]);
    __builtin_prefetch(entry.reading_bytes);
  }
  if (k + near < count) {
    const candidate& last =
        candidates[entries[position(k + near)].last_candidate];
    __builtin_prefetch(last.bytes);
    if (last.previous != no_candidate) {
      __builtin_prefetch(&candidates[last.previous]);
    }
  }
}

// Characters of text as Emacs decodes it: a Shift_JIS pair is one.
std::size_t characters_in(std::string_view text, dictionary_encoding encoding) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); ++count) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (encoding == dictionary_encoding::utf_8) {
      ++pos;
      while (pos < text.size() &&
             (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) {
        ++pos;
      }
    } else {
      pos += (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0 ? 2 : 1;
    }
  }
  return count;
}

// words: room for the positions of the entry's words, reused across calls.
// Returns the length of the line in bytes, line end not counted.
std::size_t write_entry(const reading_table& table, const reading_entry& entry,
                        std::vector<std::uint32_t>& words,
                        output_stream& stream) {
  write_bytes(stream, entry.reading());
  write_byte(stream, ' ');
  write_byte(stream, '/');
  std::size_t size = entry.reading().size() + 2;
  const candidate& last = table.candidates[entry.last_candidate];
  if (last.previous == no_candidate) {
    // Most readings have one word.
    write_bytes(stream, last.word());
    write_byte(stream, '/');
    size += last.size + 1;
  } else {
    words_of(table, entry, words);
    for (std::uint32_t c : words) {
      write_bytes(stream, table.candidates[c].word());
      write_byte(stream, '/');
      size += table.candidates[c].size + 1;
    }
  }
  end_line(stream);
  return size;
}

// The line's length in characters; called only for lines long in bytes.
std::size_t line_characters(const reading_table& table,
                            const reading_entry& entry,
                            dictionary_encoding encoding,
                            std::vector<std::uint32_t>& words) {
  std::size_t characters = characters_in(entry.reading(), encoding) + 2;
  words_of(table, entry, words);
  for (std::uint32_t c : words) {
    characters += characters_in(table.candidates[c].word(), encoding) + 1;
  }
  return characters;
}

}  // namespace

std::vector<long_line> write_skk_dictionary(const reading_table& table,
                                            output_stream& stream,
                                            const skk_layout& layout,
                                            const reading_table* okuri_ari) {
  std::size_t line_number = 0;
  const auto write_line = [&](const char* text) {
    write_bytes(stream, text);
    end_line(stream);
    ++line_number;
  };
  if (layout.encoding == dictionary_encoding::utf_8) {
    write_line(";; -*- mode: fundamental; coding: utf-8 -*-");
  } else if (layout.comment_line_first) {
    write_line(";; SKK dictionary");
  }
  std::vector<long_line> long_lines;
  std::vector<std::uint32_t> words;
  // The entries of one section in the layout's order, descending for the
  // okuri-ari section, whose lines SKK clients search from the end.
  const auto write_section = [&](const reading_table& section,
                                 bool descending) {
    const auto write = [&](const reading_entry& entry) {
      ++line_number;
      // A line has at most as many characters as bytes.
      if (write_entry(section, entry, words, stream) >= emacs_skk_long_line) {
        const std::size_t characters =
            line_characters(section, entry, layout.encoding, words);
        if (characters >= emacs_skk_long_line) {
          long_lines.push_back({entry.reading(), line_number, characters});
        }
      }
    };
    const std::size_t count = section.entries.size();
    if (layout.order == sort_order::input) {
      for (std::size_t e = 0; e < count; ++e) {
        prefetch_ahead(section, e, count, [](std::size_t k) { return k; });
        write(section.entries[e]);
      }
      return;
    }
    const entry_order order =
        order_entries(section, layout.order, layout.encoding, descending);
    for (std::size_t k = 0; k < count; ++k) {
      prefetch_ahead(section, k, count,
                     [&](std::size_t ahead) { return order[ahead]; });
      write(section.entries[order[k]]);
    }
  };
  write_line(";; okuri-ari entries.");
  if (okuri_ari != nullptr) write_section(*okuri_ari, true);
  write_line(";; okuri-nasi entries.");
  write_section(table, false);
  return long_lines;
}

}  // namespace brenlow
