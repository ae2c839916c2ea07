#include "skk_rules/part_of_speech.h"

#include <gtest/gtest.h>

namespace brenlow {

namespace {

using namespace conjugates;  // NOLINT(google-build-using-namespace)

const char* kind_name(conjugation kind) {
  const char* const kinds[] = {"none",  "godan", "ichidan", "keiyoushi",
                               "kahen", "sahen", "zahen",   "rahen"};
  return kinds[static_cast<int>(kind)];
}

std::string shown(conjugation_class c) {
  std::string s = kind_name(c.kind);
  if (c.row != 0) s += std::string(" row ") + c.row;
  return s;
}

// Each name as the IMEs export it: in UTF-8 and in Shift_JIS.
TEST(PartOfSpeech, NamesOfEveryIme) {
  struct {
    const char* utf_8;
    const char* shift_jis;
    conjugation_class expected;
  } const cases[] = {
      // Google Japanese Input / Mozc
      {"動詞ワ行五段", "\x93\xAE\x8E\x8C\x83\x8F\x8D\x73\x8C\xDC\x92\x69",
       godan('w')},
      {"動詞カ行五段", "\x93\xAE\x8E\x8C\x83\x4A\x8D\x73\x8C\xDC\x92\x69",
       godan('k')},
      {"動詞サ行五段", "\x93\xAE\x8E\x8C\x83\x54\x8D\x73\x8C\xDC\x92\x69",
       godan('s')},
      {"動詞タ行五段", "\x93\xAE\x8E\x8C\x83\x5E\x8D\x73\x8C\xDC\x92\x69",
       godan('t')},
      {"動詞ナ行五段", "\x93\xAE\x8E\x8C\x83\x69\x8D\x73\x8C\xDC\x92\x69",
       godan('n')},
      {"動詞マ行五段", "\x93\xAE\x8E\x8C\x83\x7D\x8D\x73\x8C\xDC\x92\x69",
       godan('m')},
      {"動詞ラ行五段", "\x93\xAE\x8E\x8C\x83\x89\x8D\x73\x8C\xDC\x92\x69",
       godan('r')},
      {"動詞ガ行五段", "\x93\xAE\x8E\x8C\x83\x4B\x8D\x73\x8C\xDC\x92\x69",
       godan('g')},
      {"動詞バ行五段", "\x93\xAE\x8E\x8C\x83\x6F\x8D\x73\x8C\xDC\x92\x69",
       godan('b')},
      {"動詞ハ行四段", "\x93\xAE\x8E\x8C\x83\x6E\x8D\x73\x8E\x6C\x92\x69",
       godan('h')},
      {"動詞一段", "\x93\xAE\x8E\x8C\x88\xEA\x92\x69", ichidan},
      {"動詞カ変", "\x93\xAE\x8E\x8C\x83\x4A\x95\xCF", kahen},
      {"動詞サ変", "\x93\xAE\x8E\x8C\x83\x54\x95\xCF", sahen},
      {"動詞ザ変", "\x93\xAE\x8E\x8C\x83\x55\x95\xCF", zahen},
      {"動詞ラ変", "\x93\xAE\x8E\x8C\x83\x89\x95\xCF", rahen},
      {"形容詞", "\x8C\x60\x97\x65\x8E\x8C", keiyoushi},
      {"名詞形動", "\x96\xBC\x8E\x8C\x8C\x60\x93\xAE", none},
      {"名詞サ変", "\x96\xBC\x8E\x8C\x83\x54\x95\xCF", sahen},
      // Microsoft IME, with its older names
      {"あわ行五段", "\x82\xA0\x82\xED\x8D\x73\x8C\xDC\x92\x69", godan('w')},
      {"か行五段", "\x82\xA9\x8D\x73\x8C\xDC\x92\x69", godan('k')},
      {"が行五段", "\x82\xAA\x8D\x73\x8C\xDC\x92\x69", godan('g')},
      {"さ行五段", "\x82\xB3\x8D\x73\x8C\xDC\x92\x69", godan('s')},
      {"た行五段", "\x82\xBD\x8D\x73\x8C\xDC\x92\x69", godan('t')},
      {"な行五段", "\x82\xC8\x8D\x73\x8C\xDC\x92\x69", godan('n')},
      {"ば行五段", "\x82\xCE\x8D\x73\x8C\xDC\x92\x69", godan('b')},
      {"ま行五段", "\x82\xDC\x8D\x73\x8C\xDC\x92\x69", godan('m')},
      {"ら行五段", "\x82\xE7\x8D\x73\x8C\xDC\x92\x69", godan('r')},
      {"一段動詞", "\x88\xEA\x92\x69\x93\xAE\x8E\x8C", ichidan},
      {"形容動詞", "\x8C\x60\x97\x65\x93\xAE\x8E\x8C", none},
      {"さ変名詞", "\x82\xB3\x95\xCF\x96\xBC\x8E\x8C", sahen},
      {"ざ変名詞", "\x82\xB4\x95\xCF\x96\xBC\x8E\x8C", zahen},
      {"あわ行", "\x82\xA0\x82\xED\x8D\x73", godan('w')},
      {"か行", "\x82\xA9\x8D\x73", godan('k')},
      {"が行", "\x82\xAA\x8D\x73", godan('g')},
      {"さ行", "\x82\xB3\x8D\x73", godan('s')},
      {"た行", "\x82\xBD\x8D\x73", godan('t')},
      {"な行", "\x82\xC8\x8D\x73", godan('n')},
      {"ば行", "\x82\xCE\x8D\x73", godan('b')},
      {"ま行", "\x82\xDC\x8D\x73", godan('m')},
      {"ら行", "\x82\xE7\x8D\x73", godan('r')},
      // ATOK, with its registration marks
      {"カ行五段", "\x83\x4A\x8D\x73\x8C\xDC\x92\x69", godan('k')},
      {"ガ行五段", "\x83\x4B\x8D\x73\x8C\xDC\x92\x69", godan('g')},
      {"サ行五段", "\x83\x54\x8D\x73\x8C\xDC\x92\x69", godan('s')},
      {"タ行五段", "\x83\x5E\x8D\x73\x8C\xDC\x92\x69", godan('t')},
      {"ナ行五段", "\x83\x69\x8D\x73\x8C\xDC\x92\x69", godan('n')},
      {"バ行五段", "\x83\x6F\x8D\x73\x8C\xDC\x92\x69", godan('b')},
      {"マ行五段", "\x83\x7D\x8D\x73\x8C\xDC\x92\x69", godan('m')},
      {"ラ行五段", "\x83\x89\x8D\x73\x8C\xDC\x92\x69", godan('r')},
      {"ワ行五段", "\x83\x8F\x8D\x73\x8C\xDC\x92\x69", godan('w')},
      {"ワ行五段音便", "\x83\x8F\x8D\x73\x8C\xDC\x92\x69\x89\xB9\x95\xD6",
       godan('w')},
      {"ハ行四段", "\x83\x6E\x8D\x73\x8E\x6C\x92\x69", godan('h')},
      {"一段動詞*", "\x88\xEA\x92\x69\x93\xAE\x8E\x8C\x2A", ichidan},
      {"カ変動詞$", "\x83\x4A\x95\xCF\x93\xAE\x8E\x8C\x24", kahen},
      {"サ変動詞*", "\x83\x54\x95\xCF\x93\xAE\x8E\x8C\x2A", sahen},
      {"ザ変動詞", "\x83\x55\x95\xCF\x93\xAE\x8E\x8C", zahen},
      {"ラ変動詞", "\x83\x89\x95\xCF\x93\xAE\x8E\x8C", rahen},
      {"形容詞$", "\x8C\x60\x97\x65\x8E\x8C\x24", keiyoushi},
      {"形容詞イ", "\x8C\x60\x97\x65\x8E\x8C\x83\x43", keiyoushi},
      {"形容詞ウ*", "\x8C\x60\x97\x65\x8E\x8C\x83\x45\x2A", keiyoushi},
      {"形容詞エ$", "\x8C\x60\x97\x65\x8E\x8C\x83\x47\x24", keiyoushi},
      {"名詞サ変*", "\x96\xBC\x8E\x8C\x83\x54\x95\xCF\x2A", sahen},
      {"名詞形動$", "\x96\xBC\x8E\x8C\x8C\x60\x93\xAE\x24", none},
      // Kotoeri and macOS (their 五段 names and 形容詞 are ATOK's)
      {"一段", "\x88\xEA\x92\x69", ichidan},
      {"ア行五段", "\x83\x41\x8D\x73\x8C\xDC\x92\x69", godan('w')},
      {"ラ行五段", "\x83\x89\x8D\x73\x8C\xDC\x92\x69", godan('r')},
      {"サ変名詞", "\x83\x54\x95\xCF\x96\xBC\x8E\x8C", sahen},
      {"普通名詞", "\x95\x81\x92\xCA\x96\xBC\x8E\x8C", none},
      // Names of words that do not conjugate, and near misses
      {"名詞", "\x96\xBC\x8E\x8C", none},
      {"固有名詞", "\x8C\xC5\x97\x4C\x96\xBC\x8E\x8C", none},
      {"短縮よみ", "\x92\x5A\x8F\x6B\x82\xE6\x82\xDD", none},
      {"動詞", "\x93\xAE\x8E\x8C", none},
      // Blanks around a name and half-width katakana in it, as hand-made
      // exports have them.
      {"動詞カ行五段 ", "\x93\xAE\x8E\x8C\x83\x4A\x8D\x73\x8C\xDC\x92\x69\x20",
       godan('k')},
      {" 動詞カ行五段", "\x20\x93\xAE\x8E\x8C\x83\x4A\x8D\x73\x8C\xDC\x92\x69",
       godan('k')},
      {"　一段動詞　", "\x81\x40\x88\xEA\x92\x69\x93\xAE\x8E\x8C\x81\x40",
       ichidan},
      {"ｶ行五段", "\xB6\x8D\x73\x8C\xDC\x92\x69", godan('k')},
      {"ｶﾞ行五段*", "\xB6\xDE\x8D\x73\x8C\xDC\x92\x69*", godan('g')},
      {"動詞ﾜ行五段", "\x93\xAE\x8E\x8C\xDC\x8D\x73\x8C\xDC\x92\x69",
       godan('w')},
      {"形容詞ｲ", "\x8C\x60\x97\x65\x8E\x8C\xB2", keiyoushi},
      {"ﾊ行四段", "\xCA\x8D\x73\x8E\x6C\x92\x69", godan('h')},
      {"形容詞 *", "\x8C\x60\x97\x65\x8E\x8C\x20\x2A", none},
      {"形 容詞", "\x8C\x60\x20\x97\x65\x8E\x8C", none},
      {"動詞カ行五段\x01",
       "\x93\xAE\x8E\x8C\x83\x4A\x8D\x73\x8C\xDC\x92\x69\x01", none},
      {"", "", none},
      {"*", "\x2A", none},
      {"形容詞**", "\x8C\x60\x97\x65\x8E\x8C\x2A\x2A", none},
      {"か行五段(行く)",
       "\x82\xA9\x8D\x73\x8C\xDC\x92\x69\x28\x8D\x73\x82\xAD\x29", none},
      {"形容", "\x8C\x60\x97\x65", none},
      {"ワ行", "\x83\x8F\x8D\x73", none},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shown(classify_part_of_speech(c.utf_8, text_encoding::utf_8)),
              shown(c.expected))
        << "UTF-8 " << c.utf_8;
    EXPECT_EQ(
        shown(classify_part_of_speech(c.shift_jis, text_encoding::shift_jis)),
        shown(c.expected))
        << "Shift_JIS " << c.utf_8;
  }
}

// A name's bytes read in the other encoding are no name.
TEST(PartOfSpeech, OtherEncodingIsNoName) {
  EXPECT_EQ(shown(classify_part_of_speech("\x8C\x60\x97\x65\x8E\x8C",
                                          text_encoding::utf_8)),
            "none");
  EXPECT_EQ(shown(classify_part_of_speech("形容詞", text_encoding::shift_jis)),
            "none");
}

}  // namespace

}  // namespace brenlow
