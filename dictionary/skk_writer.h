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
  // Starts the file with a comment line (when it has no coding line):
  // libskk finds ";; okuri-ari entries." only after a line end.
  bool comment_line_first = false;
};

// Writes ";; okuri-ari entries.", the entries of okuri_ari (if given), then
// ";; okuri-nasi entries." and the entries of table: one line per entry, the
// reading, " /", and each candidate followed by "/". Sorted, okuri-ari
// entries come in descending byte order of their keys, as SKK clients
// search them. Bytes are written as the tables hold them. Errors are left
// in stream (see finish_output).
void write_skk_dictionary(const reading_table& table, output_stream& stream,
                          const skk_layout& layout = {},
                          const reading_table* okuri_ari = nullptr);

}  // namespace brenlow
