#include "dictionary/skk_order.h"

#include <algorithm>
#include <iterator>

namespace brenlow {

namespace {

// Consecutive keys: a run whose values count up by one from value, or, when
// listed, count values starting at listed[value].
struct emacs_mule_segment {
  std::uint32_t first;
  std::uint32_t count;
  std::uint32_t value;
  bool listed;
};

#include "dictionary/emacs_mule_order.inc"

// Every key below 0x10000 (Shift_JIS bytes and pairs, or code points of the
// Basic Multilingual Plane) with its value, 0 where Emacs has none.
struct mule_table {
  std::vector<std::uint32_t> values = std::vector<std::uint32_t>(0x10000, 0);
};

template <std::size_t segment_count, std::size_t listed_count>
mule_table unpack(const emacs_mule_segment (&segments)[segment_count],
                  const std::uint32_t (&listed)[listed_count]) {
  mule_table table;
  for (const emacs_mule_segment& segment : segments) {
    for (std::uint32_t i = 0; i < segment.count; ++i) {
      table.values[segment.first + i] =
          segment.listed ? listed[segment.value + i] : segment.value + i;
    }
  }
  return table;
}

const mule_table& shift_jis_table() {
  static const mule_table table = unpack(shift_jis_segments, shift_jis_listed);
  return table;
}

const mule_table& unicode_table() {
  static const mule_table table = unpack(unicode_segments, unicode_listed);
  return table;
}

void append_value(std::string& key, std::uint32_t value) {
  if (value >= 0x1000000) key.push_back(static_cast<char>(value >> 24));
  if (value >= 0x10000) key.push_back(static_cast<char>(value >> 16));
  if (value >= 0x100) key.push_back(static_cast<char>(value >> 8));
  key.push_back(static_cast<char>(value));
}

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point of the UTF-8 sequence at text[pos] and its length, or
// length 0 when the bytes there are no well-formed sequence.
std::uint32_t decode_utf_8(std::string_view text, std::size_t pos,
                           std::size_t& length) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char lead = bytes[pos];
  length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (lead < 0x80) return lead;
  if (lead < 0xC2 || lead > 0xF4 || pos + length > text.size()) {
    length = 0;
    return 0;
  }
  std::uint32_t code_point = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if (!is_continuation(bytes[pos + i])) {
      length = 0;
      return 0;
    }
    code_point = (code_point << 6) | (bytes[pos + i] & 0x3F);
  }
  return code_point;
}

// Calls take(value) for each character of reading as Emacs decodes it. A
// byte Emacs keeps raw is its own value.
template <typename Take>
void for_each_character(std::string_view reading,
                        dictionary_encoding encoding, Take take) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(reading.data());
  if (encoding == dictionary_encoding::shift_jis) {
    const mule_table& table = shift_jis_table();
    for (std::size_t pos = 0; pos < reading.size();) {
      const unsigned char byte = bytes[pos];
      if (byte >= 0x81 && pos + 1 < reading.size()) {
        const std::uint32_t pair = byte * 0x100u + bytes[pos + 1];
        if (table.values[pair] != 0) {
          take(table.values[pair]);
          pos += 2;
          continue;
        }
      }
      // A byte Emacs does not pair with the next stands alone: ASCII,
      // half-width katakana or a raw byte.
      if (table.values[byte] != 0) {
        take(table.values[byte]);
      } else {
        take(byte);
      }
      ++pos;
    }
    return;
  }
  const mule_table& table = unicode_table();
  for (std::size_t pos = 0; pos < reading.size();) {
    std::size_t length = 0;
    const std::uint32_t code_point = decode_utf_8(reading, pos, length);
    if (length == 0) {
      take(bytes[pos]);
      ++pos;
      continue;
    }
    if (code_point < 0x10000 && table.values[code_point] != 0) {
      take(table.values[code_point]);
    } else {
      take(0x20u);  // emacs-mule's space for what it cannot place
    }
    pos += length;
  }
}

// A key's first sixteen bytes as two numbers that compare as they do,
// which decide most comparisons without following the key.
struct key_prefix {
  std::uint64_t high = 0;
  std::uint64_t low = 0;
};

key_prefix prefix_of(std::string_view key) {
  key_prefix prefix;
  for (std::size_t i = 0; i < 16; ++i) {
    const std::uint64_t byte =
        i < key.size() ? static_cast<unsigned char>(key[i]) : 0u;
    std::uint64_t& half = i < 8 ? prefix.high : prefix.low;
    half = (half << 8) | byte;
  }
  return prefix;
}

struct sort_record {
  key_prefix prefix;
  std::uint32_t entry;
};

}  // namespace

void append_emacs_mule_key(std::string_view reading,
                           dictionary_encoding encoding, std::string& key) {
  for_each_character(reading, encoding,
                     [&](std::uint32_t value) { append_value(key, value); });
}

entry_order order_entries(const reading_table& table, sort_order order,
                          dictionary_encoding encoding, bool descending) {
  const std::size_t count = table.entries.size();
  entry_order positions(count);
  if (order == sort_order::input) {
    for (std::size_t e = 0; e < count; ++e) {
      positions[e] = static_cast<std::uint32_t>(e);
    }
    return positions;
  }
  // Under the skk order each reading's key is made once, into one buffer;
  // under the byte order the key is the reading itself. Keys never hold a
  // NUL byte (no reading does), so the zeros that pad a short key's prefix
  // sort it first, as a shorter string sorts before a longer one it begins.
  std::string keys;
  std::vector<std::size_t, large_allocator<std::size_t>> key_ends;
  if (order == sort_order::skk) {
    key_ends.resize(count);
    for (std::size_t e = 0; e < count; ++e) {
      append_emacs_mule_key(table.entries[e].reading(), encoding, keys);
      key_ends[e] = keys.size();
    }
  }
  const auto key_of = [&](std::uint32_t e) -> std::string_view {
    if (order == sort_order::bytes) return table.entries[e].reading();
    const std::size_t start = e == 0 ? 0 : key_ends[e - 1];
    return std::string_view(keys).substr(start, key_ends[e] - start);
  };
  std::vector<sort_record, large_allocator<sort_record>> records(count);
  for (std::size_t e = 0; e < count; ++e) {
    const auto entry = static_cast<std::uint32_t>(e);
    records[e] = sort_record{prefix_of(key_of(entry)), entry};
  }
  std::sort(records.begin(), records.end(),
            [&](const sort_record& a, const sort_record& b) {
              int compared = 0;
              if (a.prefix.high != b.prefix.high) {
                compared = a.prefix.high < b.prefix.high ? -1 : 1;
              } else if (a.prefix.low != b.prefix.low) {
                compared = a.prefix.low < b.prefix.low ? -1 : 1;
              } else {
                compared = key_of(a.entry).compare(key_of(b.entry));
              }
              if (compared == 0) return a.entry < b.entry;
              return descending ? compared > 0 : compared < 0;
            });
  for (std::size_t i = 0; i < count; ++i) positions[i] = records[i].entry;
  return positions;
}

}  // namespace brenlow
