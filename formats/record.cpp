#include "formats/record.h"

namespace brenlow {

const char* skip_message(skip_reason reason) {
  switch (reason) {
    case skip_reason::undecodable: return "undecodable";
    case skip_reason::no_tab: return "no TAB after the reading";
    case skip_reason::empty_reading: return "empty reading";
    case skip_reason::empty_word: return "empty word";
    case skip_reason::reading_starts_with_semicolon:
      return "reading starts with \";\"";
    case skip_reason::reading_holds_blank: return "reading holds a blank";
    case skip_reason::reading_holds_control:
      return "reading holds a control character";
    case skip_reason::reads_as_utf_8:
      return "line reads as UTF-8 in a Shift_JIS file";
    case skip_reason::no_comma: return "no comma after the reading";
    case skip_reason::unclosed_quote: return "a quoted field is not closed";
    case skip_reason::missing_key:
      return "an entry without its shortcut or its phrase";
    case skip_reason::unencodable:
      return "a character the output's encoding cannot write";
    case skip_reason::concat_not_read:
      return "a word only a (concat ...) form can carry, which the program "
             "shows as code";
    case skip_reason::none: break;
  }
  return "";
}

}  // namespace brenlow
