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
  no_comma,        // CSV and Kotoeri text: one field only
  unclosed_quote,  // CSV and Kotoeri text: a quoted field not closed
  missing_key,     // property list: a dict without shortcut or phrase
  // The output's encoding cannot write a character of the reading or word.
  unencodable,
  // The word needs a (concat ...) form the target program shows as code.
  concat_not_read,
};
constexpr std::size_t skip_reason_count = 14;
static_assert(static_cast<std::size_t>(skip_reason::concat_not_read) + 1 ==
                  skip_reason_count,
              "skip_reason_count counts every reason");

enum class line_kind { entry, comment_or_empty, skipped };

// One line as its format reads it (in a property list, one entry, numbered
// by the line it starts on).
struct entry_line {
  line_kind kind = line_kind::entry;
  record fields;                           // entry lines
  skip_reason reason = skip_reason::none;  // skipped lines: why
  std::size_t fault_offset = 0;  // undecodable lines: offset in the line
  std::size_t mark_bytes = 0;    // byte-order marks dropped from its start
  bool bang_entry = false;       // an entry line starting with "!"
  // The fields view the reader's own storage (quotes or entities resolved)
  // rather than the text: the filing keeps copies of them.
  bool fields_in_buffer = false;
};

// "no TAB after the reading" and so on; "undecodable" for undecodable
// lines, whose message also names the place (see undecodable_message).
const char* skip_message(skip_reason reason);

}  // namespace brenlow
