// The one place that knows the line end: everything the program prints goes
// through an output_stream, which collects it and hands it to its file in
// large blocks.
#pragma once

#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

namespace brenlow {

enum class line_end { crlf, lf };

struct output_stream {
  std::FILE* file = nullptr;  // nullptr: everything stays in the buffer
  line_end eol = line_end::crlf;
  std::unique_ptr<char[]> buffer;
  std::size_t used = 0;
  std::size_t capacity = 0;
  int error = 0;  // errno of the first failed write; later writes are dropped
  // UTF-16LE output: what is written to the stream is UTF-8, handed to the
  // file as UTF-16LE after a byte-order mark, through utf_16 (room for a
  // whole buffer's worth). A sequence cut at the buffer's end waits in
  // pending for the rest of it.
  bool utf_16le = false;
  bool mark_written = false;
  std::unique_ptr<char[]> utf_16;
  char pending[4] = {};
  std::size_t pending_size = 0;
};

// A stream writing to file, or, for nullptr, collecting the whole output
// (see written_text). With utf_16le, UTF-8 written to a stream with a file
// reaches the file as UTF-16LE with a byte-order mark (a stream without a
// file keeps the UTF-8).
output_stream make_output_stream(std::FILE* file, line_end eol,
                                 bool utf_16le = false);

// Makes room for size more bytes: hands the buffer to the file, or grows it.
void make_output_room(output_stream& stream, std::size_t size);

// Writes bytes that do not fit in the room left. A stream with a file hands
// its buffer over and then writes bytes longer than the whole buffer
// straight to the file, so that its buffer never grows: once a stream with
// a file exists, writing to it allocates nothing.
void write_past_room(output_stream& stream, std::string_view bytes);

inline void write_bytes(output_stream& stream, std::string_view bytes) {
  if (stream.capacity - stream.used < bytes.size()) {
    write_past_room(stream, bytes);
    return;
  }
  if (!bytes.empty()) {
    std::memcpy(stream.buffer.get() + stream.used, bytes.data(), bytes.size());
  }
  stream.used += bytes.size();
}

inline void write_byte(output_stream& stream, char value) {
  if (stream.used == stream.capacity) make_output_room(stream, 1);
  stream.buffer[stream.used++] = value;
}

inline void end_line(output_stream& stream) {
  if (stream.eol == line_end::crlf) write_byte(stream, '\r');
  write_byte(stream, '\n');
}

// What a stream without a file has collected.
inline std::string_view written_text(const output_stream& stream) {
  return {stream.buffer.get(), stream.used};
}

// Hands what is left to the file and flushes it. Returns 0, or the errno of
// the first write or flush that failed.
int finish_output(output_stream& stream);

}  // namespace brenlow
