#include "skk_dictionary/cdb_text.h"

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

}  // namespace brenlow
