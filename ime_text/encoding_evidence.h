// Telling the encoding of a dictionary text that has no byte-order mark,
// and finding the bytes that do not decode in the encoding chosen.
//
// A damaged file (a Latin-1 "é" in a comment, a last character cut short)
// is still mostly one encoding, so the choice weighs what the whole text
// shows for each encoding instead of stopping at the first fault.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ime_text/text_encoding.h"

namespace brenlow {

enum class utf_16_order { none, little_endian, big_endian };

// UTF-16 without a byte-order mark, seen in the first line: read as UTF-16
// of one byte order, the text up to its first line feed (or its end)
// holds no NUL character and at least two ASCII characters counting that
// line feed (a TAB after a reading, the "!" of a header, CR LF), each a
// NUL byte beside an ASCII byte. An 8-bit text shows that only with two
// NUL bytes in those places.
utf_16_order find_utf_16_pattern(std::string_view text);

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
  // Two-byte sequences made of half-width katakana bytes (0xA1-0xDF, as
  // Shift_JIS writes them) are not counted as characters: ﾏｲﾅｽ is also
  // valid UTF-8.
  reading_evidence utf_8;
  // Characters are pairs of lead and trail byte; half-width katakana bytes
  // are counted apart.
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
  // Every byte decodes in the encoding decided.
  bool decodes_throughout = false;
};

// Text with no byte above 0x7F is taken as Shift_JIS (both read it the
// same). Otherwise UTF-8 when it is valid UTF-8 with characters, Shift_JIS
// when it is valid Shift_JIS and not valid EUC-JP with characters; failing
// both, the encoding with the fewest bad lines, if at most one in four
// lines with non-ASCII bytes is bad in it and every other encoding has at
// least three times as many bad lines, plus two. Anything else (EUC-JP,
// binary data, a mixture) is undecided.
encoding_verdict judge_encoding(const encoding_evidence& evidence);

// The same for text, faster: valid UTF-8 and valid Shift_JIS are told by
// readings that stop at their first fault, and the whole evidence is
// gathered only for text that is neither.
encoding_verdict judge_encoding(std::string_view text);

// The offset in line of the first byte that does not decode in encoding,
// or std::string_view::npos. In UTF-8 that is the start of any sequence
// that is not well-formed; in Shift_JIS a lead byte (0x81-0x9F, 0xE0-0xFC)
// not followed by a trail byte (0x40-0x7E, 0x80-0xFC) in the line, or a
// byte 0xFD-0xFF, which no character of Windows' Shift_JIS starts with.
std::size_t find_undecodable(std::string_view line, text_encoding encoding);

}  // namespace brenlow
