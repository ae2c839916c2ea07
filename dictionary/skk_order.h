// The orders in which an SKK dictionary's entries can be written, and the
// comparison Emacs SKK makes when it binary-searches a dictionary.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/large_allocator.h"
#include "dictionary/reading_table.h"
#include "encodings/output_encoding.h"

namespace brenlow {

enum class sort_order {
  input,  // the order of first appearance
  skk,    // as Emacs SKK compares readings (emacs-mule bytes)
  bytes,  // unsigned byte order of the readings as written (libskk, UTF-8)
};

// Appends the bytes Emacs SKK compares for reading (skk-string< in ddskk:
// string< of the emacs-mule encoding) when the dictionary is read in the
// Japanese language environment as cp932 (Shift_JIS), utf-8, euc-jp or
// euc-jis-2004. UTF-16LE output is held as UTF-8 until it is written, and
// its readings are given as UTF-8. Characters
// emacs-mule cannot place, such as emoji, and CJK ideographs beyond the
// Basic Multilingual Plane are a space, as emacs-mule writes the former.
void append_emacs_mule_key(std::string_view reading, output_encoding encoding,
                           std::string& key);

using entry_order = std::vector<std::uint32_t, large_allocator<std::uint32_t>>;

// The positions in table.entries in the order asked for: ascending, or
// descending when descending is set (okuri-ari sections run backwards);
// entries that compare equal keep table order. Sort keys are made once per
// reading. Throws std::bad_alloc when memory runs out.
entry_order order_entries(const reading_table& table, sort_order order,
                          output_encoding encoding, bool descending);

}  // namespace brenlow
