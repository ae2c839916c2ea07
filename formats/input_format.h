// The input formats brenlow reads, and which one a text is, told by its
// first bytes or its first line.
#pragma once

#include <string_view>

namespace brenlow {

enum class input_format {
  // reading TAB word TAB part of speech TAB comment: Microsoft IME, Google
  // Japanese Input, ATOK, Gboard
  tab_text,
  csv,            // reading,word,part of speech: macOS
  kotoeri,        // "まあじゃん", "麻雀", "普通名詞": Kotoeri
  property_list,  // macOS's user dictionary as System Settings exports it
};

// "tab", "csv", "kotoeri", "plist": the names --format takes.
const char* format_name(input_format format);

// "TAB text", "CSV", "Kotoeri text", "a property list": the format in
// messages.
const char* format_description(input_format format);

// The format --format names (in any case), or false.
bool format_of_name(std::string_view name, input_format& format);

// True when raw, the file's bytes as read, starts as a ZIP archive does
// (Gboard exports its dictionary in one). Told before anything else: the
// archive holds NUL bytes.
bool starts_as_zip(std::string_view raw);

struct format_guess {
  input_format format = input_format::tab_text;
  const char* why = "";  // "it starts with <?xml" and so on
};

// The format of text (in an encoding whose ASCII bytes are ASCII, without
// its mark): a property list when it starts, after blanks, with "<?xml",
// "<plist" or "<!DOCTYPE plist"; TAB text when it starts with a header
// line ("!" or "#" first); else, by its first line that is not blank,
// Kotoeri text when its fields are quoted and separated by commas, CSV when
// it has a comma and no TAB; TAB text otherwise.
format_guess detect_format(std::string_view text);

}  // namespace brenlow
