#include "ime_text/encoding_evidence.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace brenlow {

namespace {

constexpr bool is_shift_jis_lead(unsigned byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

constexpr bool is_shift_jis_trail(unsigned byte) {
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

bool is_half_width_kana(unsigned byte) { return byte >= 0xA1 && byte <= 0xDF; }

bool is_euc_byte(unsigned byte) { return byte >= 0xA1 && byte <= 0xFE; }

// What a decoder read at a position, and how many bytes it took.
enum class unit { other, character, half_width_kana, fault };
struct step_result {
  std::size_t length;
  unit what;
};

// The decoders below read what starts at pos, a byte above 0x7F; a fault
// takes one byte. CR and LF are never part of a character in any of these
// encodings.

step_result utf_8_step(const unsigned char* bytes, std::size_t size,
                       std::size_t pos) {
  const std::size_t length = utf_8_sequence_length(bytes, size, pos);
  if (length == 0) return {1, unit::fault};
  if (length == 2 && is_half_width_kana(bytes[pos]) &&
      is_half_width_kana(bytes[pos + 1])) {
    return {2, unit::other};
  }
  return {length, unit::character};
}

step_result shift_jis_step(const unsigned char* bytes, std::size_t size,
                           std::size_t pos) {
  const unsigned byte = bytes[pos];
  if (is_shift_jis_lead(byte)) {
    if (pos + 1 < size && is_shift_jis_trail(bytes[pos + 1])) {
      return {2, unit::character};
    }
    return {1, unit::fault};
  }
  if (is_half_width_kana(byte)) return {1, unit::half_width_kana};
  return {1, byte >= 0xFD ? unit::fault : unit::other};
}

step_result euc_jp_step(const unsigned char* bytes, std::size_t size,
                        std::size_t pos) {
  const unsigned byte = bytes[pos];
  const std::size_t left = size - pos;
  if (byte == 0x8E && left >= 2 && is_half_width_kana(bytes[pos + 1])) {
    return {2, unit::other};
  }
  if (byte == 0x8F && left >= 3 && is_euc_byte(bytes[pos + 1]) &&
      is_euc_byte(bytes[pos + 2])) {
    return {3, unit::character};
  }
  if (is_euc_byte(byte) && left >= 2 && is_euc_byte(bytes[pos + 1])) {
    const bool outside_kana = byte >= 0xE0 || bytes[pos + 1] >= 0xE0;
    return {2, outside_kana ? unit::character : unit::other};
  }
  return {1, unit::fault};
}

// Reads the text with step (one of the above) from its start into reading,
// counting the lines that hold a fault; stops at the first fault when
// asked to. ASCII, most of many texts, is passed over eight bytes at a
// time.
template <typename Step>
void weigh(const unsigned char* bytes, std::size_t size, Step step,
           reading_evidence& reading, encoding_evidence& evidence,
           bool stop_at_fault) {
  std::size_t bad_line_end = 0;  // the CR, LF or end after the last bad line
  for (std::size_t pos = 0; pos < size;) {
    if (bytes[pos] < 0x80) {
      ++pos;
      std::uint64_t eight;
      while (size - pos >= 8 && (std::memcpy(&eight, bytes + pos, 8),
                                 (eight & 0x8080808080808080u) == 0)) {
        pos += 8;
      }
      continue;
    }
    const std::size_t at = pos;
    const step_result read = step(bytes, size, pos);
    pos += read.length;
    if (read.what == unit::character) ++reading.characters;
    if (read.what == unit::half_width_kana) ++evidence.half_width_kana;
    if (read.what != unit::fault) continue;
    ++reading.faults;
    if (stop_at_fault) return;
    if (reading.bad_lines == 0 || at > bad_line_end) {
      ++reading.bad_lines;
      bad_line_end = at;
      while (bad_line_end < size && bytes[bad_line_end] != '\n' &&
             bytes[bad_line_end] != '\r') {
        ++bad_line_end;
      }
    }
  }
}

std::size_t count_non_ascii_lines(const unsigned char* bytes,
                                  std::size_t size) {
  std::size_t lines = 0;
  bool non_ascii = false;
  for (std::size_t pos = 0; pos < size; ++pos) {
    const unsigned byte = bytes[pos];
    non_ascii |= byte >= 0x80;
    if (byte == '\n' || byte == '\r') {
      lines += non_ascii ? 1 : 0;
      non_ascii = false;
    }
  }
  return lines + (non_ascii ? 1 : 0);
}

}  // namespace

utf_16_order find_utf_16_pattern(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t units = text.size() / 2;
  for (const bool big_endian : {false, true}) {
    std::size_t ascii = 0;
    for (std::size_t i = 0; i < units; ++i) {
      const unsigned first = bytes[2 * i];
      const unsigned second = bytes[2 * i + 1];
      const unsigned unit =
          big_endian ? (first << 8 | second) : (second << 8 | first);
      if (unit == 0) {
        ascii = 0;  // a NUL character: no text of either order
        break;
      }
      if (unit < 0x80) ++ascii;
      if (unit == '\n') break;
    }
    if (ascii >= 2) {
      return big_endian ? utf_16_order::big_endian
                        : utf_16_order::little_endian;
    }
  }
  return utf_16_order::none;
}

encoding_evidence gather_evidence(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  encoding_evidence evidence;
  evidence.non_ascii_lines = count_non_ascii_lines(bytes, size);
  if (evidence.non_ascii_lines == 0) return evidence;
  weigh(bytes, size, utf_8_step, evidence.utf_8, evidence, false);
  weigh(bytes, size, shift_jis_step, evidence.shift_jis, evidence, false);
  weigh(bytes, size, euc_jp_step, evidence.euc_jp, evidence, false);
  return evidence;
}

encoding_verdict judge_encoding(const encoding_evidence& evidence) {
  encoding_verdict verdict;
  const encoding_evidence& e = evidence;
  if (e.non_ascii_lines == 0) {
    verdict = {true, text_encoding::shift_jis, "ASCII only", true};
    return verdict;
  }
  if (e.utf_8.faults == 0 && e.utf_8.characters > 0) {
    verdict = {true, text_encoding::utf_8, "valid UTF-8", true};
    return verdict;
  }
  // Half-width katakana alone (valid UTF-8 or EUC-JP at times) are
  // Shift_JIS: that is the encoding that writes them as single bytes.
  if (e.shift_jis.faults == 0 &&
      (e.euc_jp.faults > 0 || e.euc_jp.characters == 0)) {
    verdict = {true, text_encoding::shift_jis, "valid Shift_JIS", true};
    return verdict;
  }
  // In this order, which also settles ties.
  const reading_evidence* const readings[3] = {&e.utf_8, &e.shift_jis,
                                               &e.euc_jp};
  std::size_t best = 0;
  for (std::size_t i = 1; i < 3; ++i) {
    if (readings[i]->bad_lines < readings[best]->bad_lines) best = i;
  }
  const std::size_t bad = readings[best]->bad_lines;
  bool clear = bad * 4 <= e.non_ascii_lines;
  for (std::size_t i = 0; i < 3; ++i) {
    if (i != best && readings[i]->bad_lines < 3 * bad + 2) clear = false;
  }
  const std::string counts =
      "of " + std::to_string(e.non_ascii_lines) +
      " lines with non-ASCII bytes, " + std::to_string(e.utf_8.bad_lines) +
      " fail as UTF-8 and " + std::to_string(e.shift_jis.bad_lines) +
      " as Shift_JIS";
  if (clear && best == 0) {
    verdict = {true, text_encoding::utf_8, "mostly UTF-8: " + counts, false};
  } else if (clear && best == 1) {
    verdict = {true, text_encoding::shift_jis, "mostly Shift_JIS: " + counts,
               false};
  } else if (clear) {
    verdict.reason = "it reads as EUC-JP, which brenlow does not convert";
  } else {
    verdict.reason =
        "it is neither clearly UTF-8 nor clearly Shift_JIS (" + counts + ")";
  }
  return verdict;
}

encoding_verdict judge_encoding(std::string_view text) {
  // Most texts are valid UTF-8 or valid Shift_JIS: plain checks settle
  // them, and the whole evidence is gathered only for texts that are not.
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  constexpr auto npos = std::string_view::npos;
  encoding_evidence quick;
  const auto* first_non_ascii = std::find_if(
      bytes, bytes + size, [](unsigned char b) { return b >= 0x80; });
  if (first_non_ascii == bytes + size) return judge_encoding(quick);
  quick.non_ascii_lines = 1;
  if (find_undecodable(text, text_encoding::utf_8) == npos) {
    // Valid UTF-8 with a character that is not a pair of half-width
    // katakana bytes.
    for (std::size_t pos = static_cast<std::size_t>(first_non_ascii - bytes);
         pos < size;) {
      const step_result read = bytes[pos] < 0x80 ? step_result{1, unit::other}
                                                 : utf_8_step(bytes, size, pos);
      if (read.what == unit::character) {
        quick.utf_8.characters = 1;
        return judge_encoding(quick);
      }
      pos += read.length;
    }
  } else {
    quick.utf_8.faults = 1;
  }
  if (find_undecodable(text, text_encoding::shift_jis) == npos) {
    weigh(bytes, size, euc_jp_step, quick.euc_jp, quick, true);
    if (quick.euc_jp.faults > 0 || quick.euc_jp.characters == 0) {
      return judge_encoding(quick);
    }
  }
  return judge_encoding(gather_evidence(text));
}

namespace {

// True when the whole of bytes is valid Shift_JIS: a state machine, one
// table lookup a byte. Each lookup waits for the one before, so the text is
// cut into four parts read side by side. A byte below 0x40 is never a trail
// byte, so in valid text a character starts there: each part starts at
// one, in the first state, and must end in it.
bool shift_jis_throughout(const unsigned char* bytes, std::size_t size) {
  // States: 0 at a character's start, 1 after a lead byte, 2 a fault (kept).
  static constexpr struct transitions {
    unsigned char next[3][256];
    constexpr transitions() : next() {
      for (unsigned b = 0; b < 256; ++b) {
        next[0][b] = b >= 0xFD ? 2 : is_shift_jis_lead(b) ? 1 : 0;
        next[1][b] = is_shift_jis_trail(b) ? 0 : 2;
        next[2][b] = 2;
      }
    }
  } table;
  constexpr std::size_t parts = 4;
  std::size_t start[parts + 1];
  start[0] = 0;
  start[parts] = size;
  for (std::size_t k = 1; k < parts; ++k) {
    std::size_t pos =
        start[k - 1] > size / parts * k ? start[k - 1] : size / parts * k;
    while (pos < size && bytes[pos] >= 0x40) ++pos;
    start[k] = pos;
  }
  unsigned state[parts] = {};
  std::size_t length = size;
  for (std::size_t k = 0; k < parts; ++k) {
    if (start[k + 1] - start[k] < length) length = start[k + 1] - start[k];
  }
  for (std::size_t i = 0; i < length; ++i) {
    for (std::size_t k = 0; k < parts; ++k) {
      state[k] = table.next[state[k]][bytes[start[k] + i]];
    }
  }
  for (std::size_t k = 0; k < parts; ++k) {
    for (std::size_t pos = start[k] + length; pos < start[k + 1]; ++pos) {
      state[k] = table.next[state[k]][bytes[pos]];
    }
    if (state[k] != 0) return false;
  }
  return true;
}

}  // namespace

std::size_t find_undecodable(std::string_view line, text_encoding encoding) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
  const std::size_t size = line.size();
  if (encoding == text_encoding::utf_8) {
    for (std::size_t pos = 0; pos < size;) {
      if (bytes[pos] < 0x80) {
        ++pos;
        continue;
      }
      const std::size_t length = utf_8_sequence_length(bytes, size, pos);
      if (length == 0) return pos;
      pos += length;
    }
    return std::string_view::npos;
  }
  if (shift_jis_throughout(bytes, size)) return std::string_view::npos;
  // Shift_JIS bytes by what they start: 0 a character of one byte, 1 a
  // pair, 2 nothing.
  static constexpr struct byte_kinds {
    unsigned char kind[256];
    constexpr byte_kinds() : kind() {
      for (int b = 0; b < 256; ++b) {
        kind[b] = b >= 0xFD                                     ? 2
                  : is_shift_jis_lead(static_cast<unsigned>(b)) ? 1
                                                                : 0;
      }
    }
  } kinds;
  for (std::size_t pos = 0; pos < size;) {
    const unsigned kind = kinds.kind[bytes[pos]];
    if (kind == 0) {
      ++pos;
    } else if (kind == 1 && pos + 1 < size &&
               is_shift_jis_trail(bytes[pos + 1])) {
      pos += 2;
    } else {
      return pos;
    }
  }
  return std::string_view::npos;
}

}  // namespace brenlow
