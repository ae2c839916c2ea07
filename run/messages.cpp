#include "run/messages.h"

#include <new>

#include "base/byte_facts.h"
#include "run/platform.h"

namespace brenlow {

void report(const std::string& message) {
  // Messages end in a line feed on every platform, like the program's other
  // output the same bytes everywhere.
  write_error_text("brenlow: " + message + "\n");
}

std::string message_at(const std::string& file_name,
                       const line_problem& problem) {
  std::string where = file_name;
  if (problem.line_number != 0) {
    where += ":" + std::to_string(problem.line_number);
  }
  return "brenlow: " + where + ": " + problem.message + "\n";
}

void report_at(const std::string& file_name, const line_problem& problem) {
  write_error_text(message_at(file_name, problem));
}

message_batch::~message_batch() {
  // Reached by unwinding too (out of memory), where what was gathered
  // still goes out if it can.
  try {
    flush();
  } catch (const std::bad_alloc&) {
  }
}

void message_batch::add(const std::string& message) {
  text_ += message;
  if (text_.size() >= limit) flush();
}

void message_batch::flush() {
  if (!text_.empty()) write_error_text(text_);
  text_.clear();
}

std::string shown_reading(std::string_view reading, output_encoding encoding) {
  switch (encoding) {
    case output_encoding::shift_jis: return shown_as_utf_8(reading);
    case output_encoding::euc_jp:
    case output_encoding::euc_jis_2004: {
      std::string shown;
      append_utf_8_of(reading, encoding, shown);
      return shown;
    }
    case output_encoding::utf_8:
    case output_encoding::utf_16le:  // held as UTF-8 until written
      break;
  }
  return std::string(reading);
}

}  // namespace brenlow
