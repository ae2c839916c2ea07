#include "encodings/output_encoding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_facts.h"
#include "encodings/cp932_duplicates.h"
#include "encodings/decodable.h"
#include "tests/shown_bytes.h"

// glibc iconv's CP932 is an independent reading of the Shift_JIS pairs.
#if !defined(_WIN32) && __has_include(<iconv.h>)
#include <iconv.h>
#define BRENLOW_HAVE_ICONV 1
#endif

namespace brenlow {

namespace {

std::string from_hex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(
        std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

constexpr auto sjis = text_encoding::shift_jis;
constexpr auto utf8 = text_encoding::utf_8;
constexpr auto npos = std::string_view::npos;

// Held text written in a target: the bytes (as Emacs 28.2's coders and
// glibc 2.36's iconv wrote the same characters, by hand), or the first
// character the target cannot write and its offset. Shift_JIS text is
// given as bytes, UTF-8 text as characters.
struct recoding_row {
  const char* what;
  const char* text;
  text_encoding held;
  output_encoding target;
  const char* expected_hex;  // nullptr: not writable
  char32_t code_point = 0;   // the character that is not
  std::size_t offset = npos;
};

const recoding_row recoding_rows[] = {
    // Kana and kanji.
    {"hiragana to Shift_JIS", "あい", utf8, output_encoding::shift_jis,
     "82A082A2"},
    {"hiragana to EUC-JP", "あい", utf8, output_encoding::euc_jp, "A4A2A4A4"},
    {"hiragana to EUC-JIS-2004", "あい", utf8, output_encoding::euc_jis_2004,
     "A4A2A4A4"},
    {"hiragana to UTF-16LE", "あい", utf8, output_encoding::utf_16le,
     "42304430"},
    {"kanji with ASCII to Shift_JIS", "a漢字\\~", utf8,
     output_encoding::shift_jis, "618ABF8E9A5C7E"},
    {"Shift_JIS kanji to EUC-JP", "\x8A\xBF\x8E\x9A", sjis,
     output_encoding::euc_jp, "B4C1BBFA"},
    {"Shift_JIS kanji to UTF-8", "\x8A\xBF\x8E\x9A", sjis,
     output_encoding::utf_8, "E6BCA2E5AD97"},
    {"Shift_JIS kanji to UTF-16LE", "\x8A\xBF\x8E\x9A", sjis,
     output_encoding::utf_16le, "226F575B"},
    {"Shift_JIS ASCII to UTF-16LE", "a\t~", sjis, output_encoding::utf_16le,
     "610009007E00"},
    // Half-width katakana: one byte in Shift_JIS, 8E and a byte in EUC.
    {"Shift_JIS half-width kana to EUC-JP", "\xB1\xDF", sjis,
     output_encoding::euc_jp, "8EB18EDF"},
    {"half-width kana to EUC-JIS-2004", "ｱ", utf8,
     output_encoding::euc_jis_2004, "8EB1"},
    {"half-width kana to Shift_JIS", "ｱ", utf8, output_encoding::shift_jis,
     "B1"},
    // 8F: JIS X 0212 in EUC-JP, JIS X 0213 plane 2 in EUC-JIS-2004.
    {"丂 (JIS X 0212) to EUC-JP", "丂", utf8, output_encoding::euc_jp,
     "8FB0A1"},
    {"丂 (plane 2) to EUC-JIS-2004", "丂", utf8, output_encoding::euc_jis_2004,
     "8FA1A2"},
    {"丂 to Shift_JIS", "x丂", utf8, output_encoding::shift_jis, nullptr, U'丂',
     1},
    {"𠂉 (plane 2, beyond the BMP) to EUC-JIS-2004", "𠂉", utf8,
     output_encoding::euc_jis_2004, "8FA1A1"},
    {"𠂉 to EUC-JP", "𠂉", utf8, output_encoding::euc_jp, nullptr, U'𠂉', 0},
    {"鷗 to EUC-JP (JIS X 0212)", "鷗", utf8, output_encoding::euc_jp,
     "8FECBF"},
    {"鷗 to EUC-JIS-2004 (plane 1)", "鷗", utf8, output_encoding::euc_jis_2004,
     "FEE5"},
    {"¦ to EUC-JP", "¦", utf8, output_encoding::euc_jp, "8FA2C3"},
    {"¦ to EUC-JIS-2004", "¦", utf8, output_encoding::euc_jis_2004, "A9A5"},
    // Where the three codings map a sign differently.
    {"～ (U+FF5E) to Shift_JIS", "～", utf8, output_encoding::shift_jis,
     "8160"},
    {"～ (U+FF5E) to EUC-JP, in JIS X 0212", "～", utf8,
     output_encoding::euc_jp, "8FA2B7"},
    {"～ (U+FF5E) to EUC-JIS-2004", "～", utf8, output_encoding::euc_jis_2004,
     "A2B2"},
    {"Shift_JIS 8160 to EUC-JP", "\x81\x60", sjis, output_encoding::euc_jp,
     "8FA2B7"},
    {"〜 (U+301C) to EUC-JP", "〜", utf8, output_encoding::euc_jp, "A1C1"},
    {"〜 (U+301C) to Shift_JIS", "〜", utf8, output_encoding::shift_jis,
     nullptr, U'〜', 0},
    {"‖ (U+2016) to EUC-JP", "‖", utf8, output_encoding::euc_jp, "A1C2"},
    {"‖ (U+2016) to Shift_JIS", "‖", utf8, output_encoding::shift_jis, nullptr,
     U'‖', 0},
    {"− (U+2212) to EUC-JP", "−", utf8, output_encoding::euc_jp, "A1DD"},
    {"− (U+2212) to Shift_JIS", "−", utf8, output_encoding::shift_jis, nullptr,
     U'−', 0},
    {"－ (U+FF0D) to Shift_JIS", "－", utf8, output_encoding::shift_jis,
     "817C"},
    {"－ (U+FF0D) to EUC-JIS-2004", "－", utf8, output_encoding::euc_jis_2004,
     "A2B1"},
    {"－ (U+FF0D) to EUC-JP", "－", utf8, output_encoding::euc_jp, nullptr,
     U'－', 0},
    {"∥ (U+2225) to Shift_JIS", "∥", utf8, output_encoding::shift_jis, "8161"},
    {"∥ (U+2225) to EUC-JIS-2004", "∥", utf8, output_encoding::euc_jis_2004,
     "A2D4"},
    {"∥ (U+2225) to EUC-JP", "∥", utf8, output_encoding::euc_jp, nullptr, U'∥',
     0},
    {"¥ (U+00A5) to EUC-JP, which Emacs writes with an escape", "¥", utf8,
     output_encoding::euc_jp, nullptr, U'¥', 0},
    {"¥ (U+00A5) to Shift_JIS", "¥", utf8, output_encoding::shift_jis, nullptr,
     U'¥', 0},
    {"ゔ (U+3094) to EUC-JIS-2004", "ゔ", utf8, output_encoding::euc_jis_2004,
     "A4F4"},
    {"ゔ (U+3094) to EUC-JP", "ゔ", utf8, output_encoding::euc_jp, nullptr,
     U'ゔ', 0},
    {"ゔ (U+3094) to Shift_JIS", "ゔ", utf8, output_encoding::shift_jis,
     nullptr, U'ゔ', 0},
    // Code page 932's NEC row 13 and IBM extensions.
    {"Shift_JIS ① to EUC-JIS-2004", "\x87\x40", sjis,
     output_encoding::euc_jis_2004, "ADA1"},
    {"Shift_JIS あ① to EUC-JP", "\x82\xA0\x87\x40", sjis,
     output_encoding::euc_jp, nullptr, U'①', 2},
    {"① to Shift_JIS", "①", utf8, output_encoding::shift_jis, "8740"},
    {"Shift_JIS ≒ in row 87 to EUC-JP", "\x87\x90", sjis,
     output_encoding::euc_jp, "A2E2"},
    {"≒ to Shift_JIS: row 81, not row 87", "≒", utf8,
     output_encoding::shift_jis, "81E0"},
    {"纊 to Shift_JIS: the IBM row FA, not the NEC-selected ED", "纊", utf8,
     output_encoding::shift_jis, "FA5C"},
    {"Shift_JIS 纊 in row ED to EUC-JP (JIS X 0212)", "\xED\x40", sjis,
     output_encoding::euc_jp, "8FD4E3"},
    {"Shift_JIS 纊 in row ED to EUC-JIS-2004", "\xED\x40", sjis,
     output_encoding::euc_jis_2004, "FAB7"},
    {"Shift_JIS 髙 (IBM row FB) to EUC-JIS-2004", "\x8D\x82\xFB\xFC", sjis,
     output_encoding::euc_jis_2004, nullptr, U'髙', 2},
    {"Shift_JIS ≒ in row 87 to Shift_JIS: copied as it is", "\x87\x90", sjis,
     output_encoding::shift_jis, "8790"},
    // The user-defined area reads as private-use characters.
    {"Shift_JIS F040 to UTF-8", "\xF0\x40", sjis, output_encoding::utf_8,
     "EE8080"},
    {"Shift_JIS F9FC to UTF-16LE", "\xF9\xFC", sjis, output_encoding::utf_16le,
     "57E7"},
    {"Shift_JIS F040 to EUC-JP", "\xF0\x40", sjis, output_encoding::euc_jp,
     nullptr, 0xE000, 0},
    {"Shift_JIS F040 to EUC-JIS-2004", "a\xF0\x40", sjis,
     output_encoding::euc_jis_2004, nullptr, 0xE000, 1},
    {"U+E000 to Shift_JIS", "\xEE\x80\x80", utf8, output_encoding::shift_jis,
     "F040"},
    // Beyond the Basic Multilingual Plane.
    {"𠀋 (U+2000B) to EUC-JIS-2004, in plane 1", "𠀋", utf8,
     output_encoding::euc_jis_2004, "AEA2"},
    {"𠀋 (U+2000B) to EUC-JP", "あ𠀋", utf8, output_encoding::euc_jp, nullptr,
     U'𠀋', 3},
    {"𠀋 (U+2000B) to Shift_JIS", "𠀋", utf8, output_encoding::shift_jis,
     nullptr, U'𠀋', 0},
    {"𠀋 (U+2000B) to UTF-16LE: a surrogate pair", "𠀋", utf8,
     output_encoding::utf_16le, "40D80BDC"},
    {"emoji to UTF-16LE: a surrogate pair", "a😀", utf8,
     output_encoding::utf_16le, "61003DD800DE"},
    {"emoji to EUC-JIS-2004", "aあ😀", utf8, output_encoding::euc_jis_2004,
     nullptr, U'😀', 4},
    {"emoji to EUC-JP", "😀", utf8, output_encoding::euc_jp, nullptr, U'😀', 0},
    {"emoji to Shift_JIS", "😀", utf8, output_encoding::shift_jis, nullptr, U'😀',
     0},
    {"emoji to UTF-8 (held as it is)", "😀", utf8, output_encoding::utf_8,
     "F09F9880"},
    // The first character that cannot be written is the one reported.
    {"two that cannot", "‖ゔ", utf8, output_encoding::shift_jis, nullptr, U'‖',
     0},
    {"empty text", "", utf8, output_encoding::euc_jp, ""},
};

std::string utf_8_of(char32_t code_point) {
  std::string out;
  append_utf_8(out, code_point);
  return out;
}

TEST(OutputEncoding, RecodingRows) {
  for (const recoding_row& row : recoding_rows) {
    const std::string_view text = row.text;
    const unencodable_character found =
        find_unencodable(text, row.held, row.target);
    // The whole text looked at once finds the same first character.
    std::vector<std::size_t> all;
    EXPECT_TRUE(find_all_unencodable(text, row.held, row.target, 8, all))
        << row.what;
    if (row.expected_hex == nullptr) {
      EXPECT_EQ(found.offset, row.offset) << row.what;
      EXPECT_EQ(found.code_point, row.code_point)
          << row.what << ": " << utf_8_of(found.code_point);
      EXPECT_EQ(all.empty() ? npos : all.front(), row.offset) << row.what;
      continue;
    }
    EXPECT_EQ(found.offset, npos)
        << row.what << ": U+" << std::hex << found.code_point;
    EXPECT_TRUE(all.empty()) << row.what << ": at " << all.front();
    std::string out = "<";  // appended to, not replaced
    append_recoded(text, row.held, row.target, out);
    EXPECT_EQ(shown_bytes(out), shown_bytes("<" + from_hex(row.expected_hex)))
        << row.what;
    // Written in place, through the direct tables where held is
    // Shift_JIS: the same bytes, within the room promised.
    std::string room(4 * text.size() + 1, '\xFF');
    const std::size_t written =
        write_recoded(text, row.held, row.target, room.data());
    EXPECT_EQ(shown_bytes(room.substr(0, written)),
              shown_bytes(from_hex(row.expected_hex)))
        << row.what << " (write_recoded)";
    EXPECT_EQ(room.back(), '\xFF') << row.what << " (write_recoded)";
    // Read back as Emacs reads the file: the same characters.
    if (row.held == utf8) {
      std::string back;
      append_utf_8_of(from_hex(row.expected_hex), row.target, back);
      EXPECT_EQ(shown_bytes(back), shown_bytes(text)) << row.what;
    }
  }
}

// Every character a target cannot write, in order, in texts small and
// large (read in two halves on two threads, cut after the line feed past
// the middle): lines of kanji, some holding an unwritable character at
// their start, middle or end, and the limit on how many are told.
TEST(OutputEncoding, AllUnencodableCharacters) {
  struct text_row {
    const char* what;
    text_encoding held;
    output_encoding target;
    const char* writable;    // a line's characters, all writable
    const char* unwritable;  // one character the target cannot write
  } const rows[] = {
      // 0x8740, ①, is NEC's row 13: not in EUC-JP.
      {"Shift_JIS to EUC-JP", sjis, output_encoding::euc_jp,
       "\x8A\xBF\x8E\x9A\tkey\t\xB1", "\x87\x40"},
      {"Shift_JIS to EUC-JIS-2004, a user-defined pair", sjis,
       output_encoding::euc_jis_2004, "\x8A\xBF\t\x82\xA0", "\xF0\x40"},
      {"UTF-8 to Shift_JIS", utf8, output_encoding::shift_jis, "漢字\tかな",
       "😀"},
      {"UTF-8 to EUC-JP", utf8, output_encoding::euc_jp, "漢字\tｱ", "①"},
  };
  for (const text_row& row : rows) {
    for (const std::size_t lines : {std::size_t{40}, std::size_t{700000}}) {
      std::string text;
      std::vector<std::size_t> expected;
      for (std::size_t k = 0; k < lines; ++k) {
        const std::string line = row.writable;
        if (k % 7 == 3) {
          // At the line's start, after its first character, or at its end.
          const std::size_t at = k % 3 == 0   ? 0
                                 : k % 3 == 1 ? line.find('\t')
                                              : line.size();
          expected.push_back(text.size() + at);
          text += line.substr(0, at) + row.unwritable + line.substr(at);
        } else {
          text += line;
        }
        text += k % 2 == 0 ? "\r\n" : "\n";
      }
      const std::string what =
          std::string(row.what) + ", " + std::to_string(text.size()) + " bytes";
      std::vector<std::size_t> found;
      EXPECT_TRUE(find_all_unencodable(text, row.held, row.target,
                                       expected.size(), found))
          << what;
      EXPECT_EQ(found, expected) << what;
      // One more than the limit: the offsets are not told.
      EXPECT_FALSE(find_all_unencodable(text, row.held, row.target,
                                        expected.size() - 1, found))
          << what;
    }
  }
}

// Written text read back as Emacs decodes it, including codes brenlow
// does not write (Emacs reads them all).
struct reading_row {
  const char* what;
  const char* hex;
  output_encoding encoding;
  const char* expected;  // UTF-8
};
const reading_row reading_rows[] = {
    {"ASCII", "615C7E09", output_encoding::euc_jp, "a\\~\t"},
    {"Shift_JIS 8160", "8160", output_encoding::shift_jis, "～"},
    {"Shift_JIS half-width kana", "B1DF", output_encoding::shift_jis, "ｱﾟ"},
    {"Shift_JIS ≒ in row 87", "8790", output_encoding::shift_jis, "≒"},
    {"Shift_JIS 纊 in row ED", "ED40", output_encoding::shift_jis, "纊"},
    {"Shift_JIS user-defined F9FC", "F9FC", output_encoding::shift_jis,
     "\xEE\x9D\x97"},
    {"EUC-JP A1C1", "A1C1", output_encoding::euc_jp, "〜"},
    {"EUC-JP 8FA2B7", "8FA2B7", output_encoding::euc_jp, "～"},
    {"EUC-JP half-width kana", "8EB1", output_encoding::euc_jp, "ｱ"},
    {"EUC-JP kanji", "B4C1BBFA", output_encoding::euc_jp, "漢字"},
    {"EUC-JIS-2004 A1C1", "A1C1", output_encoding::euc_jis_2004, "〜"},
    {"EUC-JIS-2004 A2B2", "A2B2", output_encoding::euc_jis_2004, "～"},
    {"EUC-JIS-2004 A4F4", "A4F4", output_encoding::euc_jis_2004, "ゔ"},
    {"EUC-JIS-2004 ADA1", "ADA1", output_encoding::euc_jis_2004, "①"},
    {"EUC-JIS-2004 AEA2", "AEA2", output_encoding::euc_jis_2004, "𠀋"},
    {"EUC-JIS-2004 8FA1A1", "8FA1A1", output_encoding::euc_jis_2004, "𠂉"},
    // Codes of two characters, glibc's pairs; one cut short at the end.
    {"EUC-JIS-2004 A4F7", "A4F7", output_encoding::euc_jis_2004, "か\u309A"},
    {"EUC-JIS-2004 A5FC", "A5FC", output_encoding::euc_jis_2004, "セ\u309A"},
    {"EUC-JIS-2004 A6F8", "A6F8", output_encoding::euc_jis_2004,
     "\u31F7\u309A"},
    {"EUC-JIS-2004 ABE6", "ABE6", output_encoding::euc_jis_2004,
     "\u02E5\u02E9"},
    {"EUC-JIS-2004 A4 at the end", "61A4", output_encoding::euc_jis_2004,
     "a\uFFFD"},
    {"UTF-16LE kana", "42304430", output_encoding::utf_16le, "あい"},
    {"UTF-16LE surrogate pair", "40D80BDC", output_encoding::utf_16le, "𠀋"},
    // Cut short, the high surrogate stands alone (as its three bytes) and
    // the odd byte after it is no unit: nothing past the text is read.
    {"UTF-16LE high surrogate, then one byte", "3DD800",
     output_encoding::utf_16le, "\xED\xA0\xBD"},
    {"UTF-8", "E6BCA2", output_encoding::utf_8, "漢"},
};

// Where find_unencodable need not look: the held encoding itself, and the
// Unicode encodings.
TEST(OutputEncoding, WritesEveryCharacter) {
  struct {
    text_encoding held;
    output_encoding target;
    bool every;
  } const rows[] = {
      {sjis, output_encoding::shift_jis, true},
      {sjis, output_encoding::utf_8, true},
      {sjis, output_encoding::utf_16le, true},
      {sjis, output_encoding::euc_jp, false},
      {sjis, output_encoding::euc_jis_2004, false},
      {utf8, output_encoding::utf_8, true},
      {utf8, output_encoding::utf_16le, true},
      {utf8, output_encoding::shift_jis, false},
      {utf8, output_encoding::euc_jp, false},
      {utf8, output_encoding::euc_jis_2004, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(writes_every_character(row.held, row.target), row.every)
        << output_encoding_name(row.target)
        << (row.held == sjis ? " from Shift_JIS" : " from UTF-8");
  }
}

TEST(OutputEncoding, ReadingRows) {
  for (const reading_row& row : reading_rows) {
    // In a buffer of its exact size, so that the sanitizers see a read
    // past its end.
    const std::string bytes = from_hex(row.hex);
    const std::unique_ptr<char[]> exact(new char[bytes.size()]);
    bytes.copy(exact.get(), bytes.size());
    std::string out = "<";
    append_utf_8_of(std::string_view(exact.get(), bytes.size()), row.encoding,
                    out);
    EXPECT_EQ(shown_bytes(out), shown_bytes(std::string("<") + row.expected))
        << row.what;
  }
}

TEST(OutputEncoding, UndecodableBytes) {
  const struct {
    const char* what;
    const char* hex;
    output_encoding encoding;
    std::size_t offset;  // npos: every byte decodes
  } rows[] = {
      {"EUC-JP kanji and ASCII", "B4C1612E", output_encoding::euc_jp,
       std::string_view::npos},
      {"EUC-JP unassigned A9A1", "61A9A1", output_encoding::euc_jp, 1},
      {"EUC-JP cut pair", "6162B4", output_encoding::euc_jp, 2},
      {"EUC-JIS-2004 code of two characters", "A4F7ABE6",
       output_encoding::euc_jis_2004, std::string_view::npos},
      {"EUC-JP has no A4F7", "A4F7", output_encoding::euc_jp, 0},
      {"EUC-JIS-2004 A4 cut", "A4", output_encoding::euc_jis_2004, 0},
      {"Shift_JIS pair with a backslash", "835C", output_encoding::shift_jis,
       std::string_view::npos},
      {"Shift_JIS FD", "FD", output_encoding::shift_jis, 0},
      {"UTF-8 overlong", "61C0AF", output_encoding::utf_8, 1},
      {"UTF-8", "E6BCA2", output_encoding::utf_8, std::string_view::npos},
  };
  for (const auto& row : rows) {
    const std::string bytes = from_hex(row.hex);
    const std::unique_ptr<char[]> exact(new char[bytes.size()]);
    bytes.copy(exact.get(), bytes.size());
    EXPECT_EQ(find_undecodable_as(std::string_view(exact.get(), bytes.size()),
                                  row.encoding),
              row.offset)
        << row.what;
  }
}

TEST(OutputEncoding, Names) {
  struct {
    const char* name;
    bool known;
    output_encoding encoding;
  } const rows[] = {
      {"shift_jis", true, output_encoding::shift_jis},
      {"Shift_JIS", true, output_encoding::shift_jis},
      {"SJIS", true, output_encoding::shift_jis},
      {"cp932", true, output_encoding::shift_jis},
      {"CP932", true, output_encoding::shift_jis},
      {"utf-8", true, output_encoding::utf_8},
      {"UTF8", true, output_encoding::utf_8},
      {"euc-jp", true, output_encoding::euc_jp},
      {"EUCJP", true, output_encoding::euc_jp},
      {"EUC-JIS-2004", true, output_encoding::euc_jis_2004},
      {"utf-16le", true, output_encoding::utf_16le},
      {"UTF-16LE", true, output_encoding::utf_16le},
      {"", false, {}},
      {"utf-16", false, {}},
      {"utf16le", false, {}},
      {"euc-jis2004", false, {}},
      {"euc-jisx0213", false, {}},
      {"shift-jis", false, {}},
      {"shift_jis ", false, {}},
  };
  for (const auto& row : rows) {
    output_encoding found = output_encoding::utf_16le;
    if (!row.known) found = output_encoding::euc_jp;
    const output_encoding before = found;
    EXPECT_EQ(output_encoding_of_name(row.name, found), row.known) << row.name;
    EXPECT_EQ(found, row.known ? row.encoding : before) << row.name;
  }
  // The name --to takes gives the encoding whose name and title it is.
  struct {
    const char* name;
    const char* title;
  } const names[] = {
      {"shift_jis", "Shift_JIS"}, {"utf-8", "UTF-8"},
      {"euc-jp", "EUC-JP"},       {"euc-jis-2004", "EUC-JIS-2004"},
      {"utf-16le", "UTF-16LE"},
  };
  for (const auto& row : names) {
    output_encoding found{};
    ASSERT_TRUE(output_encoding_of_name(row.name, found)) << row.name;
    EXPECT_STREQ(output_encoding_name(found), row.name);
    EXPECT_STREQ(output_encoding_title(found), row.title);
  }
  EXPECT_EQ(same_as(sjis), output_encoding::shift_jis);
  EXPECT_EQ(same_as(utf8), output_encoding::utf_8);
}

// Every pair read as UTF-8 and written back in Shift_JIS gives the code
// glibc iconv's CP932 gives (cp932_duplicates.inc, made from glibc): the
// code both clients type.
TEST(OutputEncoding, ShiftJisPairsWrittenBackAtTheCodeGlibcGives) {
  int moved = 0;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      const auto* bytes = reinterpret_cast<const unsigned char*>(pair);
      if (shift_jis_length(bytes, 2, 0) != 2) continue;
      std::string text;
      append_recoded(std::string_view(pair, 2), sjis, output_encoding::utf_8,
                     text);
      ASSERT_EQ(find_unencodable(text, utf8, output_encoding::shift_jis).offset,
                npos)
          << std::hex << lead << trail;
      std::string back;
      append_recoded(text, utf8, output_encoding::shift_jis, back);
      ASSERT_EQ(back.size(), 2u) << std::hex << lead << trail;
      const unsigned code = (static_cast<unsigned char>(back[0]) << 8u) |
                            static_cast<unsigned char>(back[1]);
      EXPECT_EQ(code, canonical_cp932_pair(lead, trail))
          << std::hex << lead << trail;
      if (code != ((lead << 8u) | trail)) ++moved;
    }
  }
  // The NEC and IBM duplicates: as many as glibc has.
  EXPECT_EQ(moved, 398);
}

#if BRENLOW_HAVE_ICONV
// Every two-byte code of EUC-JIS-2004 that glibc reads as a character
// (or two: the kana and letters with a combining mark) is read back the
// same, as Emacs reads it.
TEST(OutputEncoding, EucJis2004PairsAsGlibcReadsThem) {
  iconv_t cd = iconv_open("UTF-8", "EUC-JISX0213");
  ASSERT_NE(reinterpret_cast<std::intptr_t>(cd), -1);
  int pairs = 0;
  for (unsigned lead = 0xA1; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
      char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char glibc[16];
      char* in = pair;
      char* out = glibc;
      std::size_t in_left = 2, out_left = sizeof glibc;
      const bool read = iconv(cd, &in, &in_left, &out, &out_left) !=
                        static_cast<std::size_t>(-1);
      // A combining pair is held back until glibc knows what follows.
      iconv(cd, nullptr, nullptr, &out, &out_left);
      if (!read) continue;
      ++pairs;
      std::string ours;
      append_utf_8_of(std::string_view(pair, 2), output_encoding::euc_jis_2004,
                      ours);
      EXPECT_EQ(shown_bytes(ours),
                shown_bytes(std::string_view(glibc, sizeof glibc - out_left)))
          << std::hex << lead << trail;
    }
  }
  iconv_close(cd);
  // glibc 2.36 reads 8797 of the 94 * 94 codes.
  EXPECT_EQ(pairs, 8797);
}

// Every pair the input decoder takes (glibc's CP932 and the user-defined
// area) is a character Emacs reads, the same one glibc reads.
TEST(OutputEncoding, ShiftJisPairsAsGlibcReadsThem) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  ASSERT_NE(reinterpret_cast<std::intptr_t>(cd), -1);
  int pairs = 0;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      const auto* bytes = reinterpret_cast<const unsigned char*>(pair);
      if (shift_jis_length(bytes, 2, 0) != 2) continue;
      ++pairs;
      char glibc[8];
      char* in = pair;
      char* out = glibc;
      std::size_t in_left = 2, out_left = sizeof glibc;
      ASSERT_NE(iconv(cd, &in, &in_left, &out, &out_left),
                static_cast<std::size_t>(-1))
          << std::hex << lead << trail;
      const std::string_view text(pair, 2);
      EXPECT_EQ(find_unencodable(text, sjis, output_encoding::utf_8).offset,
                npos)
          << std::hex << lead << trail;
      std::string ours;
      append_recoded(text, sjis, output_encoding::utf_8, ours);
      EXPECT_EQ(shown_bytes(ours),
                shown_bytes(std::string_view(glibc, sizeof glibc - out_left)))
          << std::hex << lead << trail;
    }
  }
  iconv_close(cd);
  // glibc's CP932 has 7724 pairs outside the user-defined area F0-F9 (188
  // pairs a lead byte).
  EXPECT_EQ(pairs, 7724 + 10 * 188);
}
#endif

}  // namespace

}  // namespace brenlow
