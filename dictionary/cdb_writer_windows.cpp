#include <cerrno>

#include "dictionary/cdb_writer.h"

namespace brenlow {

// No CDB library is built for Windows (Debian packages tinycdb for Linux
// only), and the dictionary servers that read CDB files run on Unix.
bool cdb_writable() { return false; }

int write_cdb_dictionary(reading_table&, reading_table*, int, std::size_t,
                         std::vector<cut_value>&) {
  return ENOSYS;
}

}  // namespace brenlow
