#include "formats/tab_text.h"

#include <algorithm>
#include <cstring>

#include "encodings/decodable.h"

namespace brenlow {

namespace {

constexpr unsigned char tab = 0x09;

// Under Shift_JIS a TAB byte is a TAB character unless it is the second byte
// of a pair. Every byte outside the lead-byte ranges ends a character, so
// the TAB is a character of its own exactly when an even number of
// lead-range bytes directly precede it: memchr finds candidates fast and
// only the bytes just before each one are looked at again.
std::size_t shift_jis_field_end(std::string_view text, std::size_t start) {
  const char* data = text.data();
  std::size_t from = start;
  for (;;) {
    const void* found = std::memchr(data + from, tab, text.size() - from);
    if (found == nullptr) return text.size();
    const auto pos =
        static_cast<std::size_t>(static_cast<const char*>(found) - data);
    std::size_t run = 0;
    while (pos - run > start &&
           starts_shift_jis_pair(
               static_cast<unsigned char>(data[pos - run - 1]))) {
      ++run;
    }
    if (run % 2 == 0) return pos;
    from = pos + 1;
  }
}

std::size_t field_end(std::string_view text, std::size_t start,
                      text_encoding encoding) {
  if (encoding == text_encoding::shift_jis) {
    return shift_jis_field_end(text, start);
  }
  // Valid UTF-8 never holds a TAB byte inside a sequence.
  const void* found =
      std::memchr(text.data() + start, tab, text.size() - start);
  return found == nullptr ? text.size()
                          : static_cast<std::size_t>(
                                static_cast<const char*>(found) - text.data());
}

}  // namespace

std::size_t extract_reading(std::string_view line,
                            std::string_view& reading_buffer,
                            text_encoding encoding) {
  const std::size_t end = field_end(line, 0, encoding);
  reading_buffer = line.substr(0, end);
  if (end == line.size()) return std::string_view::npos;
  return end + 1;
}

std::string_view extract_word(std::string_view line, std::size_t word_start,
                              text_encoding encoding) {
  return line.substr(word_start,
                     field_end(line, word_start, encoding) - word_start);
}

std::string_view next_line(std::string_view text, std::size_t& position) {
  const std::size_t start = position;
  const std::size_t size = text.size();
  const char* data = text.data();
  // Lines are short: memchr finds a line feed in a small window fast, and a
  // CR before it is looked for in the line alone. Past the window (a file
  // with CR line ends, a long line) bytes are looked at one by one, so that
  // no search runs over the rest of the text for every line.
  constexpr std::size_t window = 256;
  const void* line_feed =
      std::memchr(data + start, '\n', std::min(window, size - start));
  std::size_t end = start;
  if (line_feed != nullptr) {
    end = static_cast<std::size_t>(static_cast<const char*>(line_feed) - data);
    const void* cr = std::memchr(data + start, '\r', end - start);
    if (cr != nullptr) {
      end = static_cast<std::size_t>(static_cast<const char*>(cr) - data);
    }
  } else {
    while (end < size && data[end] != '\n' && data[end] != '\r') ++end;
  }
  position = end + 1;
  if (end + 1 < size && data[end] == '\r' && data[end + 1] == '\n') ++position;
  return text.substr(start, end - start);
}

std::string undecodable_message(text_encoding encoding, std::size_t offset) {
  return std::string(encoding == text_encoding::utf_8
                         ? "invalid UTF-8 sequence"
                         : "invalid Shift_JIS byte") +
         " at byte offset " + std::to_string(offset) + "; line skipped";
}

std::size_t marks_at_start(std::string_view line) {
  constexpr std::string_view mark = "\xEF\xBB\xBF";
  std::size_t length = 0;
  while (line.substr(length, mark.size()) == mark) length += mark.size();
  return length;
}

bang_lines bang_lines_of(std::string_view first_line, text_encoding encoding) {
  const std::string_view line = first_line.substr(marks_at_start(first_line));
  return !line.empty() && line.front() == '!' &&
                 field_end(line, 0, encoding) == line.size()
             ? bang_lines::comments
             : bang_lines::entries_with_tab;
}

bool passes_checks(std::string_view line, text_encoding encoding,
                   const line_checks& checks, entry_line& read) {
  if (!checks.decoding) return true;
  // A UTF-8 line is named so, whether or not it decodes as Shift_JIS.
  if (checks.utf_8_lines && encoding == text_encoding::shift_jis &&
      reads_as_utf_8(line)) {
    read.reason = skip_reason::reads_as_utf_8;
    return false;
  }
  const std::size_t fault = find_undecodable(line, encoding);
  if (fault == std::string_view::npos) return true;
  read.reason = skip_reason::undecodable;
  read.fault_offset = read.mark_bytes + fault;
  return false;
}

entry_line read_tab_line(std::string_view whole_line, bool first_line,
                         text_encoding encoding, const line_checks& checks) {
  entry_line read;
  read.mark_bytes = marks_at_start(whole_line);
  const std::string_view line = whole_line.substr(read.mark_bytes);
  constexpr std::string_view gboard_header = "# Gboard Dictionary version:";
  if (line.empty() ||
      (first_line && line.substr(0, gboard_header.size()) == gboard_header)) {
    read.kind = line_kind::comment_or_empty;
    return read;
  }
  if (line.front() == '!') {
    // Without a header, only a line that cannot be an entry is a comment.
    if (checks.bang == bang_lines::comments ||
        field_end(line, 0, encoding) == line.size()) {
      read.kind = line_kind::comment_or_empty;
      return read;
    }
  }
  read.kind = line_kind::skipped;
  if (!passes_checks(line, encoding, checks, read)) return read;
  record& fields = read.fields;
  const std::size_t word_start =
      extract_reading(line, fields.reading, encoding);
  if (word_start == std::string_view::npos) {
    read.reason = skip_reason::no_tab;
    return read;
  }
  read.kind = line_kind::entry;
  read.reason = skip_reason::none;
  read.bang_entry = line.front() == '!';
  fields.word = extract_word(line, word_start, encoding);
  const std::size_t word_end = word_start + fields.word.size();
  if (word_end < line.size()) {
    fields.part_of_speech = extract_word(line, word_end + 1, encoding);
    const std::size_t part_of_speech_end =
        word_end + 1 + fields.part_of_speech.size();
    if (part_of_speech_end < line.size()) {
      fields.comment = extract_word(line, part_of_speech_end + 1, encoding);
    }
  }
  return read;
}

}  // namespace brenlow
