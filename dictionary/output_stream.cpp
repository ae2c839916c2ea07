#include "dictionary/output_stream.h"

#include <cerrno>

namespace {

constexpr std::size_t block_size = 1 << 20;

void hand_over(output_stream& stream) {
  if (stream.file == nullptr || stream.buffer.empty()) return;
  if (stream.error == 0) {
    errno = 0;
    const std::size_t written = std::fwrite(
        stream.buffer.data(), 1, stream.buffer.size(), stream.file);
    if (written != stream.buffer.size()) stream.error = errno ? errno : EIO;
  }
  stream.buffer.clear();
}

}  // namespace

output_stream make_output_stream(std::FILE* file, line_end eol) {
  output_stream stream;
  stream.file = file;
  stream.eol = eol;
  if (file != nullptr) {
    stream.buffer.reserve(block_size);
    // The stream does its own buffering; a second copy in stdio buys nothing.
    std::setvbuf(file, nullptr, _IONBF, 0);
  }
  return stream;
}

void write_bytes(output_stream& stream, std::string_view bytes) {
  stream.buffer.append(bytes);
  if (stream.buffer.size() >= block_size) hand_over(stream);
}

void end_line(output_stream& stream) {
  write_bytes(stream, stream.eol == line_end::crlf ? "\r\n" : "\n");
}

int finish_output(output_stream& stream) {
  hand_over(stream);
  if (stream.file != nullptr && stream.error == 0) {
    errno = 0;
    if (std::fflush(stream.file) != 0 || std::ferror(stream.file)) {
      stream.error = errno ? errno : EIO;
    }
  }
  return stream.error;
}
