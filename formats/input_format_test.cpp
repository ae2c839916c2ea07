#include "formats/input_format.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/shown_bytes.h"

namespace brenlow {

namespace {

TEST(StartsAsZip, TheLocalFileHeader) {
  struct {
    std::string raw;
    bool expected;
  } const cases[] = {
      {std::string("PK\x03\x04\x14\x00", 6), true},
      {"PK\x03\x04", true},
      {"PK\x03", false},
      {"PK\x05\x06", false},
      {"pk\x03\x04", false},
      {" PK\x03\x04", false},
      {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(starts_as_zip(c.raw), c.expected) << shown_bytes(c.raw);
  }
}

TEST(DetectFormat, ByTheFirstBytesOrLine) {
  constexpr auto none = input_format::tab_text;
  constexpr auto plist = input_format::property_list;
  constexpr auto kotoeri = input_format::kotoeri;
  constexpr auto csv = input_format::csv;
  struct {
    std::string text;
    input_format expected;
  } const cases[] = {
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist>", plist},
      {"\r\n  \t<?xml version=\"1.0\"?>", plist},
      {"<plist version=\"1.0\">\n<array>", plist},
      {"<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\">", plist},
      {"<html>", none},
      {"x<?xml", none},
      {"\"\xE3\x81\xBE\xE3\x81\x82\", \"\xE9\xBA\xBB\", \"n\"\n", kotoeri},
      {"\"a\",\"b\"", kotoeri},
      {"\n\n  \"a\",   \"b\"\n", kotoeri},
      {"\"a, b\"", csv},  // one quoted field with a comma: no seam
      {"a,b,c\r\n", csv},
      {"\n\na,b\n", csv},
      {"\xE3\x81\x8B,\xE8\x9A\x8A,\xE5\x90\x8D\n", csv},
      {"a,b\tc\n", none},  // a TAB: a TAB line, just skipped
      {"\ta,b\n", none},
      {"\"a\"\t\"b\"\n", none},
      {"abc\n", none},
      {"", none},
      {" \r\n\t", none},
      {"abc\na,b\n", none},  // the first entry line decides
      // Headers and comments of TAB text pass over, commas or not.
      {"!Hard words: every form, backslashes\r\nr\tw\r\n", none},
      {"!Microsoft IME Dictionary Tool\r\na,b\r\n", none},
      {"# Gboard Dictionary version:1, x\nr\tw\tja-JP\n", none},
      {"\r\n  !a,b\n\"e\", \"f\"\n", none},
      {"!only, a comment\n", none},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(detect_format(c.text).format, c.expected) << shown_bytes(c.text);
  }
}

TEST(FormatOfName, TheNamesOfFormatAnyCase) {
  struct {
    const char* name;
    bool known;
    input_format expected;
  } const cases[] = {
      {"tab", true, input_format::tab_text},
      {"CSV", true, input_format::csv},
      {"Kotoeri", true, input_format::kotoeri},
      {"plist", true, input_format::property_list},
      {"xml", false, input_format::tab_text},
      {"", false, input_format::tab_text},
      {"tabs", false, input_format::tab_text},
  };
  for (const auto& c : cases) {
    input_format format = input_format::tab_text;
    EXPECT_EQ(format_of_name(c.name, format), c.known) << c.name;
    EXPECT_EQ(format, c.expected) << c.name;
  }
}

}  // namespace

}  // namespace brenlow
