#include "dictionary/recode_table.h"

#include <new>

namespace brenlow {

output_encoding held_for(output_encoding encoding) {
  return encoding == output_encoding::utf_16le ? output_encoding::utf_8
                                               : encoding;
}

void recode_table(reading_table& table, text_encoding held,
                  output_encoding encoding) {
  const output_encoding target = held_for(encoding);
  if (target == same_as(held)) return;
  // Readings and words are rewritten one at a time into the arena; the
  // input they viewed stays as it was.
  const auto rewrite = [&](std::string_view text) {
    if (text.empty()) return text;
    char* room = room_for(table, 4 * text.size());
    const std::size_t size = write_recoded(text, held, target, room);
    // Sizes are 32-bit, as add_word's limits keep them.
    if (size > 0xFFFFFFFFu) throw std::bad_alloc();
    use_room(table, size);
    return std::string_view(room, size);
  };
  for (reading_entry& entry : table.entries) {
    const std::string_view reading = rewrite(entry.reading());
    entry.reading_bytes = reading.data();
    entry.reading_size = static_cast<std::uint32_t>(reading.size());
  }
  for (candidate& word : table.candidates) {
    const std::string_view bytes = rewrite(word.word());
    word.bytes = bytes.data();
    word.size = static_cast<std::uint32_t>(bytes.size());
  }
  drop_index(table);
}

}  // namespace brenlow
