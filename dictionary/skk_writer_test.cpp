#include "dictionary/skk_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace brenlow {

namespace {

std::string written(
    const std::vector<std::pair<const char*, const char*>>& filed,
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

}  // namespace

namespace {

TEST(SkkWriter, BytesOrderIsUnsignedWithCodingLine) {
  reading_table table;
  for (const char* reading : {"b", "\xE3\x81\x8B", "a", "B", "ab", "\x7F"}) {
    add_word(table, reading, "w");
  }
  add_word(table, "b", "second");
  output_stream stream = make_output_stream(nullptr, line_end::lf);
  skk_layout layout;
  layout.order = sort_order::bytes;
  layout.encoding = output_encoding::utf_8;
  layout.comment_line_first = true;  // UTF-8 has its coding line there
  write_skk_dictionary(table, stream, layout);
  EXPECT_EQ(written_text(stream),
            ";; -*- mode: fundamental; coding: utf-8 -*-\n"
            ";; okuri-ari entries.\n;; okuri-nasi entries.\n"
            "B /w/\na /w/\nab /w/\nb /w/second/\n\x7F /w/\n\xE3\x81\x8B /w/\n");
}

std::string sorted_shift_jis(sort_order order, bool comment_line_first) {
  reading_table table;
  // か, ｱ (half-width), ～ (0x8160), あ, a
  for (const char* reading :
       {"\x82\xA9", "\xB1", "\x81\x60", "\x82\xA0", "a"}) {
    add_word(table, reading, "w");
  }
  output_stream stream = make_output_stream(nullptr, line_end::lf);
  skk_layout layout;
  layout.order = order;
  layout.comment_line_first = comment_line_first;
  write_skk_dictionary(table, stream, layout);
  return std::string(written_text(stream));
}

TEST(SkkWriter, ShiftJisOrdersAndCommentLine) {
  const std::string markers = ";; okuri-ari entries.\n;; okuri-nasi entries.\n";
  // Emacs reads ～ from cp932 as U+FF5E, which emacs-mule files under JIS X
  // 0212, after the kana; half-width katakana come before JIS X 0208.
  EXPECT_EQ(sorted_shift_jis(sort_order::skk, true),
            ";; SKK dictionary\n" + markers +
                "a /w/\n\xB1 /w/\n\x82\xA0 /w/\n\x82\xA9 /w/\n\x81\x60 /w/\n");
  EXPECT_EQ(sorted_shift_jis(sort_order::bytes, true),
            ";; SKK dictionary\n" + markers +
                "a /w/\n\x81\x60 /w/\n\x82\xA0 /w/\n\x82\xA9 /w/\n\xB1 /w/\n");
  EXPECT_EQ(
      sorted_shift_jis(sort_order::input, false),
      markers + "\x82\xA9 /w/\n\xB1 /w/\n\x81\x60 /w/\n\x82\xA0 /w/\na /w/\n");
}

TEST(SkkWriter, LongLinesAreReported) {
  // Emacs SKK's binary search can fail at a line of 5000 characters; a
  // Shift_JIS pair is one character.
  struct {
    const char* name;
    output_encoding encoding;
    std::string reading;
    std::string word;
    std::size_t characters;  // 0: not reported
  } const cases[] = {
      {"4999 characters", output_encoding::shift_jis, "a",
       std::string(4995, 'x'), 0},
      {"5000 characters", output_encoding::shift_jis, "a",
       std::string(4996, 'x'), 5000},
      {"5001 bytes, 2502 characters", output_encoding::shift_jis, "\x82\xA0",
       std::string(4996, '\x82'), 0},
      {"pairs reaching 5000", output_encoding::shift_jis, "\x82\xA0",
       std::string(9992, '\x82'), 5000},
      {"UTF-8 sequences", output_encoding::utf_8, "\xE3\x81\x82",
       [] {
         std::string s;
         for (int i = 0; i < 4996; ++i) s += "\xE3\x81\x82";
         return s;
       }(),
       5000},
      {"UTF-8 ASCII reaching 5000", output_encoding::utf_8, "a",
       std::string(4996, 'x'), 5000},
      {"UTF-8 just short", output_encoding::utf_8, "\xE3\x81\x82",
       [] {
         std::string s;
         for (int i = 0; i < 4995; ++i) s += "\xE3\x81\x82";
         return s;
       }(),
       0},
      // EUC: a pair from 0xA1, 0x8E and a half-width katakana, or 0x8F and
      // a pair (JIS X 0212, plane 2 of JIS X 0213) is one character.
      {"EUC-JP pairs reaching 5000", output_encoding::euc_jp, "\xA4\xA2",
       std::string(9992, '\xB0'), 5000},
      {"EUC-JP half-width katakana", output_encoding::euc_jp, "\xA4\xA2",
       [] {
         std::string s;
         for (int i = 0; i < 4996; ++i) s += "\x8E\xB1";
         return s;
       }(),
       5000},
      {"EUC-JIS-2004 triples just short", output_encoding::euc_jis_2004,
       "\xA4\xA2",
       [] {
         std::string s;
         for (int i = 0; i < 4995; ++i) s += "\x8F\xA1\xA1";
         return s;
       }(),
       0},
      {"EUC-JIS-2004 triples reaching 5000", output_encoding::euc_jis_2004,
       "\xA4\xA2",
       [] {
         std::string s;
         for (int i = 0; i < 4996; ++i) s += "\x8F\xA1\xA1";
         return s;
       }(),
       5000},
  };
  for (const auto& c : cases) {
    reading_table table;
    add_word(table, "b", "short");
    add_word(table, c.reading, c.word);
    output_stream stream = make_output_stream(nullptr, line_end::crlf);
    skk_layout layout;
    layout.encoding = c.encoding;
    const std::vector<long_line> found =
        write_skk_dictionary(table, stream, layout);
    if (c.characters == 0) {
      EXPECT_TRUE(found.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(found.size(), 1u) << c.name;
    EXPECT_EQ(found[0].reading, c.reading) << c.name;
    EXPECT_EQ(found[0].characters, c.characters) << c.name;
    // UTF-8 and EUC output start with their coding line.
    const std::size_t first_line =
        c.encoding == output_encoding::shift_jis ? 4 : 5;
    EXPECT_EQ(found[0].line_number, first_line) << c.name;
  }
}

// Okuri-ari keys end in an ASCII letter: sorted, the section runs in
// descending order (the order SKK clients search it in), okuri-nasi still
// ascending; the comment or coding line keeps the marker off the first line.
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
    sort_order order;
    bool comment_line_first;
    output_encoding encoding;
    std::string expected;
  } const cases[] = {
      {"order of first appearance", sort_order::input, false,
       output_encoding::shift_jis,
       ";; okuri-ari entries.\n\x82\xA9k /W/V/\n\x82\xA9i /W/\n"
       "\x82\xA9\x82\xF1j /W/\nak /W/\n;; okuri-nasi entries.\nb /B/\na /A/\n"},
      {"bytes: okuri-ari descending", sort_order::bytes, false,
       output_encoding::shift_jis,
       ";; okuri-ari entries.\n\x82\xA9\x82\xF1j /W/\n\x82\xA9k /W/V/\n"
       "\x82\xA9i /W/\nak /W/\n;; okuri-nasi entries.\na /A/\nb /B/\n"},
      {"skk: okuri-ari descending", sort_order::skk, true,
       output_encoding::shift_jis,
       ";; SKK dictionary\n;; okuri-ari entries.\n\x82\xA9\x82\xF1j /W/\n"
       "\x82\xA9k /W/V/\n\x82\xA9i /W/\nak /W/\n;; okuri-nasi entries.\n"
       "a /A/\nb /B/\n"},
      {"coding line instead of the comment", sort_order::input, true,
       output_encoding::utf_8,
       ";; -*- mode: fundamental; coding: utf-8 -*-\n;; okuri-ari entries.\n"
       "\x82\xA9k /W/V/\n\x82\xA9i /W/\n\x82\xA9\x82\xF1j /W/\nak /W/\n"
       ";; okuri-nasi entries.\nb /B/\na /A/\n"},
  };
  for (const auto& c : cases) {
    output_stream stream = make_output_stream(nullptr, line_end::lf);
    skk_layout layout;
    layout.order = c.order;
    layout.comment_line_first = c.comment_line_first;
    layout.encoding = c.encoding;
    write_skk_dictionary(nasi, stream, layout, &ari);
    EXPECT_EQ(written_text(stream), c.expected) << c.name;
  }
}

// The writer turns each reading's chain of words around while it writes
// them: a second writing of the same tables must give the same bytes, and
// long lines (whose characters are counted after their words are written)
// the same counts.
TEST(SkkWriter, WritingLeavesTheTablesAsTheyWere) {
  const std::string long_word(2500, 'x');
  reading_table nasi;
  for (const char* word : {"1", "2", "3"}) add_word(nasi, "a", word);
  add_word(nasi, "b", "4");
  add_word(nasi, "a", "5");
  add_word(nasi, "c", long_word);
  add_word(nasi, "c", long_word);
  reading_table ari;
  add_word(ari, "ak", "6");
  add_word(ari, "ak", "7");
  std::string first;
  for (int writing = 0; writing < 2; ++writing) {
    output_stream stream = make_output_stream(nullptr, line_end::lf);
    const std::vector<long_line> found =
        write_skk_dictionary(nasi, stream, skk_layout{}, &ari);
    ASSERT_EQ(found.size(), 1u) << "writing " << writing;
    // "c /", then each word and its slash.
    EXPECT_EQ(found[0].characters, 3u + 2 * 2501) << "writing " << writing;
    if (writing == 0) {
      first = std::string(written_text(stream));
      EXPECT_EQ(first.substr(0, 72),
                ";; okuri-ari entries.\nak /6/7/\n;; okuri-nasi entries.\n"
                "a /1/2/3/5/\nb /4/\n");
    } else {
      EXPECT_TRUE(written_text(stream) == first) << "writing " << writing;
    }
  }
}

// Sections of many entries are written by two threads, ranges of 4,096
// entries in turn, the second thread's lines made in a buffer of 1 MiB:
// the file and its long lines are what one writer gives, in both sections
// and both line ends, with words of several lines in a chain, long lines in
// ranges of each thread, and lines too long for the buffer (one of 2 MB,
// one of 1 MiB and a byte) in a range of the second thread, first or
// later in it. Sorted, the lines are made by both threads in pieces of
// 4,096 entries, then written in order: the same lines, sorted.
TEST(SkkWriter, ManyEntriesWrittenInTurns) {
  struct filed_word {
    std::string reading;
    std::string word;
  };
  const struct {
    const char* name;
    std::size_t readings;
    std::size_t big_at;  // the reading with one big word, and its size
    std::size_t big_size;
  } cases[] = {
      {"a range and one entry", 4097, 4096, 2000000},
      {"five ranges and a part", 20487, 4100, 2000000},
      {"a line just past the buffer", 12288, 8191, 1048577},
      {"a line just inside the buffer", 12288, 4113, 1048512},
      {"a long line first in a range made beside", 8193, 4096, 6000},
  };
  for (const auto& c : cases) {
    for (const auto& [eol, order] :
         {std::pair{line_end::lf, sort_order::input},
          std::pair{line_end::crlf, sort_order::input},
          std::pair{line_end::lf, sort_order::bytes},
          std::pair{line_end::crlf, sort_order::bytes}}) {
      const bool sorted = order == sort_order::bytes;
      const std::string name = std::string(c.name) +
                               (eol == line_end::lf ? ", LF" : ", CR LF") +
                               (sorted ? ", sorted" : "");
      std::vector<filed_word> filed;
      for (std::size_t k = 0; k < c.readings + c.readings / 3; ++k) {
        const std::size_t r = k < c.readings ? k : (k * 7) % c.readings;
        std::string word = "w" + std::to_string(k);
        if (r == c.big_at && k < c.readings) {
          word = std::string(c.big_size, 'B');
        } else if (k % 1500 == 0) {
          word = std::string(5000, 'L');
        }
        filed.push_back({"r" + std::to_string(r), word});
      }
      // What one writer gives: each reading's line, its words in order.
      std::vector<std::string> readings;
      std::vector<std::vector<std::string>> words(c.readings);
      reading_table nasi;
      reading_table ari;
      for (const filed_word& f : filed) {
        const std::size_t r = std::stoul(f.reading.substr(1));
        if (words[r].empty()) readings.push_back(f.reading);
        words[r].push_back(f.word);
        add_word(nasi, f.reading, f.word);
        add_word(ari, f.reading + "k", f.word);
      }
      const std::string end = eol == line_end::lf ? "\n" : "\r\n";
      // Sorted by bytes, okuri-nasi readings ascend and okuri-ari ones
      // ("r1k" after "r10k") descend.
      std::vector<std::string> readings_ari;
      readings_ari.reserve(readings.size());
      for (const std::string& reading : readings) {
        readings_ari.push_back(reading + "k");
      }
      if (sorted) {
        std::sort(readings.begin(), readings.end());
        std::sort(readings_ari.rbegin(), readings_ari.rend());
      }
      std::string lines_nasi;
      std::string lines_ari;
      std::vector<std::pair<std::string, std::size_t>> long_expected;
      std::vector<std::pair<std::string, std::size_t>> long_nasi;
      const auto line_of = [&](const std::string& reading) {
        std::string line = reading + " /";
        const std::size_t r = std::stoul(reading.substr(1));
        for (const std::string& w : words[r]) {
          line += w;
          line += '/';
        }
        return line;
      };
      for (std::size_t k = 0; k < readings.size(); ++k) {
        const std::string ari_line = line_of(readings_ari[k]);
        lines_ari.append(ari_line).append(end);
        // After the okuri-ari marker and line k, and again after every
        // okuri-ari line and the okuri-nasi marker.
        if (ari_line.size() >= 5000) {
          long_expected.push_back({readings_ari[k], k + 2});
        }
        const std::string nasi_line = line_of(readings[k]);
        lines_nasi.append(nasi_line).append(end);
        if (nasi_line.size() >= 5000) {
          long_nasi.push_back({readings[k], readings.size() + k + 3});
        }
      }
      long_expected.insert(long_expected.end(), long_nasi.begin(),
                           long_nasi.end());
      output_stream stream = make_output_stream(nullptr, eol);
      skk_layout layout;
      layout.order = order;
      const std::vector<long_line> found =
          write_skk_dictionary(nasi, stream, layout, &ari);
      std::string expected = ";; okuri-ari entries.";
      expected.append(end).append(lines_ari).append(";; okuri-nasi entries.");
      expected.append(end).append(lines_nasi);
      const std::string_view text = written_text(stream);
      EXPECT_EQ(text.size(), expected.size()) << name;
      EXPECT_TRUE(text == expected) << name;
      std::vector<std::pair<std::string, std::size_t>> long_found;
      long_found.reserve(found.size());
      for (const long_line& line : found) {
        long_found.push_back({std::string(line.reading), line.line_number});
      }
      EXPECT_EQ(long_found, long_expected) << name;
    }
  }
}

// Long lines are named by their line in the file, okuri-ari lines counted,
// in the order written: sorted lines are made in table order first.
TEST(SkkWriter, LongLinesCountOkuriAriLines) {
  const std::string long_word(5000, 'x');
  reading_table nasi;
  add_word(nasi, "c", long_word);
  add_word(nasi, "b", "short");
  reading_table ari;
  add_word(ari, "ak", "A");
  add_word(ari, "bk", long_word);
  struct {
    sort_order order;
    std::size_t bk_line;  // 1 is the okuri-ari marker
    std::size_t c_line;   // after the okuri-nasi marker, at 4
  } const cases[] = {
      {sort_order::input, 3, 5},
      {sort_order::bytes, 2, 6},  // okuri-ari descending
      {sort_order::skk, 2, 6},
  };
  for (const auto& c : cases) {
    output_stream stream = make_output_stream(nullptr, line_end::lf);
    skk_layout layout;
    layout.order = c.order;
    const std::vector<long_line> found =
        write_skk_dictionary(nasi, stream, layout, &ari);
    const int order = static_cast<int>(c.order);
    ASSERT_EQ(found.size(), 2u) << order;
    EXPECT_EQ(found[0].reading, "bk") << order;
    EXPECT_EQ(found[0].line_number, c.bk_line) << order;
    EXPECT_EQ(found[0].characters, 5005u) << order;  // "bk /", the word, "/"
    EXPECT_EQ(found[1].reading, "c") << order;
    EXPECT_EQ(found[1].line_number, c.c_line) << order;
    EXPECT_EQ(found[1].characters, 5004u) << order;
  }
}

}  // namespace

}  // namespace brenlow

namespace brenlow {
namespace {

// A program's longest line: a reading keeps the first words that fit, and
// a reading of which not even the first fits is left out; each is
// reported with the words left out.
TEST(SkkWriter, LongestLine) {
  struct {
    const char* name;
    std::vector<std::pair<const char*, const char*>> filed;
    std::size_t longest_line;
    std::string lines;  // the entry lines written, each ending in "|"
    std::string cut;    // "reading:line:words left out " for each cut
  } const cases[] = {
      {"every line fits", {{"a", "12"}, {"b", "3"}}, 7, "a /12/|b /3/|", ""},
      {"a line just at the limit",
       {{"a", "12"}, {"a", "3"}},
       8,
       "a /12/3/|",
       ""},
      {"one byte over", {{"a", "12"}, {"a", "3"}}, 7, "a /12/|", "a:3:1 "},
      {"words after one that does not fit are left out too",
       {{"a", "1"}, {"a", "2345"}, {"a", "6"}},
       8,
       "a /1/|",
       "a:3:2 "},
      {"not even the first word fits",
       {{"a", "123456"}, {"b", "1"}},
       6,
       "b /1/|",
       "a:0:1 "},
      {"the first word just at the limit",
       {{"a", "123456"}, {"b", "1"}},
       10,
       "a /123456/|b /1/|",
       ""},
  };
  for (const auto& c : cases) {
    reading_table table;
    for (const auto& [reading, word] : c.filed) add_word(table, reading, word);
    output_stream stream = make_output_stream(nullptr, line_end::lf);
    skk_layout layout;
    layout.longest_line = c.longest_line;
    const std::vector<long_line> found =
        write_skk_dictionary(table, stream, layout);
    std::string lines;
    std::string text(written_text(stream));
    const std::string marker = ";; okuri-nasi entries.\n";
    text = text.substr(text.find(marker) + marker.size());
    for (char ch : text) lines += ch == '\n' ? '|' : ch;
    EXPECT_EQ(lines, c.lines) << c.name;
    std::string cut;
    for (const long_line& line : found) {
      cut += std::string(line.reading) + ":" +
             std::to_string(line.line_number) + ":" +
             std::to_string(line.words_left_out) + " ";
    }
    EXPECT_EQ(cut, c.cut) << c.name;
  }
}

// A limit on lines holds in a section of many entries, in either order:
// such a section is written by one thread, line by line, never in turns.
TEST(SkkWriter, LongestLineInManyEntries) {
  constexpr std::size_t count = 3 * 4096 + 10;
  constexpr std::size_t cut_at = 4096 + 5;  // in the second range
  for (const sort_order order : {sort_order::input, sort_order::bytes}) {
    reading_table table;
    std::vector<std::string> readings;
    for (std::size_t k = 0; k < count; ++k) {
      readings.push_back("r" + std::to_string(k));
      add_word(table, readings.back(), "w");
      if (k == cut_at) add_word(table, readings.back(), "1234567890");
    }
    if (order == sort_order::bytes) std::sort(readings.begin(), readings.end());
    std::string expected;
    std::size_t cut_line = 0;
    for (std::size_t k = 0; k < readings.size(); ++k) {
      expected += readings[k] + " /w/\n";
      if (readings[k] == "r" + std::to_string(cut_at)) cut_line = k + 3;
    }
    output_stream stream = make_output_stream(nullptr, line_end::lf);
    skk_layout layout;
    layout.order = order;
    layout.longest_line = 12;  // "r4101 /w/" fits, another word does not
    const std::vector<long_line> found =
        write_skk_dictionary(table, stream, layout);
    const std::string marker = ";; okuri-nasi entries.\n";
    std::string text(written_text(stream));
    text = text.substr(text.find(marker) + marker.size());
    const char* name = order == sort_order::bytes ? "sorted" : "input order";
    EXPECT_TRUE(text == expected) << name;
    ASSERT_EQ(found.size(), 1u) << name;
    EXPECT_EQ(found[0].reading, "r" + std::to_string(cut_at)) << name;
    EXPECT_EQ(found[0].line_number, cut_line) << name;
    EXPECT_EQ(found[0].words_left_out, 1u) << name;
  }
}

}  // namespace
}  // namespace brenlow
