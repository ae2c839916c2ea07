// One entry line of an IME text dictionary: its reading and its word in the
// form an SKK dictionary carries it.
//
// Entry lines are handled as bytes, never decoded. A field ends at a TAB that
// is a character of its own; the second byte of a two-byte character is never
// taken for a TAB or for a reserved character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ime_text/text_encoding.h"

namespace brenlow {

// Cuts the line that starts at position off text and moves position to the
// start of the next one. A line ends at a line feed, which goes with a CR
// directly before it; a last line without a line feed loses only a
// trailing CR. Call while position < text.size().
std::string_view next_line(std::string_view text, std::size_t& position);

enum class line_kind { entry, comment_or_empty, skipped };

// One line of the dictionary as the format reads it.
struct entry_line {
  line_kind kind = line_kind::entry;
  std::string_view reading;     // entry lines
  std::string_view word_field;  // entry lines: the word as the line holds it
  const char* problem = nullptr;  // skipped lines: why
};

// Reads a line without its line end: lines starting with "!" and empty lines
// are comments; an entry line needs a TAB after a reading that is not empty,
// or it is skipped.
entry_line read_entry_line(std::string_view line, text_encoding encoding);

// Shift_JIS lead bytes: 0x81-0x9F and 0xE0-0xFF.
bool is_lead_byte(unsigned char byte);

// Number of bytes of the character that starts at text[pos] (pos < size):
// a Shift_JIS lead byte and the byte after it, or one whole UTF-8 sequence.
// Never reaches past the end of text: a character cut short by the end of
// the text counts as the bytes that are there.
std::size_t char_length(std::string_view text, std::size_t pos,
                        text_encoding encoding);

// Copies the reading (the bytes before the first TAB) into reading_buffer.
// Returns the position just after that TAB, where the word field begins, or
// std::string_view::npos when the line holds no TAB.
std::size_t extract_reading(std::string_view line,
                            std::string_view& reading_buffer,
                            text_encoding encoding);

// The word field: from word_start to the next TAB or the end of the line.
std::string_view extract_word(std::string_view line, std::size_t word_start,
                              text_encoding encoding);

// True when the word cannot be written as it stands: it holds "/", ";" or a
// double quote, or it starts with "(" and ends with ")", which SKK clients
// would evaluate as a Lisp form.
bool needs_concat(std::string_view word_field, text_encoding encoding);

// Writes word_field to word_buffer as (concat "...") in which "/", ";" and
// backslash are octal escapes, a doubled double quote is one escaped quote
// and a lone double quote is dropped. A non-ASCII character directly after
// an escape starts a new string: (concat "a\057" "b").
void encode_concat(std::string_view word_field, std::string& word_buffer,
                   text_encoding encoding);

}  // namespace brenlow
