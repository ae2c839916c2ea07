// The comma-separated exports of Apple's input methods, one entry a line:
// - macOS CSV: reading,word,part of speech (普通名詞), fields quoted where
//   they hold a comma or a quote ("a,b"; "" is one quote inside);
// - Kotoeri text: "まあじゃん", "麻雀", "普通名詞", every field quoted and
//   the fields separated by a comma and a space.
// Lines are handled as bytes: a quote or a comma is never the second byte
// of a Shift_JIS pair, and never inside a UTF-8 sequence.
#pragma once

#include <string>
#include <string_view>

#include "base/byte_facts.h"
#include "formats/record.h"
#include "formats/tab_text.h"

namespace brenlow {

// Reads a line without its line end, byte-order marks at its start dropped
// first (mark_bytes), as read_tab_line does: an empty line is a comment; a
// line whose bytes do not decode (checks) is skipped, as is one with a
// single field (no_comma) or a quoted field not closed (unclosed_quote).
// The fields are, in order, reading, word, part of speech and comment;
// blanks after a comma are passed over (Kotoeri puts one there; a CSV
// field starts after them too). A field that starts with a quote ends at
// the next lone quote, "" inside it being one quote; bytes between that
// quote and the next comma are kept with it. Fields with a doubled quote
// are copied to buffer, which the record then views (fields_in_buffer) and
// which the next call reuses.
entry_line read_comma_line(std::string_view line, text_encoding encoding,
                           const line_checks& checks, std::string& buffer);

}  // namespace brenlow
