#include "skk_rules/skk_entry.h"

#include "skk_rules/reading_form.h"

namespace brenlow {

namespace {

void append_octal_escape(std::string& out, unsigned char byte) {
  const char escape[4] = {'\\', static_cast<char>('0' + ((byte >> 6) & 7)),
                          static_cast<char>('0' + ((byte >> 3) & 7)),
                          static_cast<char>('0' + (byte & 7))};
  out.append(escape, 4);
}

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

// Under CSV quotes a lone quote is the format's own: a field that is one
// leaves nothing.
bool nothing_left(std::string_view field, const entry_rules& rules) {
  return field.empty() || (rules.csv_quotes && field == "\"");
}

}  // namespace

bool concat_readable(std::string_view candidate, concat_reading reading) {
  if (candidate.compare(0, 8, "(concat ") != 0) return true;
  switch (reading) {
    case concat_reading::full: return true;
    case concat_reading::none: return false;
    case concat_reading::slash_and_semicolon:
      // Written by encode_concat: "\042" and "\134" are the other escapes,
      // and a quote, escaped everywhere else, only ends or starts a string.
      return candidate.find("\\042") == std::string_view::npos &&
             candidate.find("\\134") == std::string_view::npos &&
             candidate.find("\" \"") == std::string_view::npos;
  }
  return false;
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

skk_entry check_record(const record& fields, text_encoding encoding,
                       const entry_rules& rules, std::string& reading_buffer) {
  skk_entry entry;
  if (fields.reading.empty()) {
    entry.reason = skip_reason::empty_reading;
    return entry;
  }
  std::string_view reading = fields.reading;
  if (rules.typed_readings) {
    const typed_form form = typed_reading(reading, encoding, reading_buffer);
    if (form.changed) {
      reading = reading_buffer;
      entry.reading_typed = true;
    }
    entry.untypable = form.untypable;
  }
  entry.reason = reading_fault(reading, encoding);
  if (entry.reason != skip_reason::none) return entry;
  if (nothing_left(fields.word, rules)) {
    entry.reason = skip_reason::empty_word;
    return entry;
  }
  entry.reading = reading;
  return entry;
}

bool skk_candidate(const record& fields, text_encoding encoding,
                   const entry_rules& rules, std::string& out,
                   bool& annotated) {
  annotated = rules.annotations && !nothing_left(fields.comment, rules);
  const bool concat = needs_concat(fields.word, encoding);
  if (!concat && !annotated) return false;
  out.clear();
  if (concat) {
    encode_concat(fields.word, out, encoding, rules.csv_quotes);
  } else {
    out.append(fields.word);
  }
  if (annotated) {
    out.push_back(';');
    if (annotation_needs_concat(fields.comment, encoding)) {
      encode_concat(fields.comment, out, encoding, rules.csv_quotes);
    } else {
      out.append(fields.comment);
    }
  }
  return true;
}

}  // namespace brenlow
