#include "formats/foreign_format.h"

#include "formats/tab_text.h"

namespace brenlow {

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool starts_with(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

// A closing quote, a comma, blanks and an opening quote: the seam between
// two quoted fields.
bool holds_quoted_seam(std::string_view line) {
  for (std::size_t quote = line.find("\","); quote != std::string_view::npos;
       quote = line.find("\",", quote + 1)) {
    std::size_t next = quote + 2;
    while (next < line.size() && line[next] == ' ') ++next;
    if (next < line.size() && line[next] == '"') return true;
  }
  return false;
}

}  // namespace

bool starts_as_zip(std::string_view raw) {
  return starts_with(raw, std::string_view("PK\x03\x04", 4));
}

foreign_format recognise_foreign_format(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && is_blank(text[start])) ++start;
  const std::string_view rest = text.substr(start);
  if (rest.empty()) return foreign_format::none;
  if (starts_with(rest, "<?xml") || starts_with(rest, "<plist") ||
      starts_with(rest, "<!DOCTYPE plist")) {
    return foreign_format::xml_property_list;
  }
  // The blanks skipped may have ended in the middle of the first line: the
  // line is taken from its start.
  std::size_t position = text.substr(0, start).find_last_of("\r\n");
  position = position == std::string_view::npos ? 0 : position + 1;
  const std::string_view line = next_line(text, position);
  // Quotes and commas are ASCII bytes that are never the second byte of a
  // Shift_JIS pair, so the bytes tell in either encoding.
  if (line.find('\t') != std::string_view::npos ||
      line.find(',') == std::string_view::npos) {
    return foreign_format::none;
  }
  return rest.front() == '"' && holds_quoted_seam(line)
             ? foreign_format::quoted_comma_fields
             : foreign_format::comma_fields;
}

}  // namespace brenlow
