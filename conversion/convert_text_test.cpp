#include "conversion/convert_text.h"

#include <gtest/gtest.h>

#include <string>

namespace brenlow {

namespace {

// A sink that keeps the skipped lines.
skipped_line_sink collect(std::vector<line_problem>& skipped) {
  return [&skipped](const line_problem& line) { skipped.push_back(line); };
}

// The table rendered one "reading /w1/w2/" string per entry, "|" between.
std::string converted(const std::string& text,
                      std::vector<line_problem>* skipped_out = nullptr,
                      text_encoding encoding = text_encoding::shift_jis) {
  reading_table table;
  std::vector<line_problem> skipped;
  convert_lines(text, encoding, entry_rules{}, table, collect(skipped));
  std::string out;
  for (const reading_entry& entry : table.entries) {
    if (!out.empty()) out += "|";
    out += std::string(entry.reading()) + " /";
    std::vector<std::uint32_t> words;
    words_of(table, entry, words);
    for (std::uint32_t c : words) {
      out += std::string(table.candidates[c].word()) + "/";
    }
  }
  if (skipped_out) *skipped_out = skipped;
  return out;
}

TEST(ConvertLines, LineEnds) {
  struct {
    const char* name;
    std::string text;
    std::string expected;
  } const cases[] = {
      {"CR LF", "r\tword\tn\r\n", "r /word/"},
      {"LF only keeps every content byte", "r\tword\nr\tw2\n", "r /word/w2/"},
      {"last line without line end", "r\tw\tnoun", "r /w/"},
      {"last line ends in TAB", "r\tw\t", "r /w/"},
      {"last line ends in one-byte part of speech", "r\tw\tn", "r /w/"},
      {"last line ends in CR only", "r\tw\r", "r /w/"},
      {"a lone CR ends a line", "r\ta\rq\tb\r\n", "r /a/|q /b/"},
      {"CR-only file", "r\ta\rr\tb\r", "r /a/b/"},
      {"CR CR LF: a line and an empty line", "r\tw\r\r\nr\tv", "r /w/v/"},
      {"line of only CR LF", "\r\n\r\nr\tw\r\n", "r /w/"},
      {"lone line feeds", "\n\nr\tw\n\n", "r /w/"},
      {"comment lines", "!r\tw\r\nr\tv\r\n", "r /v/"},
      {"! only special first", "r!\tw!\r\n", "r! /w!/"},
      {"comment with fields", "!\tx\ty\r\n", ""},
      {"empty text", "", ""},
      {"comments only", "!a\r\n!b", ""},
      {"long line is one line",
       "r\t" + std::string(2000, 'x') + "\r\n",
       "r /" + std::string(2000, 'x') + "/"},
      {"concat words", "r\ta/b\r\nr\tc\r\n", "r /(concat \"a\\057b\")/c/"},
      {"empty words are skipped", "kana\t\tn\r\n", ""},
      {"a lead byte before the line end makes it undecodable",
       "r\tw\x82\r\nq\tv\r\n", "q /v/"},
      {"readings that become the same are one",
       "\x83\x4A\tw1\n\x82\xA9\tw2\n\xB6\tw3\n", "\x82\xA9 /w1/w2/w3/"},
      {"annotations", "r\tw\tn\tnote\n", "r /w;note/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(converted(c.text), c.expected) << c.name;
  }
}

TEST(ConvertLines, SkippedLinesAreNamed) {
  std::vector<line_problem> skipped;
  const std::string text =
      "!comment\r\n"
      "notab\r\n"
      "r\tw\r\n"
      "\tword\tn\r\n"
      "\r\n"
      "last";
  EXPECT_EQ(converted(text, &skipped), "r /w/");
  ASSERT_EQ(skipped.size(), 3u);
  EXPECT_EQ(skipped[0].line_number, 2u);
  EXPECT_EQ(skipped[0].message, "no TAB after the reading; line skipped");
  EXPECT_EQ(skipped[1].line_number, 4u);
  EXPECT_EQ(skipped[1].message, "empty reading; line skipped");
  EXPECT_EQ(skipped[2].line_number, 6u);
}

TEST(ConvertLines, UndecodableLinesNameTheOffsetInTheFile) {
  reading_table table;
  std::vector<line_problem> skipped;
  // The text starts after a three-byte mark.
  convert_lines("r\tw\r\nr\tv\xE9\r\nr\tu\n", text_encoding::utf_8,
                entry_rules{}, table, collect(skipped), 3);
  ASSERT_EQ(skipped.size(), 1u);
  EXPECT_EQ(skipped[0].line_number, 2u);
  EXPECT_EQ(skipped[0].message,
            "invalid UTF-8 sequence at byte offset 11; line skipped");
  skipped.clear();
  convert_lines("r\tw\nr\x82\tv\n", text_encoding::shift_jis, entry_rules{},
                table, collect(skipped));
  ASSERT_EQ(skipped.size(), 1u);
  EXPECT_EQ(skipped[0].message,
            "invalid Shift_JIS byte at byte offset 5; line skipped");
}

TEST(ConvertLines, Counts) {
  reading_table table;
  std::vector<line_problem> skipped;
  const conversion_counts counts = convert_lines(
      "!c\r\n\r\na\t1\r\nb\t2\r\na\t3\r\nbad\r\n\xB1\t4\tn\tnote\r\n"
      "c\t\r\n;c\tw\r\n\x83\x41\t5\r\n",
      text_encoding::shift_jis, entry_rules{}, table, collect(skipped));
  EXPECT_EQ(counts.lines, 10u);
  EXPECT_EQ(counts.comment_or_empty_lines, 2u);
  EXPECT_EQ(counts.filed_lines, 5u);
  EXPECT_EQ(counts.skipped_lines, 3u);
  EXPECT_EQ(counts.skipped_by_reason[static_cast<int>(skip_reason::no_tab)], 1u);
  EXPECT_EQ(
      counts.skipped_by_reason[static_cast<int>(skip_reason::empty_word)], 1u);
  EXPECT_EQ(counts.skipped_by_reason[static_cast<int>(
                skip_reason::reading_starts_with_semicolon)],
            1u);
  EXPECT_EQ(counts.readings_typed, 2u);  // ｱ and ア, both あ
  EXPECT_EQ(counts.annotations, 1u);
  EXPECT_EQ(table.entries.size(), 3u);
}

TEST(ConvertLines, Utf8RulesKeepContinuationBytesInTheirCharacter) {
  // Under Shift_JIS rules the continuation byte 0x81 of "\xE3\x81" would
  // swallow the TAB after it.
  reading_table table;
  std::vector<line_problem> skipped;
  convert_lines("\xE3\x81\x81\t\xE8\x81\x81/\t\r\n", text_encoding::utf_8,
                entry_rules{}, table, collect(skipped));
  ASSERT_EQ(table.entries.size(), 1u);
  EXPECT_EQ(table.entries[0].reading(), "\xE3\x81\x81");
  EXPECT_EQ(table.candidates[0].word(), "(concat \"\xE8\x81\x81\\057\")");
}

}  // namespace

}  // namespace brenlow
