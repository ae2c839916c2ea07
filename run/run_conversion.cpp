#include "run/run_conversion.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/output_stream.h"
#include "dictionary/reading_table.h"
#include "dictionary/skk_writer.h"
#include "run/command_line.h"
#include "conversion/convert_text.h"
#include "run/output_file.h"
#include "run/platform.h"
#include "run/read_input.h"

namespace brenlow {

namespace {

void report(const std::string& message) {
  // Messages end in a line feed on every platform, like the program's
  // other output the same bytes everywhere.
  output_stream stream = make_output_stream(nullptr, line_end::lf);
  write_bytes(stream, "brenlow: ");
  write_bytes(stream, message);
  end_line(stream);
  write_error_text(written_text(stream));
}

void report_at(const std::string& file_name, const line_problem& problem) {
  std::string where = file_name;
  if (problem.line_number != 0) {
    where += ":" + std::to_string(problem.line_number);
  }
  report(where + ": " + problem.message);
}

// The exit status after the reader of standard output went away: the one a
// shell reports for a writer stopped by SIGPIPE (128 + 13), as for cat.
constexpr int reader_gone_status = 141;

int finish_standard_output(output_stream& stream) {
  const int error = finish_output(stream);
  // The reader chose to stop reading (brenlow x.txt | head): nothing went
  // wrong that a message could help with.
  if (reader_gone(error)) return reader_gone_status;
  if (error != 0) {
    report(std::string("cannot write to standard output: ") +
           std::strerror(error));
    return 1;
  }
  return 0;
}

void write_lines(output_stream& stream, const char* const* lines,
                 std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    write_bytes(stream, lines[i]);
    end_line(stream);
  }
}

int print_usage(bool with_options) {
  output_stream stream = make_output_stream(stdout, line_end::crlf);
  write_lines(stream, usage_lines, 3);
  if (with_options) write_lines(stream, option_lines, 11);
  return finish_standard_output(stream);
}

int print_version() {
  output_stream stream = make_output_stream(stdout, line_end::crlf);
  write_lines(stream, usage_lines, 1);
  return finish_standard_output(stream);
}

int command_line_error(const std::string& message) {
  report(message);
  output_stream stream = make_output_stream(nullptr, line_end::crlf);
  write_lines(stream, usage_lines, 3);
  write_error_text(written_text(stream));
  return 2;
}

// Reads the whole input into text; reports and returns false on failure.
bool read_input(const run_options& options, const std::string& shown_name,
                text_buffer& text) {
  std::FILE* file = stdin;
  if (options.input_name != "-") {
    file = open_input_file(options.input_name);
    if (file == nullptr) {
      report("cannot open '" + shown_name + "': " + std::strerror(errno));
      return false;
    }
  }
  const int error = read_whole_file(file, text);
  // Closing a file only read cannot lose data; the read was checked.
  if (file != stdin) (void)std::fclose(file);
  if (error != 0) {
    report("cannot read '" + shown_name + "': " + std::strerror(error));
    return false;
  }
  return true;
}

const char* encoding_name(text_encoding encoding) {
  return encoding == text_encoding::utf_8 ? "UTF-8" : "Shift_JIS";
}

int write_dictionary(const run_options& options, const reading_table& table,
                     const skk_layout& layout,
                     std::vector<long_line>& long_lines) {
  if (!options.has_output) {
    output_stream stream = make_output_stream(stdout, options.eol);
    long_lines = write_skk_dictionary(table, stream, layout);
    return finish_standard_output(stream);
  }
  replacement_file replacement;
  int error = open_replacement(options.output_name, replacement);
  if (error != 0) {
    report("cannot create a file beside '" + options.output_name +
           "': " + std::strerror(error));
    return 1;
  }
  output_stream stream = make_output_stream(replacement.file, options.eol);
  try {
    long_lines = write_skk_dictionary(table, stream, layout);
  } catch (...) {
    abandon_replacement(replacement);  // no half-written file left behind
    throw;
  }
  error = finish_output(stream);
  if (error != 0) {
    abandon_replacement(replacement);
  } else {
    error = commit_replacement(replacement);
  }
  if (error != 0) {
    report("cannot write '" + options.output_name + "': " +
           std::strerror(error) + "; it is left as it was");
    return 1;
  }
  return 0;
}

// Reads, converts and writes the named dictionary; the exit status.
int convert_file(const run_options& options, const std::string& shown_name) {
  reading_table& table = program_reading_table;
  clear(table);
  // The table holds views into the input, so it lives until the table is
  // cleared at the end of the run.
  text_buffer raw;
  if (!read_input(options, shown_name, raw)) return 1;
  prepared_input input;
  line_problem problem;
  if (!prepare_input(std::string_view(raw.data(), raw.size()),
                     options.encoding, input, problem) ||
      find_nul_byte(input.text, problem)) {
    report_at(shown_name, problem);
    return 1;
  }

  std::vector<line_problem> skipped;
  const conversion_counts counts =
      convert_lines(input.text, input.encoding, table, skipped);
  for (const line_problem& line : skipped) report_at(shown_name, line);
  if (options.verbose) {
    report(shown_name + ": " + encoding_name(input.encoding) + " (" +
           input.reason + "); " + std::to_string(counts.lines) +
           " lines read, " + std::to_string(counts.comment_or_empty_lines) +
           " comment or empty, " + std::to_string(counts.filed_lines) +
           " entries filed under " + std::to_string(table.entries.size()) +
           " readings, " + std::to_string(counts.skipped_lines) + " skipped");
  }
  if (options.strict && !skipped.empty()) {
    report(shown_name + ": " + std::to_string(skipped.size()) +
           " line(s) could not be converted; nothing written (--strict)");
    clear(table);
    return 1;
  }

  skk_layout layout;
  layout.encoding = input.encoding == text_encoding::utf_8
                        ? dictionary_encoding::utf_8
                        : dictionary_encoding::shift_jis;
  layout.order = options.sort;
  layout.comment_line_first = options.sort != sort_order::input;
  std::vector<long_line> long_lines;
  const int status = write_dictionary(options, table, layout, long_lines);
  for (const long_line& line : status == 0 ? long_lines
                                           : std::vector<long_line>()) {
    report(shown_name + ": the line of reading '" + std::string(line.reading) +
           "' (output line " + std::to_string(line.line_number) + ") has " +
           std::to_string(line.characters) +
           " characters; Emacs SKK's binary search cannot pass lines of " +
           std::to_string(emacs_skk_long_line) +
           " or more: have it search this dictionary linearly (see README)");
  }
  clear(table);
  return status;
}

}  // namespace

int run_conversion(int argc, char** argv) {
  if (argc < 2) return print_usage(false);
  run_options options;
  std::string error;
  if (!parse_command_line(argc, argv, options, error)) {
    return command_line_error(error);
  }
  if (options.help) return print_usage(true);
  if (options.version) return print_version();
  if (!options.has_input) return command_line_error("no dictionary file named");
  const std::string shown_name =
      options.input_name == "-" ? "standard input" : options.input_name;
  try {
    return convert_file(options, shown_name);
  } catch (const std::bad_alloc&) {
    // Unwinding has freed the input; the table goes too, which leaves room
    // for the message.
    clear(program_reading_table);
    report(shown_name + ": out of memory");
    return 1;
  }
}

}  // namespace brenlow
