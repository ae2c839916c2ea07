// The conversion of a whole dictionary text held in memory into SKK tables,
// without any input or output of its own: one request in, one result out.
// The input format's reader yields records, the SKK entry rules make them
// entries, the tables file them. What the program and the fuzz target both
// run.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "base/line_problem.h"
#include "base/phase_mark.h"
#include "dictionary/reading_table.h"
#include "encodings/decide_encoding.h"
#include "formats/input_format.h"
#include "formats/property_list.h"
#include "formats/record.h"
#include "skk_rules/reading_form.h"
#include "skk_rules/skk_entry.h"

namespace brenlow {

struct conversion_counts {
  std::size_t lines = 0;
  std::size_t comment_or_empty_lines = 0;
  std::size_t filed_lines = 0;
  std::size_t skipped_lines = 0;
  // Entry lines starting with "!", in a text without a "!" header.
  std::size_t bang_entry_lines = 0;
  // Lines that started with a byte-order mark, dropped, and the number of
  // the first of them (0 when there is none).
  std::size_t lines_with_mark = 0;
  std::size_t first_line_with_mark = 0;
  std::size_t skipped_by_reason[skip_reason_count] = {};
  std::size_t readings_typed = 0;  // readings changed to their typed form
  std::size_t annotations = 0;     // words written with an annotation
  // Filed lines whose reading a client cannot type, by untypable_reason,
  // and the first such line of each reason (0: none).
  std::size_t untypable_by_reason[untypable_reason_count] = {};
  std::size_t first_untypable_line[untypable_reason_count] = {};
  // Words not written again under their reading: from another source
  // reading that meets it in its typed form, or any repeat under --unique.
  std::size_t repeats_written_once = 0;
  // Annotations left out: the output's encoding or program cannot carry
  // them (the word is filed without).
  std::size_t annotations_left_out = 0;
  // Verb or adjective lines from which no okuri-ari key could be derived.
  std::size_t lines_without_okuri_ari = 0;
};

// Told of each line that is skipped, as the conversion comes to it.
using skipped_line_sink = std::function<void(const line_problem&)>;

// The tables a conversion fills: the okuri-nasi entries, and the okuri-ari
// keys of verbs and adjectives when they are wanted. Each holds its own
// copies of its readings and words.
struct skk_tables {
  reading_table okuri_nasi;
  reading_table okuri_ari;
  // okuri_nasi holds its text as the output does (held_for the rules'
  // target), not in the input's encoding: recode_table is not needed.
  bool okuri_nasi_recoded = false;
};

// Files the reading and SKK candidate (skk_candidate) of every record of
// input's text, in the line format given (TAB text, CSV or Kotoeri text),
// in tables.okuri_nasi, read by rules (whose csv_quotes only TAB text
// takes: the comma formats resolve their quotes themselves). In TAB text,
// whether "!" lines are comments is told by the first line
// (bang_lines_of).
// Comment and empty lines are passed over; lines and records that cannot be
// filed go to skipped, an undecodable one named by the offset of its fault
// in the file (input.offset being where the text starts in it). With
// okuri_ari, the okuri-ari keys derived from each verb or adjective (by its
// part of speech) are filed in tables.okuri_ari, each candidate once per
// key. The tables keep copies of what they file. Every few hundred
// kilobytes, done_with (when given) is told where the lines filed end, on
// the thread that filed them.
conversion_counts convert_lines(
    const prepared_input& input, const entry_rules& rules, bool okuri_ari,
    skk_tables& tables, const skipped_line_sink& skipped,
    input_format format = input_format::tab_text, const phase_mark& phases = {},
    const std::function<void(const char*)>& done_with = {});

// Reads input's text as a property list (read_property_list) and files
// its entries as they are read, as convert_lines files lines, each named by
// the line its entry starts on; sets counts. Returns false with problem
// set when the text is no property list of that shape: the tables are then
// partly filled, and nothing of them is to be written.
bool convert_property_list(const prepared_input& input,
                           const entry_rules& rules, bool okuri_ari,
                           skk_tables& tables, const skipped_line_sink& skipped,
                           conversion_counts& counts, line_problem& problem,
                           const phase_mark& phases = {});

// What a conversion is asked to do.
struct conversion_request {
  std::string_view raw;  // the input file's bytes
  encoding_choice encoding = encoding_choice::guess;
  entry_rules rules;
  bool okuri_ari = false;  // okuri-ari keys wanted
  // --format: the format to read; otherwise it is told from the text.
  bool format_forced = false;
  input_format format = input_format::tab_text;
  skipped_line_sink skipped = [](const line_problem&) {};
  // Called, when raw was UTF-16 and is decoded, before the lines are
  // converted: raw is no longer needed, and its memory can go before the
  // tables' comes.
  std::function<void()> release_raw;
  // Told now and then, as lines are filed (on the thread that files
  // them), that raw's bytes before the one given will not be read again.
  std::function<void(const char*)> done_with;
  // Told as the encoding's decision ("decide encoding"), the reading and
  // filing of the lines or entries ("lines") and the table's last touches
  // ("table") end.
  phase_mark phases;
};

// What it gave: a result is filled in place, never copied or moved.
struct conversion_result {
  prepared_input input;
  skk_tables tables;
  conversion_counts counts;
  line_problem problem;      // why the text could not be converted at all
  bool zip_archive = false;  // refused before anything else
  // The format read, and what the text looks like (the format read unless
  // --format named another).
  input_format format = input_format::tab_text;
  format_guess looks_like;
};

// Decides the encoding of request.raw (see decide_encoding), checks it for
// NUL bytes, tells its format (detect_format, unless request names one)
// and converts it into result.tables (convert_lines, or
// read_property_list and convert_property_list).
// Returns false and fills result.problem when the text cannot be converted
// at all; a ZIP archive is refused first, with result.zip_archive set.
bool convert_text(const conversion_request& request, conversion_result& result);

}  // namespace brenlow
