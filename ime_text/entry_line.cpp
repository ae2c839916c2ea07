#include "ime_text/entry_line.h"

#include <cstring>

namespace brenlow {

namespace {

constexpr unsigned char tab = 0x09;

constexpr bool in_lead_byte_range(int byte) {
  return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0;
}

// Bytes taken by a character, by its first byte.
struct step_table {
  unsigned char steps[256];
};

constexpr step_table make_steps(text_encoding encoding) {
  step_table table{};
  for (int byte = 0; byte < 256; ++byte) {
    unsigned char step = 1;
    if (encoding == text_encoding::shift_jis) {
      if (in_lead_byte_range(byte)) step = 2;
    } else if (byte >= 0xF8) {
      step = 1;  // never starts a sequence
    } else if (byte >= 0xF0) {
      step = 4;
    } else if (byte >= 0xE0) {
      step = 3;
    } else if (byte >= 0xC0) {
      step = 2;
    }
    table.steps[byte] = step;
  }
  return table;
}

constexpr step_table shift_jis_steps = make_steps(text_encoding::shift_jis);
constexpr step_table utf_8_steps = make_steps(text_encoding::utf_8);

const unsigned char* steps_of(text_encoding encoding) {
  return encoding == text_encoding::shift_jis ? shift_jis_steps.steps
                                              : utf_8_steps.steps;
}

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
           is_lead_byte(static_cast<unsigned char>(data[pos - run - 1]))) {
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
  const void* found = std::memchr(text.data() + start, tab, text.size() - start);
  return found == nullptr ? text.size()
                          : static_cast<std::size_t>(
                                static_cast<const char*>(found) - text.data());
}

void append_octal_escape(std::string& out, unsigned char byte) {
  const char escape[4] = {'\\', static_cast<char>('0' + ((byte >> 6) & 7)),
                          static_cast<char>('0' + ((byte >> 3) & 7)),
                          static_cast<char>('0' + (byte & 7))};
  out.append(escape, 4);
}

}  // namespace

bool is_lead_byte(unsigned char byte) { return in_lead_byte_range(byte); }

std::size_t char_length(std::string_view text, std::size_t pos,
                        text_encoding encoding) {
  const std::size_t length =
      steps_of(encoding)[static_cast<unsigned char>(text[pos])];
  const std::size_t left = text.size() - pos;
  return length < left ? length : left;
}

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

bool needs_concat(std::string_view word_field, text_encoding encoding) {
  // Most words hold none of the bytes that matter, even as second bytes.
  bool suspicious = !word_field.empty() && word_field.front() == '(';
  for (char byte : word_field) {
    suspicious |= byte == '/' || byte == ';' || byte == '"';
  }
  if (!suspicious) return false;
  const unsigned char* steps = steps_of(encoding);
  const auto* bytes = reinterpret_cast<const unsigned char*>(word_field.data());
  std::size_t last_char = 0;
  for (std::size_t pos = 0; pos < word_field.size();) {
    const unsigned char byte = bytes[pos];
    if (byte == '/' || byte == ';' || byte == '"') return true;
    last_char = pos;
    pos += steps[byte];
  }
  return !word_field.empty() && word_field.front() == '(' &&
         last_char == word_field.size() - 1 && word_field.back() == ')';
}

void encode_concat(std::string_view word_field, std::string& word_buffer,
                   text_encoding encoding) {
  word_buffer.assign("(concat \"");
  bool after_escape = false;
  for (std::size_t pos = 0; pos < word_field.size();) {
    const std::size_t length = char_length(word_field, pos, encoding);
    const char c = word_field[pos];
    if (after_escape && static_cast<unsigned char>(c) >= 0x80) {
      // libskk 1.0.5 garbles the rest of a string in which an octal escape
      // is directly followed by a non-ASCII character; a new string starts
      // it afresh.
      word_buffer.append("\" \"");
    }
    if (length > 1) {
      after_escape = false;
      word_buffer.append(word_field, pos, length);
      pos += length;
      continue;
    }
    if (c == '/' || c == ';' || c == '\\') {
      append_octal_escape(word_buffer, static_cast<unsigned char>(c));
      after_escape = true;
    } else if (c == '"') {
      if (pos + 1 < word_field.size() && word_field[pos + 1] == '"') {
        append_octal_escape(word_buffer, '"');
        after_escape = true;
        ++pos;
      }
      // A lone quote is the IME format's own quoting and is dropped.
    } else {
      word_buffer.push_back(c);
      after_escape = false;
    }
    ++pos;
  }
  word_buffer.append("\")");
}

std::string_view next_line(std::string_view text, std::size_t& position) {
  const std::size_t start = position;
  const void* found =
      std::memchr(text.data() + start, '\n', text.size() - start);
  const std::size_t line_feed =
      found ? static_cast<std::size_t>(static_cast<const char*>(found) -
                                       text.data())
            : text.size();
  position = line_feed + 1;
  std::string_view line = text.substr(start, line_feed - start);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

entry_line read_entry_line(std::string_view line, text_encoding encoding) {
  entry_line read;
  if (line.empty() || line.front() == '!') {
    read.kind = line_kind::comment_or_empty;
    return read;
  }
  const std::size_t word_start = extract_reading(line, read.reading, encoding);
  if (word_start == std::string_view::npos) {
    read.kind = line_kind::skipped;
    read.problem = "no TAB after the reading; line skipped";
  } else if (read.reading.empty()) {
    read.kind = line_kind::skipped;
    read.problem = "empty reading; line skipped";
  } else {
    read.word_field = extract_word(line, word_start, encoding);
  }
  return read;
}

}  // namespace brenlow
