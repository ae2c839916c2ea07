// Writes the tables as a constant database (CDB), which Emacs SKK
// (skk-cdb-large-jisyo), libskk (CdbDict) and dictionary servers
// (dbskkd-cdb) read: each reading's bytes the key, "/word/.../" the value.
#pragma once

#include "dictionary/reading_table.h"

namespace brenlow {

// False in a program built without a CDB writer (the Windows program).
bool cdb_writable();

// Writes every entry of okuri_nasi and, if given, okuri_ari to the file
// open for writing at descriptor fd, which must be a regular file (the
// format's header is written last, at its start). Bytes are written as
// the tables hold them. A key in both tables is written once, its
// okuri-nasi words first. Returns 0 or the errno of the failure.
int write_cdb_dictionary(reading_table& okuri_nasi, reading_table* okuri_ari,
                         int fd);

}  // namespace brenlow
