// CDB dictionaries (as SKK servers and Emacs SKK read them) turned into the
// lines of a text dictionary, so that they are read as any other.
#pragma once

#include <string>
#include <string_view>

namespace brenlow {

// True when bytes (a whole file) are no text dictionary but may be a CDB
// file: its 2048-byte header names 256 hash tables within the file, in
// the order tinycdb writes them. A text dictionary in UTF-16, whose NUL
// bytes a CDB header would also hold, is no such header.
bool looks_like_cdb(std::string_view bytes);

// Sets text to a line "KEY VALUE" for each record of the CDB file open as
// fd (VALUE being "/word/.../", as SKK's CDB files hold), in file order.
// Returns 0, EINVAL when the file is no CDB file, ENOSYS where no CDB
// library is built, or the errno of a failed read.
int cdb_dictionary_text(int fd, std::string& text);

}  // namespace brenlow
