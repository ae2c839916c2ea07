#include "run/wide_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/shown_bytes.h"

namespace brenlow {

namespace {

TEST(WideText, NamesBothWays) {
  struct {
    std::u16string wide;
    std::string utf_8;
  } const cases[] = {
      {u"", ""},
      {u"dict.txt", "dict.txt"},
      {u"\u30E6\u30FC\u30B6\u30FC\u8F9E\u66F8.txt",
       "\xE3\x83\xA6\xE3\x83\xBC\xE3\x82\xB6\xE3\x83\xBC\xE8\xBE\x9E\xE6\x9B"
       "\xB8.txt"},
      {u"\u00E9", "\xC3\xA9"},
      {u"\U0002000B", "\xF0\xA0\x80\x8B"},  // a pair: one four-byte form
      // Lone surrogates, which Windows allows in names, keep their value.
      {std::u16string(1, u'\xD800'), "\xED\xA0\x80"},
      {std::u16string(1, u'\xDC00') + u"a",
       "\xED\xB0\x80"
       "a"},
      {u"a" + std::u16string(1, u'\xD83D'), "a\xED\xA0\xBD"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shown_bytes(utf_8_from_utf_16(c.wide)), shown_bytes(c.utf_8))
        << shown_bytes(c.utf_8);
    EXPECT_TRUE(utf_16_from_utf_8(c.utf_8) == c.wide) << shown_bytes(c.utf_8);
  }
}

TEST(WideText, BytesThatStartNoCharacterBecomeReplacements) {
  struct {
    std::string utf_8;
    std::u16string wide;
  } const cases[] = {
      {"\x83\x65", u"\uFFFDe"},       // Shift_JIS, not UTF-8
      {"\xC0\xAF", u"\uFFFD\uFFFD"},  // overlong "/"
      {"\xE3\x83", u"\uFFFD\uFFFD"},  // cut short
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"a\xFF"
       "b",
       u"a\uFFFDb"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(utf_16_from_utf_8(c.utf_8) == c.wide) << shown_bytes(c.utf_8);
  }
}

}  // namespace

}  // namespace brenlow
