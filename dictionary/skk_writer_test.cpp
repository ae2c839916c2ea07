#include "dictionary/skk_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace brenlow {

namespace {

std::string written(const std::vector<std::pair<const char*, const char*>>& filed,
                    line_end eol) {
  reading_table table;
  for (const auto& [reading, word] : filed) add_word(table, reading, word);
  output_stream stream = make_output_stream(nullptr, eol);
  write_skk_dictionary(table, stream);
  EXPECT_EQ(finish_output(stream), 0);
  return std::string(written_text(stream));
}

TEST(SkkWriter, Format) {
  const std::string markers =
      ";; okuri-ari entries.\r\n;; okuri-nasi entries.\r\n";
  struct {
    const char* name;
    std::vector<std::pair<const char*, const char*>> filed;
    std::string expected;
  } const cases[] = {
      {"empty table", {}, markers},
      {"two words",
       {{"kanji", "KANJI"}, {"kanji", "KANJI2"}},
       markers + "kanji /KANJI/KANJI2/\r\n"},
      {"empty word", {{"kana", ""}}, markers + "kana //\r\n"},
      {"percent signs pass unchanged",
       {{"%s", "%d%n"}},
       markers + "%s /%d%n/\r\n"},
      {"order of first appearance",
       {{"b", "1"}, {"a", "2"}, {"b", "3"}},
       markers + "b /1/3/\r\na /2/\r\n"},
      {"bytes unchanged",
       {{"\x82\xA9", "\x8A\xBF\xFF"}},
       markers + "\x82\xA9 /\x8A\xBF\xFF/\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(written(c.filed, line_end::crlf), c.expected) << c.name;
  }
}

TEST(SkkWriter, LineFeedOnly) {
  EXPECT_EQ(written({{"a", "b"}}, line_end::lf),
            ";; okuri-ari entries.\n;; okuri-nasi entries.\na /b/\n");
}

TEST(OutputStream, FailedWriteIsReported) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full here";
  output_stream stream = make_output_stream(full, line_end::crlf);
  write_bytes(stream, "x");
  EXPECT_NE(finish_output(stream), 0);
  (void)std::fclose(full);
}

TEST(OutputStream, LargeOutputArrivesWhole) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  output_stream stream = make_output_stream(file, line_end::crlf);
  std::string expected;
  for (int i = 0; i < 300000; ++i) {
    const std::string line = "line " + std::to_string(i);
    write_bytes(stream, line);
    end_line(stream);
    expected += line + "\r\n";
  }
  ASSERT_EQ(finish_output(stream), 0);
  std::rewind(file);
  std::string got(expected.size() + 1, '\0');
  got.resize(std::fread(&got[0], 1, got.size(), file));
  (void)std::fclose(file);
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
}

}  // namespace

namespace {

TEST(SkkWriter, SortedInUnsignedByteOrderWithCodingLine) {
  reading_table table;
  for (const char* reading : {"b", "\xE3\x81\x8B", "a", "B", "ab", "\x7F"}) {
    add_word(table, reading, "w");
  }
  add_word(table, "b", "second");
  output_stream stream = make_output_stream(nullptr, line_end::lf);
  skk_layout layout;
  layout.sorted = true;
  layout.utf_8_coding_line = true;
  write_skk_dictionary(table, stream, layout);
  EXPECT_EQ(written_text(stream),
            ";; -*- mode: fundamental; coding: utf-8 -*-\n"
            ";; okuri-ari entries.\n;; okuri-nasi entries.\n"
            "B /w/\na /w/\nab /w/\nb /w/second/\n\x7F /w/\n\xE3\x81\x8B /w/\n");
}

// Okuri-ari keys end in an ASCII letter: sorted, the section runs in
// descending byte order (the order SKK clients search it in), okuri-nasi
// still ascending; a comment line keeps the marker off the first line.
TEST(SkkWriter, OkuriAriSection) {
  reading_table nasi;
  add_word(nasi, "b", "B");
  add_word(nasi, "a", "A");
  reading_table ari;
  for (const char* key :
       {"\x82\xA9k", "\x82\xA9i", "\x82\xA9\x82\xF1j", "ak"}) {
    add_word(ari, key, "W");
  }
  add_word(ari, "\x82\xA9k", "V");
  struct {
    const char* name;
    bool sorted;
    bool comment_line_first;
    bool utf_8_coding_line;
    std::string expected;
  } const cases[] = {
      {"order of first appearance", false, false, false,
       ";; okuri-ari entries.\n\x82\xA9k /W/V/\n\x82\xA9i /W/\n"
       "\x82\xA9\x82\xF1j /W/\nak /W/\n;; okuri-nasi entries.\nb /B/\na /A/\n"},
      {"sorted: okuri-ari descending", true, false, false,
       ";; okuri-ari entries.\n\x82\xA9\x82\xF1j /W/\n\x82\xA9k /W/V/\n"
       "\x82\xA9i /W/\nak /W/\n;; okuri-nasi entries.\na /A/\nb /B/\n"},
      {"comment line first", false, true, false,
       ";; -*- mode: fundamental -*-\n;; okuri-ari entries.\n\x82\xA9k /W/V/\n"
       "\x82\xA9i /W/\n\x82\xA9\x82\xF1j /W/\nak /W/\n;; okuri-nasi entries.\n"
       "b /B/\na /A/\n"},
      {"coding line instead of the comment", false, true, true,
       ";; -*- mode: fundamental; coding: utf-8 -*-\n;; okuri-ari entries.\n"
       "\x82\xA9k /W/V/\n\x82\xA9i /W/\n\x82\xA9\x82\xF1j /W/\nak /W/\n"
       ";; okuri-nasi entries.\nb /B/\na /A/\n"},
  };
  for (const auto& c : cases) {
    output_stream stream = make_output_stream(nullptr, line_end::lf);
    skk_layout layout;
    layout.sorted = c.sorted;
    layout.comment_line_first = c.comment_line_first;
    layout.utf_8_coding_line = c.utf_8_coding_line;
    write_skk_dictionary(nasi, stream, layout, &ari);
    EXPECT_EQ(written_text(stream), c.expected) << c.name;
  }
}

}  // namespace

}  // namespace brenlow
