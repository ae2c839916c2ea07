#include "skk_rules/okuri_ari.h"

#include <gtest/gtest.h>

#include <string>

namespace brenlow {

namespace {

using namespace conjugates;  // NOLINT(google-build-using-namespace)

struct derivation_case {
  const char* reading;
  const char* word;
  conjugation_class conjugates;
  // "key candidate" pairs in the order derived, "|" between them.
  const char* expected;
};

std::string derived(const derivation_case& c, text_encoding encoding) {
  std::vector<okuri_ari_pair> pairs;
  const bool any =
      derive_okuri_ari(c.reading, c.word, c.conjugates, encoding, pairs);
  std::string shown;
  for (const okuri_ari_pair& pair : pairs) {
    if (!shown.empty()) shown += "|";
    shown += pair.key + " " + std::string(pair.candidate);
  }
  EXPECT_EQ(any, !pairs.empty()) << c.reading;
  return shown;
}

TEST(OkuriAri, KeysOfEachClass) {
  const derivation_case cases[] = {
      {"かく", "書く", godan('k'), "かk 書|かi 書"},  // 五段 か row: 書いた
      {"およぐ", "泳ぐ", godan('g'), "およg 泳|およi 泳"},
      {"はなす", "話す", godan('s'), "はなs 話"},
      {"もつ", "持つ", godan('t'), "もt 持"},
      {"しぬ", "死ぬ", godan('n'), "しn 死"},
      {"とぶ", "飛ぶ", godan('b'), "とb 飛|とn 飛"},
      {"よむ", "読む", godan('m'), "よm 読|よn 読"},
      {"とる", "取る", godan('r'), "とr 取|とt 取"},
      {"わらう", "笑う", godan('w'),
       "わらu 笑|わらw 笑|わらi 笑|わらe 笑|わらo 笑|わらt 笑"},
      {"おもふ", "思ふ", godan('h'), "おもh 思"},
      {"いく", "行く", godan('k'), "いk 行|いi 行|いt 行"},  // 行った
      {"おちつく", "落ち着く", godan('k'),
       "おちつk 落ち着|おちつi 落ち着"},  // only the last run
      {"みつかる", "見つかる", godan('r'),
       "みt 見"},  // the run is more than the ending
      {"か", "書", godan('k'), "かk 書|かi 書"},  // a Mozc stem
      {"みる", "見る", ichidan, "みr 見|みn 見|みt 見|みm 見|みy 見"},
      {"たべる", "食べる", ichidan, "たb 食"},
      {"かんじる", "感じる", ichidan, "かんj 感|かんz 感"},  // じ: j and z
      {"たべ", "食べ", ichidan, "たb 食"},                   // a Mozc stem
      {"たかい", "高い", keiyoushi, "たかi 高|たかk 高|たかs 高"},
      {"うつくしい", "美しい", keiyoushi, "うつくs 美"},
      {"こどもっぽい", "子供っぽい", keiyoushi,
       "こどもp 子供"},  // っ takes the letter after it
      {"たか", "高", keiyoushi, "たかi 高|たかk 高|たかs 高"},  // a Mozc stem
      {"くる", "来る", kahen,
       "くr 来|こn 来|こi 来|こy 来|きt 来|きm 来|きn 来"},
      {"く", "来", kahen,
       "くr 来|こn 来|こi 来|こy 来|きt 来|きm 来|きn 来"},  // a Mozc stem
      {"でてくる", "出て来る", kahen,
       "でてくr 出て来|でてこn 出て来|でてこi 出て来|でてこy 出て来|でてきt "
       "出て来|でてきm 出て来|でてきn 出て来"},
      {"あいする", "愛する", sahen, "あいs 愛"},
      {"あい", "愛", sahen, "あいs 愛"},  // a one-kanji サ変 noun
      {"べんきょうする", "勉強する", sahen,
       ""},  // SKK files サ変 nouns without okurigana
      {"べんきょう", "勉強", sahen, ""},
      {"しんずる", "信ずる", zahen, "しんz 信"},
      {"あり", "有り", rahen, "あr 有"},
      {"あ", "有", rahen, "あr 有"},      // a Mozc stem
      {"いく", "いく", godan('k'), ""},   // all hiragana
      {"たへる", "食べる", ichidan, ""},  // the reading ends otherwise
      {"しい", "美しい", keiyoushi, ""},  // the reading is all okurigana
      {"る", "見る", ichidan, ""},
      {"み", "見える", ichidan, ""},  // the reading is shorter than the run
      {"", "見る", ichidan, ""},
      {"たべる", "食べる", none, ""},        // no class
      {"かゃく", "書ゃく", godan('k'), ""},  // a small kana has no letter
      {"ばずる", "バズる", godan('r'),
       "ばずr バズ|ばずt バズ"},  // katakana before the run
  };
  for (const auto& c : cases) {
    EXPECT_EQ(derived(c, text_encoding::utf_8), c.expected)
        << c.reading << " " << c.word;
  }
}

// The same rules on Shift_JIS bytes.
TEST(OkuriAri, KeysOfEachClassInShiftJis) {
  const derivation_case cases[] = {
      // かく 書く かk 書|かi 書
      {"\x82\xA9\x82\xAD", "\x8F\x91\x82\xAD", godan('k'),
       "\x82\xA9\x6B\x20\x8F\x91\x7C\x82\xA9\x69\x20\x8F\x91"},
      // およぐ 泳ぐ およg 泳|およi 泳
      {"\x82\xA8\x82\xE6\x82\xAE", "\x89\x6A\x82\xAE", godan('g'),
       "\x82\xA8\x82\xE6\x67\x20\x89\x6A\x7C\x82\xA8\x82\xE6\x69\x20\x89\x6A"},
      // はなす 話す はなs 話
      {"\x82\xCD\x82\xC8\x82\xB7", "\x98\x62\x82\xB7", godan('s'),
       "\x82\xCD\x82\xC8\x73\x20\x98\x62"},
      // もつ 持つ もt 持
      {"\x82\xE0\x82\xC2", "\x8E\x9D\x82\xC2", godan('t'),
       "\x82\xE0\x74\x20\x8E\x9D"},
      // しぬ 死ぬ しn 死
      {"\x82\xB5\x82\xCA", "\x8E\x80\x82\xCA", godan('n'),
       "\x82\xB5\x6E\x20\x8E\x80"},
      // とぶ 飛ぶ とb 飛|とn 飛
      {"\x82\xC6\x82\xD4", "\x94\xF2\x82\xD4", godan('b'),
       "\x82\xC6\x62\x20\x94\xF2\x7C\x82\xC6\x6E\x20\x94\xF2"},
      // よむ 読む よm 読|よn 読
      {"\x82\xE6\x82\xDE", "\x93\xC7\x82\xDE", godan('m'),
       "\x82\xE6\x6D\x20\x93\xC7\x7C\x82\xE6\x6E\x20\x93\xC7"},
      // とる 取る とr 取|とt 取
      {"\x82\xC6\x82\xE9", "\x8E\xE6\x82\xE9", godan('r'),
       "\x82\xC6\x72\x20\x8E\xE6\x7C\x82\xC6\x74\x20\x8E\xE6"},
      // わらう 笑う わらu 笑|わらw 笑|わらi 笑|わらe 笑|わらo 笑|わらt 笑
      {"\x82\xED\x82\xE7\x82\xA4", "\x8F\xCE\x82\xA4", godan('w'),
       "\x82\xED\x82\xE7\x75\x20\x8F\xCE\x7C\x82\xED\x82\xE7\x77\x20\x8F\xCE"
       "\x7C\x82\xED\x82\xE7\x69\x20\x8F\xCE\x7C\x82\xED\x82\xE7\x65\x20\x8F"
       "\xCE\x7C\x82\xED\x82\xE7\x6F\x20\x8F\xCE\x7C\x82\xED\x82\xE7\x74\x20"
       "\x8F\xCE"},
      // おもふ 思ふ おもh 思
      {"\x82\xA8\x82\xE0\x82\xD3", "\x8E\x76\x82\xD3", godan('h'),
       "\x82\xA8\x82\xE0\x68\x20\x8E\x76"},
      // いく 行く いk 行|いi 行|いt 行
      {"\x82\xA2\x82\xAD", "\x8D\x73\x82\xAD", godan('k'),
       "\x82\xA2\x6B\x20\x8D\x73\x7C\x82\xA2\x69\x20\x8D\x73\x7C\x82\xA2\x74"
       "\x20\x8D\x73"},
      // おちつく 落ち着く おちつk 落ち着|おちつi 落ち着
      {"\x82\xA8\x82\xBF\x82\xC2\x82\xAD", "\x97\x8E\x82\xBF\x92\x85\x82\xAD",
       godan('k'),
       "\x82\xA8\x82\xBF\x82\xC2\x6B\x20\x97\x8E\x82\xBF\x92\x85\x7C\x82\xA8"
       "\x82\xBF\x82\xC2\x69\x20\x97\x8E\x82\xBF\x92\x85"},
      // みつかる 見つかる みt 見
      {"\x82\xDD\x82\xC2\x82\xA9\x82\xE9", "\x8C\xA9\x82\xC2\x82\xA9\x82\xE9",
       godan('r'), "\x82\xDD\x74\x20\x8C\xA9"},
      // か 書 かk 書|かi 書
      {"\x82\xA9", "\x8F\x91", godan('k'),
       "\x82\xA9\x6B\x20\x8F\x91\x7C\x82\xA9\x69\x20\x8F\x91"},
      // みる 見る みr 見|みn 見|みt 見|みm 見|みy 見
      {"\x82\xDD\x82\xE9", "\x8C\xA9\x82\xE9", ichidan,
       "\x82\xDD\x72\x20\x8C\xA9\x7C\x82\xDD\x6E\x20\x8C\xA9\x7C\x82\xDD\x74"
       "\x20\x8C\xA9\x7C\x82\xDD\x6D\x20\x8C\xA9\x7C\x82\xDD\x79\x20\x8C\xA9"},
      // たべる 食べる たb 食
      {"\x82\xBD\x82\xD7\x82\xE9", "\x90\x48\x82\xD7\x82\xE9", ichidan,
       "\x82\xBD\x62\x20\x90\x48"},
      // かんじる 感じる かんj 感|かんz 感
      {"\x82\xA9\x82\xF1\x82\xB6\x82\xE9", "\x8A\xB4\x82\xB6\x82\xE9", ichidan,
       "\x82\xA9\x82\xF1\x6A\x20\x8A\xB4\x7C\x82\xA9\x82\xF1\x7A\x20\x8A\xB4"},
      // たべ 食べ たb 食
      {"\x82\xBD\x82\xD7", "\x90\x48\x82\xD7", ichidan,
       "\x82\xBD\x62\x20\x90\x48"},
      // たかい 高い たかi 高|たかk 高|たかs 高
      {"\x82\xBD\x82\xA9\x82\xA2", "\x8D\x82\x82\xA2", keiyoushi,
       "\x82\xBD\x82\xA9\x69\x20\x8D\x82\x7C\x82\xBD\x82\xA9\x6B\x20\x8D\x82"
       "\x7C\x82\xBD\x82\xA9\x73\x20\x8D\x82"},
      // うつくしい 美しい うつくs 美
      {"\x82\xA4\x82\xC2\x82\xAD\x82\xB5\x82\xA2", "\x94\xFC\x82\xB5\x82\xA2",
       keiyoushi, "\x82\xA4\x82\xC2\x82\xAD\x73\x20\x94\xFC"},
      // こどもっぽい 子供っぽい こどもp 子供
      {"\x82\xB1\x82\xC7\x82\xE0\x82\xC1\x82\xDB\x82\xA2",
       "\x8E\x71\x8B\x9F\x82\xC1\x82\xDB\x82\xA2", keiyoushi,
       "\x82\xB1\x82\xC7\x82\xE0\x70\x20\x8E\x71\x8B\x9F"},
      // たか 高 たかi 高|たかk 高|たかs 高
      {"\x82\xBD\x82\xA9", "\x8D\x82", keiyoushi,
       "\x82\xBD\x82\xA9\x69\x20\x8D\x82\x7C\x82\xBD\x82\xA9\x6B\x20\x8D\x82"
       "\x7C\x82\xBD\x82\xA9\x73\x20\x8D\x82"},
      // くる 来る くr 来|こn 来|こi 来|こy 来|きt 来|きm 来|きn 来
      {"\x82\xAD\x82\xE9", "\x97\x88\x82\xE9", kahen,
       "\x82\xAD\x72\x20\x97\x88\x7C\x82\xB1\x6E\x20\x97\x88\x7C\x82\xB1\x69"
       "\x20\x97\x88\x7C\x82\xB1\x79\x20\x97\x88\x7C\x82\xAB\x74\x20\x97\x88"
       "\x7C\x82\xAB\x6D\x20\x97\x88\x7C\x82\xAB\x6E\x20\x97\x88"},
      // く 来 くr 来|こn 来|こi 来|こy 来|きt 来|きm 来|きn 来
      {"\x82\xAD", "\x97\x88", kahen,
       "\x82\xAD\x72\x20\x97\x88\x7C\x82\xB1\x6E\x20\x97\x88\x7C\x82\xB1\x69"
       "\x20\x97\x88\x7C\x82\xB1\x79\x20\x97\x88\x7C\x82\xAB\x74\x20\x97\x88"
       "\x7C\x82\xAB\x6D\x20\x97\x88\x7C\x82\xAB\x6E\x20\x97\x88"},
      // でてくる 出て来る でてくr 出て来|でてこn 出て来|でてこi 出て来|でてこy
      // 出て来|でてきt 出て来|でてきm 出て来|でてきn 出て来
      {"\x82\xC5\x82\xC4\x82\xAD\x82\xE9", "\x8F\x6F\x82\xC4\x97\x88\x82\xE9",
       kahen,
       "\x82\xC5\x82\xC4\x82\xAD\x72\x20\x8F\x6F\x82\xC4\x97\x88\x7C\x82\xC5"
       "\x82\xC4\x82\xB1\x6E\x20\x8F\x6F\x82\xC4\x97\x88\x7C\x82\xC5\x82\xC4"
       "\x82\xB1\x69\x20\x8F\x6F\x82\xC4\x97\x88\x7C\x82\xC5\x82\xC4\x82\xB1"
       "\x79\x20\x8F\x6F\x82\xC4\x97\x88\x7C\x82\xC5\x82\xC4\x82\xAB\x74\x20"
       "\x8F\x6F\x82\xC4\x97\x88\x7C\x82\xC5\x82\xC4\x82\xAB\x6D\x20\x8F\x6F"
       "\x82\xC4\x97\x88\x7C\x82\xC5\x82\xC4\x82\xAB\x6E\x20\x8F\x6F\x82\xC4"
       "\x97\x88"},
      // あいする 愛する あいs 愛
      {"\x82\xA0\x82\xA2\x82\xB7\x82\xE9", "\x88\xA4\x82\xB7\x82\xE9", sahen,
       "\x82\xA0\x82\xA2\x73\x20\x88\xA4"},
      // あい 愛 あいs 愛
      {"\x82\xA0\x82\xA2", "\x88\xA4", sahen,
       "\x82\xA0\x82\xA2\x73\x20\x88\xA4"},
      // べんきょうする 勉強する
      {"\x82\xD7\x82\xF1\x82\xAB\x82\xE5\x82\xA4\x82\xB7\x82\xE9",
       "\x95\xD7\x8B\xAD\x82\xB7\x82\xE9", sahen, ""},
      // べんきょう 勉強
      {"\x82\xD7\x82\xF1\x82\xAB\x82\xE5\x82\xA4", "\x95\xD7\x8B\xAD", sahen,
       ""},
      // しんずる 信ずる しんz 信
      {"\x82\xB5\x82\xF1\x82\xB8\x82\xE9", "\x90\x4D\x82\xB8\x82\xE9", zahen,
       "\x82\xB5\x82\xF1\x7A\x20\x90\x4D"},
      // あり 有り あr 有
      {"\x82\xA0\x82\xE8", "\x97\x4C\x82\xE8", rahen,
       "\x82\xA0\x72\x20\x97\x4C"},
      // あ 有 あr 有
      {"\x82\xA0", "\x97\x4C", rahen, "\x82\xA0\x72\x20\x97\x4C"},
      // いく いく
      {"\x82\xA2\x82\xAD", "\x82\xA2\x82\xAD", godan('k'), ""},
      // たへる 食べる
      {"\x82\xBD\x82\xD6\x82\xE9", "\x90\x48\x82\xD7\x82\xE9", ichidan, ""},
      // たべる 食べる
      {"\x82\xBD\x82\xD7\x82\xE9", "\x90\x48\x82\xD7\x82\xE9", none, ""},
      // かゃく 書ゃく
      {"\x82\xA9\x82\xE1\x82\xAD", "\x8F\x91\x82\xE1\x82\xAD", godan('k'), ""},
      // ばずる バズる ばずr バズ|ばずt バズ
      {"\x82\xCE\x82\xB8\x82\xE9", "\x83\x6F\x83\x59\x82\xE9", godan('r'),
       "\x82\xCE\x82\xB8\x72\x20\x83\x6F\x83\x59\x7C\x82\xCE\x82\xB8\x74\x20"
       "\x83\x6F\x83\x59"},
      // The reading's last bytes are those of べる, but its characters are
      // 0x82 0x82, 0xD7 (a half-width katakana) and る: no key.
      {"\x82\x82\xD7\x82\xE9", "\x90\x48\x82\xD7\x82\xE9", ichidan, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(derived(c, text_encoding::shift_jis), c.expected)
        << "Shift_JIS case with expected " << c.expected;
  }
}

// Index of a hiragana given in UTF-8, as letters_of_kana takes it.
int kana_index(const std::string& utf_8, std::size_t pos) {
  const int code = ((utf_8[pos] & 0x0F) << 12) |
                   ((utf_8[pos + 1] & 0x3F) << 6) | (utf_8[pos + 2] & 0x3F);
  return code - 0x3041;
}

TEST(OkuriAri, LettersOfKana) {
  const struct {
    const char* kana;
    const char* letters;
  } rows[] = {
      {"あ", "a"},           {"い", "i"},         {"う", "u"},
      {"え", "e"},           {"お", "o"},         {"かきくけこ", "k"},
      {"がぎぐげご", "g"},   {"さしすせそ", "s"}, {"ざずぜぞ", "z"},
      {"じ", "jz"},          {"たちつてと", "t"}, {"だぢづでど", "d"},
      {"なにぬねのん", "n"}, {"はひふへほ", "h"}, {"ばびぶべぼ", "b"},
      {"ぱぴぷぺぽ", "p"},   {"まみむめも", "m"}, {"やゆよ", "y"},
      {"らりるれろ", "r"},   {"わを", "w"},       {"ぁぃぅぇぉゃゅょゎっ", ""},
  };
  int seen = 0;
  for (const auto& row : rows) {
    const std::string kana = row.kana;
    for (std::size_t pos = 0; pos < kana.size(); pos += 3) {
      EXPECT_EQ(letters_of_kana(kana_index(kana, pos)), row.letters)
          << kana.substr(pos, 3);
      ++seen;
    }
  }
  EXPECT_EQ(seen, 81);  // every hiragana but ゐ and ゑ
  EXPECT_EQ(letters_of_kana(-1), "");
  EXPECT_EQ(letters_of_kana(0x53), "");  // ゔ
}

TEST(OkuriAri, TrailingHiraganaRun) {
  const struct {
    const char* word;
    const char* shift_jis;
    const char* run;
  } cases[] = {
      {"食べる", "\x90\x48\x82\xD7\x82\xE9", "べる"},
      {"落ち着く", "\x97\x8E\x82\xBF\x92\x85\x82\xAD", "く"},
      {"美しい", "\x94\xFC\x82\xB5\x82\xA2", "しい"},
      {"漢字", "\x8A\xBF\x8E\x9A", ""},
      {"ひらがな", "\x82\xD0\x82\xE7\x82\xAA\x82\xC8", "ひらがな"},
      {"バズる", "\x83\x6F\x83\x59\x82\xE9", "る"},
      {"書ー", "\x8F\x91\x81\x5B", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    const std::string word = c.word;
    EXPECT_EQ(word.substr(word.size() -
                          trailing_hiragana_run(word, text_encoding::utf_8)),
              c.run)
        << c.word;
    const std::string sjis = c.shift_jis;
    EXPECT_EQ(trailing_hiragana_run(sjis, text_encoding::shift_jis),
              std::string(c.run).size() / 3 * 2)
        << "Shift_JIS " << c.word;
  }
}

// Emacs SKK evaluates a candidate that reads as Lisp (typing KaKu for
// "かk /(kill-emacs 42)/" ended Emacs), splits at "/" and ";", and reads a
// candidate starting with "[" as an okurigana block that hides the
// candidates after it: all of these go in concat form.
TEST(OkuriAri, CandidateForms) {
  struct {
    std::string candidate;
    bool csv_quotes;
    std::string expected;  // "=" when the candidate stands as it is
  } const cases[] = {
      {"書", false, "="},
      {"(kill-emacs 42)", false, R"x((concat "(kill-emacs 42)"))x"},
      {"(x)", false, R"x((concat "(x)"))x"},
      {"(x", false, "="},
      {"[甲", false, R"x((concat "[甲"))x"},
      {"[", false, R"x((concat "["))x"},
      {"甲[", false, "="},
      {"]甲", false, "="},
      {"a/b", false, R"x((concat "a\057b"))x"},
      {"a;b", false, R"x((concat "a\073b"))x"},
      {"say\"", false, R"x((concat "say\042"))x"},
      {"\"", false, R"x((concat "\042"))x"},
      {"\"", true, ""},  // a lone quote: nothing left
      {"\"\"", true, R"x((concat "\042"))x"},
      {"\"書\"", true, R"x((concat "書"))x"},
  };
  for (const auto& c : cases) {
    std::string out = "left over";
    const bool rewritten = okuri_ari_candidate_form(
        c.candidate, text_encoding::utf_8, c.csv_quotes, out);
    EXPECT_EQ(rewritten ? out : "=", c.expected)
        << "candidate: " << c.candidate << (c.csv_quotes ? " (CSV)" : "");
  }
  std::string out;
  // [甲
  EXPECT_TRUE(okuri_ari_candidate_form("[\x8D\x62", text_encoding::shift_jis,
                                       false, out));
  EXPECT_EQ(out, "(concat \"[\x8D\x62\")");
  // 0x5B as the second byte of a pair starts no block.
  EXPECT_FALSE(okuri_ari_candidate_form("\x83\x5B", text_encoding::shift_jis,
                                        false, out));
}

}  // namespace

}  // namespace brenlow
