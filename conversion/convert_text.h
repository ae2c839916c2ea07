// The conversion of a whole dictionary text held in memory, without any
// input or output of its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/reading_table.h"
#include "ime_text/entry_line.h"
#include "ime_text/text_encoding.h"

namespace brenlow {

struct line_problem {
  std::size_t line_number = 0;  // 1-based; 0 when it concerns the whole text
  std::string message;
};

struct conversion_counts {
  std::size_t lines = 0;
  std::size_t comment_or_empty_lines = 0;
  std::size_t filed_lines = 0;
  std::size_t skipped_lines = 0;
  // Verb or adjective lines from which no okuri-ari key could be derived.
  std::size_t lines_without_okuri_ari = 0;
};

enum class encoding_choice { guess, shift_jis, utf_8 };

// The text to convert, in the encoding its rules and output use.
struct prepared_input {
  std::string_view text;
  std::string decoded;  // holds text when it was decoded from UTF-16
  text_encoding encoding = text_encoding::shift_jis;
  std::string reason;  // how the encoding was chosen, for --verbose
};

// Decides the encoding of raw: a byte-order mark decides (UTF-16 is decoded
// to UTF-8, a UTF-8 mark dropped); without one, choice decides, and a guess
// takes UTF-8 when the whole text is valid UTF-8 holding at least one
// multi-byte sequence, Shift_JIS otherwise. Returns false and fills problem
// for text that cannot be read in the encoding chosen. prepared.text may
// point into raw, which must outlive it.
bool prepare_input(std::string_view raw, encoding_choice choice,
                   prepared_input& prepared, line_problem& problem);

// Finds a NUL byte, which no text dictionary holds. Returns true and fills
// problem if there is one.
bool find_nul_byte(std::string_view text, line_problem& problem);

// Files the reading and word of every entry line of text in table. A line
// ends at a line feed, which goes with a CR directly before it; a last line
// without a line feed loses only a trailing CR. Lines starting with "!" and
// empty lines are skipped; so are entry lines that cannot be filed, which
// are added to skipped. The table keeps views into text, which must outlive
// the table's contents. With okuri_ari, the okuri-ari keys derived from
// each verb or adjective (by its part-of-speech field) are filed there too,
// each candidate once per key.
conversion_counts convert_lines(std::string_view text, text_encoding encoding,
                                reading_table& table,
                                std::vector<line_problem>& skipped,
                                reading_table* okuri_ari = nullptr);

}  // namespace brenlow
