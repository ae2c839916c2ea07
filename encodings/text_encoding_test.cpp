#include "encodings/text_encoding.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/byte_facts.h"
#include "encodings/decide_encoding.h"
#include "encodings/decodable.h"

namespace brenlow {

namespace {

// Every sequence that is not well-formed UTF-8 is found where it starts.
TEST(FindUndecodable, Utf8WellFormedAndBroken) {
  const auto npos = std::string_view::npos;
  struct {
    std::string text;
    std::size_t invalid;
  } const cases[] = {
      {"", npos},
      {"ascii\ttab\r\n", npos},
      {"\xE3\x81\x8B\xE3\x82\x93", npos},  // かん
      {"\xC2\xA9", npos},
      {"\xF0\x9F\x98\x80", npos},  // U+1F600
      {"\xF4\x8F\xBF\xBF", npos},  // U+10FFFF
      {"a\x82\xA9", 1},            // Shift_JIS か
      {"\xC0\xAF", 0},             // overlong "/"
      {"\xE0\x80\xAF", 0},         // overlong
      {"\xED\xA0\x80", 0},         // a surrogate
      {"\xF4\x90\x80\x80", 0},     // above U+10FFFF
      {"\xF5\x80\x80\x80", 0},
      {"\xF0\x8F\xBF\xBF", 0},     // overlong U+FFFF in four bytes
      {"\xF0\x80\x80\xAF", 0},     // overlong "/" in four bytes
      {"\xF0\x90\x80\x80", npos},  // U+10000, the first not overlong
      {"ab\xE3\x81", 2},           // cut short at the end
      {"\xE3\x81\x8B\x80", 3},     // stray continuation byte
      {"\xE3\x09\x8B", 0},         // a TAB inside a sequence
      // The last byte of a sequence must be a continuation byte too.
      {"\xE3\x81\x41", 0},  // ASCII "A" in third place
      {"\xE3\x81\x2F", 0},  // "/" in third place
      // A lead byte in third place.
      {"\xE3\x81\xE3\x81\x8B", 0},
      {"r\t\xE3\x81\x41\r\n", 2},  // inside a line
      {"\xF0\x90\x80\x41", 0},     // ASCII in fourth place
      {"\xF0\x90\x80\x2F", 0},
      {"\xF0\x90\x41\x80", 0},     // ASCII in third place
      {"\xF0\x90\x80\x80", npos},  // U+10000
      {"\xEF\xBF\xBF", npos},      // U+FFFF
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find_undecodable(c.text, text_encoding::utf_8), c.invalid)
        << c.text;
  }
}

std::string utf_16le(std::u16string_view units) {
  std::string bytes;
  for (char16_t u : units) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return bytes;
}

std::string utf_16be(std::u16string_view units) {
  std::string bytes;
  for (char16_t u : units) {
    bytes.push_back(static_cast<char>(u >> 8));
    bytes.push_back(static_cast<char>(u & 0xFF));
  }
  return bytes;
}

// "<D800><DC00>": the units of a failing case.
std::string units_shown(std::u16string_view units) {
  std::string out;
  for (char16_t u : units) {
    char hex[8];
    (void)std::snprintf(hex, sizeof hex, "<%04X>", static_cast<unsigned>(u));
    out += hex;
  }
  return out;
}

TEST(DecodeUtf16, BothByteOrders) {
  struct {
    std::u16string units;
    std::string utf_8;
  } const cases[] = {
      {u"", ""},
      {u"a\tb\r\n", "a\tb\r\n"},
      {u"\u304b\u3093\u3058\t\u6f22\u5b57", "かんじ\t漢字"},
      {u"\u00e9\u07ff\u0800\uffff", "\xC3\xA9\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},  // a surrogate pair
      {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      // Pairs at the edges of the ranges, as units.
      {u"\xD800\xDC00", "\xF0\x90\x80\x80"},  // U+10000
      {u"\xD800\xDC01", "\xF0\x90\x80\x81"},  // U+10001
      {u"\xD800\xDFFF", "\xF0\x90\x8F\xBF"},  // U+103FF
      {u"\xDBFF\xDC00", "\xF4\x8F\xB0\x80"},  // U+10FC00
      {u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},  // U+10FFFF
      {u"\xD840\xDC0B", "\xF0\xA0\x80\x8B"},  // U+2000B, a kanji
      {u"a\xD800\xDC00\t\xFFFF", "a\xF0\x90\x80\x80\t\xEF\xBF\xBF"},
  };
  for (const auto& c : cases) {
    for (bool big_endian : {false, true}) {
      std::string out;
      const std::string bytes =
          big_endian ? utf_16be(c.units) : utf_16le(c.units);
      ASSERT_EQ(decode_utf_16(bytes, big_endian, out), 0u)
          << units_shown(c.units);
      EXPECT_EQ(out, c.utf_8)
          << units_shown(c.units) << ", big endian: " << big_endian;
    }
  }
}

// An unpaired surrogate becomes 0xFF, which no UTF-8 line holds, so that
// its line alone is skipped; the rest decodes.
TEST(DecodeUtf16, UnpairedSurrogatesMarkTheirPlace) {
  struct {
    std::u16string units;
    std::string utf_8;
    std::size_t faults;
  } const cases[] = {
      {u"a\tb\r\n\xD800", "a\tb\r\n\xFF", 1},  // high surrogate at the end
      {u"\xD800x", "\xFFx", 1},                // high surrogate, no low one
      {u"a\n\nb\xDC00", "a\n\nb\xFF", 1},      // lone low surrogate
      {u"\xD800\xD800\xDC00", "\xFF\xF0\x90\x80\x80", 1},  // high, then a pair
      {u"\xDC00\xDC00", "\xFF\xFF", 2},                    // two low surrogates
      {u"\xDFFF\xDC00", "\xFF\xFF", 2},
      {u"x\n\xDC00\xDFFF\ty", "x\n\xFF\xFF\ty", 2},
      {u"\xDC00\xD800", "\xFF\xFF", 2},  // low before high
      {u"\xD800\xD800", "\xFF\xFF", 2},  // two high surrogates
  };
  for (const auto& c : cases) {
    for (bool big_endian : {false, true}) {
      std::string out;
      const std::string bytes =
          big_endian ? utf_16be(c.units) : utf_16le(c.units);
      EXPECT_EQ(decode_utf_16(bytes, big_endian, out), c.faults)
          << units_shown(c.units) << ", big endian: " << big_endian;
      EXPECT_EQ(out, c.utf_8)
          << units_shown(c.units) << ", big endian: " << big_endian;
    }
  }
  std::string out;
  EXPECT_EQ(decode_utf_16(std::string("a\0b", 3), false, out), 1u);
  EXPECT_EQ(out, "a\xFE");
  EXPECT_STREQ(utf_16_fault_message('\xFE'),
               "UTF-16 text ends in half a character");
  EXPECT_STREQ(utf_16_fault_message('\xFF'), "unpaired UTF-16 surrogate");
}

TEST(AppendUtf8, EveryLength) {
  struct {
    std::uint32_t code_point;
    std::string utf_8;
  } const cases[] = {
      {0x00, std::string(1, '\0')},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0x3042, "\xE3\x81\x82"},  // あ
      {0xD800, "\xED\xA0\x80"},  // a surrogate's three-byte form
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x10001, "\xF0\x90\x80\x81"},
      {0x1F600, "\xF0\x9F\x98\x80"},
      {0x2000B, "\xF0\xA0\x80\x8B"},
      {0x40000, "\xF1\x80\x80\x80"},
      {0x100000, "\xF4\x80\x80\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  for (const auto& c : cases) {
    std::string out = "x";
    append_utf_8(out, c.code_point);
    EXPECT_EQ(out, "x" + c.utf_8) << std::hex << "U+" << c.code_point;
  }
}

TEST(ByteOrderMark, Found) {
  EXPECT_EQ(find_byte_order_mark("\xEF\xBB\xBFx"), byte_order_mark::utf_8);
  EXPECT_EQ(find_byte_order_mark("\xFF\xFEx"), byte_order_mark::utf_16le);
  EXPECT_EQ(find_byte_order_mark("\xFE\xFFx"), byte_order_mark::utf_16be);
  EXPECT_EQ(find_byte_order_mark("\xEF\xBB"), byte_order_mark::none);
  EXPECT_EQ(find_byte_order_mark("\xFF"), byte_order_mark::none);
  EXPECT_EQ(find_byte_order_mark(""), byte_order_mark::none);
}

TEST(DecideEncoding, EncodingsAndMarks) {
  using namespace std::string_literals;
  const auto guess = encoding_choice::guess;
  const auto sjis = encoding_choice::shift_jis;
  const auto utf8 = encoding_choice::utf_8;
  const auto le = encoding_choice::utf_16le;
  const auto be = encoding_choice::utf_16be;
  const std::string cannot_tell =
      "cannot tell the encoding: it is neither clearly UTF-8 nor clearly "
      "Shift_JIS (of 2 lines with non-ASCII bytes, 1 fail as UTF-8 and 1 as "
      "Shift_JIS); name it with --encoding sjis, utf-8, utf-16le or utf-16be";
  struct {
    std::string raw;
    encoding_choice choice;
    bool ok;
    text_encoding encoding;
    std::string text;  // the text to convert, or the problem's message
    std::size_t line;  // of the problem; for a text: 1 if it decodes throughout
  } const cases[] = {
      {"r\tw\r\n", guess, true, text_encoding::shift_jis, "r\tw\r\n", 1},
      {"\x82\xa9\tw", guess, true, text_encoding::shift_jis, "\x82\xa9\tw", 1},
      {"\xE3\x81\x8B\tw", guess, true, text_encoding::utf_8, "\xE3\x81\x8B\tw",
       1},
      {"\xE3\x81\x8B\tw", sjis, true, text_encoding::shift_jis,
       "\xE3\x81\x8B\tw", 0},
      {"ascii", utf8, true, text_encoding::utf_8, "ascii", 1},
      // Lines that do not decode are skipped one by one.
      {"a\tb\n\x82\xa9", utf8, true, text_encoding::utf_8, "a\tb\n\x82\xa9", 0},
      {"a\tb\n\x82", sjis, true, text_encoding::shift_jis, "a\tb\n\x82", 0},
      {"\xEF\xBB\xBFr\tw", guess, true, text_encoding::utf_8, "r\tw", 1},
      {"\xEF\xBB\xBFr\tw", utf8, true, text_encoding::utf_8, "r\tw", 1},
      {"\xEF\xBB\xBFr\n\x82", guess, true, text_encoding::utf_8, "r\n\x82", 0},
      {"\xFF\xFEr\0\t\0"s, guess, true, text_encoding::utf_8, "r\t", 1},
      {"\xFE\xFF\0r\0\t"s, guess, true, text_encoding::utf_8, "r\t", 1},
      {"\xFF\xFEr\0\t\0"s, le, true, text_encoding::utf_8, "r\t", 1},
      // An unpaired surrogate: its line is skipped as it is converted.
      {"\xFF\xFE\0\xD8"s, guess, true, text_encoding::utf_8, "\xFF", 0},
      // UTF-16 without a mark, by its first line or as told.
      {"!\0x\0\r\0\n\0r\0\t\0w\0"s, guess, true, text_encoding::utf_8,
       "!x\r\nr\tw", 1},
      {"\0r\0\t\0w\0\n"s, guess, true, text_encoding::utf_8, "r\tw\n", 1},
      {"r\0\t\0"s, le, true, text_encoding::utf_8, "r\t", 1},
      {"\0r\0\t"s, be, true, text_encoding::utf_8, "r\t", 1},
      {"r\tw\nx\0y\n"s, guess, false, text_encoding::utf_8,
       "NUL byte: this is not a text dictionary", 2},
      {"r\tw\rx\0y\n"s, guess, false, text_encoding::utf_8,
       "NUL byte: this is not a text dictionary", 2},
      // A Shift_JIS line and a UTF-8 line.
      {"\x82\xA0\tw\n\xE3\x81\x82\tw\n", guess, false, text_encoding::utf_8,
       cannot_tell, 0},
      {"\xFF\xFE", sjis, false, text_encoding::utf_8,
       "starts with a UTF-16LE byte-order mark, which contradicts --encoding "
       "sjis",
       0},
      {"\xFE\xFF", utf8, false, text_encoding::utf_8,
       "starts with a UTF-16BE byte-order mark, which contradicts --encoding "
       "utf-8",
       0},
      {"\xFE\xFF", le, false, text_encoding::utf_8,
       "starts with a UTF-16BE byte-order mark, which contradicts --encoding "
       "utf-16le",
       0},
  };
  for (const auto& c : cases) {
    prepared_input prepared;
    line_problem problem;
    const bool ok = decide_encoding(c.raw, c.choice, prepared, problem);
    ASSERT_EQ(ok, c.ok) << c.raw << ": " << problem.message;
    if (ok) {
      EXPECT_EQ(prepared.encoding, c.encoding) << c.raw;
      EXPECT_EQ(prepared.text, c.text) << c.raw;
      EXPECT_EQ(prepared.decodes_throughout, c.line == 1) << c.raw;
    } else {
      EXPECT_EQ(problem.message, c.text) << c.raw;
      EXPECT_EQ(problem.line_number, c.line) << c.raw;
    }
  }
}

TEST(MayHoldNulBytes, OnlyUtf16) {
  using choice = encoding_choice;
  const std::string le("r\0\t\0w\0\r\0\n\0", 10);
  const std::string be("\0r\0\t\0w\0\r\0\n", 10);
  const std::string zeros(64, '\0');
  const struct {
    const char* what;
    std::string start;
    encoding_choice chosen;
    bool expected;
  } cases[] = {
      {"UTF-16LE mark", "\xFF\xFE" + le, choice::guess, true},
      {"UTF-16BE mark", "\xFE\xFF" + be, choice::guess, true},
      {"UTF-16 mark against --encoding sjis", "\xFF\xFE" + le,
       choice::shift_jis, true},
      {"UTF-8 mark", "\xEF\xBB\xBF" + le, choice::guess, false},
      {"UTF-8 mark against --encoding utf-16le", "\xEF\xBB\xBF" + le,
       choice::utf_16le, false},
      {"--encoding utf-16le", zeros, choice::utf_16le, true},
      {"--encoding utf-16be", zeros, choice::utf_16be, true},
      {"guessed UTF-16LE", le, choice::guess, true},
      {"guessed UTF-16BE", be, choice::guess, true},
      {"UTF-16 pattern under --encoding sjis", le, choice::shift_jis, false},
      {"UTF-16 pattern under --encoding utf-8", le, choice::utf_8, false},
      {"zeros", zeros, choice::guess, false},
      {"a NUL in 8-bit text", std::string("r\tw\r\n\0", 6), choice::guess,
       false},
      {"empty", "", choice::guess, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(may_hold_nul_bytes(c.start, c.chosen), c.expected) << c.what;
  }
}

TEST(FindNulByte, NamesTheLine) {
  struct {
    std::string text;
    bool found;
    std::size_t line;
  } const cases[] = {
      {"r\tw\r\n", false, 0},
      {"", false, 0},
      {std::string("a\tb\r\nc\t\0d\r\n", 10), true, 2},
      {std::string("\0", 1), true, 1},
      {std::string("a\n\n\n\0", 5), true, 4},
  };
  for (const auto& c : cases) {
    line_problem problem;
    EXPECT_EQ(find_nul_byte(c.text, problem), c.found) << c.text;
    if (c.found) {
      EXPECT_EQ(problem.line_number, c.line) << c.text;
    }
  }
}

}  // namespace

}  // namespace brenlow
