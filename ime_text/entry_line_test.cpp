#include "ime_text/entry_line.h"

#include <gtest/gtest.h>

#include <string>

namespace brenlow {

namespace {

constexpr auto sjis = text_encoding::shift_jis;

// Renders bytes so that a failing case shows its input readably.
std::string shown(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      (void)std::snprintf(hex, sizeof hex, "<%02X>", c);
      out += hex;
    }
  }
  return out;
}

std::string word_form(std::string_view field, text_encoding encoding = sjis) {
  std::string word_buffer;
  if (!needs_concat(field, encoding)) return std::string(field);
  encode_concat(field, word_buffer, encoding);
  return word_buffer;
}

TEST(WordForm, PlainAndConcatForms) {
  struct {
    std::string field;
    std::string expected;
  } const cases[] = {
      {"abc", "abc"},
      {"a/b", R"x((concat "a\057b"))x"},
      {"a;b/c", R"x((concat "a\073b\057c"))x"},
      {R"x(say ""hi"")x", R"x((concat "say \042hi\042"))x"},
      {R"x("x")x", R"x((concat "x"))x"},
      {R"x(")x", R"x((concat ""))x"},
      {R"x(a"""b)x", R"x((concat "a\042b"))x"},
      {R"x("""")x", R"x((concat "\042\042"))x"},
      {R"x(a")x", R"x((concat "a"))x"},
      {R"x(a\b)x", R"x(a\b)x"},
      // A backslash inside the concat form is escaped, or clients would
      // read "\\057" back as a backslash followed by 057.
      {R"x(a\/b)x", R"x((concat "a\134\057b"))x"},
      {R"x(\")x", R"x((concat "\134"))x"},
      {"", ""},
      // Words that look like Lisp forms are quoted, not evaluated.
      {"(+)", R"x((concat "(+)"))x"},
      {"(kill-emacs)", R"x((concat "(kill-emacs)"))x"},
      {"()", R"x((concat "()"))x"},
      {"(\x8A\x94)", "(concat \"(\x8A\x94)\")"},  // (株)
      {"(^_^)", R"x((concat "(^_^)"))x"},
      {"(a/b)", R"x((concat "(a\057b)"))x"},
      {"(", "("},
      {")", ")"},
      {"(a", "(a"},
      {"a)", "a)"},
      {"a(b)", "a(b)"},
      {"(b) ", "(b) "},
      // A ")" that is the second byte of a two-byte character does not close
      // a form.
      {"(\x81)", "(\x81)"},
      {"%s%d", "%s%d"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(word_form(c.field), c.expected) << "field: " << shown(c.field);
  }
}

TEST(WordForm, SecondByteOfAPairIsNeverReserved) {
  struct {
    std::string field;
    bool concat;
  } const cases[] = {
      {"\x81\x2F", false},      // lead byte then "/"
      {"\x9F\x3B", false},      // lead byte then ";"
      {"\xE0\x22", false},      // lead byte then double quote
      {"\xFF\x5C", false},      // lead byte then backslash
      {"\x80/", true},          // 0x80 is a one-byte character
      {"\xA0/", true},          // half-width range is one-byte
      {"\xDF;", true},
      {"\xFD\x2F", false},      // 0xFD-0xFF are lead bytes too
      {"\x81\x81/", true},      // a pair, then a real "/"
      {"\x81/\x81", false},
      {"\x81", false},          // a lead byte cut short by the end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(needs_concat(c.field, sjis), c.concat)
        << "field: " << shown(c.field);
  }
}

TEST(WordForm, PairsAreCopiedWholeInConcatForm) {
  // 0x81 0x5C is a two-byte character ending in the byte of a backslash: it
  // must not be escaped.
  EXPECT_EQ(word_form("\x81\x5C/"), "(concat \"\x81\x5C\\057\")");
  EXPECT_EQ(word_form("\x82\xA0\"\"x"), "(concat \"\x82\xA0\\042x\")");
  // A lead byte that ends the field is copied alone.
  EXPECT_EQ(word_form("/\x81"), "(concat \"\\057\" \"\x81\")");
}

TEST(WordForm, NonAsciiAfterAnEscapeStartsANewString) {
  // libskk 1.0.5 garbles a string in which an escape is directly followed
  // by a non-ASCII character.
  struct {
    std::string field;
    std::string expected;
  } const cases[] = {
      // 山田/太郎
      {"\x8E\x52\x93\x63/\x91\xBE\x98\x59",
       "(concat \"\x8E\x52\x93\x63\\057\" \"\x91\xBE\x98\x59\")"},
      {";\x82\xA0", "(concat \"\\073\" \"\x82\xA0\")"},
      {"\"\"\x82\xA0", "(concat \"\\042\" \"\x82\xA0\")"},
      {"\\\xB1/", "(concat \"\\134\" \"\xB1\\057\")"},  // half-width ｱ
      // A lone quote between them is dropped: still directly after.
      {"/\"\x82\xA0", "(concat \"\\057\" \"\x82\xA0\")"},
      // ASCII after an escape, or an escape after non-ASCII, stays put.
      {"/a\x82\xA0", "(concat \"\\057a\x82\xA0\")"},
      {"\x82\xA0/", "(concat \"\x82\xA0\\057\")"},
      {"//\x82\xA0/", "(concat \"\\057\\057\" \"\x82\xA0\\057\")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(word_form(c.field), c.expected) << "field: " << shown(c.field);
  }
}

TEST(ExtractReading, FieldsOfALine) {
  struct {
    std::string line;
    std::string reading;
    std::string word;  // "<none>" when the line holds no TAB
  } const cases[] = {
      {"kanji\tKANJI\tnoun", "kanji", "KANJI"},
      {"kanji\tKANJI", "kanji", "KANJI"},
      {"kanji\t\tnoun", "kanji", ""},
      {"\tword\tnoun", "", "word"},
      {"a/b;\"\tw", "a/b;\"", "w"},
      {"r\tw\tp\textra\tmore", "r", "w"},
      {"no tab here", "no tab here", "<none>"},
      {"", "", "<none>"},
      // A TAB after a lead byte is the pair's second byte, not a separator.
      {"\x82\tb\tw\tp", "\x82\tb", "w"},
      {"r\t\x82\tw\tp", "r", "\x82\tw"},
      {"\x80\tw", "\x80", "w"},
      {"\xDF\tw", "\xDF", "w"},
      {"\xE0\tx\tw", "\xE0\tx", "w"},
      // A lead byte at the very end swallows nothing beyond the line.
      {"\x82", "\x82", "<none>"},
      {"r\tw\x82", "r", "w\x82"},
      {"\x82\xA9\x82\xF1\x82\xB6\t\x8A\xBF\x8E\x9A\t\x96\xBC\x8E\x8C",
       "\x82\xA9\x82\xF1\x82\xB6", "\x8A\xBF\x8E\x9A"},
  };
  for (const auto& c : cases) {
    std::string_view reading_buffer;
    const std::size_t word_start = extract_reading(c.line, reading_buffer, sjis);
    EXPECT_EQ(reading_buffer, c.reading) << "line: " << shown(c.line);
    const std::string word =
        word_start == std::string_view::npos
            ? "<none>"
            : std::string(extract_word(c.line, word_start, sjis));
    EXPECT_EQ(word, c.word) << "line: " << shown(c.line);
  }
}

TEST(LeadBytes, ExactRanges) {
  // One row per 16 bytes: "L" marks a Shift_JIS lead byte (0x81-0x9F and
  // 0xE0-0xFF; 0x80 and 0xA0-0xDF are characters of one byte).
  const char* const rows[16] = {
      "................",  // 0x00
      "................",  // 0x10
      "................",  // 0x20
      "................",  // 0x30
      "................",  // 0x40
      "................",  // 0x50
      "................",  // 0x60
      "................",  // 0x70
      ".LLLLLLLLLLLLLLL",  // 0x80
      "LLLLLLLLLLLLLLLL",  // 0x90
      "................",  // 0xA0
      "................",  // 0xB0
      "................",  // 0xC0
      "................",  // 0xD0
      "LLLLLLLLLLLLLLLL",  // 0xE0
      "LLLLLLLLLLLLLLLL",  // 0xF0
  };
  for (int byte = 0; byte < 256; ++byte) {
    const bool expected = rows[byte / 16][byte % 16] == 'L';
    EXPECT_EQ(is_lead_byte(static_cast<unsigned char>(byte)), expected)
        << "byte 0x" << std::hex << byte;
  }
}

}  // namespace

}  // namespace brenlow
