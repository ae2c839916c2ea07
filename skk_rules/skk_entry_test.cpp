#include "skk_rules/skk_entry.h"

#include <gtest/gtest.h>

#include <string>

#include "formats/tab_text.h"
#include "tests/shown_bytes.h"

namespace brenlow {

namespace {

constexpr auto sjis = text_encoding::shift_jis;

std::string word_form(std::string_view field, text_encoding encoding = sjis,
                      bool csv_quotes = false) {
  std::string word_buffer;
  if (!needs_concat(field, encoding)) return std::string(field);
  encode_concat(field, word_buffer, encoding, csv_quotes);
  return word_buffer;
}

// The quoting of CSV files, kept by --csv-quotes.
TEST(WordForm, CsvQuotes) {
  struct {
    std::string field;
    std::string expected;
  } const cases[] = {
      {R"x(say ""hi"")x", R"x((concat "say \042hi\042"))x"},
      {R"x("x")x", R"x((concat "x"))x"},
      {R"x(")x", R"x((concat ""))x"},
      {R"x(a"""b)x", R"x((concat "a\042b"))x"},
      {R"x("""")x", R"x((concat "\042\042"))x"},
      {R"x(a")x", R"x((concat "a"))x"},
      {"\x82\xA0\"\"\x82\xA0", "(concat \"\x82\xA0\\042\" \"\x82\xA0\")"},
      // A dropped lone quote between an escape and a non-ASCII character.
      {"\"\"\"\x82\xA0", "(concat \"\\042\" \"\x82\xA0\")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(word_form(c.field, sjis, true), c.expected)
        << "field: " << shown_bytes(c.field);
  }
}

TEST(WordForm, PlainAndConcatForms) {
  struct {
    std::string field;
    std::string expected;
  } const cases[] = {
      {"abc", "abc"},
      {"a/b", R"x((concat "a\057b"))x"},
      {"a;b/c", R"x((concat "a\073b\057c"))x"},
      // A double quote is a character like any other.
      {R"x(Keeper of "Nature")x", R"x((concat "Keeper of \042Nature\042"))x"},
      {R"x(<a href=""></a>)x", R"x((concat "<a href=\042\042><\057a>"))x"},
      {R"x(")x", R"x((concat "\042"))x"},
      {R"x(a"""b)x", R"x((concat "a\042\042\042b"))x"},
      {R"x(a\b)x", R"x(a\b)x"},
      // A backslash inside the concat form is escaped, or clients would
      // read "\\057" back as a backslash followed by 057.
      {R"x(a\/b)x", R"x((concat "a\134\057b"))x"},
      {R"x(\")x", R"x((concat "\134\042"))x"},
      {"", ""},
      // Words that look like Lisp forms are quoted, not evaluated.
      {"(+)", R"x((concat "(+)"))x"},
      {"(kill-emacs)", R"x((concat "(kill-emacs)"))x"},
      {"()", R"x((concat "()"))x"},
      {"(\x8A\x94)", "(concat \"(\x8A\x94)\")"},  // (株)
      {"(^_^)", R"x((concat "(^_^)"))x"},
      {"(a/b)", R"x((concat "(a\057b)"))x"},
      {"(", "("},
      {")", ")"},
      {"(a", "(a"},
      {"a)", "a)"},
      {"a(b)", "a(b)"},
      {"(b) ", "(b) "},
      // A ")" that is the second byte of a two-byte character does not close
      // a form.
      {"(\x81)", "(\x81)"},
      {"%s%d", "%s%d"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(word_form(c.field), c.expected)
        << "field: " << shown_bytes(c.field);
  }
}

TEST(WordForm, SecondByteOfAPairIsNeverReserved) {
  struct {
    std::string field;
    bool concat;
  } const cases[] = {
      {"\x81\x2F", false},  // lead byte then "/"
      {"\x9F\x3B", false},  // lead byte then ";"
      {"\xE0\x22", false},  // lead byte then double quote
      {"\xFF\x5C", false},  // lead byte then backslash
      {"\x80/", true},      // 0x80 is a one-byte character
      {"\xA0/", true},      // half-width range is one-byte
      {"\xDF;", true},
      {"\xFD\x2F", false},  // 0xFD-0xFF are lead bytes too
      {"\x81\x81/", true},  // a pair, then a real "/"
      {"\x81/\x81", false},
      {"\x81", false},  // a lead byte cut short by the end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(needs_concat(c.field, sjis), c.concat)
        << "field: " << shown_bytes(c.field);
  }
}

TEST(WordForm, PairsAreCopiedWholeInConcatForm) {
  // 0x81 0x5C is a two-byte character ending in the byte of a backslash: it
  // must not be escaped.
  EXPECT_EQ(word_form("\x81\x5C/"), "(concat \"\x81\x5C\\057\")");
  EXPECT_EQ(word_form("\x82\xA0\"\"x"), "(concat \"\x82\xA0\\042\\042x\")");
  // A lead byte that ends the field is copied alone.
  EXPECT_EQ(word_form("/\x81"), "(concat \"\\057\" \"\x81\")");
}

// libskk 1.0.5 garbles a non-ASCII character right after an octal escape
// (山田\057太郎 shows mojibake); in a string of its own after the escape
// it reads back whole, and so does Emacs SKK.
TEST(WordForm, NonAsciiAfterAnEscapeStartsAString) {
  struct {
    std::string field;
    std::string expected;
  } const cases[] = {
      {"山田/太郎", R"x((concat "山田\057" "太郎"))x"},
      {"a;注", R"x((concat "a\073" "注"))x"},
      {"注\"注", R"x((concat "注\042" "注"))x"},
      {"注\\/x", R"x((concat "注\134\057x"))x"},
      {"(注)", R"x((concat "(注)"))x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(word_form(c.field, text_encoding::utf_8), c.expected)
        << "field: " << c.field;
  }
  EXPECT_EQ(word_form("\x82\xA0/\x82\xA0"),
            "(concat \"\x82\xA0\\057\" \"\x82\xA0\")");
}

// A line read by the TAB text format and checked by the entry rules,
// rendered as "entry reading|word|comment" or "skipped: why".
std::string read_line(std::string_view line, text_encoding encoding = sjis,
                      bool typed = true, bool first_line = false,
                      bool csv_quotes = false) {
  entry_rules rules;
  rules.typed_readings = typed;
  rules.csv_quotes = csv_quotes;
  std::string buffer;
  const entry_line read = read_tab_line(line, first_line, encoding, {});
  switch (read.kind) {
    case line_kind::comment_or_empty: return "comment";
    case line_kind::skipped:
      return std::string("skipped: ") + skip_message(read.reason) +
             (read.reason == skip_reason::undecodable
                  ? " at " + std::to_string(read.fault_offset)
                  : "");
    case line_kind::entry: break;
  }
  const skk_entry entry = check_record(read.fields, encoding, rules, buffer);
  if (entry.reason != skip_reason::none) {
    return std::string("skipped: ") + skip_message(entry.reason);
  }
  return "entry " + std::string(entry.reading) + "|" +
         std::string(read.fields.word) + "|" + std::string(read.fields.comment);
}

TEST(ReadEntryLine, Utf8) {
  constexpr auto utf_8 = text_encoding::utf_8;
  struct {
    std::string line;
    std::string expected;
  } const cases[] = {
      {"かな\t仮名\t名詞", "entry かな|仮名|"},
      {"かな\t仮名\t名詞\t注釈", "entry かな|仮名|注釈"},
      {"かな\t仮名\t名詞\t", "entry かな|仮名|"},
      {"かな\t仮名\t\t注釈\tmore", "entry かな|仮名|注釈"},
      // Gboard: reading, word, locale.
      {"かな\t仮名\tja-JP", "entry かな|仮名|"},
      {"カナ\t仮名", "entry かな|仮名|"},
      {"ｶﾅ\t仮名", "entry かな|仮名|"},
      {"!かな\t仮名", "comment"},
      {"", "comment"},
      {"かな", "skipped: no TAB after the reading"},
      {"\t仮名", "skipped: empty reading"},
      {"かな\t\t名詞\t仮名", "skipped: empty word"},
      // ";" before kana is typed "；" (▽ mode); without kana it stays.
      {";かな\t仮名", "entry ；かな|仮名|"},
      {";-)\t笑顔", "entry ；ー)|笑顔|"},
      {";;\t笑顔", "entry ；；|笑顔|"},
      {"；かな\t仮名", "entry ；かな|仮名|"},
      {"a b\tw", "skipped: reading holds a blank"},
      {"か　な\tw", "skipped: reading holds a blank"},
      {"a\x01"
       "b\tw",
       "skipped: reading holds a control character"},
      {"a\x7F\tw", "skipped: reading holds a control character"},
      // "/" in a reading is found by both clients.
      {"あ/い\tw", "entry あ/い|w|"},
      {"かな\t仮\xE5名", "skipped: undecodable at 10"},
      {"\xEF\xBF\t", "skipped: undecodable at 0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_line(c.line, utf_8), c.expected) << "line: " << c.line;
  }
  EXPECT_EQ(read_line("カナ\t仮名", utf_8, false), "entry カナ|仮名|");
  EXPECT_EQ(read_line("か　な\tw", utf_8, false),
            "skipped: reading holds a blank");
}

TEST(ReadEntryLine, ShiftJis) {
  struct {
    std::string line;
    std::string expected;
  } const cases[] = {
      {"\x83\x4A\x83\x69\tw\tn\tc", "entry \x82\xA9\x82\xC8|w|c"},  // カナ
      {"\x82\xA9\x81\x40\x82\xC8\tw", "skipped: reading holds a blank"},
      // 0x81 0x40 across two characters is no ideographic space.
      {"\x89\x81\x40\tw", "entry \x89\x81@|w|"},
      {"r\tw\x82", "skipped: undecodable at 3"},
      {"r\x82\tw", "skipped: undecodable at 1"},
      {"r\tw\xFD", "skipped: undecodable at 3"},
      {"\xA1\tw", "entry \x81\x42|w|"},  // ｡
      {"r\t\x82\xA0\t\x82\xA0\t\x81\x5C", "entry r|\x82\xA0|\x81\x5C"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_line(c.line), c.expected) << "line: " << shown_bytes(c.line);
  }
  // Readings kept as they are (--raw-readings) are checked all the same.
  const struct {
    std::string line;
    std::string expected;
  } raw_cases[] = {
      {"\x82\xA9\x81\x40\x82\xC8\tw", "skipped: reading holds a blank"},
      {"\x81\x40\tw", "skipped: reading holds a blank"},
      {"\x82\xA9\x81\x40\tw", "skipped: reading holds a blank"},
      {"a b\tw", "skipped: reading holds a blank"},
      {"\x83\x4A\tw", "entry \x83\x4A|w|"},
      {"\x8A\x81\x40\tw", "entry \x8A\x81@|w|"},  // 梶@
  };
  for (const auto& c : raw_cases) {
    EXPECT_EQ(read_line(c.line, sjis, false), c.expected)
        << "raw reading, line: " << shown_bytes(c.line);
  }
}

// Under --csv-quotes a lone quote is the format's own: a word or comment
// that is only one leaves nothing, so SKK would get an empty candidate
// (concat "") or annotation.
TEST(ReadEntryLine, CsvQuotesThatLeaveNothing) {
  struct {
    std::string line;
    bool csv_quotes;
    std::string expected;
  } const cases[] = {
      {"r\t\"", true, "skipped: empty word"},
      {"r\t\"\tn\tnote", true, "skipped: empty word"},
      {"r\t\"\"", true, "entry r|\"\"|"},
      {"r\t\"x\"", true, "entry r|\"x\"|"},
      {"r\t\"", false, "entry r|\"|"},
      {"r\tw\tn\t\"", true, "entry r|w|\""},
      {"r\tw\tn\t\"", false, "entry r|w|\""},
      {"r\tw\tn\t\"\"", true, "entry r|w|\"\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_line(c.line, sjis, true, false, c.csv_quotes), c.expected)
        << "line: " << c.line << (c.csv_quotes ? " (CSV quotes)" : "");
  }
}

TEST(ReadEntryLine, GboardHeaderOnlyAsTheFirstLine) {
  const std::string header = "# Gboard Dictionary version:1";
  EXPECT_EQ(read_line(header, sjis, true, true), "comment");
  EXPECT_EQ(read_line(header, sjis, true, false),
            "skipped: no TAB after the reading");
  EXPECT_EQ(read_line("#tag\tw", sjis, true, true), "entry #tag|w|");
}

// Both clients were tried with annotations: Emacs SKK (ddskk 17.1) and
// libskk 1.0.5 show (concat "a\057b") as a/b and (concat "a\073b") as a;b,
// and garble nothing once a non-ASCII character after an escape starts a
// string of its own. Emacs SKK evaluates an annotation that reads as Lisp
// ((emacs-version) shows the version, so (kill-emacs) would end Emacs),
// also each side of a ";" in it, and drops a leading "*"; in concat form
// all of these show as written in both.
TEST(SkkCandidate, WordsAndAnnotations) {
  struct {
    std::string line;
    std::string expected;  // "=" when the word field stands as it is
    bool annotated;
    bool csv_quotes = false;
  } const cases[] = {
      {"r\tw\tn", "=", false},
      {"r\tw\tn\t", "=", false},
      {"r\tw\tn\tnote", "w;note", true},
      {"r\tw\tja-JP", "=", false},
      {"r\ta/b\tn", R"x((concat "a\057b"))x", false},
      {"r\ta/b\tn\tnote", R"x((concat "a\057b");note)x", true},
      {"r\tw\tn\ta/b", R"x(w;(concat "a\057b"))x", true},
      {"r\tw\tn\ta;b", R"x(w;(concat "a\073b"))x", true},
      {"r\tw\tn\tsay \"hi\"", R"x(w;(concat "say \042hi\042"))x", true},
      {"r\tw\tn\t(kill-emacs)", R"x(w;(concat "(kill-emacs)"))x", true},
      {"r\tw\tn\t*note", R"x(w;(concat "*note"))x", true},
      {"r\tw\tn\tc:\\path", R"x(w;c:\path)x", true},
      {"r\tw\tn\t(a", "w;(a", true},
      {"r\tw\tn\t注釈/です", R"x(w;(concat "注釈\057" "です"))x", true},
      // Under CSV quotes a comment that is one lone quote leaves nothing.
      {"r\tw\tn\t\"", "=", false, true},
      {"r\tw\tn\t\"\"", R"x(w;(concat "\042"))x", true, true},
      {"r\tw\tn\t\"", R"x(w;(concat "\042"))x", true, false},
  };
  for (const auto& c : cases) {
    entry_rules rules;
    std::string out;
    rules.csv_quotes = c.csv_quotes;
    const entry_line read =
        read_tab_line(c.line, false, text_encoding::utf_8, {});
    ASSERT_EQ(read.kind, line_kind::entry) << c.line;
    bool annotated = false;
    const bool changed =
        skk_candidate(read.fields, text_encoding::utf_8, rules, out, annotated);
    EXPECT_EQ(changed ? out : "=", c.expected) << "line: " << c.line;
    EXPECT_EQ(annotated, c.annotated) << "line: " << c.line;
  }
  entry_rules without;
  without.annotations = false;
  std::string out;
  bool annotated = true;
  const entry_line read =
      read_tab_line("r\tw\tn\tnote", false, text_encoding::utf_8, {});
  EXPECT_FALSE(skk_candidate(read.fields, text_encoding::utf_8, without, out,
                             annotated));
  EXPECT_FALSE(annotated);
}

}  // namespace

// What macSKK (only \057 and \073, in one string) and AquaSKK (no concat
// at all) show as meant, for the forms encode_concat writes.
TEST(ConcatReadable, ByProgram) {
  struct {
    const char* word;  // the word field, in UTF-8
    bool macskk;
    bool aquaskk;
  } const cases[] = {
      {"漢字", true, true},
      {"C:\\tmp", true, true},  // a backslash alone needs no concat form
      {"A/B", true, false},
      {"A;B", true, false},
      {"(foo)", true, false},  // Lisp-looking, no escape
      {"say \"hi\"", false, false},
      {"(a\\b)", false, false},  // the backslash escaped in concat form
      {"宿/語", false, false},   // an escape before kana splits the string
      {"/宿", false, false},
      {"宿/", true, false},
  };
  for (const auto& c : cases) {
    std::string form = c.word;
    if (needs_concat(c.word, text_encoding::utf_8)) {
      form.clear();
      encode_concat(c.word, form, text_encoding::utf_8, false);
    }
    EXPECT_TRUE(concat_readable(form, concat_reading::full)) << form;
    EXPECT_EQ(concat_readable(form, concat_reading::slash_and_semicolon),
              c.macskk)
        << form;
    EXPECT_EQ(concat_readable(form, concat_reading::none), c.aquaskk) << form;
  }
}

}  // namespace brenlow
