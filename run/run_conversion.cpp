#include "run/run_conversion.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dictionary/output_stream.h"
#include "dictionary/reading_table.h"
#include "dictionary/skk_writer.h"
#include "run/convert_text.h"
#include "run/read_input.h"

namespace {

void report(const std::string& message) {
  std::fprintf(stderr, "brenlow: %s\n", message.c_str());
}

void report_at(const std::string& file_name, const line_problem& problem) {
  std::string where = file_name;
  if (problem.line_number != 0) {
    where += ":" + std::to_string(problem.line_number);
  }
  report(where + ": " + problem.message);
}

int finish_standard_output(output_stream& stream) {
  const int error = finish_output(stream);
  if (error != 0) {
    report(std::string("cannot write to standard output: ") +
           std::strerror(error));
    return 1;
  }
  return 0;
}

int print_usage() {
  output_stream stream = make_output_stream(stdout, line_end::crlf);
  for (const char* line :
       {"Brenlow Version 0.00", "usage:", "brenlow ime-textdic-file"}) {
    write_bytes(stream, line);
    end_line(stream);
  }
  return finish_standard_output(stream);
}

// Reads the whole file into text; reports and returns false on failure.
bool read_input(const std::string& file_name, text_buffer& text) {
  std::FILE* file = std::fopen(file_name.c_str(), "rb");
  if (file == nullptr) {
    report("cannot open '" + file_name + "': " + std::strerror(errno));
    return false;
  }
  const int error = read_whole_file(file, text);
  std::fclose(file);
  if (error != 0) {
    report("cannot read '" + file_name + "': " + std::strerror(error));
    return false;
  }
  return true;
}

}  // namespace

int run_conversion(int argc, char** argv) {
  if (argc < 2) return print_usage();
  const std::string file_name = argv[1];

  reading_table& table = program_reading_table;
  clear(table);
  // The table holds views into text, so text lives until the table is
  // cleared at the end of the run.
  text_buffer input;
  if (!read_input(file_name, input)) return 1;
  const std::string_view text(input.data(), input.size());

  line_problem problem;
  if (find_text_problem(text, problem)) {
    report_at(file_name, problem);
    return 1;
  }
  std::vector<line_problem> skipped;
  convert_lines(text, text_encoding::shift_jis, table, skipped);
  for (const line_problem& line : skipped) report_at(file_name, line);

  output_stream stream = make_output_stream(stdout, line_end::crlf);
  write_skk_dictionary(table, stream);
  clear(table);
  return finish_standard_output(stream);
}
