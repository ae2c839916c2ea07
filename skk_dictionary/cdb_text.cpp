#include "skk_dictionary/cdb_text.h"

#include <cdb.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace brenlow {

bool looks_like_cdb(std::string_view bytes) {
  // A CDB file opens with 256 little-endian (position, slot count) pairs,
  // each naming a hash table of 8-byte slots after the header and within
  // the file; tinycdb writes the tables one after another, so no position
  // comes before the one ahead of it. Text with NUL bytes (UTF-16 above
  // all) fails this at once: its pairs are characters.
  constexpr std::size_t header = 2048;
  if (bytes.size() < header) return false;
  const auto byte = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]));
  };
  const auto number = [&](std::size_t i) {
    return byte(i) | byte(i + 1) << 8 | byte(i + 2) << 16 | byte(i + 3) << 24;
  };
  std::uint64_t previous = header;
  for (std::size_t pair = 0; pair < 256; ++pair) {
    const std::uint64_t position = number(pair * 8);
    const std::uint64_t slots = number(pair * 8 + 4);
    if (position < previous || position > bytes.size() ||
        slots > (bytes.size() - position) / 8) {
      return false;
    }
    previous = position;
  }
  return true;
}

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
