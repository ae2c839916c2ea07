// The decision on a dictionary text's encoding, made once for the input
// reader: a byte-order mark, the command line's choice or the weighed
// evidence, and the rules for NUL bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/line_problem.h"
#include "encodings/text_encoding.h"

namespace brenlow {

// The text to convert, in the encoding its rules and output use.
struct prepared_input {
  std::string_view text;
  std::string decoded;  // holds text when it was decoded from UTF-16
  text_encoding encoding = text_encoding::shift_jis;
  std::string reason;  // how the encoding was chosen, for --verbose
  // Where text starts in the file (after a mark), for byte offsets.
  std::size_t offset = 0;
  // Every byte of text decodes, so lines need not be checked one by one.
  bool decodes_throughout = false;
  // The encoding was guessed from the evidence: a Shift_JIS line that reads
  // as UTF-8 is skipped, not filed as mojibake.
  bool guessed = false;
  // text was decoded from UTF-16: its undecodable bytes stand for UTF-16
  // faults (see decode_utf_16).
  bool from_utf_16 = false;
};

// Decides the encoding of raw. A byte-order mark decides (UTF-16 is decoded
// to UTF-8, a UTF-8 mark dropped) and must agree with choice; without one,
// choice decides, and a guess takes UTF-16 when the first line shows its
// pattern (find_utf_16_pattern) and the decoded text looks like entries,
// stops at a NUL byte otherwise, and weighs the evidence of the whole text
// (judge_encoding). Returns false and fills problem for text whose encoding
// cannot be told, which is EUC-JP, or which joins UTF-16 and 8-bit text
// (find_encoding_change). prepared.text may point into raw, which must
// outlive it.
bool decide_encoding(std::string_view raw, encoding_choice choice,
                     prepared_input& prepared, line_problem& problem);

// True when a text starting with start may hold NUL bytes that are no
// fault: UTF-16 by its mark, by choice, or, for a guess, by the pattern of
// its first line (as far as start reaches). Any other text is refused at
// its first NUL byte, so its reading can stop there.
bool may_hold_nul_bytes(std::string_view start, encoding_choice choice);

// Finds a NUL byte, which no text dictionary holds. Returns true and fills
// problem if there is one.
bool find_nul_byte(std::string_view text, line_problem& problem);

}  // namespace brenlow
