#include "formats/comma_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/shown_bytes.h"

namespace brenlow {

namespace {

// A line as read: "entry reading|word|part|comment", "comment", or
// "skipped: reason".
std::string read_line(std::string_view line, text_encoding encoding) {
  std::string buffer;
  const entry_line read =
      read_comma_line(line, encoding, line_checks{}, buffer);
  if (read.kind == line_kind::comment_or_empty) return "comment";
  if (read.kind == line_kind::skipped) {
    return std::string("skipped: ") + skip_message(read.reason);
  }
  const record& f = read.fields;
  return "entry " + std::string(f.reading) + "|" + std::string(f.word) + "|" +
         std::string(f.part_of_speech) + "|" + std::string(f.comment);
}

TEST(ReadCommaLine, FieldsQuotesAndFaults) {
  struct {
    std::string line;
    std::string expected;
  } const cases[] = {
      // macOS CSV
      {"かんじ,漢字,普通名詞", "entry かんじ|漢字|普通名詞|"},
      {"a,b", "entry a|b||"},
      {"a,\"b,c\",d", "entry a|b,c|d|"},
      {"a,\"say \"\"hi\"\"\",d", "entry a|say \"hi\"|d|"},
      {"\"\"\"\",\"\"\"\"\"\"", "entry \"|\"\"||"},
      {"a,,n", "entry a||n|"},
      {"a,b,", "entry a|b||"},
      {",b", "entry |b||"},
      {"a,\"b\"c,d", "entry a|bc|d|"},  // after the closing quote: kept
      {"a,\"b\" ,d", "entry a|b|d|"},
      {"a,b,c,d,e,f", "entry a|b|c|d"},  // fields after the fourth: ignored
      {"a,b\"c,d", "entry a|b\"c|d|"},   // a quote inside: a character
      // Kotoeri text
      {"\"まあじゃん\", \"麻雀\", \"普通名詞\"",
       "entry まあじゃん|麻雀|普通名詞|"},
      {"\"a\",   \"b\"", "entry a|b||"},
      {"  a, b", "entry a|b||"},
      // Lines that are no entry
      {"", "comment"},
      {"\xEF\xBB\xBF", "comment"},
      {"\xEF\xBB\xBF"
       "a,b",
       "entry a|b||"},
      {"one", "skipped: no comma after the reading"},
      {"\"a,b\"", "skipped: no comma after the reading"},
      {"a,\"b", "skipped: a quoted field is not closed"},
      {"\"a", "skipped: a quoted field is not closed"},
      {"a,\"b\"\"", "skipped: a quoted field is not closed"},
      {"a\xFF,b", "skipped: undecodable"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_line(c.line, text_encoding::utf_8), c.expected)
        << "line [" << shown_bytes(c.line) << "]";
  }
}

TEST(ReadCommaLine, ShiftJisSecondBytesAreNoSeparators) {
  // ソ (83 5C) and 表 (95 5C): a second byte is never a quote or a comma,
  // and a backslash there is part of its character.
  EXPECT_EQ(read_line("\x83\x5C,\"\x95\x5C\"", text_encoding::shift_jis),
            "entry \x83\x5C|\x95\x5C||");
}

}  // namespace

}  // namespace brenlow
