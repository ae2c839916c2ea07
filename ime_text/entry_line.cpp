#include "ime_text/entry_line.h"

namespace {

constexpr unsigned char tab = 0x09;

std::size_t utf_8_sequence_length(unsigned char byte) {
  if (byte < 0xC0) return 1;  // ASCII, or a stray continuation byte
  if (byte < 0xE0) return 2;
  if (byte < 0xF0) return 3;
  if (byte < 0xF8) return 4;
  return 1;
}

std::size_t field_end(std::string_view text, std::size_t start,
                      text_encoding encoding) {
  std::size_t pos = start;
  while (pos < text.size() && static_cast<unsigned char>(text[pos]) != tab) {
    pos += char_length(text, pos, encoding);
  }
  return pos;
}

void append_octal_escape(std::string& out, unsigned char byte) {
  const char escape[4] = {'\\', static_cast<char>('0' + ((byte >> 6) & 7)),
                          static_cast<char>('0' + ((byte >> 3) & 7)),
                          static_cast<char>('0' + (byte & 7))};
  out.append(escape, 4);
}

}  // namespace

bool is_lead_byte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0;
}

std::size_t char_length(std::string_view text, std::size_t pos,
                        text_encoding encoding) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  std::size_t length = 1;
  if (encoding == text_encoding::shift_jis) {
    if (is_lead_byte(byte)) length = 2;
  } else {
    length = utf_8_sequence_length(byte);
  }
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
  std::size_t last_char = 0;
  for (std::size_t pos = 0; pos < word_field.size();) {
    const std::size_t length = char_length(word_field, pos, encoding);
    if (length == 1) {
      const char c = word_field[pos];
      if (c == '/' || c == ';' || c == '"') return true;
    }
    last_char = pos;
    pos += length;
  }
  return !word_field.empty() && word_field.front() == '(' &&
         last_char == word_field.size() - 1 && word_field.back() == ')';
}

void encode_concat(std::string_view word_field, std::string& word_buffer,
                   text_encoding encoding) {
  word_buffer.assign("(concat \"");
  for (std::size_t pos = 0; pos < word_field.size();) {
    const std::size_t length = char_length(word_field, pos, encoding);
    if (length > 1) {
      word_buffer.append(word_field, pos, length);
      pos += length;
      continue;
    }
    const char c = word_field[pos];
    if (c == '/' || c == ';' || c == '\\') {
      append_octal_escape(word_buffer, static_cast<unsigned char>(c));
    } else if (c == '"') {
      if (pos + 1 < word_field.size() && word_field[pos + 1] == '"') {
        append_octal_escape(word_buffer, '"');
        ++pos;
      }
      // A lone quote is the IME format's own quoting and is dropped.
    } else {
      word_buffer.push_back(c);
    }
    ++pos;
  }
  word_buffer.append("\")");
}

