// What every input format yields: records of reading, word, part of speech
// and comment, and the reasons a line or a record is not filed.
#pragma once

#include <cstddef>
#include <string_view>

namespace brenlow {

// One entry of a dictionary as its format holds it, whatever the format:
// views into the text, in the text's encoding, never decoded.
struct record {
  std::string_view reading;         // as the file holds it
  std::string_view word;            // as the file holds it
  std::string_view part_of_speech;  // empty when there is none
  std::string_view comment;         // empty when there is none
};

// Why a line or a record was skipped: by the format (undecodable, no TAB,
// a UTF-8 line in Shift_JIS) or by the SKK entry rules (the rest).
enum class skip_reason {
  none,
  undecodable,
  no_tab,
  empty_reading,
  empty_word,
  reading_starts_with_semicolon,
  reading_holds_blank,
  reading_holds_control,
  reads_as_utf_8,
};
constexpr std::size_t skip_reason_count = 9;

// "no TAB after the reading" and so on; "undecodable" for undecodable
// lines, whose message also names the place (see undecodable_message).
const char* skip_message(skip_reason reason);

}  // namespace brenlow
