// Prints a reading table as an SKK dictionary.
#pragma once

#include "base/output_stream.h"
#include "dictionary/reading_table.h"

namespace brenlow {

struct skk_layout {
  // Starts the file with a line naming UTF-8 as its coding, for Emacs SKK
  // and libskk.
  bool utf_8_coding_line = false;
  // Entries in ascending unsigned byte order of their readings, the order
  // SKK's binary-searching clients need, instead of table order.
  bool sorted = false;
};

// Writes the two section marker lines, then one line per entry: the reading,
// " /", and each candidate followed by "/". Every entry is an okuri-nasi
// entry. Bytes are written as the table holds them. Errors are left in
// stream (see finish_output).
void write_skk_dictionary(const reading_table& table, output_stream& stream,
                          const skk_layout& layout = {});

}  // namespace brenlow
