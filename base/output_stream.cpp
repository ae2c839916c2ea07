#include "base/output_stream.h"

#include <cerrno>

namespace brenlow {

namespace {

constexpr std::size_t block_size = 1 << 20;

void write_to_file(output_stream& stream, const char* bytes, std::size_t size) {
  if (stream.error != 0) return;
  errno = 0;
  if (std::fwrite(bytes, 1, size, stream.file) != size) {
    stream.error = errno ? errno : EIO;
  }
}

void hand_over(output_stream& stream) {
  if (stream.file == nullptr || stream.used == 0) return;
  write_to_file(stream, stream.buffer.get(), stream.used);
  stream.used = 0;
}

void grow(output_stream& stream, std::size_t capacity) {
  std::unique_ptr<char[]> bigger(new char[capacity]);
  if (stream.used != 0)
    std::memcpy(bigger.get(), stream.buffer.get(), stream.used);
  stream.buffer = std::move(bigger);
  stream.capacity = capacity;
}

}  // namespace

output_stream make_output_stream(std::FILE* file, line_end eol) {
  output_stream stream;
  stream.file = file;
  stream.eol = eol;
  grow(stream, file != nullptr ? block_size : 4096);
  if (file != nullptr) {
    // The stream does its own buffering; a second copy in stdio buys nothing
    // (and costs only a copy when setvbuf fails).
    (void)std::setvbuf(file, nullptr, _IONBF, 0);
  }
  return stream;
}

void make_output_room(output_stream& stream, std::size_t size) {
  if (stream.file != nullptr) {
    hand_over(stream);
    if (size <= stream.capacity) return;
  }
  std::size_t capacity = stream.capacity * 2;
  while (capacity - stream.used < size) capacity *= 2;
  grow(stream, capacity);
}

void write_past_room(output_stream& stream, std::string_view bytes) {
  if (stream.file != nullptr && bytes.size() > stream.capacity) {
    hand_over(stream);
    write_to_file(stream, bytes.data(), bytes.size());
    return;
  }
  make_output_room(stream, bytes.size());
  std::memcpy(stream.buffer.get() + stream.used, bytes.data(), bytes.size());
  stream.used += bytes.size();
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

}  // namespace brenlow
