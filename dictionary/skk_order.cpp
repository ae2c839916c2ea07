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
// Basic Multilingual Plane) with its value; 0 where Emacs has none.
struct mule_values {
  std::vector<std::uint32_t> values = std::vector<std::uint32_t>(0x10000, 0);
};

template <std::size_t segment_count, std::size_t listed_count>
mule_values unpack(const emacs_mule_segment (&segments)[segment_count],
                   const std::uint32_t (&listed)[listed_count]) {
  mule_values table;
  for (const emacs_mule_segment& segment : segments) {
    for (std::uint32_t i = 0; i < segment.count; ++i) {
      table.values[segment.first + i] =
          segment.listed ? listed[segment.value + i] : segment.value + i;
    }
  }
  return table;
}

const std::vector<std::uint32_t>& shift_jis_values() {
  static const mule_values table = unpack(shift_jis_segments, shift_jis_listed);
  return table.values;
}

const std::vector<std::uint32_t>& unicode_values() {
  static const mule_values table = unpack(unicode_segments, unicode_listed);
  return table.values;
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

void append_shift_jis_key(std::string_view reading, std::string& key) {
  const std::vector<std::uint32_t>& values = shift_jis_values();
  const auto* bytes = reinterpret_cast<const unsigned char*>(reading.data());
  for (std::size_t pos = 0; pos < reading.size();) {
    const unsigned char byte = bytes[pos];
    if (pos + 1 < reading.size()) {
      const std::uint32_t pair = values[byte * 0x100u + bytes[pos + 1]];
      if (pair != 0 && byte >= 0x81) {
        append_value(key, pair);
        pos += 2;
        continue;
      }
    }
    // A byte Emacs does not pair with the next stands alone: ASCII,
    // half-width katakana or a raw byte, which emacs-mule writes as it is.
    const std::uint32_t single = values[byte];
    append_value(key, single != 0 ? single : byte);
    ++pos;
  }
}

void append_utf_8_key(std::string_view reading, std::string& key) {
  const std::vector<std::uint32_t>& values = unicode_values();
  for (std::size_t pos = 0; pos < reading.size();) {
    std::size_t length = 0;
    const std::uint32_t code_point = decode_utf_8(reading, pos, length);
    if (length == 0) {
      // Emacs keeps a byte of no sequence as a raw byte.
      key.push_back(reading[pos]);
      ++pos;
      continue;
    }
    const std::uint32_t value = code_point < 0x10000 ? values[code_point] : 0;
    append_value(key, value != 0 ? value : ' ');
    pos += length;
  }
}

// A reading's first eight key bytes as a number that compares as they do,
// which decides most comparisons without following the key.
std::uint64_t key_prefix(std::string_view key) {
  std::uint64_t prefix = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    prefix = (prefix << 8) |
             (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  }
  return prefix;
}

struct sort_record {
  std::uint64_t prefix;
  std::uint32_t entry;
};

}  // namespace

void append_emacs_mule_key(std::string_view reading,
                           dictionary_encoding encoding, std::string& key) {
  if (encoding == dictionary_encoding::shift_jis) {
    append_shift_jis_key(reading, key);
  } else {
    append_utf_8_key(reading, key);
  }
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
  // NUL byte, so the zeros that pad a short key's prefix sort it first, as
  // a shorter string sorts before a longer one it begins.
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
    records[e] = sort_record{key_prefix(key_of(entry)), entry};
  }
  std::sort(records.begin(), records.end(),
            [&](const sort_record& a, const sort_record& b) {
              int compared = 0;
              if (a.prefix != b.prefix) {
                compared = a.prefix < b.prefix ? -1 : 1;
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
