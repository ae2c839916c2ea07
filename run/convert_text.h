// The conversion of a whole dictionary text held in memory, without any
// input or output of its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/reading_table.h"
#include "ime_text/entry_line.h"

struct line_problem {
  std::size_t line_number = 0;  // 1-based; 0 when it concerns the whole text
  std::string message;
};

struct conversion_counts {
  std::size_t lines = 0;
  std::size_t comment_or_empty_lines = 0;
  std::size_t filed_lines = 0;
  std::size_t skipped_lines = 0;
};

// Finds what makes text no text dictionary at all: a byte-order mark of a
// Unicode encoding, or a NUL byte. Returns true and fills problem if so.
bool find_text_problem(std::string_view text, line_problem& problem);

// Files the reading and word of every entry line of text in table. A line
// ends at a line feed, which goes with a CR directly before it; a last line
// without a line feed loses only a trailing CR. Lines starting with "!" and
// empty lines are skipped; so are entry lines that cannot be filed, which
// are added to skipped. The table keeps views into text, which must outlive
// the table's contents.
conversion_counts convert_lines(std::string_view text, text_encoding encoding,
                                reading_table& table,
                                std::vector<line_problem>& skipped);
