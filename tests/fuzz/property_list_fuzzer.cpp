// libFuzzer target: arbitrary bytes read as a property list. Whatever the
// bytes, the reader neither crashes nor reads outside them (the sanitizers
// watch), every field it gives is well-formed UTF-8, entries come in the
// order of their lines, a refusal names a line of the text, and the
// entries of a document it reads, written back out as a property list of
// their own, read back the same.
// Any broken promise aborts, so libFuzzer keeps the input that broke it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/property_list.h"

namespace brenlow {

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    (void)std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

// Well-formed UTF-8 as Unicode defines it, written here without the
// project's decoder so that the check does not share its faults: no
// overlong form, no surrogate, nothing past U+10FFFF.
bool well_formed_utf_8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b < 0x80) {
      ++i;
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (second < low || second > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if (next < 0x80 || next > 0xBF) return false;
    }
    i += length;
  }
  return true;
}

std::size_t line_count(std::string_view text) {
  std::size_t lines = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' ||
        (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
      ++lines;
    }
  }
  return lines;
}

// A field as XML text on one line that reads back as exactly these
// characters: markup escaped, line ends as references (XML would read a CR
// as a line feed, and the entries are to stay one to a line).
std::string escaped(std::string_view field) {
  std::string out;
  for (char c : field) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\r': out += "&#13;"; break;
      case '\n': out += "&#10;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

}  // namespace

}  // namespace brenlow

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace brenlow;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  property_list list;
  line_problem problem;
  const std::size_t lines = line_count(text);
  if (!read_property_list(text, list, problem)) {
    check(!problem.message.empty(), "a refusal without a message");
    check(problem.line_number >= 1 && problem.line_number <= lines,
          "a refusal naming no line of the text");
    return 0;
  }
  check(problem.message.empty(), "a message for a document read");
  // The same entries, one dict to a line from line 2.
  std::string again = "<plist><array>\n";
  std::size_t previous_line = 1;
  for (const property_list_entry& entry : list.entries) {
    check(entry.line >= previous_line && entry.line <= lines,
          "entry lines not ascending within the text");
    previous_line = entry.line;
    if (entry.read.kind == line_kind::skipped) {
      check(entry.read.reason == skip_reason::missing_key,
            "an entry skipped for another reason than a missing key");
      again += "<dict><key>phrase</key><string/></dict>\n";
      continue;
    }
    check(entry.read.kind == line_kind::entry, "neither entry nor skipped");
    check(entry.read.fields_in_buffer, "fields not in the reader's strings");
    check(well_formed_utf_8(entry.read.fields.reading),
          "a reading that is not UTF-8");
    check(well_formed_utf_8(entry.read.fields.word),
          "a word that is not UTF-8");
    again += "<dict><key>phrase</key><string>" +
             escaped(entry.read.fields.word) +
             "</string><key>shortcut</key><string>" +
             escaped(entry.read.fields.reading) + "</string></dict>\n";
  }
  again += "</array></plist>";
  property_list read_again;
  check(read_property_list(again, read_again, problem),
        "the entries written out are refused");
  check(read_again.entries.size() == list.entries.size(),
        "the entries written out read as another number of entries");
  for (std::size_t i = 0; i < list.entries.size(); ++i) {
    const entry_line& first = list.entries[i].read;
    const entry_line& second = read_again.entries[i].read;
    check(read_again.entries[i].line == i + 2, "an entry on another line");
    check(first.kind == second.kind, "an entry read back as skipped");
    check(first.fields.reading == second.fields.reading &&
              first.fields.word == second.fields.word,
          "an entry read back with other fields");
  }
  return 0;
}
