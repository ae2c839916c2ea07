// The encodings of dictionary texts: the two the line rules work in, what
// the command line may name, byte-order marks, and UTF-16 turned into
// UTF-8. What decodes is in decodable.h, the weighing of a text without a
// mark in encoding_evidence.h, the decision in decide_encoding.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/byte_facts.h"

namespace brenlow {

// What the command line says of the input's encoding.
enum class encoding_choice { guess, shift_jis, utf_8, utf_16le, utf_16be };

// "sjis", "utf-8", "utf-16le", "utf-16be" as --encoding takes them.
const char* choice_name(encoding_choice choice);

// "UTF-8" or "Shift_JIS".
const char* encoding_name(text_encoding encoding);

enum class byte_order_mark { none, utf_8, utf_16le, utf_16be };

// The mark the text starts with, if any.
byte_order_mark find_byte_order_mark(std::string_view text);

// Its length in bytes (0 for none).
std::size_t mark_length(byte_order_mark mark);

// "UTF-8", "UTF-16LE", "UTF-16BE" (empty for none).
const char* mark_name(byte_order_mark mark);

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
