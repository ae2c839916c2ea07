#include "dictionary/recode_table.h"

#include <string>

namespace brenlow {

output_encoding held_for(output_encoding encoding) {
  return encoding == output_encoding::utf_16le ? output_encoding::utf_8
                                               : encoding;
}

void recode_table(reading_table& table, text_encoding held,
                  output_encoding encoding) {
  const output_encoding target = held_for(encoding);
  if (target == same_as(held)) return;
  // Readings and words are rewritten one at a time into the table's text;
  // what they were stays there, unused.
  std::string recoded;
  const auto rewrite = [&](std::uint32_t text) {
    const std::string_view bytes = text_of(table, text);
    if (bytes.empty()) return text;
    recoded.resize(4 * bytes.size());
    recoded.resize(write_recoded(bytes, held, target, recoded.data()));
    return store_text(table, recoded);
  };
  for (reading_entry& entry : table.entries) entry.text = rewrite(entry.text);
  for (candidate& word : table.candidates) word.text = rewrite(word.text);
  drop_index(table);
}

}  // namespace brenlow
