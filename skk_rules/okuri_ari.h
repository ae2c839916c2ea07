// SKK okuri-ari keys for a verb or an adjective: the key is the stem's
// reading plus the romaji letter of the first okurigana kana, the
// candidate the written word without its okurigana (かk /書/ serves 書か,
// 書き, 書く, 書け and 書こ).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "skk_rules/part_of_speech.h"
#include "skk_rules/skk_entry.h"

namespace brenlow {

struct okuri_ari_pair {
  std::string key;             // the reading's bytes and one ASCII letter
  std::string_view candidate;  // a leading part of the word
};

// The letters SKK clients use for the kana at index k of the hiragana
// U+3041..U+3093 (Shift_JIS 0x82 0x9F..0xF1, in the same order): one
// letter, "jz" for じ (j in Emacs SKK, z in libskk), "" for small kana and
// for っ, whose letter is that of the kana after it.
std::string_view letters_of_kana(int k);

// The byte length of the run of hiragana that ends word (0 if none).
std::size_t trailing_hiragana_run(std::string_view word,
                                  text_encoding encoding);

// Appends to pairs the okuri-ari keys of the entry, reading and word in
// the input's encoding, each with the same candidate:
// - the okurigana is the run of hiragana at the end of the word, and only
//   when the reading ends with the same run and something precedes the
//   run in the word; a word without its class's dictionary ending (a
//   stem, as Mozc may hold verbs) is taken with that ending;
// - the key's letter is that of the run's first kana (っ: of the kana
//   after it, t when none follows);
// - when the run is only the class's ending, the keys of its conjugated
//   forms too (五段 by row, 一段 r n t m y, 形容詞 i k s, カ変 くr こn こi こy
//   きt きm きn);
// - サ変 only for a stem of one character.
// Returns false when the class conjugates but no key could be derived.
bool derive_okuri_ari(std::string_view reading, std::string_view word,
                      conjugation_class conjugates, text_encoding encoding,
                      std::vector<okuri_ari_pair>& pairs);

// The form SKK carries an okuri-ari candidate in: its concat form where a
// word would need one (needs_concat: Emacs SKK would evaluate it as Lisp or
// split it), and also when it starts with "[", which Emacs SKK reads in the
// okuri-ari section as the start of an okurigana block, so that the
// candidates after it are lost. Returns false when the candidate stands as
// it is; otherwise writes the form to out, left empty when nothing of the
// candidate remains (a lone quote under csv_quotes).
bool okuri_ari_candidate_form(std::string_view candidate,
                              text_encoding encoding, bool csv_quotes,
                              std::string& out);

}  // namespace brenlow
