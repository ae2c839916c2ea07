// The byte facts of the encodings brenlow reads and writes, each named
// once: every part of the program asks here instead of spelling out a
// range of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brenlow {

// The encodings the line rules work in; UTF-16 input is decoded to UTF-8
// first.
enum class text_encoding { shift_jis, utf_8 };

// Number of bytes of the character that starts at text[pos] (pos < size):
// a Shift_JIS byte that starts a pair and the byte after it, or one whole
// UTF-8 sequence by its first byte. Never reaches past the end of text: a
// character cut short by the end of the text counts as the bytes that are
// there. Bytes are stepped over, not checked: checking is decodable.h's.
std::size_t char_length(std::string_view text, std::size_t pos,
                        text_encoding encoding);

// The same by table: the bytes a character takes by its first byte, for
// loops that step through many characters (not cut at the end of text).
const unsigned char* character_steps(text_encoding encoding);

// How many bytes of text are line feeds, 16 or 8 bytes at a time rather
// than a call per line: what the table is sized by before its lines are
// filed.
std::size_t count_line_feeds(std::string_view text);

// Shift_JIS, as Windows' code page 932 writes it.

// A byte that takes the byte after it into its character when text is
// stepped through: 0x81-0x9F and 0xE0-0xFF. 0xFD-0xFF start no valid
// character, but stepping over the byte after them keeps that byte from
// being taken for a TAB or a reserved character.
constexpr bool starts_shift_jis_pair(unsigned byte) {
  return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0;
}

// The first byte of a valid pair: 0x81-0x9F and 0xE0-0xFC.
constexpr bool is_shift_jis_lead(unsigned byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The second byte of a pair: 0x40-0x7E and 0x80-0xFC.
constexpr bool is_shift_jis_trail(unsigned byte) {
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// A half-width katakana or sign, a character of one byte: 0xA1-0xDF.
constexpr bool is_half_width_katakana_byte(unsigned byte) {
  return byte >= 0xA1 && byte <= 0xDF;
}

// The hiragana ぁ (U+3041) to ん (U+3093), in the same order as the
// Shift_JIS pairs 82 9F to 82 F1.
constexpr char32_t first_hiragana = U'ぁ';
constexpr int hiragana_count = U'ん' - U'ぁ' + 1;
constexpr unsigned hiragana_lead = 0x82;
constexpr unsigned first_hiragana_trail = 0x9F;

// The index from ぁ of the hiragana the pair is, or -1.
constexpr int hiragana_of_pair(unsigned lead, unsigned trail) {
  return lead == hiragana_lead && trail >= first_hiragana_trail &&
                 trail < first_hiragana_trail + hiragana_count
             ? static_cast<int>(trail - first_hiragana_trail)
             : -1;
}

// UTF-8 and UTF-16.

// What a UTF-8 reader takes: well-formed UTF-8 only, or surrogates too
// (the form Windows file names with a lone surrogate take when carried as
// UTF-8).
enum class utf_8_policy { well_formed, surrogates_too };

// Length of the well-formed UTF-8 sequence at bytes[pos] (pos < size; an
// ASCII byte is one), or 0 where none starts: overlong forms, surrogates
// (unless the policy takes them), code points above U+10FFFF and sequences
// cut short are not well-formed.
std::size_t utf_8_sequence_length(
    const unsigned char* bytes, std::size_t size, std::size_t pos,
    utf_8_policy policy = utf_8_policy::well_formed);

// The one UTF-8 decoder: the code point of the well-formed sequence at
// bytes[pos] (pos < size) and its length, or a length of 0 where none
// starts. What happens then is the caller's policy: skip the line, count a
// fault, put a replacement character.
struct decoded_character {
  char32_t code_point;
  std::size_t length;
};
decoded_character decode_utf_8(const unsigned char* bytes, std::size_t size,
                               std::size_t pos,
                               utf_8_policy policy = utf_8_policy::well_formed);

// Appends the UTF-8 form of code_point (at most U+10FFFF) to out. A
// surrogate code point gets its three-byte form.
void append_utf_8(std::string& out, std::uint32_t code_point);

constexpr bool is_high_surrogate(std::uint32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool is_low_surrogate(std::uint32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}
// The code point of a pair of surrogates, high then low.
constexpr char32_t joined_surrogates(std::uint32_t high, std::uint32_t low) {
  return static_cast<char32_t>(0x10000 + ((high - 0xD800) << 10) +
                               (low - 0xDC00));
}

// Shift_JIS text as a message in UTF-8 shows it: ASCII, the hiragana and
// the prolonged sound mark (ー), which are what typed readings are made of,
// as themselves; any other byte or pair as its bytes in hex, <8FA1>.
std::string shown_as_utf_8(std::string_view shift_jis);

}  // namespace brenlow
