#include "base/byte_facts.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brenlow {

namespace {

// Bytes taken by a character, by its first byte.
struct step_table {
  unsigned char steps[256];
};

constexpr step_table make_steps(text_encoding encoding) {
  step_table table{};
  for (int byte = 0; byte < 256; ++byte) {
    unsigned char step = 1;
    if (encoding == text_encoding::shift_jis) {
      if (starts_shift_jis_pair(static_cast<unsigned>(byte))) step = 2;
    } else if (byte >= 0xF8) {
      step = 1;  // never starts a sequence
    } else if (byte >= 0xF0) {
      step = 4;
    } else if (byte >= 0xE0) {
      step = 3;
    } else if (byte >= 0xC0) {
      step = 2;
    }
    table.steps[byte] = step;
  }
  return table;
}

constexpr step_table shift_jis_steps = make_steps(text_encoding::shift_jis);
constexpr step_table utf_8_steps = make_steps(text_encoding::utf_8);

}  // namespace

const unsigned char* character_steps(text_encoding encoding) {
  return encoding == text_encoding::shift_jis ? shift_jis_steps.steps
                                              : utf_8_steps.steps;
}

std::size_t char_length(std::string_view text, std::size_t pos,
                        text_encoding encoding) {
  const std::size_t length =
      character_steps(encoding)[static_cast<unsigned char>(text[pos])];
  const std::size_t left = text.size() - pos;
  return length < left ? length : left;
}

std::size_t utf_8_sequence_length(const unsigned char* bytes, std::size_t size,
                                  std::size_t pos, utf_8_policy policy) {
  const unsigned lead = bytes[pos];
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned low = 0x80;  // bounds of the second byte
  unsigned high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;  // overlong
    if (lead == 0xED && policy == utf_8_policy::well_formed) {
      high = 0x9F;  // surrogates
    }
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (size - pos < length) return 0;
  if (bytes[pos + 1] < low || bytes[pos + 1] > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if ((bytes[pos + k] & 0xC0) != 0x80) return 0;
  }
  return length;
}

decoded_character decode_utf_8(const unsigned char* bytes, std::size_t size,
                               std::size_t pos, utf_8_policy policy) {
  const std::size_t length = utf_8_sequence_length(bytes, size, pos, policy);
  if (length <= 1) return {length == 1 ? bytes[pos] : 0u, length};
  // The bits of the lead byte that belong to the code point: 5, 4 or 3.
  char32_t code_point = bytes[pos] & (0x7Fu >> length);
  for (std::size_t k = 1; k < length; ++k) {
    code_point = code_point << 6 | (bytes[pos + k] & 0x3Fu);
  }
  return {code_point, length};
}

void append_utf_8(std::string& out, std::uint32_t code_point) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

std::string shown_as_utf_8(std::string_view shift_jis) {
  std::string shown;
  const auto* bytes = reinterpret_cast<const unsigned char*>(shift_jis.data());
  const std::size_t size = shift_jis.size();
  for (std::size_t pos = 0; pos < size;) {
    const unsigned lead = bytes[pos];
    if (lead < 0x80) {
      shown += static_cast<char>(lead);
      ++pos;
      continue;
    }
    const std::size_t length =
        starts_shift_jis_pair(lead) && pos + 1 < size ? 2 : 1;
    const unsigned trail = length == 2 ? bytes[pos + 1] : 0u;
    const int hiragana = hiragana_of_pair(lead, trail);
    if (hiragana >= 0) {
      append_utf_8(shown, first_hiragana + static_cast<char32_t>(hiragana));
    } else if (lead == 0x81 && trail == 0x5B) {
      append_utf_8(shown, U'ー');
    } else {
      static const char digits[] = "0123456789ABCDEF";
      shown += '<';
      for (std::size_t i = 0; i < length; ++i) {
        shown += digits[bytes[pos + i] >> 4];
        shown += digits[bytes[pos + i] & 15];
      }
      shown += '>';
    }
    pos += length;
  }
  return shown;
}

std::size_t count_line_feeds(std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  std::size_t count = 0;
#if defined(__SSE2__)
  // Sixteen bytes compared at once; the matches of up to 255 blocks are
  // summed bytewise before a byte lane could overflow.
  const __m128i line_feed = _mm_set1_epi8('\n');
  while (end - p >= 16) {
    const std::size_t blocks = static_cast<std::size_t>(end - p) / 16 < 255
                                   ? static_cast<std::size_t>(end - p) / 16
                                   : 255;
    __m128i sums = _mm_setzero_si128();
    for (std::size_t k = 0; k < blocks; ++k, p += 16) {
      const __m128i bytes =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      // A match is 0xFF, that is -1: subtracting adds one.
      sums = _mm_sub_epi8(sums, _mm_cmpeq_epi8(bytes, line_feed));
    }
    const __m128i totals = _mm_sad_epu8(sums, _mm_setzero_si128());
    count +=
        static_cast<std::size_t>(_mm_cvtsi128_si32(totals)) +
        static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(totals, 8)));
  }
#else
  // Eight bytes at a time: a byte of the word XOR line feeds is zero
  // exactly where the text has a line feed, and those zero bytes are
  // counted without a carry between bytes.
  constexpr std::uint64_t ones = 0x0101010101010101ULL;
  constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7FULL;
  while (end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    const std::uint64_t x = word ^ (ones * '\n');
    // High bit set in each byte that is not zero.
    const std::uint64_t nonzero = ((x & low7) + low7) | x;
    count +=
        8 - static_cast<std::size_t>(__builtin_popcountll(nonzero & ~low7));
    p += 8;
  }
#endif
  for (; p != end; ++p) count += *p == '\n' ? 1 : 0;
  return count;
}

}  // namespace brenlow
