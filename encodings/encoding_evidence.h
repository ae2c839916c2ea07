// Telling the encoding of a dictionary text that has no byte-order mark.
//
// A damaged file (a Latin-1 "é" in a comment, a last character cut short)
// is still mostly one encoding, so the choice weighs what the whole text
// shows for each encoding instead of stopping at the first fault.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "encodings/text_encoding.h"

namespace brenlow {

enum class utf_16_order { none, little_endian, big_endian };

// UTF-16 without a byte-order mark, seen in the first line. Read in each
// byte order, the first line runs to the first CR or LF character after a
// character that is neither (or to the end); an order whose first line
// holds a NUL character is out. The order whose first line holds more TABs,
// CRs, LFs and "!" wins, or on a tie, more ASCII letters and digits
// (little-endian on a full tie); it needs at least one of the former, and
// two of either. Counting only the first line keeps characters
// such as U+4E00 (bytes 4E 00) in text of the other order from counting
// as ASCII over the whole file.
utf_16_order find_utf_16_pattern(std::string_view text);

// True when decoded text (UTF-8) looks like a dictionary: more than half of
// its non-empty lines hold a TAB or are comments ("!", Gboard's header), a
// byte-order mark at the start of a line not counted.
// A text guessed to be UTF-16 by its first line must also pass this.
bool looks_like_entries(std::string_view decoded);

// A file joined from an 8-bit part and a UTF-16 part (cat a.txt b.txt):
// before the first NUL byte of text, a complete 8-bit line that holds a TAB
// byte or starts with "!", ended by a CR or LF byte; or after its last NUL
// byte, a line end byte, such a line and another line end byte. UTF-16
// dictionary text shows neither: its TABs and line ends carry NUL bytes.
// Returns the number of the line where the encoding changes (counted in
// the 8-bit part before it, or in the UTF-16 part of the given order
// before it), or 0.
std::size_t find_encoding_change(std::string_view text, bool big_endian);

// What a text shows read in one encoding. A character is a well-formed
// multi-byte sequence; a fault, a byte where decoding fails; a bad line, a
// line (ended by CR or LF) holding a fault.
struct reading_evidence {
  std::size_t characters = 0;
  std::size_t faults = 0;
  std::size_t bad_lines = 0;
};

// What a whole text shows for each encoding it may be in.
struct encoding_evidence {
  std::size_t non_ascii_lines = 0;  // lines holding a byte above 0x7F
  // The text starts with Gboard's header line, which Gboard writes in
  // UTF-8.
  bool gboard_header = false;
  // Two-byte sequences made of half-width katakana bytes (0xA1-0xDF, as
  // Shift_JIS writes them) are not counted as characters (ﾏｲﾅｽ is also
  // valid UTF-8), except those led by C2 or C3 (Latin-1 letters and signs
  // such as °, é, ©).
  reading_evidence utf_8;
  // Characters are pairs of lead and trail byte that code page 932 has a
  // character for; half-width katakana bytes are counted apart. A line that
  // reads as UTF-8 (reads_as_utf_8) is a bad line here, each of its UTF-8
  // characters a fault.
  reading_evidence shift_jis;
  std::size_t half_width_kana = 0;
  // EUC-JP, which brenlow does not read, to tell it apart. Its pairs of
  // half-width katakana bytes are as likely Shift_JIS: characters are
  // pairs in which a byte is 0xE0 or above, and JIS X 0212 triples.
  reading_evidence euc_jp;
};

encoding_evidence gather_evidence(std::string_view text);

struct encoding_verdict {
  bool decided = false;
  text_encoding encoding = text_encoding::shift_jis;
  // How the encoding was decided (for --verbose), or why none could be.
  std::string reason;
  // Every byte decodes in the encoding decided, and for Shift_JIS no line
  // reads as UTF-8.
  bool decodes_throughout = false;
  // Undecided because the text is EUC-JP.
  bool euc_jp = false;
};

// Text with no byte above 0x7F is taken as Shift_JIS (both read it the
// same). Otherwise UTF-8 when it is valid UTF-8 with characters or after a
// Gboard header; Shift_JIS when it is valid Shift_JIS without a line that
// reads as UTF-8, and not valid EUC-JP with characters; EUC-JP (undecided)
// when it is valid EUC-JP with characters. Failing these, the encoding with
// the fewest bad lines (ties in the order UTF-8, Shift_JIS, EUC-JP) wins
// when either
//   - at most one in four lines with non-ASCII bytes is bad in it, and every
//     other encoding has at least three times as many bad lines, plus two;
//   - or, by characters, not every line is bad in it, it decodes at least
//     four characters per fault, and every other encoding has at least
//     three times as many faults, plus two (a small file with one bad
//     line).
// Anything else (EUC-JP, binary data, a mixture) is undecided.
encoding_verdict judge_encoding(const encoding_evidence& evidence);

// The same for text, faster: valid UTF-8 and valid Shift_JIS are told by
// readings that stop at their first fault, and the whole evidence is
// gathered only for text that is neither.
encoding_verdict judge_encoding(std::string_view text);

}  // namespace brenlow
