#include "formats/tab_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/shown_bytes.h"

namespace brenlow {

namespace {

constexpr auto sjis = text_encoding::shift_jis;

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
    const std::size_t word_start =
        extract_reading(c.line, reading_buffer, sjis);
    EXPECT_EQ(reading_buffer, c.reading) << "line: " << shown_bytes(c.line);
    const std::string word =
        word_start == std::string_view::npos
            ? "<none>"
            : std::string(extract_word(c.line, word_start, sjis));
    EXPECT_EQ(word, c.word) << "line: " << shown_bytes(c.line);
  }
}

TEST(NextLine, EveryLineEnd) {
  struct {
    std::string text;
    std::string lines;  // "|" after each line
  } const cases[] = {
      {"a\nb\n", "a|b|"},
      {"a\r\nb\r\n", "a|b|"},
      {"a\rb\r", "a|b|"},  // old Mac files
      {"a\r\r\nb", "a||b|"},
      {"a\n\rb", "a||b|"},
      {"a\r\n\r\n", "a||"},
      {"a", "a|"},
      {"\r", "|"},
      {"\n\n", "||"},
      {"a\tb\rc\td\ne\tf\r\n", "a\tb|c\td|e\tf|"},
      // Lines longer than the window memchr searches first.
      {std::string(300, 'x') + "\r" + std::string(300, 'y') + "\n",
       std::string(300, 'x') + "|" + std::string(300, 'y') + "|"},
      {std::string(300, 'x') + "\r\n" + std::string(255, 'y') + "\r\n",
       std::string(300, 'x') + "|" + std::string(255, 'y') + "|"},
  };
  for (const auto& c : cases) {
    std::string lines;
    for (std::size_t position = 0; position < c.text.size();) {
      lines += std::string(next_line(c.text, position)) + "|";
    }
    EXPECT_EQ(lines, c.lines) << "text: " << shown_bytes(c.text);
  }
}

// The record of each field, as "reading|word|part of speech|comment".
TEST(ReadTabLine, RecordsOfEntryLines) {
  struct {
    std::string line;
    std::string expected;
  } const cases[] = {
      {"r\tw", "r|w||"},
      {"r\tw\tn", "r|w|n|"},
      {"r\tw\tn\tc", "r|w|n|c"},
      {"r\tw\t\tc", "r|w||c"},
      {"r\tw\tn\tc\tmore", "r|w|n|c"},
      {"\tw", "|w||"},
      {"r\t", "r|||"},
      {"\x82\xA9\t\x8F\x91\x82\xAD\t\x83\x4A\x8D\x73\x8C\xDC\x92\x69",
       "\x82\xA9|\x8F\x91\x82\xAD|\x83\x4A\x8D\x73\x8C\xDC\x92\x69|"},
  };
  for (const auto& c : cases) {
    const entry_line read = read_tab_line(c.line, false, sjis, {});
    ASSERT_EQ(read.kind, line_kind::entry) << shown_bytes(c.line);
    const record& f = read.fields;
    EXPECT_EQ(std::string(f.reading) + "|" + std::string(f.word) + "|" +
                  std::string(f.part_of_speech) + "|" + std::string(f.comment),
              c.expected)
        << "line: " << shown_bytes(c.line);
  }
}

// What each line is: "entry:READING", "comment", "skipped" (with the
// reason's message), and "+mark N" for marks dropped, "+!" for an entry
// starting with "!".
TEST(ReadTabLine, KindsOfLines) {
  constexpr auto utf_8 = text_encoding::utf_8;
  constexpr auto comments = bang_lines::comments;
  constexpr auto entries = bang_lines::entries_with_tab;
  struct {
    std::string line;
    bool first_line;
    bang_lines bang;
    text_encoding encoding;
    std::string expected;
  } const cases[] = {
      {"", false, entries, sjis, "comment"},
      {"!comment", false, comments, sjis, "comment"},
      {"!r\tw", false, comments, sjis, "comment"},
      {"!comment", false, entries, sjis, "comment"},
      {"!r\tw", false, entries, sjis, "entry:!r +!"},
      {"!in\t\xE2\x88\x89\t\xE8\xA8\x98\xE5\x8F\xB7", false, entries, utf_8,
       "entry:!in +!"},
      {"!\tw", false, entries, sjis, "entry:! +!"},
      // The TAB byte after a lead byte is the pair's second byte.
      {"!\x82\tw", false, entries, sjis, "comment"},
      {"!\x82\tw", false, entries, utf_8, "skipped:undecodable"},
      {"!r\x82\tw", false, entries, utf_8, "skipped:undecodable"},
      {"r!\tw", false, comments, sjis, "entry:r!"},
      {"# Gboard Dictionary version:1", true, entries, utf_8, "comment"},
      {"# Gboard Dictionary version:1", false, entries, utf_8,
       "skipped:no TAB after the reading"},
      {"\xEF\xBB\xBF# Gboard Dictionary version:1", true, entries, utf_8,
       "comment +mark 3"},
      {"\xEF\xBB\xBFr\tw", false, comments, utf_8, "entry:r +mark 3"},
      {"\xEF\xBB\xBFr\tw", false, comments, sjis, "entry:r +mark 3"},
      {"\xEF\xBB\xBF\xEF\xBB\xBFr\tw", false, comments, utf_8,
       "entry:r +mark 6"},
      {"\xEF\xBB\xBF", false, comments, utf_8, "comment +mark 3"},
      {"\xEF\xBB\xBF!h", false, comments, sjis, "comment +mark 3"},
      {"\xEF\xBB\xBF!r\tw", false, entries, utf_8, "entry:!r +mark 3 +!"},
      {"\xEF\xBBr\tw", false, comments, utf_8, "skipped:undecodable"},
      {"r\xEF\xBB\xBF\tw", false, comments, utf_8, "entry:r\xEF\xBB\xBF"},
      {"\xEF\xBB\xBFnotab", false, comments, utf_8,
       "skipped:no TAB after the reading +mark 3"},
  };
  for (const auto& c : cases) {
    line_checks checks;
    checks.bang = c.bang;
    const entry_line read =
        read_tab_line(c.line, c.first_line, c.encoding, checks);
    std::string got = read.kind == line_kind::entry
                          ? "entry:" + std::string(read.fields.reading)
                      : read.kind == line_kind::comment_or_empty
                          ? "comment"
                          : "skipped:" + std::string(skip_message(read.reason));
    if (read.mark_bytes != 0)
      got += " +mark " + std::to_string(read.mark_bytes);
    if (read.bang_entry) got += " +!";
    EXPECT_EQ(got, c.expected) << "line: " << shown_bytes(c.line);
  }
}

TEST(ReadTabLine, FaultOffsetsCountTheMarks) {
  const entry_line read =
      read_tab_line("\xEF\xBB\xBFr\t\x82", false, text_encoding::shift_jis, {});
  EXPECT_EQ(read.reason, skip_reason::undecodable);
  EXPECT_EQ(read.fault_offset, 5u);
}

TEST(BangLinesOf, HeadersAreFirstLinesOfBangWithoutATab) {
  struct {
    std::string first_line;
    text_encoding encoding;
    bang_lines expected;
  } const cases[] = {
      {"!Microsoft IME Dictionary Tool", sjis, bang_lines::comments},
      {"!!ATOK_TANGO_TEXT_HEADER_1", sjis, bang_lines::comments},
      {"!", sjis, bang_lines::comments},
      {"\xEF\xBB\xBF!Microsoft IME Dictionary Tool", text_encoding::utf_8,
       bang_lines::comments},
      {"!\x82\t", sjis, bang_lines::comments},  // a pair, no TAB
      {"!in\t\xE2\x88\x89\t\xE8\xA8\x98\xE5\x8F\xB7", text_encoding::utf_8,
       bang_lines::entries_with_tab},
      {"", sjis, bang_lines::entries_with_tab},
      {" !h", sjis, bang_lines::entries_with_tab},
      {"# Gboard Dictionary version:1", text_encoding::utf_8,
       bang_lines::entries_with_tab},
      {"r\tw", sjis, bang_lines::entries_with_tab},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(bang_lines_of(c.first_line, c.encoding), c.expected)
        << "line: " << shown_bytes(c.first_line);
  }
}

}  // namespace

}  // namespace brenlow
