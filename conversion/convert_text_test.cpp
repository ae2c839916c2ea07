#include "conversion/convert_text.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

namespace brenlow {

namespace {

constexpr auto npos = std::string_view::npos;

// A sink that keeps the skipped lines.
skipped_line_sink collect(std::vector<line_problem>& skipped) {
  return [&skipped](const line_problem& line) { skipped.push_back(line); };
}

// A text as the encoding decision leaves it, not known to decode
// throughout.
prepared_input text_in(std::string_view text, text_encoding encoding,
                       std::size_t offset = 0) {
  prepared_input input;
  input.text = text;
  input.encoding = encoding;
  input.offset = offset;
  return input;
}

// The table rendered one "reading /w1/w2/" string per entry, "|" between.
std::string rendered(const reading_table& table) {
  std::string out;
  for (const reading_entry& entry : table.entries) {
    if (!out.empty()) out += "|";
    out += std::string(reading_of(table, entry)) + " /";
    std::vector<std::uint32_t> words;
    words_of(table, entry, words);
    for (std::uint32_t c : words) {
      out += std::string(word_of(table, c)) + "/";
    }
  }
  return out;
}

// The table of text converted with the default rules, rendered.
std::string converted(const std::string& text,
                      std::vector<line_problem>* skipped_out = nullptr,
                      text_encoding encoding = text_encoding::shift_jis) {
  skk_tables tables;
  std::vector<line_problem> skipped;
  convert_lines(text_in(text, encoding), entry_rules{}, false, tables,
                collect(skipped));
  if (skipped_out) *skipped_out = skipped;
  return rendered(tables.okuri_nasi);
}

// Lines are told done (done_with) only once nothing reads them again: a
// text whose lines are overwritten as soon as they are told done converts
// as it does untouched, in each line format, with readings changed to
// their typed form, words in concat form and repeated readings.
TEST(ConvertLines, LinesToldDoneAreNotReadAgain) {
  const struct {
    input_format format;
    const char* separator;
  } formats[] = {{input_format::tab_text, "\t"}, {input_format::csv, ","}};
  for (const auto& f : formats) {
    std::string text;
    for (int k = 0; text.size() < 1500000; ++k) {
      // A katakana reading ("\x83\x41", ア) is typed as hiragana.
      text += (k % 5 == 0 ? "\x83\x41" : "r") + std::to_string(k % 9000) +
              f.separator + (k % 3 == 0 ? "w/" : "w") + std::to_string(k) +
              f.separator + "\x96\xBC\x8E\x8C\r\n";  // 名詞
    }
    const auto convert = [&](std::string& input, bool overwrite,
                             std::vector<std::size_t>& told) {
      skk_tables tables;
      std::vector<line_problem> skipped;
      std::size_t overwritten = 0;
      const std::function<void(const char*)> done_with = [&](const char* end) {
        const auto at = static_cast<std::size_t>(end - input.data());
        told.push_back(at);
        if (!overwrite) return;
        for (; overwritten < at; ++overwritten) input[overwritten] = '\xFF';
      };
      convert_lines(text_in(input, text_encoding::shift_jis), entry_rules{},
                    false, tables, collect(skipped), f.format, {}, done_with);
      EXPECT_TRUE(skipped.empty()) << f.separator;
      return rendered(tables.okuri_nasi);
    };
    std::string untouched = text;
    std::string overwritten = text;
    std::vector<std::size_t> told;
    std::vector<std::size_t> told_overwriting;
    const std::string expected = convert(untouched, false, told);
    EXPECT_EQ(convert(overwritten, true, told_overwriting), expected)
        << f.separator;
    // Told every quarter megabyte or so, at the starts of lines.
    EXPECT_GE(told.size(), 5u) << f.separator;
    EXPECT_EQ(told, told_overwriting) << f.separator;
    for (std::size_t k = 0; k < told.size(); ++k) {
      EXPECT_TRUE(told[k] > (k == 0 ? 0 : told[k - 1]) &&
                  told[k] <= text.size() && text[told[k] - 1] == '\n')
          << f.separator << " told " << told[k];
    }
  }
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
      {"after a ! header, ! lines are comments", "!header\r\n!r\tw\r\nr\tv\r\n",
       "r /v/"},
      {"! only special first", "r!\tw!\r\n", "r! /w!/"},
      {"after a ! header, a comment with fields", "!h\r\n!\tx\ty\r\n", ""},
      {"the ATOK header", "!!ATOK_TANGO_TEXT_HEADER_1\r\n!!r\tw\r\nr\tv",
       "r /v/"},
      {"without a header, a ! line with a TAB is an entry",
       "r\tv\n!in\tnot in\t\x8B\x4C\x8D\x86\n!c\n", "r /v/|!in /not in/"},
      {"a first line with a TAB is no header", "!r\tw\r\n!s\tv\r\n!c\r\n",
       "!r /w/|!s /v/"},
      {"a header after empty lines is none", "\r\n!h\r\n!r\tw\r\n", "!r /w/"},
      {"a header after a mark", "\xEF\xBB\xBF!h\n!r\tw\nr\tv\n", "r /v/"},
      {"empty text", "", ""},
      {"comments only", "!a\r\n!b", ""},
      {"marks where files were joined are dropped",
       "r\tw\n\xEF\xBB\xBFr\tv\n\xEF\xBB\xBF\xEF\xBB\xBFq\tu\n",
       "r /w/v/|q /u/"},
      {"a joined file's header is a comment, with or without a header first",
       "r\tw\r\n\xEF\xBB\xBF!Microsoft IME Dictionary Tool\r\nq\tv\r\n",
       "r /w/|q /v/"},
      {"long line is one line", "r\t" + std::string(2000, 'x') + "\r\n",
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
  skk_tables tables;
  std::vector<line_problem> skipped;
  // The text starts after a three-byte mark.
  convert_lines(text_in("r\tw\r\nr\tv\xE9\r\nr\tu\n", text_encoding::utf_8, 3),
                entry_rules{}, false, tables, collect(skipped));
  ASSERT_EQ(skipped.size(), 1u);
  EXPECT_EQ(skipped[0].line_number, 2u);
  EXPECT_EQ(skipped[0].message,
            "invalid UTF-8 sequence at byte offset 11; line skipped");
  skipped.clear();
  convert_lines(text_in("r\tw\nr\x82\tv\n", text_encoding::shift_jis),
                entry_rules{}, false, tables, collect(skipped));
  ASSERT_EQ(skipped.size(), 1u);
  EXPECT_EQ(skipped[0].message,
            "invalid Shift_JIS byte at byte offset 5; line skipped");
}

// Written in EUC-JP, a Shift_JIS export's lines holding a character EUC-JP
// cannot write (0x8740, ①) lose the line or the annotation where the
// character is in the reading, the word or the comment, and keep all where
// it is in the part of speech, whether the text is known to decode
// throughout (its characters then found in one look, on two threads for
// a large text) or not (each line looked at on its own).
TEST(ConvertLines, CharactersTheOutputCannotWrite) {
  const std::string kanji = "\x8A\xBF";  // 漢
  const std::string circled = "\x87\x40";
  // In the largest text the lines are far enough apart for the one look to
  // tell them all (at most one character in 256 bytes and 1024 more); in
  // the middle one they are too many, and each line is looked at.
  for (const auto& [lines, period] :
       {std::pair<std::size_t, std::size_t>{100, 11},
        {100000, 11},
        {300000, 1009}}) {
    std::string text;
    std::vector<std::size_t> lost;   // lines skipped, from 1
    std::vector<std::size_t> plain;  // lines whose annotation is left out
    for (std::size_t k = 1; k <= lines; ++k) {
      std::string reading = "r" + std::to_string(k);
      std::string word = kanji + std::to_string(k);
      std::string part = kanji;
      std::string comment = "c";
      switch (k % period) {
        case 2:
          reading.insert(0, circled);
          lost.push_back(k);
          break;
        case 5:
          word.insert(0, circled);
          lost.push_back(k);
          break;
        case 7:
          comment += circled;
          plain.push_back(k);
          break;
        case 9: part += circled; break;
        default: break;
      }
      for (const std::string* field : {&reading, &word, &part, &comment}) {
        text += *field;
        text += field == &comment ? "\r\n" : "\t";
      }
    }
    entry_rules rules;
    rules.has_target = true;
    rules.target = output_encoding::euc_jp;
    std::string tables_seen[2];
    for (const bool throughout : {true, false}) {
      prepared_input input = text_in(text, text_encoding::shift_jis);
      input.decodes_throughout = throughout;
      skk_tables tables;
      std::vector<line_problem> skipped;
      convert_lines(input, rules, false, tables, collect(skipped));
      const std::string what = std::to_string(text.size()) + " bytes" +
                               (throughout ? ", throughout" : "");
      std::vector<std::size_t> lost_found;
      std::vector<std::size_t> plain_found;
      for (const line_problem& line : skipped) {
        const bool whole = line.message.find("line skipped") != npos;
        (whole ? lost_found : plain_found).push_back(line.line_number);
        EXPECT_NE(line.message.find("U+2460, which EUC-JP cannot write"), npos)
            << what << ": " << line.line_number << ": " << line.message;
      }
      EXPECT_EQ(lost_found, lost) << what;
      EXPECT_EQ(plain_found, plain) << what;
      ASSERT_EQ(tables.okuri_nasi.entries.size(), lines - lost.size()) << what;
      tables_seen[throughout ? 0 : 1] = rendered(tables.okuri_nasi);
    }
    EXPECT_EQ(tables_seen[0], tables_seen[1]) << lines << " lines";
  }
}

TEST(ConvertLines, RepeatedWords) {
  struct {
    const char* name;
    std::string text;
    bool unique;
    std::string expected;
    std::size_t taken_out;
  } const cases[] = {
      {"one source twice stays twice", "a\tw\na\tw\n", false, "a /w/w/", 0},
      {"two sources meeting: once", "ｱ\tw\nあ\tw\n", false, "あ /w/", 1},
      {"unchanged first, typed second", "あ\tw\nア\tw\n", false, "あ /w/", 1},
      {"two typed sources", "ｱ\tw\nア\tw\n", false, "あ /w/", 1},
      {"other words stay", "ｱ\tw\nあ\tv\nア\tw\n", false, "あ /w/v/", 1},
      {"the first takes the annotation", "ｱ\tw\nあ\tw\tn\tnote\n", false,
       "あ /w;note/", 1},
      {"unless a kept one has one", "ｱ\tw\nｱ\tw\tn\tx\nあ\tw\tn\ty\n", false,
       "あ /w/w;x/", 1},
      {"the first annotation only", "ｱ\tw\nあ\tw\tn\tx\nア\tw\tn\ty\n", false,
       "あ /w;x/", 2},
      {"a word with its annotation is the same word", "ｱ\tw\tn\tx\nあ\tw\n",
       false, "あ /w;x/", 1},
      {"unique: every repeat goes", "a\tw\na\tv\na\tw\na\tw\tn\tz\n", true,
       "a /w;z/v/", 2},
      {"unique: across readings nothing", "a\tw\nb\tw\n", true, "a /w/|b /w/",
       0},
      {"raw readings never meet", "ｱ\tw\nあ\tw\n", false, "ｱ /w/|あ /w/", 0},
  };
  for (const auto& c : cases) {
    skk_tables tables;
    entry_rules rules;
    rules.unique = c.unique;
    rules.typed_readings = std::string(c.name) != "raw readings never meet";
    const conversion_counts counts =
        convert_lines(text_in(c.text, text_encoding::utf_8), rules, false,
                      tables, [](const line_problem&) {});
    EXPECT_EQ(rendered(tables.okuri_nasi), c.expected) << c.name;
    EXPECT_EQ(counts.repeats_written_once, c.taken_out) << c.name;
  }
}

TEST(ConvertLines, Counts) {
  skk_tables tables;
  std::vector<line_problem> skipped;
  const conversion_counts counts = convert_lines(
      text_in("!c\r\n\r\na\t1\r\nb\t2\r\na\t3\r\nbad\r\n\xB1\t4\tn\tnote\r\n"
              "c\t\r\n;c\tw\r\n\x83\x41\t5\r\n",
              text_encoding::shift_jis),
      entry_rules{}, false, tables, collect(skipped));
  const reading_table& table = tables.okuri_nasi;
  EXPECT_EQ(counts.lines, 10u);
  EXPECT_EQ(counts.comment_or_empty_lines, 2u);
  EXPECT_EQ(counts.filed_lines, 6u);  // ";c" typed "；c"
  EXPECT_EQ(counts.skipped_lines, 2u);
  EXPECT_EQ(counts.skipped_by_reason[static_cast<int>(skip_reason::no_tab)],
            1u);
  EXPECT_EQ(counts.skipped_by_reason[static_cast<int>(skip_reason::empty_word)],
            1u);
  EXPECT_EQ(counts.readings_typed, 3u);  // ｱ and ア, both あ, and ;c
  EXPECT_EQ(counts.annotations, 1u);
  EXPECT_EQ(table.entries.size(), 4u);
}

TEST(ConvertLines, BangEntriesAndMarksCounted) {
  struct {
    const char* name;
    std::string text;
    text_encoding encoding;
    std::size_t bang_entries;
    std::size_t lines_with_mark;
    std::size_t first_line_with_mark;
  } const cases[] = {
      {"! lines without a header", "!a\tb\n!c\n!\tw\n!x\t\n",
       text_encoding::utf_8, 3, 0, 0},  // "!\tw", "!x\t" skipped after
      {"! lines after a header", "!h\n!a\tb\n", text_encoding::utf_8, 0, 0, 0},
      {"an undecodable ! line is not read as an entry",
       "r\tw\n!a\x82\tb\n!c\td\n", text_encoding::shift_jis, 1, 0, 0},
      {"UTF-8 files joined", "r\tw\n\xEF\xBB\xBFs\tv\n\n\xEF\xBB\xBF\n",
       text_encoding::utf_8, 0, 2, 2},
      // A UTF-8 export joined after a Shift_JIS one: EF is no Shift_JIS lead
      // byte that decodes, so the mark would make the line undecodable.
      {"a UTF-8 mark in Shift_JIS",
       "\x82\xA0\tw\r\n\xEF\xBB\xBF"
       "abc\tdef\r\n",
       text_encoding::shift_jis, 0, 1, 2},
  };
  for (const auto& c : cases) {
    skk_tables tables;
    std::vector<line_problem> skipped;
    const conversion_counts counts =
        convert_lines(text_in(c.text, c.encoding), entry_rules{}, false, tables,
                      collect(skipped));
    EXPECT_EQ(counts.bang_entry_lines, c.bang_entries) << c.name;
    EXPECT_EQ(counts.lines_with_mark, c.lines_with_mark) << c.name;
    EXPECT_EQ(counts.first_line_with_mark, c.first_line_with_mark) << c.name;
    EXPECT_EQ(counts.skipped_lines, skipped.size()) << c.name;
  }
}

TEST(ConvertLines, UndecodableOffsetsCountTheDroppedMark) {
  skk_tables tables;
  std::vector<line_problem> skipped;
  convert_lines(text_in("r\tw\n\xEF\xBB\xBFr\tv\xE9\n", text_encoding::utf_8),
                entry_rules{}, false, tables, collect(skipped));
  ASSERT_EQ(skipped.size(), 1u);
  EXPECT_EQ(skipped[0].message,
            "invalid UTF-8 sequence at byte offset 10; line skipped");
}

TEST(ConvertText, FormatsToldAndRead) {
  constexpr auto tab = input_format::tab_text;
  constexpr auto csv = input_format::csv;
  constexpr auto kotoeri = input_format::kotoeri;
  struct {
    const char* name;
    std::string raw;
    const char* forced;  // --format, or nullptr
    bool converted;
    input_format format;
    std::string expected;  // the table rendered
  } const cases[] = {
      {"a ZIP archive, refused before its NUL bytes",
       std::string("PK\x03\x04\x14\x00\x00\x00", 8), nullptr, false, tab, ""},
      {"a ZIP archive, whatever follows", "PK\x03\x04r\tw\n", nullptr, false,
       tab, ""},
      {"PK without the rest", "PK\tw\n", nullptr, true, tab, "PK /w/"},
      {"TAB text", "r\tw\tn\n", nullptr, true, tab, "r /w/"},
      {"Kotoeri text", "\"a\", \"b\", \"c\"\r\"d\", \"e\"\r", nullptr, true,
       kotoeri, "a /b/|d /e/"},
      {"CSV", "a,b,c\r\nd,\"e,f\",g\r\n", nullptr, true, csv, "a /b/|d /e,f/"},
      {"CSV quotes resolved by the reader, whatever --csv-quotes",
       "a,\"say \"\"hi\"\"\"\n", nullptr, true, csv,
       "a /(concat \"say \\042hi\\042\")/"},
      {"CSV forced on TAB text: every line skipped", "r\tw\n", "csv", true, csv,
       ""},
      {"TAB forced on CSV", "a,b\n", "tab", true, tab, ""},
      {"Kotoeri forced on CSV: the same reader", "a,b\n", "kotoeri", true,
       kotoeri, "a /b/"},
      {"comments only: TAB text", "!h\n!a,b\n", nullptr, true, tab, ""},
  };
  for (const auto& c : cases) {
    conversion_request request;
    request.raw = c.raw;
    if (c.forced != nullptr) {
      request.format_forced = format_of_name(c.forced, request.format);
    }
    conversion_result result;
    EXPECT_EQ(convert_text(request, result), c.converted) << c.name;
    EXPECT_EQ(result.zip_archive, !c.converted) << c.name;
    if (!c.converted) continue;
    EXPECT_EQ(result.format, c.format) << c.name;
    EXPECT_EQ(rendered(result.tables.okuri_nasi), c.expected) << c.name;
  }
}

TEST(ConvertLines, Utf8RulesKeepContinuationBytesInTheirCharacter) {
  // Under Shift_JIS rules the continuation byte 0x81 of "\xE3\x81" would
  // swallow the TAB after it.
  skk_tables tables;
  std::vector<line_problem> skipped;
  convert_lines(
      text_in("\xE3\x81\x81\t\xE8\x81\x81/\t\r\n", text_encoding::utf_8),
      entry_rules{}, false, tables, collect(skipped));
  const reading_table& table = tables.okuri_nasi;
  ASSERT_EQ(table.entries.size(), 1u);
  EXPECT_EQ(reading_of(table, table.entries[0]), "\xE3\x81\x81");
  EXPECT_EQ(word_of(table, 0), "(concat \"\xE8\x81\x81\\057\")");
}

TEST(ConvertLines, OkuriAriFromThePartOfSpeechField) {
  struct {
    const char* name;
    text_encoding encoding;
    std::string text;
    std::string expected;
    std::size_t lines_without_key;
  } const cases[] = {
      {"the third field names the class", text_encoding::utf_8,
       "かく\t書く\t動詞カ行五段\tcomment\n", "かk /書/|かi /書/", 0},
      {"each candidate once per key, in input order", text_encoding::utf_8,
       "かく\t書く\t動詞カ行五段\nかく\t欠く\tか行五段\nかく\t書く\tカ行五段*"
       "\n",
       "かk /書/欠/|かi /書/欠/", 0},
      {"keys from the reading as typed, candidates without annotation",
       text_encoding::utf_8, "カク\t書く\t動詞カ行五段\tメモ\n",
       "かk /書/|かi /書/", 0},
      {"no part of speech, a noun", text_encoding::utf_8,
       "かく\t書く\nかく\t書く\t\nき\t木\t名詞\n", "", 0},
      {"verbs without a key are counted", text_encoding::utf_8,
       "いく\tいく\t動詞カ行五段\nたへる\t食べる\t動詞一段\n", "", 2},
      {"a candidate with a slash in its concat form", text_encoding::utf_8,
       "かく\t書/く\t動詞カ行五段\n",
       "かk /(concat \"書\\057\")/|かi /(concat \"書\\057\")/", 0},
      {"a candidate that reads as Lisp in its concat form",
       text_encoding::utf_8, "かく\t(kill-emacs 42)く\t動詞カ行五段\n",
       "かk /(concat \"(kill-emacs 42)\")/|かi /(concat \"(kill-emacs 42)\")/",
       0},
      {"a Lisp stem of an adjective, the concat form taken once",
       text_encoding::utf_8,
       "たかい\t(f)い\t形容詞\nたかい\t(concat \"(f)\")い\t形容詞\n",
       "たかi /(concat \"(f)\")/(concat \"(concat \\042(f)\\042)\")/|"
       "たかk /(concat \"(f)\")/(concat \"(concat \\042(f)\\042)\")/|"
       "たかs /(concat \"(f)\")/(concat \"(concat \\042(f)\\042)\")/",
       0},
      {"a candidate starting an okurigana block in its concat form",
       text_encoding::utf_8,
       "ぽにょく\t[甲く\t動詞カ行五段\nぽにょく\t乙く\t動詞カ行五段\n",
       "ぽにょk /(concat \"[甲\")/乙/|ぽにょi /(concat \"[甲\")/乙/", 0},
      {"a bracket later in the candidate stands", text_encoding::utf_8,
       "かく\t甲[く\t動詞カ行五段\n", "かk /甲[/|かi /甲[/", 0},
      {"a Shift_JIS candidate that reads as Lisp", text_encoding::shift_jis,
       "\x82\xA9\x82\xAD\x09(x)"
       "\x82\xAD\x09\x82\xA9\x8D\x73\x8C\xDC\x92\x69\r\n",
       "\x82\xA9k /(concat \"(x)\")/|\x82\xA9i /(concat \"(x)\")/", 0},
      {"Shift_JIS", text_encoding::shift_jis,
       "\x82\xBD\x82\xD7\x82\xE9\x09\x90\x48\x82\xD7\x82\xE9\x09\x88\xEA\x92"
       "\x69\x93\xAE\x8E\x8C\x0D\x0A\x82\xBD\x82\xA9\x82\xA2\x09\x8D\x82\x82"
       "\xA2\x09\x8C\x60\x97\x65\x8E\x8C\x0D\x0A",
       "\x82\xBD\x62\x20\x2F\x90\x48\x2F\x7C\x82\xBD\x82\xA9\x69\x20\x2F\x8D"
       "\x82\x2F\x7C\x82\xBD\x82\xA9\x6B\x20\x2F\x8D\x82\x2F\x7C\x82\xBD\x82"
       "\xA9\x73\x20\x2F\x8D\x82\x2F",
       0},
  };
  for (const auto& c : cases) {
    skk_tables tables;
    std::vector<line_problem> skipped;
    const conversion_counts counts =
        convert_lines(text_in(c.text, c.encoding), entry_rules{}, true, tables,
                      collect(skipped));
    const reading_table& table = tables.okuri_nasi;
    const reading_table& okuri_ari = tables.okuri_ari;
    EXPECT_EQ(rendered(okuri_ari), c.expected) << c.name;
    EXPECT_EQ(counts.lines_without_okuri_ari, c.lines_without_key) << c.name;
    EXPECT_EQ(counts.filed_lines, table.candidates.size()) << c.name;
  }
}

}  // namespace

}  // namespace brenlow
