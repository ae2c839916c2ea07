#include "encodings/encoding_evidence.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/byte_facts.h"
#include "encodings/decodable.h"

namespace brenlow {

namespace {

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
  // Latin-1 letters and signs (C2 and C3 leads) are UTF-8's; other pairs
  // of half-width katakana bytes may as well be Shift_JIS.
  if (length == 2 && bytes[pos] > 0xC3 &&
      is_half_width_katakana_byte(bytes[pos]) &&
      is_half_width_katakana_byte(bytes[pos + 1])) {
    return {2, unit::other};
  }
  return {length, unit::character};
}

step_result shift_jis_step(const unsigned char* bytes, std::size_t size,
                           std::size_t pos) {
  const std::size_t length = shift_jis_length(bytes, size, pos);
  if (length == 0) return {1, unit::fault};
  if (length == 2) return {2, unit::character};
  return {1, unit::half_width_kana};
}

step_result euc_jp_step(const unsigned char* bytes, std::size_t size,
                        std::size_t pos) {
  const unsigned byte = bytes[pos];
  const std::size_t left = size - pos;
  if (byte == 0x8E && left >= 2 &&
      is_half_width_katakana_byte(bytes[pos + 1])) {
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

// Reads one line (or, stopping at the first fault, a whole text) with step
// (one of the above) into reading; returns whether it holds a fault. ASCII,
// most of many texts, is passed over eight bytes at a time.
template <typename Step>
bool weigh(const unsigned char* bytes, std::size_t size, Step step,
           reading_evidence& reading, std::size_t& half_width_kana,
           bool stop_at_fault) {
  bool fault = false;
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
    const step_result read = step(bytes, size, pos);
    pos += read.length;
    if (read.what == unit::character) ++reading.characters;
    if (read.what == unit::half_width_kana) ++half_width_kana;
    if (read.what != unit::fault) continue;
    ++reading.faults;
    fault = true;
    if (stop_at_fault) break;
  }
  return fault;
}

constexpr std::string_view gboard_header = "# Gboard Dictionary version:";

bool starts_with_gboard_header(std::string_view text) {
  return text.substr(0, gboard_header.size()) == gboard_header;
}

}  // namespace

namespace {

// Units of UTF-16 text in one byte order.
struct utf_16_units {
  const unsigned char* bytes;
  std::size_t count;
  bool big_endian;
  unsigned operator[](std::size_t i) const {
    const unsigned first = bytes[2 * i];
    const unsigned second = bytes[2 * i + 1];
    return big_endian ? (first << 8 | second) : (second << 8 | first);
  }
};

// How much the first line of text in one byte order looks like the first
// line of a dictionary; structure -1 when it holds a NUL character.
struct first_line_weight {
  int structure = 0;  // TABs, CRs, LFs and "!"
  std::size_t letters = 0;
};

first_line_weight weigh_first_line(const utf_16_units& units) {
  first_line_weight weight;
  bool empty = true;  // empty lines before the first line count as such
  for (std::size_t i = 0; i < units.count; ++i) {
    const unsigned unit = units[i];
    if (unit == 0) return {-1, 0};
    const bool line_end = unit == '\n' || unit == '\r';
    if (line_end || unit == '\t' || unit == '!') {
      ++weight.structure;
    } else if ((unit >= 'a' && unit <= 'z') || (unit >= 'A' && unit <= 'Z') ||
               (unit >= '0' && unit <= '9')) {
      ++weight.letters;
    }
    if (line_end && !empty) break;
    empty = empty && line_end;
  }
  return weight;
}

// True when the 8-bit line piece[from, to) holds a TAB or starts with "!".
bool entry_like_8_bit_line(std::string_view piece, std::size_t from,
                           std::size_t to) {
  const std::string_view line = piece.substr(from, to - from);
  return (!line.empty() && line[0] == '!') ||
         line.find('\t') != std::string_view::npos;
}

bool is_line_end(char c) { return c == '\n' || c == '\r'; }

}  // namespace

utf_16_order find_utf_16_pattern(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t count = text.size() / 2;
  const first_line_weight little = weigh_first_line({bytes, count, false});
  const first_line_weight big = weigh_first_line({bytes, count, true});
  const bool big_wins =
      big.structure > little.structure ||
      (big.structure == little.structure && big.letters > little.letters);
  const first_line_weight& won = big_wins ? big : little;
  if (won.structure <= 0 ||
      static_cast<std::size_t>(won.structure) + won.letters < 2) {
    return utf_16_order::none;
  }
  return big_wins ? utf_16_order::big_endian : utf_16_order::little_endian;
}

bool looks_like_entries(std::string_view decoded) {
  std::size_t lines = 0;
  std::size_t entry_like = 0;
  std::size_t start = 0;
  while (start < decoded.size()) {
    std::size_t end = start;
    while (end < decoded.size() && !is_line_end(decoded[end])) ++end;
    // A byte-order mark inside the text (files joined by cat) is no
    // character of the line it starts.
    if (decoded.substr(start, 3) == "\xEF\xBB\xBF") start += 3;
    if (end > start) {
      ++lines;
      const bool header =
          start == 0 && starts_with_gboard_header(decoded.substr(0, end));
      entry_like += header || entry_like_8_bit_line(decoded, start, end);
    }
    start = end + 1;
  }
  return entry_like * 2 > lines || lines == 0;
}

std::size_t find_encoding_change(std::string_view text, bool big_endian) {
  const std::size_t first_nul = text.find('\0');
  if (first_nul == std::string_view::npos) return 0;
  // Before the first NUL byte: the last line end, and a complete line
  // before it that looks like an entry or a comment.
  const std::size_t head_end = text.find_last_of("\r\n", first_nul);
  if (head_end != std::string_view::npos) {
    std::size_t from = 0;
    for (std::size_t pos = 0; pos <= head_end; ++pos) {
      if (!is_line_end(text[pos])) continue;
      if (entry_like_8_bit_line(text, from, pos)) {
        std::size_t line = 1;
        for (std::size_t i = 0; i <= head_end; ++i) {
          line +=
              text[i] == '\n' ||
              (text[i] == '\r' && (i + 1 > head_end || text[i + 1] != '\n'));
        }
        return line;
      }
      from = pos + 1;
    }
  }
  // After the last NUL byte: a line end, an entry-like line, a line end.
  const std::size_t last_nul = text.rfind('\0');
  const std::string_view tail = text.substr(last_nul + 1);
  const std::size_t first_end = tail.find_first_of("\r\n");
  if (first_end == std::string_view::npos) return 0;
  std::size_t from = first_end + 1;
  bool found = false;
  for (std::size_t pos = from; pos < tail.size() && !found; ++pos) {
    if (!is_line_end(tail[pos])) continue;
    found = entry_like_8_bit_line(tail, from, pos);
    from = pos + 1;
  }
  if (!found) return 0;
  // The line in progress when the UTF-16 part ends, counted in its units.
  const utf_16_units units{reinterpret_cast<const unsigned char*>(text.data()),
                           (last_nul + 1) / 2, big_endian};
  std::size_t line = 1;
  for (std::size_t i = 0; i < units.count; ++i) {
    line +=
        units[i] == '\n' ||
        (units[i] == '\r' && (i + 1 >= units.count || units[i + 1] != '\n'));
  }
  return line;
}

encoding_evidence gather_evidence(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  encoding_evidence evidence;
  evidence.gboard_header = starts_with_gboard_header(text);
  for (std::size_t start = 0; start < size;) {
    std::size_t end = start;
    bool non_ascii = false;
    while (end < size && bytes[end] != '\n' && bytes[end] != '\r') {
      non_ascii = non_ascii || bytes[end] >= 0x80;
      ++end;
    }
    const unsigned char* line = bytes + start;
    const std::size_t length = end - start;
    start = end + 1;
    if (!non_ascii) continue;
    ++evidence.non_ascii_lines;
    reading_evidence utf_8;
    const bool utf_8_fault =
        weigh(line, length, utf_8_step, utf_8, evidence.half_width_kana, false);
    evidence.utf_8.characters += utf_8.characters;
    evidence.utf_8.faults += utf_8.faults;
    evidence.utf_8.bad_lines += utf_8_fault ? 1 : 0;
    if (!utf_8_fault &&
        reads_as_utf_8({reinterpret_cast<const char*>(line), length})) {
      evidence.shift_jis.faults += utf_8.characters;
      ++evidence.shift_jis.bad_lines;
    } else {
      std::size_t kana = 0;
      evidence.shift_jis.bad_lines +=
          weigh(line, length, shift_jis_step, evidence.shift_jis, kana, false);
      evidence.half_width_kana += kana;
    }
    std::size_t unused = 0;
    evidence.euc_jp.bad_lines +=
        weigh(line, length, euc_jp_step, evidence.euc_jp, unused, false);
  }
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
  if (e.utf_8.faults == 0 && e.gboard_header) {
    verdict = {true, text_encoding::utf_8, "valid UTF-8 after a Gboard header",
               true};
    return verdict;
  }
  // Half-width katakana alone (valid UTF-8 or EUC-JP at times) are
  // Shift_JIS: that is the encoding that writes them as single bytes.
  const bool euc_jp_throughout =
      e.euc_jp.faults == 0 && e.euc_jp.characters > 0;
  if (e.shift_jis.bad_lines == 0 && !euc_jp_throughout) {
    verdict = {true, text_encoding::shift_jis, "valid Shift_JIS", true};
    return verdict;
  }
  if (euc_jp_throughout) {
    verdict.euc_jp = true;
    verdict.reason = "it reads as EUC-JP, which brenlow does not read";
    return verdict;
  }
  // In this order, which also settles ties.
  const reading_evidence* const readings[3] = {&e.utf_8, &e.shift_jis,
                                               &e.euc_jp};
  std::size_t best = 0;
  for (std::size_t i = 1; i < 3; ++i) {
    if (readings[i]->bad_lines < readings[best]->bad_lines) best = i;
  }
  const reading_evidence& won = *readings[best];
  bool by_lines = won.bad_lines * 4 <= e.non_ascii_lines;
  bool by_characters =
      won.bad_lines < e.non_ascii_lines && won.characters >= 4 * won.faults;
  for (std::size_t i = 0; i < 3; ++i) {
    if (i == best) continue;
    if (readings[i]->bad_lines < 3 * won.bad_lines + 2) by_lines = false;
    if (readings[i]->faults < 3 * won.faults + 2) by_characters = false;
  }
  const bool clear = by_lines || by_characters;
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
    verdict.euc_jp = true;
    verdict.reason = "it reads as EUC-JP, which brenlow does not read";
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
  encoding_evidence quick;
  const auto* first_non_ascii = std::find_if(
      bytes, bytes + size, [](unsigned char b) { return b >= 0x80; });
  if (first_non_ascii == bytes + size) return judge_encoding(quick);
  quick.non_ascii_lines = 1;
  quick.gboard_header = starts_with_gboard_header(text);
  if (find_undecodable(text, text_encoding::utf_8) == std::string_view::npos) {
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
    if (quick.gboard_header) return judge_encoding(quick);
  } else {
    quick.utf_8.faults = 1;
  }
  if (shift_jis_throughout(bytes, size)) {
    std::size_t unused = 0;
    weigh(bytes, size, euc_jp_step, quick.euc_jp, unused, true);
    if (quick.euc_jp.faults > 0 || quick.euc_jp.characters == 0) {
      return judge_encoding(quick);
    }
  }
  return judge_encoding(gather_evidence(text));
}

}  // namespace brenlow
