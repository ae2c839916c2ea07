#include "ime_text/encoding_evidence.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace brenlow {

namespace {

// The same eight lines of a Google Japanese Input export in three
// encodings (made with Python's codecs), the last word in half-width
// katakana.
constexpr std::string_view utf_8_bytes =
    "かんじ\t漢字\t名詞\tコメント\n"
    "ひらがな\t平仮名\t名詞\n"
    "とうきょう\t東京\t地名\n"
    "ありがとう\t有難う\t感動詞\n"
    "すし\t寿司\t名詞\n"
    "え\t絵\t名詞\n"
    "ぶらうざ\tブラウザ\t名詞\n"
    "まいなす\tﾏｲﾅｽ\t名詞\n";
constexpr std::string_view shift_jis_bytes =
    "\x82\xA9\x82\xF1\x82\xB6\t\x8A\xBF\x8E\x9A\t\x96\xBC\x8E\x8C\t\x83R\x83"
    "\x81\x83\x93\x83g\n"
    "\x82\xD0\x82\xE7\x82\xAA\x82\xC8\t\x95\xBD\x89\xBC\x96\xBC\t\x96\xBC\x8E"
    "\x8C\n"
    "\x82\xC6\x82\xA4\x82\xAB\x82\xE5\x82\xA4\t\x93\x8C\x8B\x9E\t\x92n\x96\xBC"
    "\n"
    "\x82\xA0\x82\xE8\x82\xAA\x82\xC6\x82\xA4\t\x97L\x93\xEF\x82\xA4\t\x8A\xB4"
    "\x93\xAE\x8E\x8C\n"
    "\x82\xB7\x82\xB5\t\x8E\xF5\x8Ei\t\x96\xBC\x8E\x8C\n"
    "\x82\xA6\t\x8AG\t\x96\xBC\x8E\x8C\n"
    "\x82\xD4\x82\xE7\x82\xA4\x82\xB4\t\x83u\x83\x89\x83"
    "E\x83U\t\x96\xBC\x8E\x8C\n"
    "\x82\xDC\x82\xA2\x82\xC8\x82\xB7\t\xCF\xB2\xC5\xBD\t\x96\xBC\x8E\x8C\n";
constexpr std::string_view euc_jp_bytes =
    "\xA4\xAB\xA4\xF3\xA4\xB8\t\xB4\xC1\xBB\xFA\t\xCC\xBE\xBB\xEC\t\xA5\xB3\xA5"
    "\xE1\xA5\xF3\xA5\xC8\n"
    "\xA4\xD2\xA4\xE9\xA4\xAC\xA4\xCA\t\xCA\xBF\xB2\xBE\xCC\xBE\t\xCC\xBE\xBB"
    "\xEC\n"
    "\xA4\xC8\xA4\xA6\xA4\xAD\xA4\xE7\xA4\xA6\t\xC5\xEC\xB5\xFE\t\xC3\xCF\xCC"
    "\xBE\n"
    "\xA4\xA2\xA4\xEA\xA4\xAC\xA4\xC8\xA4\xA6\t\xCD\xAD\xC6\xF1\xA4\xA6\t\xB4"
    "\xB6\xC6\xB0\xBB\xEC\n"
    "\xA4\xB9\xA4\xB7\t\xBC\xF7\xBB\xCA\t\xCC\xBE\xBB\xEC\n"
    "\xA4\xA8\t\xB3\xA8\t\xCC\xBE\xBB\xEC\n"
    "\xA4\xD6\xA4\xE9\xA4\xA6\xA4\xB6\t\xA5\xD6\xA5\xE9\xA5\xA6\xA5\xB6\t\xCC"
    "\xBE\xBB\xEC\n"
    "\xA4\xDE\xA4\xA4\xA4\xCA\xA4\xB9\t\x8E\xCF\x8E\xB2\x8E\xC5\x8E\xBD\t\xCC"
    "\xBE\xBB\xEC\n";

// Bytes that no encoding reads well, without a NUL.
std::string noise(std::size_t size) {
  std::string out;
  unsigned state = 12345;
  while (out.size() < size) {
    state = state * 1103515245 + 12345;
    const auto byte = static_cast<char>((state >> 16) & 0xFF);
    if (byte != 0) out.push_back(byte);
  }
  return out;
}

const char* name_of(const encoding_verdict& verdict) {
  if (!verdict.decided) return "undecided";
  return verdict.encoding == text_encoding::utf_8 ? "UTF-8" : "Shift_JIS";
}

TEST(JudgeEncoding, WeighsTheWholeText) {
  const std::string utf_8_text(utf_8_bytes);
  const std::string shift_jis_text(shift_jis_bytes);
  const std::string euc_jp_text(euc_jp_bytes);
  const struct {
    const char* what;
    std::string text;
    const char* expected;
  } cases[] = {
      {"ASCII", "abc\tdef\tnoun\n", "Shift_JIS"},
      {"UTF-8", utf_8_text, "UTF-8"},
      {"Shift_JIS", shift_jis_text, "Shift_JIS"},
      {"Shift_JIS half-width katakana only, which is also valid UTF-8",
       "\xCF\xB2\xC5\xBD\tminus\n", "Shift_JIS"},
      {"UTF-8 with a Latin-1 comment", utf_8_text + "!caf\xE9\n", "UTF-8"},
      {"UTF-8 cut one byte short", utf_8_text.substr(0, utf_8_text.size() - 2),
       "UTF-8"},
      {"UTF-8 with a Shift_JIS line", utf_8_text + "\x82\xA0\t\x88\xA2\n",
       "UTF-8"},
      {"Shift_JIS with a byte 0xFF", "\xFF" + shift_jis_text, "Shift_JIS"},
      {"Shift_JIS with a lead byte before a TAB", shift_jis_text + "\x82\tx\n",
       "Shift_JIS"},
      {"Shift_JIS with a UTF-8 line", shift_jis_text + "\xE3\x81\x82\tx\n",
       "Shift_JIS"},
      {"EUC-JP", euc_jp_text, "undecided"},
      {"UTF-8 and Shift_JIS alike", utf_8_text + shift_jis_text, "undecided"},
      {"binary data", noise(4000), "undecided"},
  };
  for (const auto& c : cases) {
    const encoding_verdict verdict = judge_encoding(gather_evidence(c.text));
    EXPECT_STREQ(name_of(verdict), c.expected)
        << c.what << " (" << verdict.reason << ")";
    // The quick way to the verdict comes to the same one.
    const encoding_verdict quick = judge_encoding(std::string_view(c.text));
    EXPECT_STREQ(name_of(quick), c.expected) << c.what;
    EXPECT_EQ(quick.reason, verdict.reason) << c.what;
  }
}

TEST(JudgeEncoding, UndecidedTextsSayWhy) {
  const std::string utf_8_text(utf_8_bytes);
  const std::string shift_jis_text(shift_jis_bytes);
  const std::string euc_jp_text(euc_jp_bytes);
  EXPECT_NE(judge_encoding(gather_evidence(euc_jp_text)).reason.find("EUC-JP"),
            std::string::npos);
  const std::string reason =
      judge_encoding(gather_evidence(utf_8_text + shift_jis_text)).reason;
  EXPECT_NE(reason.find("neither clearly UTF-8 nor clearly Shift_JIS"),
            std::string::npos)
      << reason;
}

TEST(FindUtf16Pattern, FirstLineDecides) {
  using namespace std::string_literals;
  const struct {
    const char* what;
    std::string text;
    utf_16_order expected;
  } cases[] = {
      {"header, little-endian", "!\0M\0S\0\r\0\n\0x\0"s,
       utf_16_order::little_endian},
      {"header, big-endian", "\0!\0M\0S\0\r\0\n\0x"s, utf_16_order::big_endian},
      // あ TAB 上 CR LF: 上 is 0A 4E, a line feed byte that ends no line.
      {"entry starting with a kanji", "\x42\x30\t\0\x0A\x4E\r\0\n\0"s,
       utf_16_order::little_endian},
      {"entry without CR", "\x42\x30\t\0\x44\x30\n\0"s,
       utf_16_order::little_endian},
      {"a NUL character in the first line", "a\0\0\0b\0\r\0\n\0"s,
       utf_16_order::none},
      {"8-bit text with a NUL in its third line", "a\tb\nc\td\n\0x\n"s,
       utf_16_order::none},
      {"8-bit text with one NUL in its first line", "a\0bc\td\n"s,
       utf_16_order::none},
      {"8-bit text", "abc\tdef\r\n"s, utf_16_order::none},
      {"empty", ""s, utf_16_order::none},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find_utf_16_pattern(c.text), c.expected) << c.what;
  }
}

TEST(FindUndecodable, OffsetOfTheFirstFault) {
  constexpr auto npos = std::string_view::npos;
  const struct {
    std::string line;
    text_encoding encoding;
    std::size_t expected;
  } cases[] = {
      {"abc\tdef", text_encoding::utf_8, npos},
      {"\xE3\x81\x82\t\xEF\xBE\x8F", text_encoding::utf_8, npos},
      {"a\xE9"
       "b",
       text_encoding::utf_8, 1},
      {"\xE3\x81\x82\xE3\x81", text_encoding::utf_8, 3},  // cut short
      {"\xED\xA0\x80", text_encoding::utf_8, 0},          // a surrogate
      {"\xC0\xAF", text_encoding::utf_8, 0},              // overlong
      {"x\xF4\x90\x80\x80", text_encoding::utf_8, 1},     // above U+10FFFF
      {"\x82\xA0\t\x8A\xBF", text_encoding::shift_jis, npos},
      // The highest pairs of the rows CP932 fills to the end, the user-
      // defined area, IBM extensions, half-width katakana.
      {"\xFB\xFC\x9F\xFC\xEA\xA4\xF0\x40\xF9\xFC\xFC\x4B\xA1\xDF",
       text_encoding::shift_jis, npos},
      {"\x81\x40\x84\xBE\x87\x9C\x88\x9F\x98\x72\xEE\xEC\xEE\xEF",
       text_encoding::shift_jis, npos},
      // Bytes that start no character, and pairs CP932 has none for.
      {"a\x80", text_encoding::shift_jis, 1},
      {"a\xA0", text_encoding::shift_jis, 1},
      {"\x82\xA0\x85\x40", text_encoding::shift_jis, 2},  // row 0x85
      {"\x86\xFC", text_encoding::shift_jis, 0},
      {"\xEB\x40", text_encoding::shift_jis, 0},
      {"\xEC\x9F", text_encoding::shift_jis, 0},
      {"\xEF\xFC", text_encoding::shift_jis, 0},
      {"\x82\xF2", text_encoding::shift_jis, 0},  // after ん
      {"\x81\xAD", text_encoding::shift_jis, 0},
      {"\x88\x9E", text_encoding::shift_jis, 0},  // before 亜
      {"\x98\x73", text_encoding::shift_jis, 0},  // after level 1
      {"\xEA\xA5", text_encoding::shift_jis, 0},  // after level 2
      {"\xEE\xED", text_encoding::shift_jis, 0},
      {"\xFC\x4C", text_encoding::shift_jis, 0},  // after the IBM extensions
      {"\x82\xA0\x82", text_encoding::shift_jis, 2},  // lead at the end
      {"a\x82\tb", text_encoding::shift_jis, 1},      // lead before a TAB
      {"\x82\x7F", text_encoding::shift_jis, 0},
      {"\x82\xFD", text_encoding::shift_jis, 0},
      {"ab\xFD", text_encoding::shift_jis, 2},
      {"\xFF", text_encoding::shift_jis, 0},
      // The second byte of a pair is never a fault of its own.
      {"\x81\xFC\xFE", text_encoding::shift_jis, 2},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (unsigned char byte : c.line) {
      char hex[4];
      (void)std::snprintf(hex, sizeof hex, "%02X ", byte);
      shown += hex;
    }
    EXPECT_EQ(find_undecodable(c.line, c.encoding), c.expected)
        << shown
        << (c.encoding == text_encoding::utf_8 ? "(UTF-8)" : "(Shift_JIS)");
  }
}

// Long Shift_JIS texts are checked in parts read side by side: a fault is
// found wherever it lies, next to a part's first byte too.
TEST(FindUndecodable, FaultsAnywhereInALongText) {
  // 1,000 lines of "かな TAB 漢字 CR LF", 11 bytes each: line k starts at
  // 11k, its TAB is at 11k+4 and its CR at 11k+9.
  std::string valid;
  for (int i = 0; i < 1000; ++i) {
    valid += "\x82\xA9\x82\xC8\t\x8A\xBF\x8E\x9A\r\n";
  }
  EXPECT_EQ(find_undecodable(valid, text_encoding::shift_jis),
            std::string_view::npos);
  const struct {
    const char* name;
    std::size_t at;     // where the bytes below go
    std::string bytes;  // replacing as many bytes there
    std::size_t fault;
  } faults[] = {
      {"first byte", 0, "\xFE", 0},
      {"lead byte before the TAB of line 250", 2752, "a\x82", 2753},
      {"byte 0xFD just after that TAB", 2755, "\xFD", 2755},
      {"bad trail byte at the start of line 500", 5500, "\x82 ", 5500},
      {"lead byte before the CR of line 750", 8257, "a\x82", 8258},
      {"lead byte as the last byte", 10999, "\x82", 10999},
  };
  for (const auto& f : faults) {
    std::string text = valid;
    text.replace(f.at, f.bytes.size(), f.bytes);
    EXPECT_EQ(find_undecodable(text, text_encoding::shift_jis), f.fault)
        << f.name;
  }
}

}  // namespace

}  // namespace brenlow
