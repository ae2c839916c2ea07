// Formats brenlow does not read, told by their first bytes or first line, so
// that a run that files nothing can say what the input is instead.
#pragma once

#include <string_view>

namespace brenlow {

enum class foreign_format {
  none,
  zip_archive,        // "PK\3\4": Gboard's export is a ZIP archive
  xml_property_list,  // macOS's user dictionary
  quoted_comma_fields,  // "まあじゃん", "麻雀", "普通名詞" (Kotoeri text)
  comma_fields,         // reading,word,part without a TAB (macOS CSV)
};

// True when raw, the file's bytes as read, starts as a ZIP archive does.
// Told before anything else: the archive holds NUL bytes.
bool starts_as_zip(std::string_view raw);

// What text (in an encoding whose ASCII bytes are ASCII, without its mark)
// looks like, when it looks like one of the formats above: an XML property
// list when it starts, after blanks, with "<?xml", "<plist" or "<!DOCTYPE
// plist"; else, by its first line that is not blank, comma fields without a
// TAB, quoted ("...", "...") or not. none otherwise, and for a ZIP archive,
// which starts_as_zip tells from the raw bytes.
foreign_format recognise_foreign_format(std::string_view text);

}  // namespace brenlow
