// Reading the whole input into memory.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/large_allocator.h"
#include "encodings/decide_encoding.h"
#include "run/file_mapping.h"

namespace brenlow {

using text_buffer = std::vector<char, large_allocator<char>>;

// Appends every byte of file, read in binary, to text; or, when what is
// read holds a NUL byte and is no UTF-16 (may_hold_nul_bytes on the first
// read, for choice), stops after the read that brought it (1 MiB at most),
// keeping the bytes up to and including that NUL. No text dictionary holds
// a NUL byte outside UTF-16, and a file of zeros (/dev/zero, a sparse file)
// need not be read whole to say so. Returns 0, or the errno of the read
// that failed. Throws std::bad_alloc when the text does not fit in memory.
int read_whole_file(std::FILE* file, encoding_choice choice, text_buffer& text);

// The whole input: a regular file mapped (map_file), anything else read
// into memory (read_whole_file). Views of bytes() stay valid until
// release() or the end of the input_text, which is never copied.
class input_text {
 public:
  input_text() = default;
  input_text(const input_text&) = delete;
  input_text& operator=(const input_text&) = delete;
  ~input_text() { release(); }

  std::string_view bytes() const { return bytes_; }
  bool mapped() const { return mapped_.data != nullptr; }
  // True when the file mapped has been cut short since (cut_short).
  bool cut_short() const { return brenlow::cut_short(mapped_); }
  // Frees the bytes (unmaps them); bytes() is empty after.
  void release();
  // Tells that the bytes before end (a pointer into bytes()) will not be
  // read again soon: a mapped file's pages holding only them are given
  // back to the system (give_back), to come back from the file if they
  // are read after all. Bytes read into memory stay.
  void done_with(const char* end);

  // Sets the bytes to file's, as read_whole_file keeps them: all of them,
  // or, for text that is no UTF-16, those up to and including the first NUL
  // byte; a mapped file's pages past that NUL are never touched. shown_name
  // names the file in the message of a file cut short while mapped (see
  // map_file). Returns 0 or the errno of a read that failed; throws
  // std::bad_alloc when read text does not fit in memory.
  int read(std::FILE* file, encoding_choice choice,
           const std::string& shown_name);

 private:
  mapped_file mapped_;
  text_buffer buffer_;
  std::string_view bytes_;
  std::size_t given_back_ = 0;  // bytes before this were given back
};

}  // namespace brenlow
