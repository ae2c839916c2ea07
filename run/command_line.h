// The command line: options first, then the dictionary's file name; "--"
// ends the options and anything after the file name is ignored (and named
// in a warning when it looks like an option).
#pragma once

#include <string>
#include <vector>

#include "base/output_stream.h"
#include "dictionary/skk_order.h"
#include "encodings/text_encoding.h"
#include "formats/input_format.h"
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
  bool okuri_ari = false;
  line_end eol = line_end::crlf;
  bool strict = false;
  entry_rules rules;  // --csv-quotes, --raw-readings, --unique,
                      // --no-annotations
  bool verbose = false;
  bool help = false;
  bool version = false;
  // What followed the file name.
  std::vector<std::string> ignored;
};

// Fills options from argv[1] on. Returns false with a message naming the
// unknown option or the missing or bad value.
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
