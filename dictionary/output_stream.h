// The one place that knows the line end: everything the program prints goes
// through an output_stream, which collects it and hands it to its file in
// large blocks.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

enum class line_end { crlf, lf };

struct output_stream {
  std::FILE* file = nullptr;  // nullptr: everything stays in buffer
  line_end eol = line_end::crlf;
  std::string buffer;
  int error = 0;  // errno of the first failed write; later writes are dropped
};

// A stream writing to file (nullptr collects the whole output in
// stream.buffer).
output_stream make_output_stream(std::FILE* file, line_end eol);

void write_bytes(output_stream& stream, std::string_view bytes);
void end_line(output_stream& stream);

// Hands what is left to the file and flushes it. Returns 0, or the errno of
// the first write or flush that failed.
int finish_output(output_stream& stream);
