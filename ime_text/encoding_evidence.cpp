#include "ime_text/encoding_evidence.h"

namespace brenlow {

namespace {

bool is_shift_jis_lead(unsigned byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool is_shift_jis_trail(unsigned byte) {
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

bool is_half_width_kana(unsigned byte) { return byte >= 0xA1 && byte <= 0xDF; }

bool is_euc_byte(unsigned byte) { return byte >= 0xA1 && byte <= 0xFE; }

// Length of the well-formed UTF-8 sequence at pos (overlong forms,
// surrogates and code points above U+10FFFF are not), or 0.
std::size_t well_formed_length(const unsigned char* bytes, std::size_t size,
                               std::size_t pos) {
  const unsigned lead = bytes[pos];
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned low = 0x80;  // bounds of the second byte
  unsigned high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
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

// The decoders below read one character at pos, add it to the evidence
// and return its length; a fault counts and takes one byte. CR and LF are
// never part of a character in any of these encodings.

std::size_t utf_8_step(const unsigned char* bytes, std::size_t size,
                       std::size_t pos, encoding_evidence& evidence) {
  const std::size_t length = well_formed_length(bytes, size, pos);
  if (length == 0) {
    ++evidence.utf_8.faults;
    return 1;
  }
  if (length > 2 || !is_half_width_kana(bytes[pos]) ||
      !is_half_width_kana(bytes[pos + 1])) {
    ++evidence.utf_8.characters;
  }
  return length;
}

std::size_t shift_jis_step(const unsigned char* bytes, std::size_t size,
                           std::size_t pos, encoding_evidence& evidence) {
  const unsigned byte = bytes[pos];
  if (is_shift_jis_lead(byte)) {
    if (pos + 1 < size && is_shift_jis_trail(bytes[pos + 1])) {
      ++evidence.shift_jis.characters;
      return 2;
    }
    ++evidence.shift_jis.faults;
  } else if (is_half_width_kana(byte)) {
    ++evidence.half_width_kana;
  } else if (byte >= 0xFD) {
    ++evidence.shift_jis.faults;
  }
  return 1;
}

std::size_t euc_jp_step(const unsigned char* bytes, std::size_t size,
                        std::size_t pos, encoding_evidence& evidence) {
  const unsigned byte = bytes[pos];
  const std::size_t left = size - pos;
  if (byte == 0x8E && left >= 2 && is_half_width_kana(bytes[pos + 1])) {
    return 2;
  }
  if (byte == 0x8F && left >= 3 && is_euc_byte(bytes[pos + 1]) &&
      is_euc_byte(bytes[pos + 2])) {
    ++evidence.euc_jp.characters;
    return 3;
  }
  if (is_euc_byte(byte) && left >= 2 && is_euc_byte(bytes[pos + 1])) {
    if (byte >= 0xE0 || bytes[pos + 1] >= 0xE0) ++evidence.euc_jp.characters;
    return 2;
  }
  ++evidence.euc_jp.faults;
  return 1;
}

using decoder_step = std::size_t (*)(const unsigned char*, std::size_t,
                                     std::size_t, encoding_evidence&);

// Reads the whole text with step, counting its lines that hold a fault.
void weigh(const unsigned char* bytes, std::size_t size, decoder_step step,
           reading_evidence& reading, encoding_evidence& evidence) {
  std::size_t faults_before_line = reading.faults;
  for (std::size_t pos = 0; pos < size;) {
    const unsigned byte = bytes[pos];
    if (byte >= 0x80) {
      pos += step(bytes, size, pos, evidence);
      continue;
    }
    if (byte == '\n' || byte == '\r') {
      if (reading.faults != faults_before_line) ++reading.bad_lines;
      faults_before_line = reading.faults;
    }
    ++pos;
  }
  if (reading.faults != faults_before_line) ++reading.bad_lines;
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
      const unsigned unit = big_endian ? (first << 8 | second)
                                       : (second << 8 | first);
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
  weigh(bytes, size, utf_8_step, evidence.utf_8, evidence);
  if (evidence.utf_8.faults == 0 && evidence.utf_8.characters > 0) {
    return evidence;
  }
  weigh(bytes, size, shift_jis_step, evidence.shift_jis, evidence);
  weigh(bytes, size, euc_jp_step, evidence.euc_jp, evidence);
  return evidence;
}

encoding_verdict judge_encoding(const encoding_evidence& evidence) {
  encoding_verdict verdict;
  const encoding_evidence& e = evidence;
  if (e.non_ascii_lines == 0) {
    verdict = {true, text_encoding::shift_jis, "ASCII only"};
    return verdict;
  }
  if (e.utf_8.faults == 0 && e.utf_8.characters > 0) {
    verdict = {true, text_encoding::utf_8, "valid UTF-8"};
    return verdict;
  }
  // Half-width katakana alone (valid UTF-8 or EUC-JP at times) are
  // Shift_JIS: that is the encoding that writes them as single bytes.
  if (e.shift_jis.faults == 0 &&
      (e.euc_jp.faults > 0 || e.euc_jp.characters == 0)) {
    verdict = {true, text_encoding::shift_jis, "valid Shift_JIS"};
    return verdict;
  }
  // In this order, which also settles ties.
  const reading_evidence* const readings[3] = {&e.utf_8, &e.shift_jis,
                                               &e.euc_jp};
  std::size_t best = 0;
  for (std::size_t i = 1; i < 3; ++i) {
    if (readings[i]->bad_lines < readings[best]->bad_lines) {
      best = i;
    }
  }
  const std::size_t bad = readings[best]->bad_lines;
  bool clear = bad * 4 <= e.non_ascii_lines;
  for (std::size_t i = 0; i < 3; ++i) {
    if (i != best && readings[i]->bad_lines < 3 * bad + 2) {
      clear = false;
    }
  }
  const std::string counts =
      "of " + std::to_string(e.non_ascii_lines) +
      " lines with non-ASCII bytes, " + std::to_string(e.utf_8.bad_lines) +
      " fail as UTF-8 and " + std::to_string(e.shift_jis.bad_lines) +
      " as Shift_JIS";
  if (clear && best == 0) {
    verdict = {true, text_encoding::utf_8, "mostly UTF-8: " + counts};
  } else if (clear && best == 1) {
    verdict = {true, text_encoding::shift_jis, "mostly Shift_JIS: " + counts};
  } else if (clear) {
    verdict.reason = "it reads as EUC-JP, which brenlow does not convert";
  } else {
    verdict.reason =
        "it is neither clearly UTF-8 nor clearly Shift_JIS (" + counts + ")";
  }
  return verdict;
}

std::size_t find_undecodable(std::string_view line, text_encoding encoding) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
  const std::size_t size = line.size();
  for (std::size_t pos = 0; pos < size;) {
    const unsigned byte = bytes[pos];
    if (byte < 0x80) {
      ++pos;
      continue;
    }
    if (encoding == text_encoding::utf_8) {
      const std::size_t length = well_formed_length(bytes, size, pos);
      if (length == 0) return pos;
      pos += length;
    } else if (is_shift_jis_lead(byte)) {
      if (pos + 1 >= size || !is_shift_jis_trail(bytes[pos + 1])) return pos;
      pos += 2;
    } else if (byte >= 0xFD) {
      return pos;
    } else {
      ++pos;
    }
  }
  return std::string_view::npos;
}

}  // namespace brenlow
