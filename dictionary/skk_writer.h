// Prints a reading table as an SKK dictionary.
#pragma once

#include "dictionary/output_stream.h"
#include "dictionary/reading_table.h"

// Writes the two section marker lines, then one line per entry in table
// order: the reading, " /", and each candidate followed by "/". Every entry
// is an okuri-nasi entry. Bytes are written as the table holds them.
// Errors are left in stream (see finish_output).
void write_skk_dictionary(const reading_table& table, output_stream& stream);
