// Reading the whole input into memory.
#pragma once

#include <cstdio>
#include <vector>

#include "base/large_allocator.h"

namespace brenlow {

using text_buffer = std::vector<char, large_allocator<char>>;

// Appends every byte of file, read in binary, to text. Returns 0, or the
// errno of the read that failed. Throws std::bad_alloc when the text does not
// fit in memory.
int read_whole_file(std::FILE* file, text_buffer& text);

}  // namespace brenlow
