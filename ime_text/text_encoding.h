// Telling the encoding of a dictionary text, and turning UTF-16 into UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brenlow {

enum class byte_order_mark { none, utf_8, utf_16le, utf_16be };

// The mark the text starts with, if any.
byte_order_mark find_byte_order_mark(std::string_view text);

// Its length in bytes (0 for none).
std::size_t mark_length(byte_order_mark mark);

// "UTF-8", "UTF-16LE", "UTF-16BE" (empty for none).
const char* mark_name(byte_order_mark mark);

// Position of the first byte that is not part of a well-formed UTF-8
// sequence (overlong forms, surrogates and code points above U+10FFFF are
// not well-formed), or std::string_view::npos. has_multibyte tells whether
// the text holds a sequence of two bytes or more.
std::size_t find_invalid_utf_8(std::string_view text, bool& has_multibyte);

// Appends the UTF-8 form of code_point (at most U+10FFFF) to out. A
// surrogate code point gets its three-byte form.
void append_utf_8(std::string& out, std::uint32_t code_point);

// What went wrong in a decoding; line_number counts from 1.
struct decoding_problem {
  std::size_t line_number = 0;
  std::string message;
};

// Appends the UTF-8 form of the UTF-16 text (without its mark) to out,
// joining surrogate pairs. Returns false and fills problem at an unpaired
// surrogate or a final odd byte.
bool decode_utf_16(std::string_view text, bool big_endian, std::string& out,
                   decoding_problem& problem);

}  // namespace brenlow
