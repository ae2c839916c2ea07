#include "run/read_input.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

namespace brenlow {

namespace {
constexpr std::size_t chunk_size = 1 << 20;
}

int read_whole_file(std::FILE* file, encoding_choice choice,
                    text_buffer& text) {
  const std::size_t start = text.size();
  // Reserving the size of a regular file (and one byte more, to see the end
  // without growing) keeps the peak memory at one copy of the input.
  struct stat info;
  const bool sized = fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) &&
                     info.st_size > 0;
  if (sized) {
    const auto size = static_cast<std::uint64_t>(info.st_size);
    // A file larger than the buffer can ever be (past 2 GiB in a 32-bit
    // program) does not fit in memory: bad_alloc, not length_error.
    if (size >= text.max_size() - text.size()) throw std::bad_alloc();
    text.reserve(text.size() + static_cast<std::size_t>(size) + 1);
  }
  bool nul_allowed = false;
  for (;;) {
    const std::size_t old_size = text.size();
    // Reserved room is filled a chunk at a time, so that a NUL byte stops
    // the reading early, and a regular file's to its very end, which the
    // last read reaches without growing the buffer. Without room (a pipe,
    // or a file grown since) the buffer grows by a chunk or more, as a
    // vector does.
    const std::size_t room = text.capacity() - old_size;
    std::size_t request = room < chunk_size ? room : chunk_size;
    if (room == 0 || (!sized && room < chunk_size / 16)) request = chunk_size;
    text.resize(old_size + request);
    errno = 0;
    const std::size_t got =
        std::fread(text.data() + old_size, 1, request, file);
    text.resize(old_size + got);
    if (old_size == start) {
      // The first read tells UTF-16, in which every ASCII character has a
      // zero byte.
      nul_allowed = may_hold_nul_bytes(
          std::string_view(text.data() + start, text.size() - start), choice);
    }
    const void* nul =
        nul_allowed ? nullptr : std::memchr(text.data() + old_size, 0, got);
    if (nul != nullptr) {
      text.resize(static_cast<std::size_t>(static_cast<const char*>(nul) -
                                           text.data()) +
                  1);
      return 0;
    }
    // fread stops short only at the end of the file or on an error.
    if (got < request) {
      if (std::ferror(file)) return errno ? errno : EIO;
      return 0;
    }
  }
}

void input_text::done_with(const char* end) {
  if (!mapped()) return;
  const auto offset = static_cast<std::size_t>(end - mapped_.data);
  if (offset <= given_back_) return;
  give_back(mapped_, given_back_, offset - given_back_);
  given_back_ = offset;
}

void input_text::release() {
  given_back_ = 0;
  unmap_file(mapped_);
  text_buffer().swap(buffer_);
  bytes_ = {};
}

int input_text::read(std::FILE* file, encoding_choice choice,
                     const std::string& shown_name) {
  release();
  if (!map_file(file, shown_name, mapped_)) {
    const int error = read_whole_file(file, choice, buffer_);
    bytes_ = std::string_view(buffer_.data(), buffer_.size());
    return error;
  }
  // The pages come in a chunk at a time, each looked through for a NUL
  // byte before the next is brought in, as read_whole_file reads: a sparse
  // file of zeros costs one chunk, not its size in memory.
  const char* data = mapped_.data;
  const std::size_t size = mapped_.size;
  std::size_t first = size < chunk_size ? size : chunk_size;
  bring_in(mapped_, 0, first);
  const bool nul_allowed =
      may_hold_nul_bytes(std::string_view(data, first), choice);
  std::size_t kept = size;
  if (nul_allowed) {
    bring_in(mapped_, first, size - first);
  } else {
    for (std::size_t offset = 0; offset < size; offset += chunk_size) {
      const std::size_t n =
          size - offset < chunk_size ? size - offset : chunk_size;
      if (offset != 0) bring_in(mapped_, offset, n);
      const void* nul = std::memchr(data + offset, 0, n);
      if (nul != nullptr) {
        kept =
            static_cast<std::size_t>(static_cast<const char*>(nul) - data) + 1;
        break;
      }
    }
  }
  bytes_ = std::string_view(data, kept);
  pause_after_mapping();
  return 0;
}

}  // namespace brenlow
