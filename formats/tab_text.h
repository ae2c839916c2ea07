// The TAB text of Microsoft IME, Google Japanese Input, ATOK and Gboard:
// one entry a line, "reading TAB word TAB part-of-speech TAB comment", with
// "!" comment lines (in the texts that begin with a "!" header) and Gboard's
// header.
//
// Lines are handled as bytes, never decoded. A field ends at a TAB that is a
// character of its own; the second byte of a two-byte character is never
// taken for a TAB.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/byte_facts.h"
#include "formats/record.h"

namespace brenlow {

// Cuts the line that starts at position off text and moves position to the
// start of the next one. LF, CR LF and a lone CR each end a line (so CR CR
// LF ends a line and an empty line); a last line needs no line end. Call
// while position < text.size().
std::string_view next_line(std::string_view text, std::size_t& position);

// What a line starting with "!" is. Microsoft IME and ATOK exports begin
// with a "!" header ("!Microsoft IME Dictionary Tool",
// "!!ATOK_TANGO_TEXT_HEADER_1") and mark their comments with "!"; Google
// Japanese Input and Gboard exports have no header, and there a "!" line
// holding a TAB is an entry ("!in TAB ∉ TAB 記号" files ∉ under "!in").
enum class bang_lines { comments, entries_with_tab };

// What the text's first line (without its line end) tells: comments when
// it is a header, starting with "!" (after any byte-order marks, see
// marks_at_start) and holding no TAB; a first line "!in TAB ∉" is an entry
// of a text without one.
bang_lines bang_lines_of(std::string_view first_line, text_encoding encoding);

// The length of the U+FEFF byte-order marks (EF BB BF, one or more) at the
// start of line: what joined files leave at the start of each one after
// the first. No Shift_JIS text starts so (EF is no assigned lead byte), so
// the same bytes are dropped there too.
std::size_t marks_at_start(std::string_view line);

// What the reader knows of the text beyond a line: what it checks of the
// line's bytes, as the encoding decision found the text (not the user's
// choice), and what the text's first line tells of "!" lines.
struct line_checks {
  // Lines may hold bytes that do not decode. Off for a text known to
  // decode throughout, which spares a look at every line.
  bool decoding = true;
  // With decoding, a Shift_JIS line that reads as UTF-8 (reads_as_utf_8)
  // is skipped too: on when the encoding was guessed, so that a UTF-8 line
  // in a Shift_JIS file is never filed as mojibake.
  bool utf_8_lines = false;
  bang_lines bang = bang_lines::comments;  // see bang_lines_of
};

// What every line format checks of a line (without its marks, which
// read.mark_bytes counts) before its fields: true when it passes checks;
// otherwise false, with read's reason (undecodable, or reads_as_utf_8) and
// fault offset in the whole line set.
bool passes_checks(std::string_view line, text_encoding encoding,
                   const line_checks& checks, entry_line& read);

// Reads a line without its line end, byte-order marks at its start dropped
// first (mark_bytes). Empty lines, Gboard's first line "# Gboard Dictionary
// version:..." and lines starting with "!" are comments, the last only
// without a TAB where checks.bang is entries_with_tab. A line is skipped when a
// byte does not decode (or, under checks.utf_8_lines, a Shift_JIS line reads
// as UTF-8) or when no TAB follows the reading; otherwise its fields are the
// record: reading, word, part of speech (Gboard puts a locale there) and
// comment, each up to the next TAB, empty where the line has none.
entry_line read_tab_line(std::string_view line, bool first_line,
                         text_encoding encoding, const line_checks& checks);

// "invalid UTF-8 sequence at byte offset N; line skipped" and the like, N
// being the offset of the fault in the file.
std::string undecodable_message(text_encoding encoding, std::size_t offset);

// Copies the reading (the bytes before the first TAB) into reading_buffer.
// Returns the position just after that TAB, where the word field begins, or
// std::string_view::npos when the line holds no TAB.
std::size_t extract_reading(std::string_view line,
                            std::string_view& reading_buffer,
                            text_encoding encoding);

// The field from start to the next TAB or the end of the line.
std::string_view extract_word(std::string_view line, std::size_t word_start,
                              text_encoding encoding);

}  // namespace brenlow
