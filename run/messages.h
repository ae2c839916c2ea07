// The program's messages on standard error: "brenlow: " and what, naming
// the file and line where there is one, each ending in a line feed.
#pragma once

#include <string>
#include <string_view>

#include "base/line_problem.h"
#include "dictionary/skk_order.h"

namespace brenlow {

// Writes "brenlow: message".
void report(const std::string& message);

// "brenlow: file:line: message" and a line feed ("brenlow: file: message"
// for line 0).
std::string message_at(const std::string& file_name,
                       const line_problem& problem);

// Writes message_at(file_name, problem).
void report_at(const std::string& file_name, const line_problem& problem);

// A reading as a message shows it: messages are UTF-8, and a Shift_JIS
// reading shows as shown_as_utf_8 renders it.
std::string shown_reading(std::string_view reading, output_encoding encoding);

// Messages about skipped lines, written as they come in writes of up to
// 64 KiB: neither memory nor a write per line grows with their number.
// What is gathered goes out at flush() and when the batch ends, also by
// unwinding (out of memory) where it can.
class message_batch {
 public:
  message_batch() = default;
  message_batch(const message_batch&) = delete;
  message_batch& operator=(const message_batch&) = delete;
  ~message_batch();
  void add(const std::string& message);
  void flush();

 private:
  static constexpr std::size_t limit = std::size_t{64} * 1024;
  std::string text_;
};

}  // namespace brenlow
