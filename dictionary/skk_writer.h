// Prints a reading table as an SKK dictionary.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "base/output_stream.h"
#include "base/phase_mark.h"
#include "dictionary/reading_table.h"
#include "dictionary/skk_order.h"

namespace brenlow {

struct skk_layout {
  // UTF-8 and EUC output starts with a line naming its coding, for Emacs
  // SKK and libskk; the encoding also decides the skk order. The tables
  // hold their text as held_for(encoding) (recode_table.h).
  output_encoding encoding = output_encoding::shift_jis;
  sort_order order = sort_order::input;
  // Starts Shift_JIS output with a comment line. libskk looks for the
  // section markers only after a line feed, so without it libskk misses the
  // okuri-ari marker at the very start of the file (and with it every
  // okuri-ari entry) and, in sorted output, the readings that sort before
  // ";". UTF-8 output has its coding line there anyway.
  bool comment_line_first = false;
  // The longest line, in bytes without its line end, a program takes
  // (yaskkserv's dictionary maker makes no dictionary of a file with a
  // longer one); 0 for no limit. A reading's words that would pass it are
  // not written: the line keeps the first words that fit, and a line in
  // which not even the first fits is left out.
  std::size_t longest_line = 0;
  // Told "sort" when the orders of both sections are made, before the
  // first byte is written.
  phase_mark phases;
};

// Emacs SKK's binary search (skk-search-jisyo with its default limit of
// 10000 characters) gives up on a region that begins with a line at least
// half as long as the region, and so misses every reading it would find
// from there. Lines shorter than this number of characters (line end not
// counted) can never cause that.
constexpr std::size_t emacs_skk_long_line = 5000;

// A written line of at least emacs_skk_long_line characters, or, under a
// layout's longest_line, a line written without the words that would pass
// it.
struct long_line {
  std::string_view reading;
  std::size_t line_number;  // in the written file, from 1 (0: left out)
  std::size_t characters;   // as Emacs SKK counts them, line end not counted
  std::size_t words_left_out = 0;  // under longest_line
};

// Writes ";; okuri-ari entries.", the entries of okuri_ari (if given), then
// ";; okuri-nasi entries." and the entries of table: one line per entry in
// the layout's order, the reading, " /", and each candidate followed by
// "/". Sorted, okuri-ari entries come in descending order, as SKK clients
// search them. Bytes are written as the tables hold them. Returns the lines
// of emacs_skk_long_line characters or more, or, with a longest_line, the
// lines cut to it. Errors are left in stream (see
// finish_output).
// Everything the writing needs (the orders of both sections, the list of
// long lines) is allocated before the first byte is written, and a stream
// with a file allocates nothing: std::bad_alloc leaves the stream's file
// untouched. The tables' word chains are turned around while a reading is
// written and restored after it, which is why they are not const.
std::vector<long_line> write_skk_dictionary(reading_table& table,
                                            output_stream& stream,
                                            const skk_layout& layout = {},
                                            reading_table* okuri_ari = nullptr);

}  // namespace brenlow
