// The part-of-speech field of an entry line, as far as it decides how a
// word conjugates: the names Google Japanese Input (Mozc), Microsoft IME,
// ATOK, Kotoeri and macOS export for verbs and adjectives.
#pragma once

#include <string_view>

#include "base/byte_facts.h"

namespace brenlow {

enum class conjugation {
  none,       // does not conjugate in SKK: nouns, adverbs, unknown names
  godan,      // 五段 (and ハ行四段): row names the row
  ichidan,    // 一段
  keiyoushi,  // 形容詞
  kahen,      // カ変: 来る
  sahen,      // サ変: …する, サ変 nouns
  zahen,      // ザ変: …ずる
  rahen,      // ラ変: あり, をり
};

struct conjugation_class {
  conjugation kind = conjugation::none;
  // For godan: the romaji letter of the row (k g s t n b m r w, h for
  // ハ行四段); 0 otherwise.
  char row = 0;
};

inline bool operator==(conjugation_class a, conjugation_class b) {
  return a.kind == b.kind && a.row == b.row;
}

// The classes by name.
namespace conjugates {
constexpr conjugation_class none{};
constexpr conjugation_class godan(char row) {
  return {conjugation::godan, row};
}
constexpr conjugation_class ichidan{conjugation::ichidan, 0};
constexpr conjugation_class keiyoushi{conjugation::keiyoushi, 0};
constexpr conjugation_class kahen{conjugation::kahen, 0};
constexpr conjugation_class sahen{conjugation::sahen, 0};
constexpr conjugation_class zahen{conjugation::zahen, 0};
constexpr conjugation_class rahen{conjugation::rahen, 0};
}  // namespace conjugates

// The class of the part-of-speech field, given in the input's encoding. A
// trailing "*" or "$" (ATOK's registration marks) is not part of the name.
// A name no IME uses for a verb or an adjective gives conjugation::none.
conjugation_class classify_part_of_speech(std::string_view field,
                                          text_encoding encoding);

}  // namespace brenlow
