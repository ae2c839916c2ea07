#include "ime_text/entry_line.h"

#include <algorithm>
#include <cstring>

#include "base/byte_facts.h"
#include "encodings/decodable.h"
#include "ime_text/reading_form.h"

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
           starts_shift_jis_pair(static_cast<unsigned char>(data[pos - run - 1]))) {
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

void append_octal_escape(std::string& out, unsigned char byte) {
  const char escape[4] = {'\\', static_cast<char>('0' + ((byte >> 6) & 7)),
                          static_cast<char>('0' + ((byte >> 3) & 7)),
                          static_cast<char>('0' + (byte & 7))};
  out.append(escape, 4);
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

bool needs_concat(std::string_view word_field, text_encoding encoding) {
  // Most words hold none of the bytes that matter, even as second bytes.
  bool suspicious = !word_field.empty() && word_field.front() == '(';
  for (char byte : word_field) {
    suspicious |= byte == '/' || byte == ';' || byte == '"';
  }
  if (!suspicious) return false;
  const unsigned char* steps = character_steps(encoding);
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

void encode_concat(std::string_view field, std::string& out,
                   text_encoding encoding, bool csv_quotes) {
  out.append("(concat \"");
  bool after_escape = false;
  for (std::size_t pos = 0; pos < field.size();) {
    const std::size_t length = char_length(field, pos, encoding);
    const char c = field[pos];
    if (length > 1 || static_cast<unsigned char>(c) >= 0x80) {
      if (after_escape) out.append("\" \"");
      after_escape = false;
      out.append(field, pos, length);
      pos += length;
      continue;
    }
    ++pos;
    if (c == '"' && csv_quotes) {
      if (pos == field.size() || field[pos] != '"') continue;  // lone: dropped
      ++pos;  // a doubled quote is one
    }
    after_escape = c == '/' || c == ';' || c == '\\' || c == '"';
    if (after_escape) {
      append_octal_escape(out, static_cast<unsigned char>(c));
    } else {
      out.push_back(c);
    }
  }
  out.append("\")");
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

const char* skip_message(skip_reason reason) {
  switch (reason) {
    case skip_reason::undecodable: return "undecodable";
    case skip_reason::no_tab: return "no TAB after the reading";
    case skip_reason::empty_reading: return "empty reading";
    case skip_reason::empty_word: return "empty word";
    case skip_reason::reading_starts_with_semicolon:
      return "reading starts with \";\"";
    case skip_reason::reading_holds_blank: return "reading holds a blank";
    case skip_reason::reading_holds_control:
      return "reading holds a control character";
    case skip_reason::reads_as_utf_8:
      return "line reads as UTF-8 in a Shift_JIS file";
    case skip_reason::none: break;
  }
  return "";
}

std::string undecodable_message(text_encoding encoding, std::size_t offset) {
  return std::string(encoding == text_encoding::utf_8
                         ? "invalid UTF-8 sequence"
                         : "invalid Shift_JIS byte") +
         " at byte offset " + std::to_string(offset) + "; line skipped";
}

namespace {

// What makes a reading unfit for an SKK line, after its typed form.
skip_reason reading_fault(std::string_view reading, text_encoding encoding) {
  if (reading.front() == ';') return skip_reason::reading_starts_with_semicolon;
  const unsigned char* steps = character_steps(encoding);
  const auto* bytes = reinterpret_cast<const unsigned char*>(reading.data());
  const std::size_t size = reading.size();
  for (std::size_t pos = 0; pos < size;) {
    const unsigned char byte = bytes[pos];
    if (byte < 0x20 || byte == 0x7F) return skip_reason::reading_holds_control;
    const bool ideographic_space =
        encoding == text_encoding::utf_8
            ? byte == 0xE3 && size - pos >= 3 && bytes[pos + 1] == 0x80 &&
                  bytes[pos + 2] == 0x80
            : byte == 0x81 && size - pos >= 2 && bytes[pos + 1] == 0x40;
    if (byte == ' ' || ideographic_space) {
      return skip_reason::reading_holds_blank;
    }
    pos += steps[byte];
  }
  return skip_reason::none;
}

bool annotation_needs_concat(std::string_view comment, text_encoding encoding) {
  // Emacs SKK drops a leading "*" of an annotation (its mark for the
  // user's own); libskk shows it.
  return comment.front() == '*' || needs_concat(comment, encoding);
}

}  // namespace

entry_line read_entry_line(std::string_view line, bool first_line,
                           text_encoding encoding, const entry_rules& rules,
                           std::string& reading_buffer) {
  entry_line read;
  constexpr std::string_view gboard_header = "# Gboard Dictionary version:";
  if (line.empty() || line.front() == '!' ||
      (first_line && line.substr(0, gboard_header.size()) == gboard_header)) {
    read.kind = line_kind::comment_or_empty;
    return read;
  }
  read.kind = line_kind::skipped;
  if (rules.check_decoding) {
    // A UTF-8 line is named so, whether or not it decodes as Shift_JIS.
    if (rules.skip_utf_8_lines && encoding == text_encoding::shift_jis &&
        reads_as_utf_8(line)) {
      read.reason = skip_reason::reads_as_utf_8;
      return read;
    }
    const std::size_t fault = find_undecodable(line, encoding);
    if (fault != std::string_view::npos) {
      read.reason = skip_reason::undecodable;
      read.fault_offset = fault;
      return read;
    }
  }
  std::string_view reading;
  const std::size_t word_start = extract_reading(line, reading, encoding);
  if (word_start == std::string_view::npos) {
    read.reason = skip_reason::no_tab;
    return read;
  }
  if (word_start == 1) {  // the line starts with its TAB
    read.reason = skip_reason::empty_reading;
    return read;
  }
  if (rules.typed_readings &&
      typed_reading(reading, encoding, reading_buffer)) {
    reading = reading_buffer;
    read.reading_typed = true;
  }
  read.reason = reading_fault(reading, encoding);
  if (read.reason != skip_reason::none) return read;
  read.word_field = extract_word(line, word_start, encoding);
  // Under CSV quotes a lone quote is the format's own: nothing remains.
  const std::string_view nothing_left = rules.csv_quotes ? "\"" : "";
  if (read.word_field.empty() || read.word_field == nothing_left) {
    read.reason = skip_reason::empty_word;
    return read;
  }
  read.kind = line_kind::entry;
  read.reading = reading;
  const std::size_t word_end = word_start + read.word_field.size();
  if (word_end < line.size()) {
    const std::size_t part_of_speech_end =
        field_end(line, word_end + 1, encoding);
    if (part_of_speech_end < line.size()) {
      read.comment_field = extract_word(line, part_of_speech_end + 1, encoding);
      if (read.comment_field == nothing_left) read.comment_field = {};
    }
  }
  return read;
}

bool skk_candidate(const entry_line& line, text_encoding encoding,
                   const entry_rules& rules, std::string& out,
                   bool& annotated) {
  annotated = rules.annotations && !line.comment_field.empty();
  const bool concat = needs_concat(line.word_field, encoding);
  if (!concat && !annotated) return false;
  out.clear();
  if (concat) {
    encode_concat(line.word_field, out, encoding, rules.csv_quotes);
  } else {
    out.append(line.word_field);
  }
  if (annotated) {
    out.push_back(';');
    if (annotation_needs_concat(line.comment_field, encoding)) {
      encode_concat(line.comment_field, out, encoding, rules.csv_quotes);
    } else {
      out.append(line.comment_field);
    }
  }
  return true;
}

}  // namespace brenlow
