#include <cerrno>
#include <cstring>

#include "skk_dictionary/cdb_text.h"

namespace brenlow {

bool looks_like_cdb(std::string_view bytes) {
  return bytes.size() >= 2048 && std::memchr(bytes.data(), 0, 2048) != nullptr;
}

// No CDB library is built for Windows (see dictionary/cdb_writer_windows.cpp).
int cdb_dictionary_text(int, std::string&) { return ENOSYS; }

}  // namespace brenlow
