// What decodes in the encodings the line rules work in: Shift_JIS as code
// page 932 has it (the pairs it has characters for) and well-formed UTF-8.
#pragma once

#include <cstddef>
#include <string_view>

#include "encodings/text_encoding.h"

namespace brenlow {

// Length of the Shift_JIS character at bytes[pos] (pos < size): 1 or 2, or
// 0 where none starts (a byte 0x80, 0xA0 or 0xFD-0xFF, a lead byte without
// a trail byte it takes, a pair code page 932 has no character for).
std::size_t shift_jis_length(const unsigned char* bytes, std::size_t size,
                             std::size_t pos);

// True when the whole of bytes is valid Shift_JIS and no line of it reads
// as UTF-8 with a sequence of three bytes or more (reads_as_utf_8).
bool shift_jis_throughout(const unsigned char* bytes, std::size_t size);

// The offset in line of the first byte that does not decode in encoding,
// or std::string_view::npos. In UTF-8 that is the start of any sequence
// that is not well-formed. In Shift_JIS it is a lead byte (0x81-0x9F,
// 0xE0-0xFC) not followed in the line by a trail byte (0x40-0x7E,
// 0x80-0xFC) with which code page 932 has a character (its user-defined
// area F040-F9FC counts), or a byte 0x80, 0xA0 or 0xFD-0xFF, with which no
// character starts.
std::size_t find_undecodable(std::string_view line, text_encoding encoding);

// True when line is valid UTF-8 holding a sequence of three or four bytes:
// in a Shift_JIS file such a line is a UTF-8 line, not Shift_JIS (real
// Shift_JIS text is almost never valid UTF-8 beyond two-byte pairs).
bool reads_as_utf_8(std::string_view line);

}  // namespace brenlow
