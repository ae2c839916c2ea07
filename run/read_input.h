// Reading the whole input into memory.
#pragma once

#include <cstdio>
#include <vector>

#include "base/large_allocator.h"
#include "encodings/decide_encoding.h"

namespace brenlow {

using text_buffer = std::vector<char, large_allocator<char>>;

// Appends every byte of file, read in binary, to text; or, when what is
// read holds a NUL byte and is no UTF-16 (may_hold_nul_bytes on the first
// read, for choice), stops after the read that brought it (1 MiB at most),
// keeping the bytes up to and including that NUL. No text dictionary holds
// a NUL byte outside UTF-16, and a file of zeros (/dev/zero, a sparse file)
// need not be read whole to say so. Returns 0, or the errno of the read
// that failed. Throws std::bad_alloc when the text does not fit in memory.
int read_whole_file(std::FILE* file, encoding_choice choice, text_buffer& text);

}  // namespace brenlow
