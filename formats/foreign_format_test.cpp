#include "formats/foreign_format.h"

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

TEST(RecogniseForeignFormat, ByTheFirstBytesOrLine) {
  constexpr auto none = foreign_format::none;
  constexpr auto plist = foreign_format::xml_property_list;
  constexpr auto kotoeri = foreign_format::quoted_comma_fields;
  constexpr auto csv = foreign_format::comma_fields;
  struct {
    std::string text;
    foreign_format expected;
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
      {"abc\na,b\n", none},  // the first line decides
  };
  for (const auto& c : cases) {
    EXPECT_EQ(recognise_foreign_format(c.text), c.expected)
        << shown_bytes(c.text);
  }
}

}  // namespace

}  // namespace brenlow
