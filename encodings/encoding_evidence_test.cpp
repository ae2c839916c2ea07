#include "encodings/encoding_evidence.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "encodings/decodable.h"

// iconv's CP932 is the reader libskk uses for Shift_JIS dictionaries.
#if !defined(_WIN32) && __has_include(<iconv.h>)
#include <iconv.h>
#define BRENLOW_HAVE_ICONV 1
#endif

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
      // てんき TAB 天気 in EUC-JP: valid Shift_JIS too (half-width katakana
      // and one pair), but valid EUC-JP with a character.
      {"EUC-JP that is valid Shift_JIS",
       "\xA4\xC6\xA4\xF3\xA4\xAD\t\xC5\xB7\xB5\xA4\n", "undecided"},
      {"UTF-8 with two-byte characters only",
       "do\t\xC2\xB0\ncafe\tcaf\xC3\xA9\n", "UTF-8"},
      {"UTF-8 Greek after a Gboard header",
       "# Gboard Dictionary version:1\nomega\t\xCE\xA9\tja-JP\n", "UTF-8"},
      {"the same Greek without the header", "omega\t\xCE\xA9\tja-JP\n",
       "Shift_JIS"},
      // こうそつ TAB 高卒 in UTF-8 reads as valid Shift_JIS (縺薙≧縺昴▽
      // 鬮伜穀).
      {"Shift_JIS with a UTF-8 line that is valid Shift_JIS",
       shift_jis_text + "\xE3\x81\x93\xE3\x81\x86\xE3\x81\x9D\xE3\x81\xA4\t"
                        "\xE9\xAB\x98\xE5\x8D\x92\n",
       "Shift_JIS"},
      {"that UTF-8 line alone",
       "\xE3\x81\x93\xE3\x81\x86\xE3\x81\x9D\xE3\x81\xA4\t"
       "\xE9\xAB\x98\xE5\x8D\x92\n",
       "UTF-8"},
      // かんじ TAB 漢字, then かな TAB 仮名 with a byte 0xFF.
      {"two Shift_JIS lines, one bad",
       "\x82\xA9\x82\xF1\x82\xB6\t\x8A\xBF\x8E\x9A\r\n\x82\xA9\x82\xC8\t\x89"
       "\xBC"
       "\x96\xBC\xFF\r\n",
       "Shift_JIS"},
      {"one Shift_JIS line, bad", "\x82\xA9\x82\xC8\t\x89\xBC\x96\xBC\xFF\r\n",
       "undecided"},
      {"two UTF-8 lines, one bad",
       "かんじ\t漢字\tnoun\ncaf\xE9\t喫茶店\tnoun\n", "UTF-8"},
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
  EXPECT_TRUE(judge_encoding(gather_evidence(euc_jp_text)).euc_jp);
  // Damaged EUC-JP, which wins by its bad lines, is told as EUC-JP too.
  const encoding_verdict damaged =
      judge_encoding(gather_evidence(euc_jp_text + "\xFF\n"));
  EXPECT_FALSE(damaged.decided);
  EXPECT_TRUE(damaged.euc_jp) << damaged.reason;
  EXPECT_FALSE(judge_encoding(gather_evidence(noise(4000))).euc_jp);
  const std::string reason =
      judge_encoding(gather_evidence(utf_8_text + shift_jis_text)).reason;
  EXPECT_NE(reason.find("neither clearly UTF-8 nor clearly Shift_JIS"),
            std::string::npos)
      << reason;
}

// One row per rule of the verdict, at and just past each boundary.
TEST(JudgeEncoding, Thresholds) {
  struct row {
    const char* what;
    std::size_t lines;  // with non-ASCII bytes
    bool gboard_header;
    reading_evidence utf_8, shift_jis, euc_jp;  // characters, faults, bad lines
    const char* expected;
  };
  const reading_evidence none{};
  const reading_evidence broken{0, 100, 8};
  const row rows[] = {
      {"ASCII", 0, false, none, none, none, "Shift_JIS"},
      {"valid UTF-8 with a character",
       3,
       false,
       {1, 0, 0},
       {0, 5, 2},
       {0, 5, 2},
       "UTF-8"},
      {"valid UTF-8 of half-width katakana pairs only",
       1,
       false,
       {0, 0, 0},
       {0, 0, 0},
       {0, 2, 1},
       "Shift_JIS"},
      {"the same after a Gboard header",
       1,
       true,
       {0, 0, 0},
       {0, 0, 0},
       {0, 2, 1},
       "UTF-8"},
      {"valid Shift_JIS, EUC-JP with characters and faults",
       1,
       false,
       {0, 3, 1},
       {3, 0, 0},
       {1, 1, 1},
       "Shift_JIS"},
      {"valid Shift_JIS, EUC-JP without characters or faults",
       1,
       false,
       {0, 3, 1},
       {3, 0, 0},
       {0, 0, 0},
       "Shift_JIS"},
      {"valid Shift_JIS and valid EUC-JP with a character",
       1,
       false,
       {0, 3, 1},
       {3, 0, 0},
       {1, 0, 0},
       "undecided"},
      {"EUC-JP valid, Shift_JIS not",
       4,
       false,
       {0, 9, 4},
       {2, 3, 2},
       {8, 0, 0},
       "undecided"},
      // One bad line in four, others three times as many plus two.
      {"bad lines: one in four",
       8,
       false,
       broken,
       {2, 2, 2},
       broken,
       "Shift_JIS"},
      {"bad lines: more than one in four",
       7,
       false,
       broken,
       {2, 2, 2},
       broken,
       "undecided"},
      {"bad lines: UTF-8 three times as many plus two",
       8,
       false,
       {0, 100, 8},
       {2, 2, 2},
       {0, 100, 20},
       "Shift_JIS"},
      {"bad lines: UTF-8 three times as many plus one",
       8,
       false,
       {0, 100, 7},
       {2, 2, 2},
       {0, 100, 20},
       "undecided"},
      {"bad lines: EUC-JP three times as many plus one",
       8,
       false,
       {0, 100, 20},
       {2, 2, 2},
       {0, 100, 7},
       "undecided"},
      {"bad lines: UTF-8 the fewest",
       8,
       false,
       {2, 2, 2},
       broken,
       broken,
       "UTF-8"},
      {"bad lines: a tie", 8, false, {2, 2, 2}, {2, 2, 2}, broken, "undecided"},
      // Four characters a fault, others three times the faults plus two,
      // a line that is not bad.
      {"characters: four a fault",
       2,
       false,
       {8, 2, 1},
       {0, 8, 2},
       {0, 8, 2},
       "UTF-8"},
      {"characters: fewer than four a fault",
       2,
       false,
       {7, 2, 1},
       {0, 8, 2},
       {0, 8, 2},
       "undecided"},
      {"characters: Shift_JIS faults three times plus one",
       2,
       false,
       {8, 2, 1},
       {0, 7, 2},
       {0, 8, 2},
       "undecided"},
      {"characters: EUC-JP faults three times plus one",
       2,
       false,
       {8, 2, 1},
       {0, 8, 2},
       {0, 7, 2},
       "undecided"},
      {"characters: every line bad",
       1,
       false,
       {8, 1, 1},
       {0, 9, 1},
       {0, 9, 1},
       "undecided"},
      {"characters: Shift_JIS",
       2,
       false,
       {0, 9, 2},
       {6, 1, 1},
       {0, 9, 2},
       "Shift_JIS"},
      {"characters: EUC-JP wins, which is not read",
       2,
       false,
       {0, 9, 2},
       {0, 9, 2},
       {6, 1, 1},
       "undecided"},
  };
  for (const row& r : rows) {
    encoding_evidence evidence;
    evidence.non_ascii_lines = r.lines;
    evidence.gboard_header = r.gboard_header;
    evidence.utf_8 = r.utf_8;
    evidence.shift_jis = r.shift_jis;
    evidence.euc_jp = r.euc_jp;
    const encoding_verdict verdict = judge_encoding(evidence);
    EXPECT_STREQ(name_of(verdict), r.expected)
        << r.what << " (" << verdict.reason << ")";
  }
}

// What gather_evidence counts against each encoding.
TEST(GatherEvidence, FaultsAndBadLines) {
  const struct {
    const char* what;
    std::string text;
    std::size_t lines;
    reading_evidence utf_8, shift_jis;
  } cases[] = {
      {"0xFD, which starts no Shift_JIS character",
       "a\xFD\n",
       1,
       {0, 1, 1},
       {0, 1, 1}},
      {"0x80 and 0xA0", "\x80\t\xA0\n", 1, {0, 2, 1}, {0, 2, 1}},
      {"a pair of row 0x85", "\x85\x40\n", 1, {0, 1, 1}, {0, 1, 1}},
      {"あ in Shift_JIS", "\x82\xA0\n", 1, {0, 2, 1}, {1, 0, 0}},
      // A UTF-8 line is a bad line for Shift_JIS, a fault a character.
      {"あい TAB x in UTF-8",
       "\xE3\x81\x82\xE3\x81\x84\tx\n",
       1,
       {2, 0, 0},
       {0, 2, 1}},
      {"° in UTF-8, also ﾂｰ in Shift_JIS",
       "\xC2\xB0\n",
       1,
       {1, 0, 0},
       {0, 0, 0}},
      {"two lines, CR LF", "\x82\xA0\r\n\x82\xA2\r\n", 2, {0, 4, 2}, {2, 0, 0}},
      // DEL is ASCII: its line has no non-ASCII byte.
      {"a line with DEL", "a\x7F\tb\n\x82\xA0\n", 1, {0, 2, 1}, {1, 0, 0}},
  };
  for (const auto& c : cases) {
    const encoding_evidence e = gather_evidence(c.text);
    EXPECT_EQ(e.non_ascii_lines, c.lines) << c.what;
    EXPECT_EQ(e.utf_8.characters, c.utf_8.characters) << c.what;
    EXPECT_EQ(e.utf_8.faults, c.utf_8.faults) << c.what;
    EXPECT_EQ(e.utf_8.bad_lines, c.utf_8.bad_lines) << c.what;
    EXPECT_EQ(e.shift_jis.characters, c.shift_jis.characters) << c.what;
    EXPECT_EQ(e.shift_jis.faults, c.shift_jis.faults) << c.what;
    EXPECT_EQ(e.shift_jis.bad_lines, c.shift_jis.bad_lines) << c.what;
  }
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
      {"8-bit text with a NUL after its first line", "r\tw\r\n\0"s,
       utf_16_order::none},
      // いち TAB 一 CR LF 最: 一 (4E 00) and 最 (67 00) read little-endian
      // are "N" and "g", and no line ends there.
      {"big-endian with U+xx00 characters",
       "\x30\x44\x30\x61\0\t\x4E\0\0\r\0\n\x67\0"s, utf_16_order::big_endian},
      {"big-endian, the ideographic space", "\x30\x44\0\t\x30\0\x4E\0\0\n"s,
       utf_16_order::big_endian},
      // LF, then い TAB 一 LF: 一 (00 4E) read big-endian is "N".
      {"little-endian, an empty first line",
       "\n\0\x44\x30\t\0\0\x4E\n\0\0\x4E\0\x4E"s, utf_16_order::little_endian},
      {"big-endian, an empty first line",
       "\0\n\x30\x44\0\t\x4E\0\0\n\x4E\0\x4E\0"s, utf_16_order::big_endian},
      {"only a line end", "\n\0"s, utf_16_order::none},
      // A digit and a TAB, without a line end, are two.
      {"a digit and a TAB", "9\0\t\0"s, utf_16_order::little_endian},
      {"a TAB alone", "\x42\x30\t\0"s, utf_16_order::none},
      // Each unit read one way is the next one read the other way: the same
      // TAB, letter and line feed in either order.
      {"a full tie goes to little-endian", "\t\0\0\tA\0\0A\n\0\0\n"s,
       utf_16_order::little_endian},
      {"empty", ""s, utf_16_order::none},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find_utf_16_pattern(c.text), c.expected) << c.what;
  }
}

TEST(LooksLikeEntries, MostLinesHoldATab) {
  const struct {
    std::string text;
    bool expected;
  } cases[] = {
      {"", true},
      {"\n\r\n", true},
      {"a\tb\r\n!comment\r\nc\td\r\n", true},
      {"# Gboard Dictionary version:1\nx\n", false},  // one of two
      {"# Gboard Dictionary version:1\nx\ty\n", true},
      {"a\tb\nxyz\n", false},  // half is not most
      {"a\tb\nc\td\nxyz\n", true},
      {"garbage without a tab", false},
      // A mark where a second file begins.
      {"a\tb\n\xEF\xBB\xBF", true},
      {"a\tb\n\xEF\xBB\xBFx", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(looks_like_entries(c.text), c.expected) << c.text;
  }
}

TEST(FindEncodingChange, EightBitAndUtf16Joined) {
  using namespace std::string_literals;
  // か TAB 仮 CR LF in UTF-16LE; its 8-bit line "ka TAB x CR LF".
  const std::string utf_16 = "\x4B\x30\t\0\xEE\x4E\r\0\n\0"s;
  const std::string eight = "ka\tx\r\n";
  const struct {
    const char* what;
    std::string text;
    std::size_t line;
  } cases[] = {
      {"UTF-16 alone", utf_16 + utf_16, 0},
      {"8-bit, then UTF-16", eight + eight + utf_16, 3},
      {"an 8-bit comment, then UTF-16", "!x\n"s + utf_16, 2},
      {"an 8-bit line without TAB, then UTF-16", "x\n"s + utf_16, 0},
      {"UTF-16, then 8-bit lines", utf_16 + utf_16 + "\n" + eight + eight, 3},
      {"UTF-16, then one 8-bit line without an end", utf_16 + "\nka\tx", 0},
      {"UTF-16 with an empty first line, then 8-bit lines",
       "\n\0"s + utf_16 + "\n" + eight + eight, 3},
      // 上 (0A 4E) before the first NUL byte is no 8-bit line end.
      {"上 starting a UTF-16 line", "\x0A\x4E\t\0"s + utf_16, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find_encoding_change(c.text, false), c.line) << c.what;
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
      // The edges of gaps inside rows.
      {"\x81\xBF\x81\xC8", text_encoding::shift_jis, npos},  // ∩ ∧
      {"\x81\xC0", text_encoding::shift_jis, 0},
      {"\x83\xB6\x83\xBF", text_encoding::shift_jis, npos},  // Ω α
      {"\x83\xB7", text_encoding::shift_jis, 0},
      {"\x84\x60\x84\x70", text_encoding::shift_jis, npos},  // Я а
      {"\x84\x61", text_encoding::shift_jis, 0},
      {"\x84\x6F", text_encoding::shift_jis, 0},
      {"\xEE\xEC\xEE\xEF", text_encoding::shift_jis, npos},
      {"\xEE\xEE", text_encoding::shift_jis, 0},

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

// A lead byte that ends the line has no trail byte, whatever follows it in
// memory (the line end, or the next line).
TEST(FindUndecodable, LeadByteAtTheEndOfAView) {
  const std::string_view text = "a\x82\xA0";
  EXPECT_EQ(find_undecodable(text.substr(0, 2), text_encoding::shift_jis), 1u);
  EXPECT_EQ(find_undecodable(text.substr(1, 1), text_encoding::shift_jis), 0u);
}

// Every pair of bytes from 0x80 up, and every such byte alone, decodes as
// Shift_JIS exactly when iconv's CP932 reads it.
TEST(FindUndecodable, EveryPairAsIconvReadsIt) {
#ifdef BRENLOW_HAVE_ICONV
  iconv_t cd = iconv_open("UTF-8", "CP932");
  ASSERT_NE(reinterpret_cast<std::intptr_t>(cd), -1);
  const auto iconv_reads = [&](std::string bytes) {
    (void)iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char out[16];
    char* in_ptr = bytes.data();
    std::size_t in_left = bytes.size();
    char* out_ptr = out;
    std::size_t out_left = sizeof out;
    return iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) !=
               static_cast<std::size_t>(-1) &&
           in_left == 0;
  };
  for (unsigned first = 0x80; first < 0x100; ++first) {
    const std::string one(1, static_cast<char>(first));
    EXPECT_EQ(find_undecodable(one, text_encoding::shift_jis) ==
                  std::string_view::npos,
              iconv_reads(one))
        << std::hex << first;
    for (unsigned second = 0x40; second < 0x100; ++second) {
      std::string pair = one;
      pair.push_back(static_cast<char>(second));
      EXPECT_EQ(find_undecodable(pair, text_encoding::shift_jis) ==
                    std::string_view::npos,
                iconv_reads(pair))
          << std::hex << first << " " << second;
    }
  }
  iconv_close(cd);
#else
  GTEST_SKIP() << "no iconv";
#endif
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

// A long Shift_JIS text is read as UTF-8 line by line at the same time, in
// parts side by side, and a text of 4 MiB or more in two halves on two
// threads: a UTF-8 line anywhere (in either half, on either side of the
// cut) makes it a text whose lines must be checked one by one; a line that
// only starts like UTF-8 does not.
TEST(JudgeEncoding, Utf8LinesAnywhereInALongShiftJisText) {
  // あい TAB x in UTF-8, U+0821 (E0 A0 A1, also a kanji and a half-width
  // katakana) TAB xyzw, and "x TAB 霞" (E0 E0, a level-2 kanji, which
  // starts like UTF-8 but goes on otherwise), all 9 bytes.
  const std::string utf_8_line = "\xE3\x81\x82\xE3\x81\x84\tx\r";
  const std::string e0_line = "\xE0\xA0\xA1\txyzw\r";
  const std::string kanji_line = "x\t\xE0\xE0\x82\xA0\x82\xA0\r";
  // xyz TAB 縺 (E3 81) ﾀ (C0) a: C0 continues no UTF-8 sequence.
  const std::string kana_line =
      "xyz\t\xE3\x81\xC0"
      "a\r";
  const struct {
    const char* name;
    std::size_t lines;  // of "かな TAB 漢字 CR LF", 11 bytes each
    std::size_t at;     // the line replaced (its first 9 bytes)
    const std::string* line;
    bool throughout;
  } cases[] = {
      {"UTF-8 as the first line", 1000, 0, &utf_8_line, false},
      {"UTF-8 as line 250", 1000, 250, &utf_8_line, false},
      {"UTF-8 as line 500", 1000, 500, &utf_8_line, false},
      {"UTF-8 as line 751", 1000, 751, &utf_8_line, false},
      {"UTF-8 as the last line", 1000, 999, &utf_8_line, false},
      {"U+0821 as line 500", 1000, 500, &e0_line, false},
      {"a level-2 kanji as line 500", 1000, 500, &kanji_line, true},
      {"a level-2 kanji as the last line", 1000, 999, &kanji_line, true},
      {"a kanji and half-width katakana as line 500", 1000, 500, &kana_line,
       true},
      {"4.4 MB: no UTF-8", 400000, 0, &kanji_line, true},
      {"4.4 MB: UTF-8 as the first line", 400000, 0, &utf_8_line, false},
      {"4.4 MB: UTF-8 before the cut", 400000, 199999, &utf_8_line, false},
      {"4.4 MB: UTF-8 at the cut", 400000, 200000, &utf_8_line, false},
      {"4.4 MB: UTF-8 after the cut", 400000, 200001, &utf_8_line, false},
      {"4.4 MB: UTF-8 as line 300,000", 400000, 300000, &utf_8_line, false},
      {"4.4 MB: UTF-8 as the last line", 400000, 399999, &utf_8_line, false},
      {"4.4 MB: a level-2 kanji at the cut", 400000, 200000, &kanji_line, true},
  };
  for (const auto& c : cases) {
    std::string text;
    text.reserve(c.lines * 11);
    for (std::size_t i = 0; i < c.lines; ++i) {
      text += "\x82\xA9\x82\xC8\t\x8A\xBF\x8E\x9A\r\n";
    }
    text.replace(c.at * 11, 9, *c.line);
    const encoding_verdict verdict = judge_encoding(std::string_view(text));
    EXPECT_STREQ(name_of(verdict), "Shift_JIS") << c.name;
    EXPECT_EQ(verdict.decodes_throughout, c.throughout) << c.name;
  }
}

}  // namespace

}  // namespace brenlow
