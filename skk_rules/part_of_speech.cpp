#include "skk_rules/part_of_speech.h"

#include <string>
#include <utility>
#include <vector>

#include "base/byte_facts.h"
#include "encodings/text_encoding.h"
#include "skk_rules/reading_form.h"

namespace brenlow {

namespace {

using namespace conjugates;  // NOLINT(google-build-using-namespace)

struct named_class {
  const char* name;  // UTF-8
  conjugation_class conjugates;
};

// Every name the IMEs export for a word that conjugates. Names that do not
// conjugate in SKK (名詞形動, 形容動詞, ...) are left out: they give none.
constexpr named_class names[] = {
    // Google Japanese Input / Mozc.
    {"動詞ワ行五段", godan('w')},
    {"動詞カ行五段", godan('k')},
    {"動詞サ行五段", godan('s')},
    {"動詞タ行五段", godan('t')},
    {"動詞ナ行五段", godan('n')},
    {"動詞マ行五段", godan('m')},
    {"動詞ラ行五段", godan('r')},
    {"動詞ガ行五段", godan('g')},
    {"動詞バ行五段", godan('b')},
    {"動詞ハ行四段", godan('h')},
    {"動詞一段", ichidan},
    {"動詞カ変", kahen},
    {"動詞サ変", sahen},
    {"動詞ザ変", zahen},
    {"動詞ラ変", rahen},
    {"形容詞", keiyoushi},
    {"名詞サ変", sahen},
    // Microsoft IME, with the older names without 五段.
    {"あわ行五段", godan('w')},
    {"か行五段", godan('k')},
    {"が行五段", godan('g')},
    {"さ行五段", godan('s')},
    {"た行五段", godan('t')},
    {"な行五段", godan('n')},
    {"ば行五段", godan('b')},
    {"ま行五段", godan('m')},
    {"ら行五段", godan('r')},
    {"あわ行", godan('w')},
    {"か行", godan('k')},
    {"が行", godan('g')},
    {"さ行", godan('s')},
    {"た行", godan('t')},
    {"な行", godan('n')},
    {"ば行", godan('b')},
    {"ま行", godan('m')},
    {"ら行", godan('r')},
    {"一段動詞", ichidan},
    {"さ変名詞", sahen},
    {"ざ変名詞", zahen},
    // ATOK (一段動詞, 形容詞 and 名詞サ変 are above).
    {"カ行五段", godan('k')},
    {"ガ行五段", godan('g')},
    {"サ行五段", godan('s')},
    {"タ行五段", godan('t')},
    {"ナ行五段", godan('n')},
    {"バ行五段", godan('b')},
    {"マ行五段", godan('m')},
    {"ラ行五段", godan('r')},
    {"ワ行五段", godan('w')},
    {"ワ行五段音便", godan('w')},
    {"ハ行四段", godan('h')},
    {"カ変動詞", kahen},
    {"サ変動詞", sahen},
    {"ザ変動詞", zahen},
    {"ラ変動詞", rahen},
    {"形容詞イ", keiyoushi},
    {"形容詞ウ", keiyoushi},
    {"形容詞エ", keiyoushi},
    // Kotoeri and macOS (their other verb names are ATOK's).
    {"一段", ichidan},
    {"ア行五段", godan('w')},
};

// The kanji of the names above, in Shift_JIS and as code points.
struct kanji_code {
  unsigned char first, second;
  char32_t code_point;
};
constexpr kanji_code name_kanji[] = {
    {0x93, 0xAE, U'動'}, {0x8E, 0x8C, U'詞'}, {0x8D, 0x73, U'行'},
    {0x8C, 0xDC, U'五'}, {0x92, 0x69, U'段'}, {0x8E, 0x6C, U'四'},
    {0x88, 0xEA, U'一'}, {0x95, 0xCF, U'変'}, {0x8C, 0x60, U'形'},
    {0x97, 0x65, U'容'}, {0x96, 0xBC, U'名'}, {0x89, 0xB9, U'音'},
    {0x95, 0xD6, U'便'},
};

// The code point of a Shift_JIS pair that can occur in a name (kana and the
// kanji above), or 0.
char32_t name_code_point(unsigned char first, unsigned char second) {
  const int hiragana = hiragana_of_pair(first, second);
  if (hiragana >= 0) return first_hiragana + static_cast<char32_t>(hiragana);
  if (first == 0x83 && second >= 0x40 && second <= 0x7E) {
    return U'ァ' + (second - 0x40);
  }
  if (first == 0x83 && second >= 0x80 && second <= 0x96) {
    return U'ム' + (second - 0x80);
  }
  for (const kanji_code& k : name_kanji) {
    if (k.first == first && k.second == second) return k.code_point;
  }
  return 0;
}

// The field in UTF-8, or false when it holds a character no name has.
bool name_in_utf_8(std::string_view field, std::string& name) {
  for (std::size_t pos = 0; pos < field.size();) {
    const auto byte = static_cast<unsigned char>(field[pos]);
    if (!starts_shift_jis_pair(byte)) {
      name.push_back(field[pos++]);
      continue;
    }
    if (pos + 1 == field.size()) return false;
    const char32_t code_point =
        name_code_point(byte, static_cast<unsigned char>(field[pos + 1]));
    if (code_point == 0) return false;
    append_utf_8(name, code_point);
    pos += 2;
  }
  return true;
}

}  // namespace

conjugation_class classify_part_of_speech(std::string_view field,
                                          text_encoding encoding) {
  // Names are short: a longer field is something else.
  if (field.size() > 40) return {};
  // Hand-made exports hold names in half-width katakana or with blanks
  // around them: names are compared in their typed form (hiragana, blanks
  // ASCII), where ｶ行五段, カ行五段 and か行五段 are one name.
  std::string typed;
  if (typed_reading(field, encoding, typed).changed) field = typed;
  std::string converted;
  if (encoding == text_encoding::shift_jis) {
    if (!name_in_utf_8(field, converted)) return {};
    field = converted;
  }
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
  if (!field.empty() && (field.back() == '*' || field.back() == '$')) {
    field.remove_suffix(1);
  }
  // The names in their typed form, made once.
  static const std::vector<std::pair<std::string, conjugation_class>>
      typed_names = [] {
        std::vector<std::pair<std::string, conjugation_class>> made;
        for (const named_class& named : names) {
          std::string name;
          if (!typed_reading(named.name, text_encoding::utf_8, name).changed) {
            name = named.name;
          }
          made.emplace_back(std::move(name), named.conjugates);
        }
        return made;
      }();
  for (const auto& named : typed_names) {
    if (field == named.first) return named.second;
  }
  return {};
}

}  // namespace brenlow
