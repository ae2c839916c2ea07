// Re-encoding a filled table into the encoding its dictionary is written
// in, so that the sort orders compare the bytes as they are written.
#pragma once

#include "base/byte_facts.h"
#include "dictionary/reading_table.h"
#include "encodings/output_encoding.h"

namespace brenlow {

// The encoding a table for output in encoding holds its text in: the
// output's own, except UTF-16LE, held as UTF-8 and turned into UTF-16LE as
// it is written (see output_stream).
output_encoding held_for(output_encoding encoding);

// Rewrites every reading and word of table, held in held, into
// held_for(encoding), in the table's own storage; nothing is done when
// that is how the table holds them already. Every character must be one
// the encoding writes (the conversion skips the records holding others).
// The table's index is dropped: readings are no longer found by their
// bytes, only written. Throws std::bad_alloc when memory runs out.
void recode_table(reading_table& table, text_encoding held,
                  output_encoding encoding);

}  // namespace brenlow
