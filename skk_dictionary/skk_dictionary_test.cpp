#include "skk_dictionary/skk_dictionary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skk_dictionary/candidates.h"

namespace brenlow {

namespace {

// Characters by their bytes in each encoding, written out by hand:
// あ, 東, and ソ and 表, whose Shift_JIS pairs end in a backslash (0x5C).
#define EUC_A "\xA4\xA2"
#define EUC_HIGASHI "\xC5\xEC"
#define SJIS_A "\x82\xA0"
#define SJIS_SO "\x83\x5C"
#define SJIS_HYO "\x95\x5C"
#define UTF_A "\xE3\x81\x82"
#define UTF_HIGASHI "\xE6\x9D\xB1"

std::string kinds_of(const skk_dictionary& dictionary) {
  std::string kinds;
  for (const dictionary_line& line : dictionary.lines) {
    switch (line.kind) {
      case dictionary_line_kind::comment: kinds += 'c'; break;
      case dictionary_line_kind::okuri_ari_marker: kinds += 'A'; break;
      case dictionary_line_kind::okuri_nasi_marker: kinds += 'N'; break;
      case dictionary_line_kind::entry:
        kinds += line.okuri_ari ? 'a' : 'n';
        break;
      case dictionary_line_kind::malformed: kinds += 'x'; break;
    }
  }
  return kinds;
}

TEST(SkkDictionary, LinesAndEncodings) {
  struct {
    const char* name;
    std::string text;
    bool given;
    output_encoding given_encoding;
    output_encoding expected;   // when it reads
    std::string kinds;          // per line; empty: refused
    std::string first_reading;  // of the first entry
    std::string first_candidates;
    bool crlf;
    std::size_t warnings;
  } const cases[] = {
      {"personal dictionary with blocks, coding line",
       ";; -*- mode: fundamental; coding: euc-jp -*-\n;; okuri-ari "
       "entries.\n" EUC_A "r /" EUC_HIGASHI "/[" EUC_A "/" EUC_HIGASHI
       "/]/\n;; okuri-nasi entries.\n" EUC_A " /" EUC_HIGASHI ";note/\n",
       false, output_encoding::utf_8, output_encoding::euc_jp, "cAaNn",
       EUC_A "r", "/" EUC_HIGASHI "/[" EUC_A "/" EUC_HIGASHI "/]/", false, 0},
      {"coding names with -unix, in upper case",
       ";; -*- coding: EUC-JISX0213-unix -*-\n" EUC_A " /x/\n", false,
       output_encoding::utf_8, output_encoding::euc_jis_2004, "cn", EUC_A,
       "/x/", false, 0},
      {"libskk's spelling, coding line after #!",
       "#!/bin/true\n;; -*- coding: utf-8 -*-\n" UTF_A " /x/\n", false,
       output_encoding::euc_jp, output_encoding::utf_8, "xcn", UTF_A, "/x/",
       false, 1},
      {"CR LF, weighed as UTF-8, entries before any marker",
       UTF_A " /" UTF_HIGASHI "/\r\n;; okuri-nasi entries.\r\n", false,
       output_encoding::euc_jp, output_encoding::utf_8, "nN", UTF_A,
       "/" UTF_HIGASHI "/", true, 0},
      {"weighed as EUC-JP", EUC_A " /" EUC_HIGASHI "/\n", false,
       output_encoding::utf_8, output_encoding::euc_jp, "n", EUC_A,
       "/" EUC_HIGASHI "/", false, 0},
      {"weighed as Shift_JIS (a pair no EUC holds)",
       SJIS_SO " /" SJIS_HYO "/\n", false, output_encoding::utf_8,
       output_encoding::shift_jis, "n", SJIS_SO, "/" SJIS_HYO "/", false, 0},
      {"--merge-encoding over the coding line",
       ";; -*- coding: euc-jp -*-\n" SJIS_A " /x/\n", true,
       output_encoding::shift_jis, output_encoding::shift_jis, "cn", SJIS_A,
       "/x/", false, 0},
      {"malformed lines kept and named",
       ";; okuri-nasi entries.\nnospace/\n /x/\na x/\na /x\na /\n\na  /x/\n",
       false, output_encoding::utf_8, output_encoding::utf_8, "Nxxxxxcn", "a",
       "/x/", false, 5},
      {"bytes the coding line's encoding does not decode",
       ";; -*- coding: utf-8 -*-\n" EUC_A " /x/\na /b/\n", false,
       output_encoding::utf_8, output_encoding::utf_8, "cxn", "a", "/b/", false,
       1},
      {"UTF-8 mark",
       "\xEF\xBB\xBF"
       "a /b/\n",
       false, output_encoding::utf_8, output_encoding::utf_8, "n", "a", "/b/",
       false, 0},
      {"UTF-16LE mark",
       std::string("\xFF\xFE"
                   "a\0 \0/\0b\0/\0\n\0",
                   14),
       false, output_encoding::utf_8, output_encoding::utf_16le, "n", "a",
       "/b/", false, 0},
      {"UTF-16LE without its mark, given",
       std::string("a\0 \0/\0b\0/\0\r\0\n\0", 14), true,
       output_encoding::utf_16le, output_encoding::utf_16le, "n", "a", "/b/",
       true, 0},
      {"NUL bytes, not given as UTF-16LE", std::string("a\0 \0/\0b\0/\0", 10),
       false, output_encoding::utf_8, output_encoding::utf_8, "", "", "", false,
       0},
      {"a coding brenlow does not read", ";; -*- coding: iso-2022-jp -*-\n",
       false, output_encoding::utf_8, output_encoding::utf_8, "", "", "", false,
       0},
      {"no encoding decodes every byte", "a /\xFF\xFF/\n", false,
       output_encoding::utf_8, output_encoding::utf_8, "", "", "", false, 0},
      {"UTF-16BE", std::string("\xFE\xFF\0a", 4), false, output_encoding::utf_8,
       output_encoding::utf_8, "", "", "", false, 0},
  };
  for (const auto& c : cases) {
    skk_dictionary dictionary;
    std::vector<line_problem> warnings;
    line_problem problem;
    dictionary_reading how;
    how.encoding_given = c.given;
    how.encoding = c.given_encoding;
    const bool read =
        read_skk_dictionary(c.text, how, dictionary, warnings, problem);
    EXPECT_EQ(read, !c.kinds.empty()) << c.name << ": " << problem.message;
    if (!read) {
      EXPECT_FALSE(problem.message.empty()) << c.name;
      continue;
    }
    EXPECT_EQ(dictionary.encoding, c.expected) << c.name;
    EXPECT_EQ(kinds_of(dictionary), c.kinds) << c.name;
    EXPECT_EQ(dictionary.crlf, c.crlf) << c.name;
    EXPECT_EQ(warnings.size(), c.warnings) << c.name;
    for (const dictionary_line& line : dictionary.lines) {
      if (line.kind != dictionary_line_kind::entry) continue;
      EXPECT_EQ(line.reading(), c.first_reading) << c.name;
      EXPECT_EQ(line.candidates(), c.first_candidates) << c.name;
      break;
    }
  }
}

TEST(SkkDictionary, AsciiAloneLeavesTheEncodingOpen) {
  skk_dictionary dictionary;
  std::vector<line_problem> warnings;
  line_problem problem;
  ASSERT_TRUE(read_skk_dictionary(";; okuri-nasi entries.\nabc /def/\n", {},
                                  dictionary, warnings, problem));
  EXPECT_FALSE(dictionary.encoding_known);
}

TEST(SkkDictionary, CodingNames) {
  struct {
    const char* name;
    bool known;
    output_encoding encoding;
  } const cases[] = {
      {"euc-jp", true, output_encoding::euc_jp},
      {"japanese-iso-8bit-dos", true, output_encoding::euc_jp},
      {"euc-japan", true, output_encoding::euc_jp},
      {"euc-jis-2004", true, output_encoding::euc_jis_2004},
      {"Shift_JIS", true, output_encoding::shift_jis},
      {"japanese-shift-jis-mac", true, output_encoding::shift_jis},
      {"cp932", true, output_encoding::shift_jis},
      {"utf-8-unix", true, output_encoding::utf_8},
      {"UTF8", true, output_encoding::utf_8},
      {"utf-8-with-signature", true, output_encoding::utf_8},
      {"iso-2022-jp", false, output_encoding::utf_8},
      {"euc-jp-unix-dos", false, output_encoding::utf_8},
      {"-unix", false, output_encoding::utf_8},
  };
  for (const auto& c : cases) {
    output_encoding encoding = output_encoding::utf_8;
    EXPECT_EQ(encoding_of_coding_name(c.name, encoding), c.known) << c.name;
    if (c.known) {
      EXPECT_EQ(encoding, c.encoding) << c.name;
    }
  }
}

TEST(Candidates, Split) {
  struct {
    const char* candidates;
    std::vector<std::pair<std::string, bool>> elements;
  } const cases[] = {
      {"/a/", {{"a", false}}},
      {"/a/b;note/", {{"a", false}, {"b;note", false}}},
      {"/a//b/", {{"a", false}, {"", false}, {"b", false}}},
      {"/a/[r/x/y/]/[s/z/]/",
       {{"a", false}, {"[r/x/y/]", true}, {"[s/z/]", true}}},
      {"/[r/x/", {{"[r/x", true}}},
      {"/a/[]/", {{"a", false}, {"[]", true}}},
  };
  for (const auto& c : cases) {
    std::vector<candidate_element> elements;
    split_candidates(c.candidates, elements);
    std::vector<std::pair<std::string, bool>> got;
    got.reserve(elements.size());
    for (const candidate_element& e : elements) {
      got.emplace_back(std::string(e.text), e.block);
    }
    EXPECT_EQ(got, c.elements) << c.candidates;
  }
}

TEST(Candidates, WordMeant) {
  struct {
    const char* candidate;
    output_encoding encoding;
    std::string word;
  } const cases[] = {
      {"plain", output_encoding::utf_8, "plain"},
      {"word;annotation", output_encoding::utf_8, "word"},
      {"(concat \"a\\057b\")", output_encoding::utf_8, "a/b"},
      {"(concat \"a\\057b\");note", output_encoding::utf_8, "a/b"},
      {"(concat \"a\\073\" \"b\")", output_encoding::utf_8, "a;b"},
      {"(concat \"\\\"q\\\\\")", output_encoding::utf_8, "\"q\\"},
      {"(concat \"\\x2f\\ 1\")", output_encoding::utf_8, "/1"},
      {"(concat \"\\x3042\")", output_encoding::utf_8, UTF_A},
      {"(concat \"\\1\\12x\")", output_encoding::utf_8, "\x01\nx"},
      {"(concat \"tab\\there\")", output_encoding::utf_8, "tab\there"},
      {"(concat \"" SJIS_SO "\\057" SJIS_HYO "\")", output_encoding::shift_jis,
       SJIS_SO "/" SJIS_HYO},
      {"(concat \"" EUC_A "\\057\")", output_encoding::euc_jp, EUC_A "/"},
      {"(concat \"a\" (x))", output_encoding::utf_8, "(concat \"a\" (x))"},
      {"(concat \"unclosed)", output_encoding::utf_8, "(concat \"unclosed)"},
      {"(skk-current-date)", output_encoding::utf_8, "(skk-current-date)"},
      {"(concat \"\\x3042\")", output_encoding::euc_jp, "(concat \"\\x3042\")"},
      {"", output_encoding::utf_8, ""},
      // JIS X 0213's composed ɔ́ is ɔ and the combining acute written
      // apart; か゚ stays, as EUC-JIS-2004 has no code for its mark alone.
      {"a\xAB\xC9;n", output_encoding::euc_jis_2004, "a\xAB\xB8\xAB\xDA"},
      {"(concat \"\xAB\xC9\")", output_encoding::euc_jis_2004,
       "\xAB\xB8\xAB\xDA"},
      {"\xA4\xF7", output_encoding::euc_jis_2004, "\xA4\xF7"},
      {"\xAB\xC9", output_encoding::euc_jp, "\xAB\xC9"},
  };
  for (const auto& c : cases) {
    std::string buffer;
    EXPECT_EQ(candidate_word(c.candidate, c.encoding, buffer), c.word)
        << c.candidate;
  }
}

std::string lines_of(const skk_dictionary& dictionary) {
  std::string text;
  for (const dictionary_line& line : dictionary.lines) {
    text.append(line.text);
    text.push_back('\n');
  }
  return text;
}

TEST(SkkDictionary, Recoded) {
  struct {
    const char* name;
    std::string text;
    output_encoding target;
    std::string expected;
    std::size_t warnings;
  } const cases[] = {
      {"EUC-JP to UTF-8, coding line renamed",
       ";; -*- mode: fundamental; coding: euc-jp -*-\n" EUC_A "r /" EUC_HIGASHI
       "/[" EUC_A "/" EUC_HIGASHI "/]/\n",
       output_encoding::utf_8,
       ";; -*- mode: fundamental; coding: utf-8 -*-\n" UTF_A "r /" UTF_HIGASHI
       "/[" UTF_A "/" UTF_HIGASHI "/]/\n",
       0},
      // The word, the comment line, the reading, and both the word and
      // the line of the last entry are named.
      {"UTF-8 to EUC-JP: a word it cannot write left out",
       ";; -*- coding: utf-8 -*-\n" UTF_A " /\xF0\x9F\x98\x80/" UTF_HIGASHI
       "/\n;; \xF0\x9F\x98\x80\n\xF0\x9F\x98\x80 /x/\nb /\xF0\x9F\x98\x80/\n",
       output_encoding::euc_jp,
       ";; -*- coding: euc-jp -*-\n" EUC_A " /" EUC_HIGASHI "/\n", 5},
      {"no coding line: one is added", EUC_A " /x/\n", output_encoding::utf_8,
       ";; -*- coding: utf-8 -*-\n" UTF_A " /x/\n", 0},
      {"Shift_JIS to UTF-16LE: no coding line added", SJIS_A " /x/\n",
       output_encoding::utf_16le, UTF_A " /x/\n", 0},
      {"undecodable malformed line kept as it is",
       ";; -*- coding: euc-jp -*-\n\xFF\xFF\n", output_encoding::utf_8,
       ";; -*- coding: utf-8 -*-\n\xFF\xFF\n", 0},
  };
  for (const auto& c : cases) {
    skk_dictionary dictionary;
    std::vector<line_problem> warnings;
    line_problem problem;
    ASSERT_TRUE(read_skk_dictionary(c.text, {}, dictionary, warnings, problem))
        << c.name;
    warnings.clear();
    recode_dictionary(dictionary, c.target, warnings);
    EXPECT_EQ(lines_of(dictionary), c.expected) << c.name;
    EXPECT_EQ(warnings.size(), c.warnings) << c.name;
    EXPECT_EQ(dictionary.encoding, c.target) << c.name;
    if (dictionary.coding_line != std::string_view::npos) {
      EXPECT_EQ(dictionary.lines[dictionary.coding_line].text.substr(
                    dictionary.coding_name_offset, dictionary.coding_name_size),
                output_encoding_name(c.target))
          << c.name;
    }
  }
}

}  // namespace

}  // namespace brenlow
