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
    const tab_line read = read_tab_line(c.line, false, sjis, {});
    ASSERT_EQ(read.kind, line_kind::entry) << shown_bytes(c.line);
    const record& f = read.fields;
    EXPECT_EQ(std::string(f.reading) + "|" + std::string(f.word) + "|" +
                  std::string(f.part_of_speech) + "|" + std::string(f.comment),
              c.expected)
        << "line: " << shown_bytes(c.line);
  }
}

}  // namespace

}  // namespace brenlow
