// Builds a hash-flooding dictionary: readings that all collide in the
// reading index of earlier brenlow versions, whose hash had a fixed key.
//
// That hash, of a reading of 16 bytes read as two little-endian 64-bit words
// c1 and c2:
//
//   h = mix(mix(mix(K ^ 16 ^ c1) * G ^ c2) * G)     (K = G, an odd constant)
//   index hash = low 32 bits of h ^ (h >> 32)
//
// where mix(x) = f(f(x) * M) and f(x) = x ^ (x >> 33). f is its own inverse
// and multiplying by an odd number is undone by multiplying by its inverse
// modulo 2^64, so for any c1 the c2 that makes h a chosen value can be
// computed. Every line's reading gets the same h, so the old index compared
// each new reading with every reading before it: quadratic time. A c1 is
// kept when its c2 is a reading as the program files it: Shift_JIS, ASCII
// signs and letters or kanji (not kana or full-width ASCII, which would be
// filed in another, typed form, nor a pair of a row with gaps), no blank,
// no control character.
//
// Usage: make_flood OUTPUT LINES
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr std::uint64_t golden = 0x9E3779B97F4A7C15ULL;
constexpr std::uint64_t multiplier = 0xFF51AFD7ED558CCDULL;
constexpr std::uint64_t target = 0x5EED;  // the h every reading gets

// The inverse of an odd number modulo 2^64 (Newton's iteration).
constexpr std::uint64_t inverse(std::uint64_t odd) {
  std::uint64_t x = odd;
  for (int i = 0; i < 6; ++i) x *= 2 - odd * x;
  return x;
}

std::uint64_t f(std::uint64_t x) { return x ^ (x >> 33); }
std::uint64_t mix(std::uint64_t x) { return f(f(x) * multiplier); }
std::uint64_t unmix(std::uint64_t x) { return f(f(x) * inverse(multiplier)); }

std::uint64_t word_at(const unsigned char* bytes) {
  std::uint64_t word = 0;
  for (int k = 7; k >= 0; --k) word = word << 8 | bytes[k];
  return word;
}

// The old index's hash of a reading, computed forward.
std::uint32_t old_hash(const unsigned char* reading, std::size_t size,
                       std::uint64_t& h) {
  h = golden ^ size;
  std::size_t pos = 0;
  for (; pos + 8 <= size; pos += 8)
    h = mix(h ^ word_at(reading + pos)) * golden;
  std::uint64_t tail = 0;
  for (std::size_t k = size; k > pos; --k) tail = tail << 8 | reading[k - 1];
  h = mix(h ^ tail);
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// The lead bytes of the kanji rows in which code page 932 assigns every
// trail byte: a pair the program finds no character for is a line skipped
// with a message, not a reading filed.
bool is_lead(unsigned char b) {
  return (b >= 0x89 && b <= 0x97) || (b >= 0x99 && b <= 0x9F) ||
         (b >= 0xE0 && b <= 0xE9);
}
bool is_trail(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// True when the 8 bytes are whole characters the program files unchanged.
bool is_filed_as_it_is(const unsigned char* bytes) {
  for (int i = 0; i < 8; ++i) {
    if (bytes[i] >= 0x21 && bytes[i] <= 0x7E) continue;
    if (i + 1 < 8 && is_lead(bytes[i]) && is_trail(bytes[i + 1])) {
      ++i;
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    (void)std::fputs("usage: make_flood OUTPUT LINES\n", stderr);
    return 2;
  }
  char* end = nullptr;
  const long lines = std::strtol(argv[2], &end, 10);
  if (*end != '\0' || lines <= 0) {
    (void)std::fprintf(stderr, "make_flood: not a number of lines: %s\n",
                       argv[2]);
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  // Back from the final h: before the last mix, and before the second
  // word's multiplication and mix.
  const std::uint64_t before_second = unmix(unmix(target) * inverse(golden));
  const char alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::uint32_t index_hash = 0;
  std::uint64_t counter = 0;
  for (long made = 0; made < lines; ++counter) {
    unsigned char reading[16];
    std::uint64_t value = counter;
    for (int k = 0; k < 8; ++k) {
      reading[k] = static_cast<unsigned char>(alphabet[value % 62]);
      value /= 62;
    }
    const std::uint64_t h1 = mix((golden ^ 16) ^ word_at(reading)) * golden;
    const std::uint64_t c2 = before_second ^ h1;
    for (int k = 0; k < 8; ++k) {
      reading[8 + k] = static_cast<unsigned char>(c2 >> (8 * k));
    }
    if (!is_filed_as_it_is(reading + 8)) continue;
    std::uint64_t h;
    index_hash = old_hash(reading, 16, h);
    if (h != target) {
      (void)std::fputs("make_flood: the inversion is wrong\n", stderr);
      return 1;
    }
    // Write errors show in the stream's error flag, checked at the end.
    (void)std::fwrite(reading, 1, 16, out);
    (void)std::fputs("\t\x8A\xBF\x8E\x9A\t\x96\xBC\x8E\x8C\r\n",
                     out);  // 漢字 名詞
    ++made;
  }
  const bool write_failed = std::ferror(out) != 0;
  if (std::fclose(out) != 0 || write_failed) {
    std::perror(argv[1]);
    return 1;
  }
  (void)std::fprintf(stderr,
                     "%s: %ld readings with the old index hash %#010x\n",
                     argv[1], lines, index_hash);
  return 0;
}
