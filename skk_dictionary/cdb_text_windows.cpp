#include <cerrno>

#include "skk_dictionary/cdb_text.h"

namespace brenlow {

// No CDB library is built for Windows (see dictionary/cdb_writer_windows.cpp).
int cdb_dictionary_text(int, std::string&) { return ENOSYS; }

}  // namespace brenlow
