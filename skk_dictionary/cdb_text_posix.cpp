#include <cdb.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "skk_dictionary/cdb_text.h"

namespace brenlow {

int cdb_dictionary_text(int fd, std::string& text) {
  struct cdb file;
  errno = 0;
  if (cdb_init(&file, fd) != 0) return errno != 0 ? errno : EINVAL;
  // The records end where the first hash table starts, past the header
  // and within the file: a file of zeros (or other bytes) is no CDB file,
  // though tinycdb would read it as one without records.
  const auto* header = static_cast<const unsigned char*>(cdb_get(&file, 8, 0));
  const unsigned records_end =
      header == nullptr ? 0
                        : header[0] | (header[1] << 8u) | (header[2] << 16u) |
                              (unsigned{header[3]} << 24u);
  if (records_end < 2048 || records_end > file.cdb_fsize) {
    cdb_free(&file);
    return EINVAL;
  }
  unsigned position;
  cdb_seqinit(&position, &file);
  int got;
  errno = 0;
  while ((got = cdb_seqnext(&position, &file)) > 0) {
    const void* key = cdb_get(&file, cdb_keylen(&file), cdb_keypos(&file));
    const void* value = cdb_get(&file, cdb_datalen(&file), cdb_datapos(&file));
    if (key == nullptr || value == nullptr) {
      got = -1;
      break;
    }
    text.append(static_cast<const char*>(key), cdb_keylen(&file));
    text.push_back(' ');
    text.append(static_cast<const char*>(value), cdb_datalen(&file));
    text.push_back('\n');
  }
  const int error = got < 0 ? (errno != 0 ? errno : EINVAL) : 0;
  cdb_free(&file);
  return error;
}

}  // namespace brenlow
