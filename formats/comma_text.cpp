#include "formats/comma_text.h"

namespace brenlow {

namespace {

// The next field from pos (just after a comma, or the start of the line),
// moving pos past the comma after it (or to npos at the end of the line).
// Returns false for a quoted field not closed.
bool next_field(std::string_view line, std::size_t& pos, std::string& buffer,
                std::string_view& field, bool& copied) {
  while (pos < line.size() && line[pos] == ' ') ++pos;
  if (pos < line.size() && line[pos] == '"') {
    const std::size_t start = pos + 1;
    std::size_t end = start;
    bool doubled = false;
    for (;;) {
      end = line.find('"', end);
      if (end == std::string_view::npos) return false;
      if (end + 1 < line.size() && line[end + 1] == '"') {
        doubled = true;
        end += 2;
        continue;
      }
      break;
    }
    // What follows the closing quote up to the comma stays with the field.
    std::size_t comma = line.find(',', end + 1);
    if (comma == std::string_view::npos) comma = line.size();
    std::size_t after = end + 1;
    while (after < comma && line[after] == ' ') ++after;
    const bool tail = after < comma;
    if (!doubled && !tail) {
      field = line.substr(start, end - start);
    } else {
      // The buffer was given room for the whole line: views into it stay
      // valid while the line's fields are read.
      const std::size_t from = buffer.size();
      for (std::size_t i = start; i < end; ++i) {
        buffer.push_back(line[i]);
        if (line[i] == '"') ++i;  // "" is one quote
      }
      if (tail) buffer.append(line, end + 1, comma - end - 1);
      field = std::string_view(buffer).substr(from);
      copied = true;
    }
    pos = comma < line.size() ? comma + 1 : std::string_view::npos;
    return true;
  }
  std::size_t comma = line.find(',', pos);
  if (comma == std::string_view::npos) comma = line.size();
  field = line.substr(pos, comma - pos);
  pos = comma < line.size() ? comma + 1 : std::string_view::npos;
  return true;
}

}  // namespace

entry_line read_comma_line(std::string_view whole_line, text_encoding encoding,
                           const line_checks& checks, std::string& buffer) {
  entry_line read;
  read.mark_bytes = marks_at_start(whole_line);
  const std::string_view line = whole_line.substr(read.mark_bytes);
  if (line.empty()) {
    read.kind = line_kind::comment_or_empty;
    return read;
  }
  read.kind = line_kind::skipped;
  if (!passes_checks(line, encoding, checks, read)) return read;
  buffer.clear();
  buffer.reserve(line.size());
  record& fields = read.fields;
  std::string_view* const order[] = {&fields.reading, &fields.word,
                                     &fields.part_of_speech, &fields.comment};
  std::size_t pos = 0;
  int count = 0;
  for (std::size_t k = 0; k < 4 && pos != std::string_view::npos; ++k) {
    if (!next_field(line, pos, buffer, *order[k], read.fields_in_buffer)) {
      read.reason = skip_reason::unclosed_quote;
      return read;
    }
    ++count;
  }
  if (count < 2) {
    read.reason = skip_reason::no_comma;
    return read;
  }
  read.kind = line_kind::entry;
  read.reason = skip_reason::none;
  return read;
}

}  // namespace brenlow
