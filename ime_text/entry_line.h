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

#include "encodings/text_encoding.h"

namespace brenlow {

// Cuts the line that starts at position off text and moves position to the
// start of the next one. LF, CR LF and a lone CR each end a line (so CR CR
// LF ends a line and an empty line); a last line needs no line end. Call
// while position < text.size().
std::string_view next_line(std::string_view text, std::size_t& position);

// How entry lines are read; the defaults are the program's.
struct entry_rules {
  // --csv-quotes: a doubled double quote is one quote and a lone one is
  // dropped, as in a CSV file. Otherwise a double quote is a character
  // like any other, as the IMEs that write this format write it.
  bool csv_quotes = false;
  // Off with --raw-readings: readings as SKK users type them
  // (reading_form.h).
  bool typed_readings = true;
  // Off with --no-annotations: the comment field (after the part of
  // speech) becomes the word's annotation.
  bool annotations = true;
  // Lines may hold bytes that do not decode. Off for a text known to
  // decode throughout, which spares a look at every line.
  bool check_decoding = true;
  // With check_decoding, a Shift_JIS line that reads as UTF-8
  // (reads_as_utf_8) is skipped too: on when the encoding was guessed, so
  // that a UTF-8 line in a Shift_JIS file is never filed as mojibake.
  bool skip_utf_8_lines = false;
  // The text was decoded from UTF-16: an undecodable byte stands for a
  // UTF-16 fault (utf_16_fault_message).
  bool from_utf_16 = false;
};

enum class line_kind { entry, comment_or_empty, skipped };

// Why a line was skipped.
enum class skip_reason {
  none,
  undecodable,
  no_tab,
  empty_reading,
  empty_word,
  reading_starts_with_semicolon,
  reading_holds_blank,
  reading_holds_control,
  reads_as_utf_8,
};
constexpr std::size_t skip_reason_count = 9;

// "no TAB after the reading" and so on; "undecodable" for undecodable
// lines, whose message also names the place (see undecodable_message).
const char* skip_message(skip_reason reason);

// One line of the dictionary as the format reads it.
struct entry_line {
  line_kind kind = line_kind::entry;
  std::string_view reading;        // entry lines: as SKK carries it
  bool reading_typed = false;      // the reading was changed to its typed form
  std::string_view word_field;     // entry lines: the word as the line holds it
  std::string_view comment_field;  // entry lines: empty when there is none
  skip_reason reason = skip_reason::none;  // skipped lines: why
  std::size_t fault_offset = 0;  // undecodable lines: offset in the line
};

// Reads a line without its line end. Lines starting with "!", empty lines
// and Gboard's first line "# Gboard Dictionary version:..." are comments.
// An entry line is skipped when a byte does not decode (or, under
// skip_utf_8_lines, a Shift_JIS line reads as UTF-8), when no TAB follows
// the reading, or when the reading (in its typed form) or the word is
// empty (under csv_quotes also a word that is one lone quote, and a comment
// that is one gives no annotation), or a reading starts with ";" (an SKK
// comment line) or holds a blank (ASCII or ideographic, which SKK clients split
// at) or a control character. The third field, the part of speech, is not used
// (Gboard puts a locale there); the fourth is the comment. A typed reading is
// written to reading_buffer, which reading then views.
entry_line read_entry_line(std::string_view line, bool first_line,
                           text_encoding encoding, const entry_rules& rules,
                           std::string& reading_buffer);

// "invalid UTF-8 sequence at byte offset N; line skipped" and the like, N
// being the offset of the fault in the file.
std::string undecodable_message(text_encoding encoding, std::size_t offset);

// The candidate SKK carries for an entry line: the word, in its concat form
// when it needs one, then ";" and the annotation when the line has a
// comment and rules take annotations. Returns false when that is the word
// field as it stands; otherwise writes it to out and returns true.
// annotated tells whether an annotation was written.
bool skk_candidate(const entry_line& line, text_encoding encoding,
                   const entry_rules& rules, std::string& out, bool& annotated);

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

// Appends field to out as (concat "...") in which "/", ";", a double quote
// and backslash are octal escapes (under csv_quotes a doubled double quote
// is one escaped quote and a lone one is dropped). An escape directly
// followed by a non-ASCII character ends its string and a new one starts
// ("a\057" "b"): libskk 1.0.5 garbles such a character otherwise.
void encode_concat(std::string_view field, std::string& out,
                   text_encoding encoding, bool csv_quotes);

}  // namespace brenlow
