#include "formats/input_format.h"

#include <string>

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

const char* format_name(input_format format) {
  switch (format) {
    case input_format::tab_text: return "tab";
    case input_format::csv: return "csv";
    case input_format::kotoeri: return "kotoeri";
    case input_format::property_list: return "plist";
  }
  return "";
}

const char* format_description(input_format format) {
  switch (format) {
    case input_format::tab_text: return "TAB text";
    case input_format::csv: return "CSV";
    case input_format::kotoeri: return "Kotoeri text";
    case input_format::property_list: return "a property list";
  }
  return "";
}

bool format_of_name(std::string_view name, input_format& format) {
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const input_format f :
       {input_format::tab_text, input_format::csv, input_format::kotoeri,
        input_format::property_list}) {
    if (lower == format_name(f)) {
      format = f;
      return true;
    }
  }
  return false;
}

format_guess detect_format(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && is_blank(text[start])) ++start;
  const std::string_view rest = text.substr(start);
  if (rest.empty()) return {input_format::tab_text, "no entry line"};
  if (starts_with(rest, "<?xml") || starts_with(rest, "<plist") ||
      starts_with(rest, "<!DOCTYPE plist")) {
    return {input_format::property_list, "it starts as an XML document"};
  }
  // The blanks skipped may have ended in the middle of the first line: the
  // line is taken from its start.
  std::size_t position = text.substr(0, start).find_last_of("\r\n");
  position = position == std::string_view::npos ? 0 : position + 1;
  const std::string_view line = next_line(text, position);
  // Only TAB text has headers: Microsoft IME's and ATOK's "!" lines and
  // Gboard's "# Gboard Dictionary version:1", which may hold commas.
  if (rest.front() == '!' || rest.front() == '#') {
    return {input_format::tab_text, "it starts with a header line"};
  }
  // Quotes and commas are ASCII bytes that are never the second byte of a
  // Shift_JIS pair, so the bytes tell in either encoding.
  if (line.find('\t') != std::string_view::npos) {
    return {input_format::tab_text, "its first line holds a TAB"};
  }
  if (line.find(',') == std::string_view::npos) {
    return {input_format::tab_text, "its first line holds no comma"};
  }
  if (rest.front() == '"' && holds_quoted_seam(line)) {
    return {input_format::kotoeri,
            "its first line is quoted fields separated by commas"};
  }
  return {input_format::csv, "its first line holds commas and no TAB"};
}

}  // namespace brenlow
