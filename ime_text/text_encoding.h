// Telling the encoding of a dictionary text, and turning UTF-16 into UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ime_text/line_problem.h"

namespace brenlow {

// The encodings the line rules work in; UTF-16 input is decoded to UTF-8
// first.
enum class text_encoding { shift_jis, utf_8 };

// What the command line says of the input's encoding.
enum class encoding_choice { guess, shift_jis, utf_8, utf_16le, utf_16be };

// "sjis", "utf-8", "utf-16le", "utf-16be" as --encoding takes them.
const char* choice_name(encoding_choice choice);

// The text to convert, in the encoding its rules and output use.
struct prepared_input {
  std::string_view text;
  std::string decoded;  // holds text when it was decoded from UTF-16
  text_encoding encoding = text_encoding::shift_jis;
  std::string reason;  // how the encoding was chosen, for --verbose
  // Where text starts in the file (after a mark), for byte offsets.
  std::size_t offset = 0;
  // Every byte of text decodes, so lines need not be checked one by one.
  bool decodes_throughout = false;
  // The encoding was guessed from the evidence: a Shift_JIS line that reads
  // as UTF-8 is skipped, not filed as mojibake.
  bool guessed = false;
  // text was decoded from UTF-16: its undecodable bytes stand for UTF-16
  // faults (see decode_utf_16).
  bool from_utf_16 = false;
};

// Decides the encoding of raw. A byte-order mark decides (UTF-16 is decoded
// to UTF-8, a UTF-8 mark dropped) and must agree with choice; without one,
// choice decides, and a guess takes UTF-16 when the first line shows its
// pattern (find_utf_16_pattern) and the decoded text looks like entries,
// stops at a NUL byte otherwise, and weighs the evidence of the whole text
// (judge_encoding). Returns false and fills problem for text whose encoding
// cannot be told, which is EUC-JP, or which joins UTF-16 and 8-bit text
// (find_encoding_change). prepared.text may point into raw, which must
// outlive it.
bool decide_encoding(std::string_view raw, encoding_choice choice,
                     prepared_input& prepared, line_problem& problem);

// True when a text starting with start may hold NUL bytes that are no
// fault: UTF-16 by its mark, by choice, or, for a guess, by the pattern of
// its first line (as far as start reaches). Any other text is refused at
// its first NUL byte, so its reading can stop there.
bool may_hold_nul_bytes(std::string_view start, encoding_choice choice);

// Finds a NUL byte, which no text dictionary holds. Returns true and fills
// problem if there is one.
bool find_nul_byte(std::string_view text, line_problem& problem);

// "UTF-8" or "Shift_JIS".
const char* encoding_name(text_encoding encoding);

enum class byte_order_mark { none, utf_8, utf_16le, utf_16be };

// The mark the text starts with, if any.
byte_order_mark find_byte_order_mark(std::string_view text);

// Its length in bytes (0 for none).
std::size_t mark_length(byte_order_mark mark);

// "UTF-8", "UTF-16LE", "UTF-16BE" (empty for none).
const char* mark_name(byte_order_mark mark);

// Length of the well-formed UTF-8 sequence at bytes[pos] (pos < size; an
// ASCII byte is one), or 0 where none starts: overlong forms, surrogates,
// code points above U+10FFFF and sequences cut short are not well-formed.
std::size_t utf_8_sequence_length(const unsigned char* bytes, std::size_t size,
                                  std::size_t pos);

// Position of the first byte that is not part of a well-formed UTF-8
// sequence (overlong forms, surrogates and code points above U+10FFFF are
// not well-formed), or std::string_view::npos. has_multibyte tells whether
// the text holds a sequence of two bytes or more.
std::size_t find_invalid_utf_8(std::string_view text, bool& has_multibyte);

// Appends the UTF-8 form of code_point (at most U+10FFFF) to out. A
// surrogate code point gets its three-byte form.
void append_utf_8(std::string& out, std::uint32_t code_point);

// Appends the UTF-8 form of the UTF-16 text (without its mark) to out,
// joining surrogate pairs. An unpaired surrogate becomes the byte 0xFF and a
// final odd byte the byte 0xFE, neither of them UTF-8, so that the lines
// holding them do not decode and are skipped like any undecodable line.
// Returns how many such faults there are.
std::size_t decode_utf_16(std::string_view text, bool big_endian,
                          std::string& out);

// What the byte at an undecodable place of text decoded from UTF-16 stands
// for: "unpaired UTF-16 surrogate" or "UTF-16 text ends in half a
// character".
const char* utf_16_fault_message(char byte);

}  // namespace brenlow
