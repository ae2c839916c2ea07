// The conversion of a whole dictionary text held in memory into a reading
// table, without any input or output of its own: what the program and the
// fuzz target both run.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "dictionary/reading_table.h"
#include "ime_text/entry_line.h"
#include "base/line_problem.h"
#include "encodings/decide_encoding.h"

namespace brenlow {

struct conversion_counts {
  std::size_t lines = 0;
  std::size_t comment_or_empty_lines = 0;
  std::size_t filed_lines = 0;
  std::size_t skipped_lines = 0;
  std::size_t skipped_by_reason[skip_reason_count] = {};
  std::size_t readings_typed = 0;  // readings changed to their typed form
  std::size_t annotations = 0;     // words written with an annotation
  // Verb or adjective lines from which no okuri-ari key could be derived.
  std::size_t lines_without_okuri_ari = 0;
};

// Told of each line that is skipped, as the conversion comes to it.
using skipped_line_sink = std::function<void(const line_problem&)>;

// Files the reading and SKK candidate (skk_candidate) of every entry line
// of text in table, read by rules. Comment and empty lines are passed over;
// lines that cannot be filed go to skipped, an undecodable one named by the
// offset of its fault in the file, text being offset bytes into it. The
// table keeps views into text, which must outlive the table's contents.
// With okuri_ari, the okuri-ari keys derived from each verb or adjective
// (by its part-of-speech field) are filed there too, each candidate once
// per key.
conversion_counts convert_lines(std::string_view text, text_encoding encoding,
                                const entry_rules& rules, reading_table& table,
                                const skipped_line_sink& skipped,
                                std::size_t offset = 0,
                                reading_table* okuri_ari = nullptr);

// Decides the encoding of raw (see decide_encoding), checks it for NUL bytes
// and converts its lines into table. Returns false and fills problem when
// the text cannot be converted at all; input keeps the text the table's
// views point into (with raw). When raw was UTF-16, decoded into input,
// release_raw (if given) is called before the lines are converted: raw is
// no longer needed, and its memory can go before the table's comes.
// okuri_ari as for convert_lines.
bool convert_text(std::string_view raw, encoding_choice choice,
                  const entry_rules& rules, reading_table& table,
                  const skipped_line_sink& skipped, prepared_input& input,
                  conversion_counts& counts, line_problem& problem,
                  const std::function<void()>& release_raw = nullptr,
                  reading_table* okuri_ari = nullptr);

}  // namespace brenlow
