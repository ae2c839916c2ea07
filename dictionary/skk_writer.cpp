#include "dictionary/skk_writer.h"

void write_skk_dictionary(const reading_table& table, output_stream& stream) {
  write_bytes(stream, ";; okuri-ari entries.");
  end_line(stream);
  write_bytes(stream, ";; okuri-nasi entries.");
  end_line(stream);
  for (const reading_entry& entry : table.entries) {
    write_bytes(stream, entry.reading);
    write_bytes(stream, " /");
    for (std::string_view candidate : entry.candidates) {
      write_bytes(stream, candidate);
      write_bytes(stream, "/");
    }
    end_line(stream);
  }
}
