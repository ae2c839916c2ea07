#include "dictionary/skk_writer.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "base/byte_facts.h"
#include "base/run_beside.h"

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
    __builtin_prefetch(text_start(table, entry.text));
  }
  if (k + near < count) {
    const candidate& last =
        candidates[entries[position(k + near)].last_candidate];
    __builtin_prefetch(text_start(table, last.text));
    if (last.previous != no_candidate) {
      __builtin_prefetch(&candidates[last.previous]);
    }
  }
}

// The length of the character at bytes[pos] (pos < size) as Emacs
// decodes it, at most what is left.
std::size_t character_length(const unsigned char* bytes, std::size_t size,
                             std::size_t pos, output_encoding encoding) {
  const unsigned char byte = bytes[pos];
  std::size_t length = 1;
  switch (encoding) {
    case output_encoding::utf_8:
    case output_encoding::utf_16le:  // held as UTF-8 until written
      while (pos + length < size && (bytes[pos + length] & 0xC0) == 0x80) {
        ++length;
      }
      return length;
    case output_encoding::shift_jis:
      length = starts_shift_jis_pair(byte) ? 2 : 1;
      break;
    case output_encoding::euc_jp:
    case output_encoding::euc_jis_2004:
      // ASCII, a pair of bytes from 0xA1 (or 0x8E and half-width
      // katakana), or 0x8F and a pair.
      length = byte < 0x80 ? 1 : byte == 0x8F ? 3 : 2;
      break;
  }
  return length < size - pos ? length : size - pos;
}

// Characters of text as Emacs decodes it: a Shift_JIS pair is one.
std::size_t characters_in(std::string_view text, output_encoding encoding) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); ++count) {
    pos += character_length(bytes, text.size(), pos, encoding);
  }
  return count;
}

// What write_words wrote.
struct words_written {
  std::size_t bytes = 0;
  std::size_t left_out = 0;  // words that would have passed room
};

// Writes each word of the chain that ends in last, first to last, followed
// by "/", while they take at most room bytes; the words after one that
// would pass it are left out. The chain runs from last to first, so it is
// turned around, then walked and turned back on the way: a reading's words
// need no room of their own, however many it has.
words_written write_words(reading_table& table, std::uint32_t last,
                          output_stream& stream, std::size_t room) {
  auto& candidates = table.candidates;
  std::uint32_t first = no_candidate;
  for (std::uint32_t c = last; c != no_candidate;) {
    const std::uint32_t before = candidates[c].previous;
    candidates[c].previous = first;  // for now, the word after c
    first = c;
    c = before;
  }
  words_written written;
  std::uint32_t before = no_candidate;
  for (std::uint32_t c = first; c != no_candidate;) {
    candidate& word = candidates[c];
    const std::string_view bytes = text_of(table, word.text);
    if (written.left_out == 0 && room - written.bytes > bytes.size()) {
      write_bytes(stream, bytes);
      write_byte(stream, '/');
      written.bytes += bytes.size() + 1;
    } else {
      ++written.left_out;
    }
    const std::uint32_t after = word.previous;
    word.previous = before;
    before = c;
    c = after;
  }
  return written;
}

// Writes the entry's line, within the layout's longest line if it has one;
// returns its length in bytes, line end not counted. A line in which not
// even the first word fits is not written at all (bytes 0).
words_written write_entry(reading_table& table, const reading_entry& entry,
                          output_stream& stream, std::size_t longest_line) {
  if (longest_line != 0) {
    std::size_t words = 0;
    std::uint32_t first = entry.last_candidate;
    for (std::uint32_t c = first; c != no_candidate;
         c = table.candidates[c].previous) {
      first = c;
      ++words;
    }
    if (reading_of(table, entry).size() + 2 + word_of(table, first).size() + 1 >
        longest_line) {
      words_written none;
      none.left_out = words;
      return none;
    }
  }
  const std::string_view reading = reading_of(table, entry);
  write_bytes(stream, reading);
  write_byte(stream, ' ');
  write_byte(stream, '/');
  const std::size_t start = reading.size() + 2;
  // A reading longer than the limit still gets its line: no words.
  const std::size_t room = longest_line == 0      ? static_cast<std::size_t>(-1)
                           : longest_line > start ? longest_line - start
                                                  : 0;
  words_written written =
      write_words(table, entry.last_candidate, stream, room);
  written.bytes += start;
  end_line(stream);
  return written;
}

// The line's length in characters; called only for lines long in bytes.
std::size_t line_characters(const reading_table& table,
                            const reading_entry& entry,
                            output_encoding encoding) {
  std::size_t characters =
      characters_in(reading_of(table, entry), encoding) + 2;
  for (std::uint32_t c = entry.last_candidate; c != no_candidate;
       c = table.candidates[c].previous) {
    characters += characters_in(word_of(table, c), encoding) + 1;
  }
  return characters;
}

// The bytes of the section's lines, line feeds included, at most.
std::size_t section_bytes(const reading_table* section) {
  if (section == nullptr) return 0;
  // The text holds each reading and word once, and perhaps more (text no
  // longer used, the lengths): a reading's line adds " /" and a line feed,
  // a word "/".
  return static_cast<std::size_t>(section->text.used) +
         3 * section->entries.size() + section->candidates.size();
}

// The most lines of emacs_skk_long_line characters the section can have:
// such a line has at least as many bytes.
std::size_t most_long_lines(const reading_table* section) {
  return section_bytes(section) / emacs_skk_long_line;
}

// Where a sorted section's lines are made before they are written (see
// write_skk_dictionary): in pieces of piece_entries entries in table
// order, each line ending in a line feed, and where each entry's line ends
// in its piece. Both threads make pieces, taken in turn through next, so
// that neither waits for the other at the end. A piece is made in a
// buffer of its thread's, which stays in cache, then copied to the end of
// text, one block of pages for the whole section, sized for its lines
// from the start (section_bytes), of which only the pages written are
// touched; the copy-out then reads it with few misses of the TLB.
constexpr std::size_t piece_entries = 4096;

struct made_lines {
  std::vector<char, large_allocator<char>> text;
  std::atomic<std::size_t> used{0};     // bytes of text taken
  std::vector<const char*> piece_text;  // where each piece's lines are
  // The lines of a piece that found no room left in text (never, when
  // section_bytes holds), each piece's only ever written by its maker.
  std::vector<std::unique_ptr<char[]>> piece_own;
  std::vector<std::size_t, large_allocator<std::size_t>> ends;
  std::atomic<std::size_t> next{0};  // the next piece no thread has taken
};

// The number of pieces of the section's entries.
std::size_t pieces_of(const reading_table& section) {
  return (section.entries.size() + piece_entries - 1) / piece_entries;
}

// Readies made for the section's lines: allocates all but the makers'
// buffers.
void prepare_lines(const reading_table& section, made_lines& made) {
  const std::size_t pieces = pieces_of(section);
  made.ends.resize(section.entries.size());
  made.piece_text.resize(pieces);
  made.piece_own.resize(pieces);
  made.text.resize(section_bytes(&section));
}

// The bytes of an average piece's lines, at most.
std::size_t piece_share(const reading_table* section) {
  if (section == nullptr || section->entries.empty()) return 0;
  return section_bytes(section) / pieces_of(*section);
}

// Makes the lines of the pieces no thread has taken yet, taking one at a
// time, each in piece before it is copied to text; returns when every
// piece is taken.
void make_lines(reading_table& section, made_lines& made,
                output_stream& piece) {
  const std::size_t count = section.entries.size();
  for (std::size_t p = made.next++; p < made.piece_text.size();
       p = made.next++) {
    piece.used = 0;
    const std::size_t first = p * piece_entries;
    const std::size_t last = std::min(first + piece_entries, count);
    for (std::size_t e = first; e < last; ++e) {
      prefetch_ahead(section, e, last, [](std::size_t k) { return k; });
      write_entry(section, section.entries[e], piece, 0);
      made.ends[e] = piece.used;
    }
    const std::size_t at = made.used.fetch_add(piece.used);
    char* to = nullptr;
    if (at <= made.text.size() && piece.used <= made.text.size() - at) {
      to = made.text.data() + at;
    } else {
      made.piece_own[p].reset(new char[piece.used]);
      to = made.piece_own[p].get();
    }
    std::memcpy(to, piece.buffer.get(), piece.used);
    made.piece_text[p] = to;
  }
}

// The bytes of the entry's line, its line end included.
std::size_t line_bytes(const reading_table& table, const reading_entry& entry,
                       line_end eol) {
  std::size_t bytes =
      reading_of(table, entry).size() + (eol == line_end::crlf ? 4 : 3);
  for (std::uint32_t c = entry.last_candidate; c != no_candidate;
       c = table.candidates[c].previous) {
    bytes += word_of(table, c).size() + 1;
  }
  return bytes;
}

// A plain section of many entries is written by two threads: it is cut
// into ranges of range_entries entries, taken in turn. This thread writes
// the even ranges straight to the stream; a second one makes the lines of
// the odd ones in one of two buffers, which this thread copies out in turn
// (both are latency-bound walks over words filed all over the table). The
// buffers are taken before the first byte goes out and never grow: where a
// range's lines pass their room, the second thread stops, and this one
// writes the rest of the range itself.
constexpr std::size_t range_entries = 4096;
constexpr std::size_t range_room = std::size_t{1} << 20;

struct made_range {
  std::unique_ptr<char[]> text{new char[range_room]};
  std::vector<std::size_t> ends = std::vector<std::size_t>(range_entries);
  std::size_t made = 0;  // lines made, from the range's first on
  bool ready = false;    // made, waiting to be copied out
};

struct range_turns {
  std::mutex mutex;
  std::condition_variable changed;
  made_range slots[2];
  bool stop = false;  // the writing side is done: no slot is freed again
  // The making side stopped (it threw): no slot is made again.
  bool side_stopped = false;
};

// The second thread's part: makes the odd ranges of the lines [0, count),
// each in the slot of its turn once that slot is free. make(k, text)
// writes line k to text and returns true, or returns false, writing
// nothing, where the line would pass text's room.
template <typename Make>
void make_odd_ranges(std::size_t count, line_end eol, range_turns& turns,
                     const Make& make) {
  for (std::size_t r = 1; r * range_entries < count; r += 2) {
    made_range& slot = turns.slots[(r / 2) % 2];
    {
      std::unique_lock<std::mutex> lock(turns.mutex);
      turns.changed.wait(lock, [&] { return !slot.ready || turns.stop; });
      if (turns.stop) return;
    }
    const std::size_t first = r * range_entries;
    const std::size_t last = std::min(first + range_entries, count);
    // The lines go into the slot's own room, which they never pass.
    output_stream text;
    text.eol = eol;
    text.buffer = std::move(slot.text);
    text.capacity = range_room;
    std::size_t k = first;
    for (; k < last && make(k, text); ++k) slot.ends[k - first] = text.used;
    slot.text = std::move(text.buffer);
    const std::lock_guard<std::mutex> lock(turns.mutex);
    slot.made = k - first;
    slot.ready = true;
    turns.changed.notify_all();
  }
}

}  // namespace

std::vector<long_line> write_skk_dictionary(reading_table& table,
                                            output_stream& stream,
                                            const skk_layout& layout,
                                            reading_table* okuri_ari) {
  // Everything the writing needs is allocated before its first byte goes
  // out: running out of memory half-way would leave a cut dictionary.
  const auto order_of = [&](const reading_table* section, bool descending) {
    return section == nullptr || layout.order == sort_order::input
               ? entry_order()
               : order_entries(*section, layout.order, layout.encoding,
                               descending);
  };
  std::vector<long_line> long_lines;
  long_lines.reserve(most_long_lines(&table) + most_long_lines(okuri_ari));
  // A sorted section without a limit on its lines is written in two
  // steps. In sorted order the entries, their words and the words' bytes
  // lie anywhere in memory, and following them waits on memory at every
  // step; so the lines are made first in table order, where that walk is
  // the plain run's, then copied out in sorted order, one read a line.
  // The lines are made on a thread of their own while the orders are made
  // here, and here helps with the lines once the orders are made: the
  // orders read the entries and their readings, the making of lines turns
  // the chains of words around, each piece's chains its own.
  const bool in_two_steps =
      layout.order != sort_order::input && layout.longest_line == 0;
  made_lines made_okuri_ari;
  made_lines made_okuri_nasi;
  // Sorted, okuri-ari entries descend: SKK clients search them from the end.
  entry_order okuri_ari_order;
  entry_order order;
  const auto make_orders = [&] {
    okuri_ari_order = order_of(okuri_ari, true);
    order = order_of(&table, false);
  };
  if (in_two_steps) {
    if (okuri_ari != nullptr) prepare_lines(*okuri_ari, made_okuri_ari);
    prepare_lines(table, made_okuri_nasi);
    // Each thread makes its pieces in a buffer of its own, taken here with
    // room for any piece but one of unusually long lines: what the making
    // allocates does not hang on which thread makes which piece.
    const std::size_t room = std::max(
        range_room, 2 * std::max(piece_share(okuri_ari), piece_share(&table)));
    output_stream pieces[2] = {make_output_stream(nullptr, line_end::lf),
                               make_output_stream(nullptr, line_end::lf)};
    for (output_stream& piece : pieces) make_output_room(piece, room);
    const auto make_all_lines = [&](output_stream& piece) {
      if (okuri_ari != nullptr) make_lines(*okuri_ari, made_okuri_ari, piece);
      make_lines(table, made_okuri_nasi, piece);
    };
    run_beside([&] { make_all_lines(pieces[0]); },
               [&] {
                 make_orders();
                 make_all_lines(pieces[1]);
               });
  } else {
    make_orders();
  }
  mark_phase(layout.phases, "sort");
  // Sections written in turns by two threads take their buffers now. (The
  // copying out of sorted lines made in two steps gains nothing from a
  // second thread: it measured no faster.)
  const auto in_turns = [&](const reading_table* section) {
    return section != nullptr && layout.order == sort_order::input &&
           layout.longest_line == 0 && section->entries.size() > range_entries;
  };
  std::unique_ptr<range_turns> turns;
  if (in_turns(&table) || in_turns(okuri_ari)) {
    turns = std::make_unique<range_turns>();
  }

  std::size_t line_number = 0;
  const auto write_line = [&](const char* text) {
    write_bytes(stream, text);
    end_line(stream);
    ++line_number;
  };
  // The spellings libskk takes (it stops on a coding it does not know)
  // and Emacs knows.
  if (layout.encoding == output_encoding::utf_8) {
    write_line(";; -*- mode: fundamental; coding: utf-8 -*-");
  } else if (layout.encoding == output_encoding::euc_jp) {
    write_line(";; -*- mode: fundamental; coding: euc-jp -*-");
  } else if (layout.encoding == output_encoding::euc_jis_2004) {
    write_line(";; -*- mode: fundamental; coding: euc-jis-2004 -*-");
  } else if (layout.comment_line_first) {
    write_line(";; SKK dictionary");
  }
  // The entries of one section, in the order given or, when it is empty,
  // in table order.
  const auto write_section = [&](reading_table& section,
                                 const entry_order& sorted,
                                 const made_lines& made) {
    // Names a line of emacs_skk_long_line bytes or more (without its line
    // end) if it has as many characters; a line has at most as many
    // characters as bytes.
    const auto note_if_long = [&](const reading_entry& entry,
                                  std::size_t bytes) {
      if (bytes < emacs_skk_long_line) return;
      const std::size_t characters =
          line_characters(section, entry, layout.encoding);
      if (characters >= emacs_skk_long_line) {
        long_lines.push_back(
            {reading_of(section, entry), line_number, characters});
      }
    };
    const auto write = [&](const reading_entry& entry) {
      const words_written written =
          write_entry(section, entry, stream, layout.longest_line);
      if (written.bytes != 0) ++line_number;
      if (layout.longest_line != 0) {
        // A program with a limit of its own is no Emacs SKK searching the
        // file.
        if (written.left_out != 0) {
          long_lines.push_back({reading_of(section, entry),
                                written.bytes ? line_number : 0, 0,
                                written.left_out});
        }
        return;
      }
      note_if_long(entry, written.bytes);
    };
    const std::size_t count = section.entries.size();
    const auto identity = [](std::size_t k) { return k; };
    const auto in_sorted = [&](std::size_t k) { return sorted[k]; };
    if (!sorted.empty() && in_two_steps) {
      // The made lines lie anywhere: their ends, then their bytes, are
      // fetched ahead.
      const auto line_at = [&](std::uint32_t e) {
        const char* text = made.piece_text[e / piece_entries];
        const std::size_t start = e % piece_entries == 0 ? 0 : made.ends[e - 1];
        return std::string_view(text + start, made.ends[e] - start);
      };
      constexpr std::size_t ahead = 16;
      for (std::size_t k = 0; k < count; ++k) {
        if (k + 2 * ahead < count) {
          __builtin_prefetch(&made.ends[sorted[k + 2 * ahead]]);
        }
        if (k + ahead < count) {
          __builtin_prefetch(line_at(sorted[k + ahead]).data());
        }
        const std::uint32_t e = sorted[k];
        const std::string_view line = line_at(e);
        const std::size_t bytes = line.size() - 1;  // no line feed
        write_bytes(stream, line.substr(0, bytes));
        end_line(stream);
        ++line_number;
        if (bytes >= emacs_skk_long_line) {
          note_if_long(section.entries[e], bytes);
        }
      }
      return;
    }
    // Writes line k to the stream, fetching ahead no further than line
    // limit: the lines from there may be the other thread's, which turns
    // their chains around.
    const auto write_own = [&](std::size_t k, std::size_t limit) {
      if (sorted.empty()) {
        prefetch_ahead(section, k, limit, identity);
        write(section.entries[k]);
      } else {
        prefetch_ahead(section, k, limit, in_sorted);
        write(section.entries[sorted[k]]);
      }
    };
    if (!in_turns(&section)) {
      for (std::size_t k = 0; k < count; ++k) write_own(k, count);
      return;
    }
    // Written in turns: the other thread makes line k in text.
    const line_end eol = stream.eol;
    const std::size_t eol_size = eol == line_end::crlf ? 2 : 1;
    const auto make_other = [&](std::size_t k, output_stream& text) {
      const std::size_t range_end =
          std::min((k / range_entries + 1) * range_entries, count);
      prefetch_ahead(section, k, range_end, identity);
      const reading_entry& entry = section.entries[k];
      if (line_bytes(section, entry, eol) > range_room - text.used) {
        return false;
      }
      write_entry(section, entry, text, 0);
      return true;
    };
    range_turns& t = *turns;
    t.slots[0].ready = t.slots[1].ready = false;
    t.stop = t.side_stopped = false;
    const auto write_ranges = [&] {
      // However this side ends, the other stops waiting for a slot.
      struct stopping {
        range_turns& t;
        ~stopping() {
          const std::lock_guard<std::mutex> lock(t.mutex);
          t.stop = true;
          t.changed.notify_all();
        }
      } stop_at_end{t};
      for (std::size_t r = 0; r * range_entries < count; ++r) {
        const std::size_t first = r * range_entries;
        const std::size_t last = std::min(first + range_entries, count);
        std::size_t k = first;
        if (r % 2 == 1) {
          made_range& slot = t.slots[(r / 2) % 2];
          std::size_t lines = 0;
          {
            std::unique_lock<std::mutex> lock(t.mutex);
            t.changed.wait(lock, [&] { return slot.ready || t.side_stopped; });
            // Unless the other side stopped, its lines are whole.
            if (slot.ready) lines = slot.made;
          }
          const char* text = slot.text.get();
          if (lines != 0) write_bytes(stream, {text, slot.ends[lines - 1]});
          for (std::size_t i = 0; i < lines; ++i) {
            ++line_number;
            const std::size_t start = i == 0 ? 0 : slot.ends[i - 1];
            note_if_long(section.entries[first + i],
                         slot.ends[i] - start - eol_size);
          }
          k = first + lines;
          const std::lock_guard<std::mutex> lock(t.mutex);
          slot.ready = false;
          t.changed.notify_all();
        }
        for (; k < last; ++k) write_own(k, last);
      }
    };
    // Where no thread can be started, or the other side stops, this side
    // writes the ranges left to it.
    std::thread side;
    try {
      side = std::thread([&] {
        try {
          make_odd_ranges(count, eol, t, make_other);
        } catch (...) {
          const std::lock_guard<std::mutex> lock(t.mutex);
          t.side_stopped = true;
          t.changed.notify_all();
        }
      });
    } catch (const std::system_error&) {
      t.side_stopped = true;
    }
    try {
      write_ranges();
    } catch (...) {
      if (side.joinable()) side.join();
      throw;
    }
    if (side.joinable()) side.join();
  };
  write_line(";; okuri-ari entries.");
  if (okuri_ari != nullptr) {
    write_section(*okuri_ari, okuri_ari_order, made_okuri_ari);
  }
  write_line(";; okuri-nasi entries.");
  write_section(table, order, made_okuri_nasi);
  return long_lines;
}

}  // namespace brenlow
