#include "skk_rules/reading_form.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "tests/shown_bytes.h"

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace brenlow {

namespace {

struct reading_case {
  std::string reading;
  std::string typed;  // equal to reading: nothing to change
  // Why a client cannot type it: C both start the conversion, L libskk
  // does, E Emacs SKK's command keys, A letters among kana, N no key.
  std::string untypable = "";
};

std::string reasons_shown(unsigned bits) {
  std::string shown;
  const char letters[] = "CLEAN";
  for (std::size_t i = 0; i < untypable_reason_count; ++i) {
    if (bits & untypable_bit(static_cast<untypable_reason>(i))) {
      shown += letters[i];
    }
  }
  return shown;
}

void check(const reading_case& c, text_encoding encoding) {
  std::string out;
  const typed_form form = typed_reading(c.reading, encoding, out);
  const std::string got = form.changed ? out : c.reading;
  EXPECT_EQ(got, c.typed) << "reading " << c.reading << " ["
                          << shown_bytes(c.reading) << "] gave ["
                          << shown_bytes(got) << "]";
  EXPECT_EQ(form.changed, c.typed != c.reading) << "reading " << c.reading;
  EXPECT_EQ(reasons_shown(form.untypable), c.untypable)
      << "reading " << c.reading << " [" << shown_bytes(c.reading) << "]";
}

TEST(TypedReading, Utf8) {
  const reading_case cases[] = {
      {"カタカナ", "かたかな"},
      // SKK types "vu" as う゛, the form SKK-JISYO.L writes.
      {"ヴァイオリン", "う゛ぁいおりん"},
      {"ゔ", "う゛"},
      {"ヵ月ヶ", "か月け"},
      {"ァィゥェォッャュョヮ", "ぁぃぅぇぉっゃゅょゎ"},
      {"ヽヾ", "ゝゞ"},
      {"ー・", "ー・"},
      {"ﾏｲﾅｽ", "まいなす"},
      {"ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞ", "がぎぐげござじずぜぞ"},
      {"ﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ", "だぢづでど"},
      {"ﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ", "ばびぶべぼぱぴぷぺぽ"},
      {"ｳﾞｨ", "う゛ぃ"},
      // A mark that makes no character with its kana stays a mark.
      {"ﾅﾞｶﾟﾞｱﾟ", "な゛か゜゛あ゜"},
      {"ｰ｡｢｣､･ｦﾝ", "ー。「」、・をん", "C"},
      {"ｷｬﾗｸﾀｰ", "きゃらくたー"},
      // Without kana: abbrev mode, where every key gives ASCII.
      {"７ｇｉｔ", "7git"},
      {"ＡＺａｚ０９", "AZaz09"},
      {"！＂＃＄％＆＇（）＊＋，－．／", "!\"#$%&'()*+,-./"},
      {"＜＝＞＠［＼］＾＿｀｛｜｝～", "<=>@[\\]^_`{|}~"},
      {"：ｓｍｉｌｅ：", ":smile:"},
      {"？ｑ；", "?q;"},
      // Abbrev mode's ";" first would make an SKK comment line: typed in
      // ▽ mode instead.
      {"；", "；"},
      {";", "；"},
      {";-)", "；ー)", "L"},
      {"a/b", "a/b"},
      {"漢字", "漢字", "N"},
      {"ｗｅｂ￥", "web￥", "N"},
      // With kana: ▽ mode, where ":" and ";" give "：" and "；" (first
      // only: later they start the conversion), "-" gives "ー", "[" "「",
      // "]" "」", "," "、", "." "。", and "?" "？" in libskk.
      {":あいす", "：あいす"},
      {";あ", "；あ"},
      {"：あいす", "：あいす"},
      {"あ:い", "あ：い", "C"},
      {"あい;", "あい；", "C"},
      {"あ-い", "あーい"},
      {"あ－い", "あーい"},
      {"[あ]", "「あ」", "C"},
      {"［あ", "「あ"},
      {"]あ", "」あ"},
      {",あ", "、あ"},
      {"あ.", "あ。", "C"},
      {"?あ", "？あ", "E"},
      {"あ？", "あ？", "LE"},
      {"を", "を"},
      {"あを", "あを", "C"},
      {"あ、い", "あ、い", "C"},
      // ">" ends a ▽ reading as a prefix: typable first or last.
      {">あ", ">あ"},
      {"あ>", "あ>"},
      {"あ>い", "あ>い", "C"},
      {"あ＞", "あ>"},
      {"！あ", "!あ"},
      {"あ！", "あ!", "L"},
      {"あ)", "あ)", "L"},
      {"あ｝", "あ}", "L"},
      {"あ<", "あ<", "E"},
      {"＄あ", "$あ", "E"},
      {"あ/い", "あ/い", "E"},
      {"あ＼", "あ\\", "E"},
      {"@あ", "@あ", "E"},
      {"あ@", "あ@"},
      {"２ちゃんねる", "2ちゃんねる"},
      // Digits among hiragana, and postal codes, stay as they are.
      {"きゅうそく1", "きゅうそく1"},
      {"4440873", "4440873"},
      {"1あ2", "1あ2"},
      {"1を", "1を", "C"},
      {"1ゔ", "1う゛"},
      {"あ1ア", "あ1あ"},
      {"1\xE3\x82", "1\xE3\x82", "N"},
      // "、。「」" come from ▽ mode only: "." after a digit converts too.
      {"#。#。#", "#。#。#", "C"},
      {"「．", "「。", "C"},
      {"Ｔしゃつ", "Tしゃつ", "A"},
      {"あｘい", "あxい", "A"},
      {"あｚ", "あz", "A"},
      {"Zあ", "Zあ", "A"},
      {"、ａ", "、a", "A"},  // "、" is typed in ▽ mode only
      {"￥えん", "￥えん", "N"},
      {"#あ%&'(*+=^_`{|~\"", "#あ%&'(*+=^_`{|~\""},
      {"あ　い", "あ い"},
      {"ひらがな", "ひらがな"},
      {"かな漢字", "かな漢字"},
      // Combining voicing marks join the kana before them.
      {"か\u3099は\u309Aう\u3099", "がぱう゛"},
      {"カ\u3099ワ\u3099", "がわ゛"},
      {"あ\u3099ま\u309A", "あ\u3099ま\u309A"},
      {"\u3099か", "\u3099か"},
      {"ヷヸヹヺ", "わ゛ゐ゛ゑ゛を゛", "C"},
      {"ㇰㇱㇲㇳㇴㇵㇶㇷㇸㇹㇺㇻㇼㇽㇾㇿ", "くしすとぬはひふへほむらりるれろ"},
      {"", ""},
      // Bytes that are no character are copied; a cut sequence is no kana.
      {"\xE3\x82", "\xE3\x82", "N"},
      {"\xE3\x82\xA2\xFF", "あ\xFF"},
      {"\xE3\xE3\x82\xA2",
       "\xE3"
       "あ"},
      {"\xEF\xBD", "\xEF\xBD", "N"},
  };
  for (const reading_case& c : cases) check(c, text_encoding::utf_8);
}

TEST(TypedReading, ShiftJis) {
  const reading_case cases[] = {
      {"\x83\x4A\x83\x5E\x83\x4A\x83\x69",
       "\x82\xA9\x82\xBD\x82\xA9\x82\xC8"},  // カタカナ かたかな
      {"\x83\x94\x83\x40\x83\x43\x83\x49\x83\x8A\x83\x93",
       "\x82\xA4\x81\x4A\x82\x9F\x82\xA2\x82\xA8\x82\xE8\x82"
       "\xF1"},  // ヴァイオリン
      {"\x83\x95\x8C\x8E\x83\x96",
       "\x82\xA9\x8C\x8E\x82\xAF"},  // ヵ月ヶ か月け
      // The last kana before and the first after the gap at 0x7F.
      {"\x83\x40\x83\x7E\x83\x80\x83\x93",
       "\x82\x9F\x82\xDD\x82\xDE\x82\xF1"},      // ァミムン ぁみむん
      {"\x83\x5C", "\x82\xBB"},                  // ソ (second byte "\") そ
      {"\x81\x52\x81\x53", "\x81\x54\x81\x55"},  // ヽヾ ゝゞ
      {"\x81\x5B\x81\x45", "\x81\x5B\x81\x45"},  // ー・
      {"\xCF\xB2\xC5\xBD", "\x82\xDC\x82\xA2\x82\xC8\x82\xB7"},  // ﾏｲﾅｽ
      {"\xB6\xDE\xCA\xDF\xCA\xDE\xC2\xDE",
       "\x82\xAA\x82\xCF\x82\xCE\x82\xC3"},  // ｶﾞﾊﾟﾊﾞﾂﾞ がぱばづ
      {"\xB3\xDE\xA8", "\x82\xA4\x81\x4A\x82\xA1"},  // ｳﾞｨ う゛ぃ
      {"\xC5\xDE\xB6\xDF\xDE",
       "\x82\xC8\x81\x4A\x82\xA9\x81\x4B\x81\x4A"},  // ﾅﾞｶﾟﾞ
                                                     // な゛か゜゛
      {"\xB0\xA1\xA2\xA3\xA4\xA5\xA6\xDD",
       "\x81\x5B\x81\x42\x81\x75\x81\x76\x81\x41\x81\x45\x82\xF0"
       "\x82\xF1",
       "C"},  // ｰ｡｢｣､･ｦﾝ ー。「」、・をん
      {"\x82\x56\x82\x87\x82\x89\x82\x94", "7git"},  // ７ｇｉｔ
      {"\x82\x60\x82\x79\x82\x81\x82\x9A\x82\x4F\x82\x58",
       "AZaz09"},  // ＡＺａｚ０９
      {"\x81\x49\x81\x60\x81\x97\x81\x5F\x81\x6F\x81\x48",
       "!~@\\{?"},  // ！～＠＼｛？
      {"\x81\x43\x81\x44\x81\x4D\x81\x4F\x81\x51\x81\x5E\x81\x62"
       "\x81\x69"
       "\x81\x6A\x81\x6D\x81\x6E\x81\x70\x81\x7B\x81\x7C\x81\x81"
       "\x81\x83"
       "\x81\x84\x81\x90\x81\x93\x81\x94\x81\x95\x81\x96",
       ",.`^_/|()[]}+-=<>$%#&*"},
      // ＇ and ＂ exist only among the IBM extensions, at two
      // places each.
      {"\xFA\x56\xFA\x57\xEE\xFB\xEE\xFC", "'\"'\""},
      {"\x81\x46\x81\x47", ":;"},  // ：；
      // With kana: ":-" give "：ー".
      {":\x82\xA0-", "\x81\x46\x82\xA0\x81\x5B"},     // ：あー
      {"\x82\xA0\x81\x46", "\x82\xA0\x81\x46", "C"},  // あ：
      {"\x81\x8F\x82\xA0", "\x81\x8F\x82\xA0", "N"},  // ￥あ
      // CP932 codes repeating another's become the one both clients
      // encode: ≒ 8790 81E0, Ⅰ FA4A 8754, 纊 ED40 FA5C, ￢ EEF9 81CA.
      {"\x87\x90\x82\xA0", "\x81\xE0\x82\xA0"},
      {"\xFA\x4A\x82\xA0", "\x87\x54\x82\xA0"},
      {"\xED\x40\xEE\xF9", "\xFA\x5C\x81\xCA", "N"},
      {"\x81\xE0\x87\x54\xFA\x5C", "\x81\xE0\x87\x54\xFA\x5C", "N"},
      {"\x82\xA0\x81\x40\x82\xA2", "\x82\xA0 \x82\xA2"},  // あ　い
      // Second bytes in the half-width katakana range are no kana.
      {"\x8A\xBF\x8E\x9A", "\x8A\xBF\x8E\x9A", "N"},  // 漢字
      {"\x82\xA0", "\x82\xA0"},                       // あ
      {"\x82\xAB\x82\xE3\x82\xA4"
       "1",
       "\x82\xAB\x82\xE3\x82\xA4"
       "1"},
      {"0120", "0120"},
      {"1\x82\xF0", "1\x82\xF0", "C"},  // 1を
      {"1\x83\x4A", "1\x82\xA9"},       // 1カ 1か
      {"1\x82", "1\x82", "N"},
      {"\x83", "\x83", "N"},  // a pair cut short
      // The last lead byte of the first range (泯, 9F A1): its
      // second byte is no half-width katakana.
      {"\x9F\xA1\x83\x4A", "\x9F\xA1\x82\xA9"},  // 泯カ 泯か
      {"\xE0\xA1", "\xE0\xA1", "N"},             // 漾
      {"\x80\xA1", "\x80\x81\x42", "C"},         // 0x80 leads no pair
      {"\xFD\xFF", "\xFD\xFF", "N"},
  };
  for (const reading_case& c : cases) check(c, text_encoding::shift_jis);
}

// Each reading in a buffer of its own size: under the sanitizers a look at
// a byte past its end fails (a cut pair, an odd length of hiragana).
TEST(TypedReading, ReadsNoByteBeyondTheReading) {
  const struct {
    std::string reading;
    text_encoding encoding;
    std::string typed;
  } cases[] = {
      {"\x82\xA0\x82", text_encoding::shift_jis, "\x82\xA0\x82"},
      {"\x82\xA0\x82\xA2\x82", text_encoding::shift_jis,
       "\x82\xA0\x82\xA2\x82"},
      {"\x82", text_encoding::shift_jis, "\x82"},
      {"1\x82", text_encoding::shift_jis, "1\x82"},
      {"1\xE3\x81", text_encoding::utf_8, "1\xE3\x81"},
      {"\xB6\x82", text_encoding::shift_jis, "\x82\xA9\x82"},  // ｶ, a cut pair
      {"\xE3\x81\x82\xE3\x81", text_encoding::utf_8, "\xE3\x81\x82\xE3\x81"},
      {"\xE3\x81\x8B\xE3\x82", text_encoding::utf_8,
       "\xE3\x81\x8B\xE3\x82"},  // か, a cut mark
      {"\xEF\xBD\xB6\xEF\xBE", text_encoding::utf_8,
       "\xE3\x81\x8B\xEF\xBE"},  // ｶ, a cut ﾞ
  };
#if defined(__linux__)
  // Outside the sanitizers too: each reading ends where a page no one may
  // read begins, so a look past its end stops the test.
  const long page = sysconf(_SC_PAGESIZE);
  void* pages =
      mmap(nullptr, 2 * static_cast<std::size_t>(page), PROT_READ | PROT_WRITE,
           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(pages, MAP_FAILED);
  char* const guard = static_cast<char*>(pages) + page;
  ASSERT_EQ(mprotect(guard, static_cast<std::size_t>(page), PROT_NONE), 0);
#endif
  for (const auto& c : cases) {
    const std::unique_ptr<char[]> own(new char[c.reading.size()]);
    char* place = own.get();
#if defined(__linux__)
    place = guard - c.reading.size();
#endif
    std::copy(c.reading.begin(), c.reading.end(), place);
    std::string out;
    const typed_form form = typed_reading(
        std::string_view(place, c.reading.size()), c.encoding, out);
    EXPECT_EQ(form.changed ? out : c.reading, c.typed)
        << shown_bytes(c.reading);
  }
#if defined(__linux__)
  munmap(pages, 2 * static_cast<std::size_t>(page));
#endif
}

}  // namespace

}  // namespace brenlow
