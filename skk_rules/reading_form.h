// Readings in the form SKK users type them.
//
// SKK looks a word up under the characters the user's keys produce: in ▽
// mode (Q and romaji) for a reading with kana, in abbrev mode (/ and
// letters) for one without. IME exports hold readings in katakana,
// half-width katakana or full-width ASCII, which no SKK user can type; this
// turns them into what the user does type, and tells which readings no key
// sequence produces at all.
//
// What each printable ASCII key gives, typed at the start, inside and at
// the end of a ▽ reading and in abbrev mode in Emacs SKK (ddskk 17.1) and
// libskk 1.0.5, is tests/clients/key_table.expected (re-run by the client
// suites). In ▽ mode both clients give "、" for ",", "。" for ".", "ー" for
// "-", "「" for "[", "」" for "]", "：" for ":" and "；" for ";"; libskk
// gives "？" for "?"; every other key that is no romaji gives its ASCII
// character. In abbrev mode every key gives its ASCII character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "encodings/text_encoding.h"

namespace brenlow {

// Why a client cannot type a reading in its typed form; a reading may have
// several. Found from the key table: a key that starts the conversion
// inside a ▽ reading ends the reading there.
enum class untypable_reason {
  // "、" "。" "：" "；" "」" "を" after the first character, or ">" inside:
  // the conversion starts there in both clients.
  conversion_start,
  // "!" ")" "}" "？" after the first character: the conversion starts
  // there in libskk.
  libskk_conversion_start,
  // "？" "<" "$" "/" "\" anywhere, "@" first: Emacs SKK's prefix and suffix
  // mark, character code and date keys, not characters.
  emacs_skk_keys,
  // ASCII letters in a reading with kana: in ▽ mode letters are romaji.
  letters_among_kana,
  // A character no key gives in the reading's mode: "￥", or anything but
  // ASCII in a reading without kana.
  no_key,
};
constexpr std::size_t untypable_reason_count = 5;

// A reason's bit in typed_form::untypable.
constexpr unsigned untypable_bit(untypable_reason reason) {
  return 1u << static_cast<unsigned>(reason);
}

// "hold a symbol that starts the conversion inside them in both clients"
// and so on, for a count of readings.
const char* untypable_message(untypable_reason reason);

struct typed_form {
  bool changed = false;    // out holds the typed form
  unsigned untypable = 0;  // untypable_bit()s of the typed form
};

// Writes to out the reading as an SKK user types it and says whether that
// differs from reading (out is unspecified when it does not) and why a
// client cannot type it. In the reading's own encoding (UTF-8 or Shift_JIS
// bytes):
// - katakana become hiragana; "ヴ" and "ゔ" become "う゛", "ヵ" "ヶ" "か"
//   "け", "ヷヸヹヺ" "わ゛ゐ゛ゑ゛を゛", the small katakana "ㇰ"-"ㇿ" their
//   full-size hiragana;
// - half-width katakana become hiragana, a voicing mark joined to the kana
//   before it where the pair has a character ("ｶﾞ" "が", "ｳﾞ" "う゛"), and
//   the half-width signs "｡｢｣､･ｰ" their full-width forms; a combining
//   voicing mark (U+3099, U+309A) is joined the same way;
// - the ideographic space becomes ASCII;
// - in a reading with kana (hiragana, katakana, "ー" and the kana signs),
//   or starting with ";" or "；" (which abbrev mode's ";" cannot file),
//   ASCII and full-width ASCII become what their key gives in ▽ mode (see
//   above); in a reading without, full-width ASCII becomes ASCII;
// - in Shift_JIS, a CP932 code that repeats another character's code (row
//   87, the ED, EE and FA rows) becomes the code both clients' encoders give
//   that character (canonical_cp932_pair).
// Every other character, and every byte that is no character, is copied.
typed_form typed_reading(std::string_view reading, text_encoding encoding,
                         std::string& out);

}  // namespace brenlow
