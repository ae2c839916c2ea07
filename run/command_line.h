// The command line: options first, then the dictionary's file name; "--"
// ends the options and anything after the file name is ignored (and named
// in a warning when it looks like an option).
#pragma once

#include <string>
#include <vector>

#include "base/output_stream.h"
#include "dictionary/skk_order.h"
#include "encodings/output_encoding.h"
#include "encodings/text_encoding.h"
#include "formats/input_format.h"
#include "run/program_presets.h"
#include "skk_rules/skk_entry.h"

namespace brenlow {

struct run_options {
  bool has_input = false;
  std::string input_name;  // "-" reads standard input
  bool has_output = false;
  std::string output_name;
  encoding_choice encoding = encoding_choice::guess;
  bool format_forced = false;  // --format; otherwise told from the text
  input_format format = input_format::tab_text;
  sort_order sort = sort_order::input;
  bool sort_given = false;
  bool okuri_ari = false;
  line_end eol = line_end::crlf;
  bool eol_given = false;
  // --to; otherwise the input's encoding (EUC-JP for a CDB).
  bool has_to = false;
  output_encoding to = output_encoding::utf_8;
  bool to_given = false;  // --to itself, not a preset's choice
  bool cdb = false;       // --cdb, or a preset's CDB for -o NAME.cdb
  // --merge: the SKK dictionary the words are added to, and its encoding
  // when --merge-encoding gives it.
  bool has_merge = false;
  std::string merge_name;
  bool merge_encoding_given = false;
  output_encoding merge_encoding = output_encoding::euc_jp;
  // --exclude: dictionaries whose words are left out.
  std::vector<std::string> exclude_names;
  // The program's limits (program_preset), 0 for none.
  std::size_t longest_line = 0;
  std::size_t longest_value = 0;
  // --for: the program the output is for (nullptr: none); "help" lists
  // them.
  const program_preset* preset = nullptr;
  bool preset_help = false;
  bool strict = false;
  entry_rules rules;  // --csv-quotes, --raw-readings, --unique,
                      // --no-annotations
  bool verbose = false;
  bool help = false;
  bool version = false;
  // What followed the file name.
  std::vector<std::string> ignored;
};

// Fills options from argv[1] on, then what --for's program needs where no
// option said otherwise. Returns false with a message naming the unknown
// option, the missing or bad value, or the choice the program cannot read.
bool parse_command_line(int argc, char** argv, run_options& options,
                        std::string& error);

// The three lines printed without an argument.
extern const char* const usage_lines[3];

// What --help prints after usage_lines: a heading, then each option's
// names and value, with its help text from column 26 on (lines without
// their line ends). Made from the table parse_command_line reads, so an
// option is listed as it is taken.
std::vector<std::string> option_help_lines();

}  // namespace brenlow
