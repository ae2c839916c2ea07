#include "base/output_stream.h"

#include <cerrno>
#include <cstdint>

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

// Writes the UTF-16LE form of the UTF-8 bytes (and of the sequence cut
// short before them) to the stream's file, the mark first. A byte that
// starts no sequence (the program writes none) becomes U+FFFD.
void write_as_utf_16(output_stream& stream, const char* bytes,
                     std::size_t size) {
  char* out = stream.utf_16.get();
  std::size_t used = 0;
  if (!stream.mark_written) {
    out[used++] = '\xFF';
    out[used++] = '\xFE';
    stream.mark_written = true;
  }
  const auto put = [&](std::uint32_t unit) {
    out[used++] = static_cast<char>(unit & 0xFF);
    out[used++] = static_cast<char>(unit >> 8);
  };
  const auto put_code_point = [&](std::uint32_t code_point) {
    if (code_point >= 0x10000) {
      code_point -= 0x10000;
      put(0xD800 + (code_point >> 10));
      put(0xDC00 + (code_point & 0x3FF));
    } else {
      put(code_point);
    }
  };
  // The sequence cut at the end of the last block comes first.
  std::size_t pos = 0;
  while (stream.pending_size != 0 && pos < size) {
    stream.pending[stream.pending_size++] = bytes[pos++];
    const auto lead = static_cast<unsigned char>(stream.pending[0]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (stream.pending_size < length) continue;
    std::uint32_t code_point = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
      code_point = (code_point << 6) |
                   (static_cast<unsigned char>(stream.pending[i]) & 0x3F);
    }
    put_code_point(code_point);
    stream.pending_size = 0;
  }
  const auto* in = reinterpret_cast<const unsigned char*>(bytes);
  while (pos < size) {
    const unsigned char lead = in[pos];
    if (lead < 0x80) {
      put(lead);
      ++pos;
      continue;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4) {
      put(0xFFFD);
      ++pos;
      continue;
    }
    if (size - pos < length) {
      std::memcpy(stream.pending, bytes + pos, size - pos);
      stream.pending_size = size - pos;
      break;
    }
    std::uint32_t code_point = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
      code_point = (code_point << 6) | (in[pos + i] & 0x3F);
    }
    put_code_point(code_point);
    pos += length;
  }
  write_to_file(stream, out, used);
}

void hand_over(output_stream& stream) {
  if (stream.file == nullptr || stream.used == 0) return;
  if (stream.utf_16le) {
    write_as_utf_16(stream, stream.buffer.get(), stream.used);
  } else {
    write_to_file(stream, stream.buffer.get(), stream.used);
  }
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

output_stream make_output_stream(std::FILE* file, line_end eol, bool utf_16le) {
  output_stream stream;
  stream.file = file;
  stream.eol = eol;
  grow(stream, file != nullptr ? block_size : 4096);
  if (file != nullptr && utf_16le) {
    // Each UTF-8 byte gives at most two bytes of UTF-16, the mark four
    // more, and a cut sequence at most two units more.
    stream.utf_16le = true;
    stream.utf_16.reset(new char[2 * block_size + 8]);
  }
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
    if (!stream.utf_16le) {
      write_to_file(stream, bytes.data(), bytes.size());
      return;
    }
    // Turned into UTF-16 a buffer's worth at a time.
    while (bytes.size() > stream.capacity) {
      write_as_utf_16(stream, bytes.data(), stream.capacity);
      bytes.remove_prefix(stream.capacity);
    }
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
