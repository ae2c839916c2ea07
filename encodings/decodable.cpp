#include "encodings/decodable.h"

#include <cstring>

#include "base/byte_facts.h"
#include "base/run_beside.h"

namespace brenlow {

namespace {

// The pairs code page 932 has no character for, as iconv reads it (libskk
// drops a line holding one): whole rows (lead bytes 85, 86, EB, EC, EF) and
// the ends of rows. The user-defined area F040-F9FC reads as private-use
// characters and is kept.
struct unassigned_pairs {
  unsigned char lead_first, lead_last, trail_first, trail_last;
};
constexpr unassigned_pairs unassigned[] = {
    {0x81, 0x81, 0xAD, 0xB7}, {0x81, 0x81, 0xC0, 0xC7},
    {0x81, 0x81, 0xCF, 0xD9}, {0x81, 0x81, 0xE9, 0xEF},
    {0x81, 0x81, 0xF8, 0xFB}, {0x82, 0x82, 0x40, 0x4E},
    {0x82, 0x82, 0x59, 0x5F}, {0x82, 0x82, 0x7A, 0x80},
    {0x82, 0x82, 0x9B, 0x9E}, {0x82, 0x82, 0xF2, 0xFC},
    {0x83, 0x83, 0x97, 0x9E}, {0x83, 0x83, 0xB7, 0xBE},
    {0x83, 0x83, 0xD7, 0xFC}, {0x84, 0x84, 0x61, 0x6F},
    {0x84, 0x84, 0x92, 0x9E}, {0x84, 0x84, 0xBF, 0xFC},
    {0x85, 0x86, 0x40, 0xFC}, {0x87, 0x87, 0x5E, 0x5E},
    {0x87, 0x87, 0x76, 0x7D}, {0x87, 0x87, 0x9D, 0xFC},
    {0x88, 0x88, 0x40, 0x9E}, {0x98, 0x98, 0x73, 0x9E},
    {0xEA, 0xEA, 0xA5, 0xFC}, {0xEB, 0xEC, 0x40, 0xFC},
    {0xEE, 0xEE, 0xED, 0xEE}, {0xEF, 0xEF, 0x40, 0xFC},
    {0xFC, 0xFC, 0x4C, 0xFC},
};

constexpr bool is_assigned_pair(unsigned lead, unsigned trail) {
  if (!is_shift_jis_lead(lead) || !is_shift_jis_trail(trail)) return false;
  for (const unassigned_pairs& range : unassigned) {
    if (lead >= range.lead_first && lead <= range.lead_last &&
        trail >= range.trail_first && trail <= range.trail_last) {
      return false;
    }
  }
  return true;
}

// Lead bytes grouped by the trail bytes they take: class 0 takes every
// trail byte, classes 1-10 have gaps, and a byte of class none starts no
// pair (whole rows without characters, and bytes that are no lead).
constexpr unsigned char no_pair = 0xFF;
constexpr unsigned char partial_rows[] = {0x81, 0x82, 0x83, 0x84, 0x87,
                                          0x88, 0x98, 0xEA, 0xEE, 0xFC};
constexpr std::size_t pair_classes = 1 + sizeof partial_rows;

struct shift_jis_tables {
  unsigned char lead_class[256];
  bool trail_ok[pair_classes][256];
  constexpr shift_jis_tables() : lead_class(), trail_ok() {
    for (unsigned b = 0; b < 256; ++b) {
      lead_class[b] = no_pair;
      if (!is_shift_jis_lead(b)) continue;
      bool any = false;
      for (unsigned t = 0; t < 256; ++t) any = any || is_assigned_pair(b, t);
      if (!any) continue;
      lead_class[b] = 0;
      for (std::size_t k = 0; k < sizeof partial_rows; ++k) {
        if (partial_rows[k] == b)
          lead_class[b] = static_cast<unsigned char>(k + 1);
      }
    }
    for (unsigned t = 0; t < 256; ++t) {
      trail_ok[0][t] = is_shift_jis_trail(t);
      for (std::size_t k = 0; k < sizeof partial_rows; ++k) {
        trail_ok[k + 1][t] = is_assigned_pair(partial_rows[k], t);
      }
    }
  }
};
constexpr shift_jis_tables shift_jis_table;

}  // namespace

std::size_t shift_jis_length(const unsigned char* bytes, std::size_t size,
                             std::size_t pos) {
  const unsigned byte = bytes[pos];
  if (byte < 0x80) return 1;
  if (is_half_width_katakana_byte(byte)) return 1;
  const unsigned char kind = shift_jis_table.lead_class[byte];
  if (kind == no_pair) return 0;
  return pos + 1 < size && shift_jis_table.trail_ok[kind][bytes[pos + 1]] ? 2
                                                                          : 0;
}

namespace {

// Where the text after position from (from < size) may be cut to be read
// on its own: after the next line feed, where a character and a line
// start; size when there is none.
std::size_t cut_after_line_feed(const unsigned char* bytes, std::size_t size,
                                std::size_t from) {
  const void* feed = std::memchr(bytes + from, '\n', size - from);
  return feed == nullptr
             ? size
             : static_cast<std::size_t>(
                   static_cast<const unsigned char*>(feed) - bytes) +
                   1;
}

// shift_jis_throughout on one thread: a state machine, one table lookup a
// byte, reading the text both ways at once. Each lookup waits for the one
// before, so the text is cut into four parts read side by side, each but
// the first starting at a line feed (where a character and a line start).
bool shift_jis_throughout_here(const unsigned char* bytes, std::size_t size) {
  // Where a UTF-8 reading of the line stands: dead (not UTF-8), at a
  // character's start, or needing 1-3 continuation bytes; "long" once a
  // sequence of three or four bytes has begun.
  enum : unsigned {
    u_dead,
    u_start,
    u_need_1,
    u_long,
    u_long_need_1,
    u_long_need_2,
    u_long_need_3,
    u_states
  };
  // Where the Shift_JIS reading stands: 0 at a character's start, 1 + k
  // after a lead byte of class k. A state is u * sjis_states + s; then a
  // fault and a UTF-8 line (both kept).
  constexpr unsigned sjis_states = 1 + pair_classes;
  constexpr unsigned fault = u_states * sjis_states;
  constexpr unsigned utf_8_line = fault + 1;
  static constexpr struct transitions {
    unsigned char next[utf_8_line + 1][256];
    constexpr transitions() : next() {
      for (unsigned b = 0; b < 256; ++b) {
        next[fault][b] = fault;
        next[utf_8_line][b] = utf_8_line;
        for (unsigned u = 0; u < u_states; ++u) {
          for (unsigned s = 0; s < sjis_states; ++s) {
            unsigned to = fault;
            if (b == '\n' || b == '\r') {
              if (s == 0) to = u == u_long ? utf_8_line : u_start * sjis_states;
            } else {
              unsigned sjis = fault;
              if (s != 0) {
                if (shift_jis_table.trail_ok[s - 1][b]) sjis = 0;
              } else if (b < 0x80 || is_half_width_katakana_byte(b)) {
                sjis = 0;
              } else if (shift_jis_table.lead_class[b] != no_pair) {
                sjis = 1 + shift_jis_table.lead_class[b];
              }
              const bool continuation = b >= 0x80 && b <= 0xBF;
              unsigned utf_8 = u_dead;
              if (u == u_start || u == u_long) {
                if (b < 0x80) {
                  utf_8 = u;
                } else if (b >= 0xC2 && b <= 0xDF) {
                  utf_8 = u == u_start ? u_need_1 : u_long_need_1;
                } else if (b >= 0xE0 && b <= 0xEF) {
                  utf_8 = u_long_need_2;
                } else if (b >= 0xF0 && b <= 0xF4) {
                  utf_8 = u_long_need_3;
                }
              } else if (continuation && u != u_dead) {
                utf_8 = u == u_need_1        ? u_start
                        : u == u_long_need_1 ? u_long
                                             : u - 1;
              }
              if (sjis != fault) to = utf_8 * sjis_states + sjis;
            }
            next[u * sjis_states + s][b] = static_cast<unsigned char>(to);
          }
        }
      }
    }
  } table;
  constexpr std::size_t parts = 4;
  std::size_t start[parts + 1];
  start[0] = 0;
  start[parts] = size;
  for (std::size_t k = 1; k < parts; ++k) {
    std::size_t from =
        start[k - 1] > size / parts * k ? start[k - 1] : size / parts * k;
    const void* feed =
        from < size ? std::memchr(bytes + from, '\n', size - from) : nullptr;
    // Without a line feed after it, the part before runs to the end.
    start[k] = feed != nullptr
                   ? static_cast<std::size_t>(
                         static_cast<const unsigned char*>(feed) - bytes)
                   : size;
  }
  unsigned state[parts];
  for (unsigned& part : state) part = u_start * sjis_states;
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
    // Each part ends at a character's start, its last line not UTF-8.
    if (state[k] >= fault || state[k] % sjis_states != 0 ||
        state[k] / sjis_states == u_long) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool shift_jis_throughout(const unsigned char* bytes, std::size_t size) {
  // A large text is read in two halves on two threads (the whole text is
  // read before its first line is converted: this is most of the time the
  // encoding's decision takes), cut after a line feed.
  constexpr std::size_t worth_a_thread = std::size_t{4} << 20;
  const std::size_t cut =
      size < worth_a_thread ? size : cut_after_line_feed(bytes, size, size / 2);
  if (cut == size) return shift_jis_throughout_here(bytes, size);
  bool second = false;
  bool first = false;
  run_beside(
      [&] { second = shift_jis_throughout_here(bytes + cut, size - cut); },
      [&] { first = shift_jis_throughout_here(bytes, cut); });
  return first && second;
}

bool reads_as_utf_8(std::string_view line) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
  const std::size_t size = line.size();
  bool long_sequence = false;
  for (std::size_t pos = 0; pos < size;) {
    if (bytes[pos] < 0x80) {
      ++pos;
      continue;
    }
    const std::size_t length = utf_8_sequence_length(bytes, size, pos);
    if (length == 0) return false;
    long_sequence = long_sequence || length >= 3;
    pos += length;
  }
  return long_sequence;
}

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
  for (std::size_t pos = 0; pos < size;) {
    const std::size_t length = shift_jis_length(bytes, size, pos);
    if (length == 0) return pos;
    pos += length;
  }
  return std::string_view::npos;
}

}  // namespace brenlow
