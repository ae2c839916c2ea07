// Writes the tables as a constant database (CDB), which Emacs SKK
// (skk-cdb-large-jisyo), libskk (CdbDict) and dictionary servers
// (dbskkd-cdb) read: each reading's bytes the key, "/word/.../" the value.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "dictionary/reading_table.h"

namespace brenlow {

// False in a program built without a CDB writer (the Windows program).
bool cdb_writable();

// A key written without some of its words.
struct cut_value {
  std::string_view key;
  std::size_t words_left_out;
  bool whole;  // the key is left out too: not even one word fit
};

// Writes every entry of okuri_nasi and, if given, okuri_ari to the file
// open for writing at descriptor fd, which must be a regular file (the
// format's header is written last, at its start). Bytes are written as
// the tables hold them. A key in both tables is written once, its
// okuri-nasi words first. With a longest_value (0: none), a key's value
// keeps its first words that fit in that many bytes (dbskkd-cdb drops the
// connection on a longer one), and the key goes to cut; a key of which not
// even the first word fits is not written. Returns 0 or the
// errno of the failure.
int write_cdb_dictionary(reading_table& okuri_nasi, reading_table* okuri_ari,
                         int fd, std::size_t longest_value,
                         std::vector<cut_value>& cut);

}  // namespace brenlow
