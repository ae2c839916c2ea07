// Readings in the form SKK users type them.
//
// SKK looks a word up under the characters the user types in its ▽ mode:
// hiragana, ASCII for digits, letters and most signs. IME exports often
// hold readings in katakana, half-width katakana or full-width ASCII, which
// no SKK user can type; this turns them into what the user does type.
//
// Typing each ASCII key in ▽ mode in Emacs SKK (ddskk 17.1) and libskk
// 1.0.5 gives its ASCII character, except ",", ".", "-", "[" and "]" (kana
// signs), ":" and ";" (full-width "：" and "；" in both clients) and "?"
// ("？" in libskk; ddskk takes it as the prefix mark ">"). A reading "：…"
// or "；…" is typed as it stands, so those two keep their full-width form;
// so does "？", which libskk users type as it stands and Emacs SKK users
// cannot type in either form.
#pragma once

#include <string>
#include <string_view>

#include "encodings/text_encoding.h"

namespace brenlow {

// Writes to out the reading as an SKK user types it and returns true when
// that differs from reading; returns false, leaving out unspecified, when
// the reading is already in that form. In the reading's own encoding
// (UTF-8 or Shift_JIS bytes, never decoded):
// - katakana become hiragana; "ヴ" and "ゔ" become "う゛", "ヵ" "ヶ" "か" "け";
// - half-width katakana become hiragana, a voicing mark joined to the kana
//   before it where the pair has a character ("ｶﾞ" "が", "ｳﾞ" "う゛"), and
//   the half-width signs "｡｢｣､･ｰ" their full-width forms;
// - full-width ASCII (U+FF01-U+FF5E) and the ideographic space become
//   ASCII, except "：" and "；".
// Every other character, and every byte that is no character, is copied.
bool typed_reading(std::string_view reading, text_encoding encoding,
                   std::string& out);

}  // namespace brenlow
