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

// Writes value's bytes at out; returns how many (one to four).
std::size_t put_value(char* out, std::uint32_t value) {
  std::size_t size = 0;
  if (value >= 0x1000000) out[size++] = static_cast<char>(value >> 24);
  if (value >= 0x10000) out[size++] = static_cast<char>(value >> 16);
  if (value >= 0x100) out[size++] = static_cast<char>(value >> 8);
  out[size++] = static_cast<char>(value);
  return size;
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

// No slot of a table: the value is a raw byte or emacs-mule's space.
constexpr std::uint32_t no_slot = 0xFFFFFFFF;

// Calls take(value, slot) for each character of reading as Emacs decodes
// it: slot is where the value stands in the encoding's mule_table (a
// Shift_JIS byte or pair, a code point), or no_slot. A byte Emacs keeps
// raw is its own value.
template <typename Take>
void for_each_character(std::string_view reading, output_encoding encoding,
                        Take take) {
  if (encoding == output_encoding::euc_jp ||
      encoding == output_encoding::euc_jis_2004) {
    // Emacs compares the characters it decodes, whatever the file's bytes.
    static thread_local std::string decoded;
    decoded.clear();
    append_utf_8_of(reading, encoding, decoded);
    for_each_character(decoded, output_encoding::utf_8, take);
    return;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(reading.data());
  if (encoding == output_encoding::shift_jis) {
    const mule_table& table = shift_jis_table();
    for (std::size_t pos = 0; pos < reading.size();) {
      const unsigned char byte = bytes[pos];
      if (byte >= 0x81 && pos + 1 < reading.size()) {
        const std::uint32_t pair = byte * 0x100u + bytes[pos + 1];
        if (table.values[pair] != 0) {
          take(table.values[pair], pair);
          pos += 2;
          continue;
        }
      }
      // A byte Emacs does not pair with the next stands alone: ASCII,
      // half-width katakana or a raw byte.
      if (table.values[byte] != 0) {
        take(table.values[byte], std::uint32_t{byte});
      } else {
        take(std::uint32_t{byte}, no_slot);
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
      take(std::uint32_t{bytes[pos]}, no_slot);
      ++pos;
      continue;
    }
    if (code_point < 0x10000 && table.values[code_point] != 0) {
      take(table.values[code_point], code_point);
    } else {
      take(0x20u, no_slot);  // emacs-mule's space for what it cannot place
    }
    pos += length;
  }
}

// The emacs-mule bytes of a character are one to four, so a reading's
// key is three bytes a character, of which the first eight hold less than
// three characters. Emacs's codes are prefix-free (the first byte tells
// the length) once the raw bytes from 0x80 are set aside, so numbering the
// codes in the order of their bytes and writing each character as its
// number in two bytes orders keys exactly as their bytes do, with four
// characters in the first eight bytes.
struct rank_table {
  bool usable = false;
  // The rank each slot's character takes in a key, from 1, or unranked
  // where it takes none (a raw byte from 0x80, NUL). A Shift_JIS pair's
  // slot holds 0 where the two bytes are no pair and stand alone; a code
  // point's slot holds the space's rank where emacs-mule has no code.
  std::vector<std::uint16_t> of_character;
  std::uint16_t space = 0;  // the space's rank: characters past the BMP
};

constexpr std::uint16_t unranked = 0xFFFF;

// The bytes of value (put_value) at the left of 32 bits, zeros after.
std::uint32_t left_aligned(std::uint32_t value) {
  const int size = value >= 0x1000000 ? 4
                   : value >= 0x10000 ? 3
                   : value >= 0x100   ? 2
                                      : 1;
  return size == 4 ? value : value << (8 * (4 - size));
}

std::uint32_t code_size(std::uint32_t value) {
  return value >= 0x1000000 ? 4 : value >= 0x10000 ? 3 : value >= 0x100 ? 2 : 1;
}

rank_table make_ranks(const mule_table& table, bool shift_jis) {
  rank_table ranks;
  const auto rankable = [](std::uint32_t value) {
    return value != 0 && (value >= 0x100 || value < 0x80);
  };
  // Each slot with a rankable value, and each ASCII byte (slot 0x10000 +
  // byte), ordered by the bytes of its code: equal codes lie together
  // and take one rank.
  struct coded {
    std::uint32_t left;
    std::uint32_t size;
    std::uint32_t slot;
  };
  std::vector<coded> codes;
  for (std::uint32_t slot = 0; slot < table.values.size(); ++slot) {
    const std::uint32_t value = table.values[slot];
    if (rankable(value)) {
      codes.push_back({left_aligned(value), code_size(value), slot});
    }
  }
  for (std::uint32_t byte = 1; byte < 0x80; ++byte) {
    codes.push_back({left_aligned(byte), 1, 0x10000 + byte});
  }
  std::sort(codes.begin(), codes.end(), [](const coded& a, const coded& b) {
    return a.left != b.left ? a.left < b.left : a.size < b.size;
  });
  std::vector<std::uint16_t> of_slot(table.values.size(), 0);
  std::uint16_t of_ascii[128] = {};  // raw bytes and the space, by value
  std::uint32_t rank = 0;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const coded& code = codes[i];
    const bool same = i > 0 && codes[i - 1].left == code.left &&
                      codes[i - 1].size == code.size;
    if (!same) {
      // A code that begins another sorts right before the codes that
      // begin with it: neighbours tell whether the set is prefix-free.
      if (i > 0 && codes[i - 1].size < code.size &&
          (code.left >> (8 * (4 - codes[i - 1].size))) ==
              (codes[i - 1].left >> (8 * (4 - codes[i - 1].size)))) {
        return ranks;
      }
      if (++rank >= unranked) return ranks;
    }
    const auto value = static_cast<std::uint16_t>(rank);
    if (code.slot >= 0x10000) {
      of_ascii[code.slot - 0x10000] = value;
    } else {
      of_slot[code.slot] = value;
    }
  }
  // What for_each_character gives each slot, as a rank.
  const auto rank_or_none = [](std::uint16_t r) {
    return r == 0 ? unranked : r;
  };
  ranks.of_character.assign(table.values.size(), 0);
  ranks.space = rank_or_none(of_ascii[0x20]);
  for (std::size_t slot = 0; slot < table.values.size(); ++slot) {
    if (table.values[slot] != 0) {
      ranks.of_character[slot] = rank_or_none(of_slot[slot]);
    } else if (!shift_jis) {
      ranks.of_character[slot] = ranks.space;
    } else if (slot < 0x100) {
      ranks.of_character[slot] =
          slot < 0x80 ? rank_or_none(of_ascii[slot]) : unranked;
    }
  }
  ranks.usable = true;
  return ranks;
}

// Built on first use: a run needs one of them.
const rank_table& ranks_for(output_encoding encoding) {
  if (encoding == output_encoding::shift_jis) {
    static const rank_table shift_jis = make_ranks(shift_jis_table(), true);
    return shift_jis;
  }
  static const rank_table unicode = make_ranks(unicode_table(), false);
  return unicode;
}

// Calls take(rank) for each character of reading (Shift_JIS, or UTF-8 for
// the other encodings ranked) as for_each_character reads it.
template <typename Take>
void for_each_rank(std::string_view reading, bool shift_jis,
                   const rank_table& ranks, Take take) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(reading.data());
  const std::uint16_t* of = ranks.of_character.data();
  const std::size_t size = reading.size();
  for (std::size_t pos = 0; pos < size;) {
    const unsigned char byte = bytes[pos];
    if (byte < 0x80) {
      take(of[byte]);
      ++pos;
    } else if (shift_jis) {
      const std::uint16_t pair = byte >= 0x81 && pos + 1 < size
                                     ? of[byte * 0x100u + bytes[pos + 1]]
                                     : 0;
      take(pair != 0 ? pair : of[byte]);
      pos += pair != 0 ? 2 : 1;
    } else {
      std::size_t length = 0;
      const std::uint32_t code_point = decode_utf_8(reading, pos, length);
      take(length == 0            ? unranked
           : code_point < 0x10000 ? of[code_point]
                                  : ranks.space);
      pos += length == 0 ? 1 : length;
    }
  }
}

// Writes the ranked key of each entry of table into keys (two bytes a
// character, big-endian), its end into key_ends. Returns false, leaving
// keys to be made of the bytes, when a reading holds what takes no rank
// (a raw byte from 0x80 or NUL) or the encoding's codes cannot be ranked.
// Readings are mostly kana: when fewer than 256 ranks occur, one_byte is
// set to each rank's number among those that do (from 1), which a record
// takes in one byte, so that its twelve bytes hold twelve characters and
// leave almost no ties. The numbers keep the ranks' order, so the keys
// themselves need not be rewritten.
template <typename Keys, typename Ends>
bool make_ranked_keys(const reading_table& table, output_encoding encoding,
                      Keys& keys, Ends& key_ends,
                      std::vector<std::uint8_t>& one_byte) {
  const rank_table& ranks = ranks_for(encoding);
  if (!ranks.usable) return false;
  const bool shift_jis = encoding == output_encoding::shift_jis;
  std::size_t room = 0;
  for (const reading_entry& entry : table.entries) {
    room += 2 * reading_of(table, entry).size();
  }
  keys.resize(room);
  key_ends.resize(table.entries.size());
  // The bytes go out through a pointer of this function's own: a store
  // through the vector's char data could change anything, and would have
  // everything read again after it. Each rank met is marked on the way.
  std::vector<std::uint8_t> used(0x10000, 0);
  std::uint8_t* const mark = used.data();
  char* const start = keys.data();
  char* out = start;
  for (std::size_t e = 0; e < table.entries.size(); ++e) {
    for_each_rank(reading_of(table, table.entries[e]), shift_jis, ranks,
                  [mark, &out](std::uint16_t rank) {
                    mark[rank] = 1;
                    out[0] = static_cast<char>(rank >> 8);
                    out[1] = static_cast<char>(rank & 0xFF);
                    out += 2;
                  });
    key_ends[e] = static_cast<std::size_t>(out - start);
  }
  if (used[unranked] != 0) return false;
  std::uint32_t distinct = 0;
  for (std::uint8_t& number : used) {
    if (number != 0) number = static_cast<std::uint8_t>(++distinct);
    if (distinct > 0xFF) return true;
  }
  one_byte = std::move(used);
  return true;
}

// A key's first twelve bytes as two numbers that compare as they do (or,
// for a descending order, inverted), which decide most comparisons without
// following the key; 16 bytes, so that sorting moves little.
struct sort_record {
  std::uint64_t high;
  std::uint32_t low;
  std::uint32_t entry;
};

// The record of a key whose first twelve bytes are high and low.
sort_record record_from(std::uint64_t high, std::uint32_t low,
                        std::uint32_t entry, bool descending) {
  return descending ? sort_record{~high, ~low, entry}
                    : sort_record{high, low, entry};
}

sort_record record_of(std::string_view key, std::uint32_t entry,
                      bool descending) {
  std::uint64_t high = 0;
  std::uint32_t low = 0;
  for (std::size_t i = 0; i < 12; ++i) {
    const unsigned char byte =
        i < key.size() ? static_cast<unsigned char>(key[i]) : 0u;
    if (i < 8) {
      high = (high << 8) | byte;
    } else {
      low = (low << 8) | byte;
    }
  }
  return record_from(high, low, entry, descending);
}

// Sorts the size records at from by the low digits bytes of high,
// keeping the order of records with equal bytes: a least-significant-digit
// radix sort, a byte at a time, that skips the bytes all records share,
// with scratch (as many records) to move them to and fro. The records end
// at from.
void sort_by_low_bytes(sort_record* from, sort_record* scratch,
                       std::size_t size, unsigned digits) {
  std::uint32_t counts[8][256] = {};
  for (std::size_t i = 0; i < size; ++i) {
    for (unsigned digit = 0; digit < digits; ++digit) {
      ++counts[digit][(from[i].high >> (8 * digit)) & 0xFF];
    }
  }
  sort_record* source = from;
  sort_record* target = scratch;
  for (unsigned digit = 0; digit < digits; ++digit) {
    std::uint32_t* count = counts[digit];
    if (std::find(count, count + 256, size) != count + 256) continue;
    std::uint32_t start = 0;
    for (std::size_t value = 0; value < 256; ++value) {
      const std::uint32_t here = count[value];
      count[value] = start;
      start += here;
    }
    for (std::size_t i = 0; i < size; ++i) {
      target[count[(source[i].high >> (8 * digit)) & 0xFF]++] = source[i];
    }
    std::swap(source, target);
  }
  if (source != from) std::copy(source, source + size, from);
}

// Sorts records by high, keeping the order of records with equal high: a
// stable pass by the top byte first, then each group that shares it on its
// own by the other seven. The groups of a large dictionary are a few
// hundred kilobytes each (a group a first character), which the passes
// over the other bytes find in the cache, where passes over the whole
// array would wait on memory at every record.
void sort_by_high(
    std::vector<sort_record, large_allocator<sort_record>>& records) {
  const std::size_t size = records.size();
  std::vector<std::size_t> starts(257, 0);
  const auto top = [](const sort_record& record) {
    return static_cast<std::size_t>(record.high >> 56);
  };
  for (const sort_record& record : records) ++starts[top(record) + 1];
  for (std::size_t value = 0; value < 256; ++value) {
    starts[value + 1] += starts[value];
  }
  std::vector<sort_record, large_allocator<sort_record>> moved(size);
  std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
  for (const sort_record& record : records) moved[next[top(record)]++] = record;
  for (std::size_t value = 0; value < 256; ++value) {
    // Entries are numbered in 32 bits: a group's counts fit in as many.
    const std::size_t group = starts[value + 1] - starts[value];
    if (group > 1) {
      sort_by_low_bytes(moved.data() + starts[value],
                        records.data() + starts[value], group, 7);
    }
  }
  records.swap(moved);
}

}  // namespace

void append_emacs_mule_key(std::string_view reading, output_encoding encoding,
                           std::string& key) {
  for_each_character(reading, encoding, [&](std::uint32_t value, auto) {
    char bytes[4];
    key.append(bytes, put_value(bytes, value));
  });
}

entry_order order_entries(const reading_table& table, sort_order order,
                          output_encoding encoding, bool descending) {
  const std::size_t count = table.entries.size();
  entry_order positions(count);
  if (order == sort_order::input) {
    for (std::size_t e = 0; e < count; ++e) {
      positions[e] = static_cast<std::uint32_t>(e);
    }
    return positions;
  }
  // Under the skk order each reading's key is made once, into one buffer,
  // and so is the UTF-16LE form of readings held as UTF-8 for UTF-16LE
  // output; under the byte order the key is otherwise the reading itself.
  // A key that is a prefix of another is padded with zeros below and
  // told apart by the whole comparison, so it sorts first, as a shorter
  // string sorts before a longer one it begins.
  std::vector<char, large_allocator<char>> keys;
  std::vector<std::size_t, large_allocator<std::size_t>> key_ends;
  const bool utf_16_keys =
      order == sort_order::bytes && encoding == output_encoding::utf_16le;
  if (utf_16_keys) {
    std::size_t room = 0;
    for (const reading_entry& entry : table.entries) {
      room += 2 * reading_of(table, entry).size();
    }
    keys.reserve(room);
    key_ends.resize(count);
    std::string recoded;
    for (std::size_t e = 0; e < count; ++e) {
      recoded.clear();
      append_recoded(reading_of(table, table.entries[e]), text_encoding::utf_8,
                     output_encoding::utf_16le, recoded);
      keys.insert(keys.end(), recoded.begin(), recoded.end());
      key_ends[e] = keys.size();
    }
  }
  // The common case: every character ranked, two bytes each. The EUC
  // encodings are decoded first, and take the byte keys below.
  std::vector<std::uint8_t> one_byte;
  const bool ranked =
      order == sort_order::skk &&
      (encoding == output_encoding::shift_jis ||
       encoding == output_encoding::utf_8 ||
       encoding == output_encoding::utf_16le) &&
      make_ranked_keys(table, encoding, keys, key_ends, one_byte);
  if (order == sort_order::skk && !ranked) {
    // A character takes at least one byte of the reading and at most four
    // of its key; the pages of room never written are never touched.
    std::size_t room = 0;
    for (const reading_entry& entry : table.entries) {
      room += 4 * reading_of(table, entry).size();
    }
    keys.resize(room);
    key_ends.resize(count);
    std::size_t end = 0;
    for (std::size_t e = 0; e < count; ++e) {
      for_each_character(reading_of(table, table.entries[e]), encoding,
                         [&](std::uint32_t value, std::uint32_t) {
                           end += put_value(keys.data() + end, value);
                         });
      key_ends[e] = end;
    }
  }
  const auto key_of = [&](std::uint32_t e) -> std::string_view {
    if (order == sort_order::bytes && !utf_16_keys) {
      return reading_of(table, table.entries[e]);
    }
    const std::size_t start = e == 0 ? 0 : key_ends[e - 1];
    return {keys.data() + start, key_ends[e] - start};
  };
  std::vector<sort_record, large_allocator<sort_record>> records(count);
  if (one_byte.empty()) {
    for (std::size_t e = 0; e < count; ++e) {
      const auto entry = static_cast<std::uint32_t>(e);
      records[e] = record_of(key_of(entry), entry, descending);
    }
  } else {
    // Each rank of the key's first twelve characters as its number.
    const std::uint8_t* number = one_byte.data();
    for (std::size_t e = 0; e < count; ++e) {
      const auto entry = static_cast<std::uint32_t>(e);
      const std::string_view key = key_of(entry);
      const auto* bytes = reinterpret_cast<const unsigned char*>(key.data());
      const std::size_t characters = std::min<std::size_t>(key.size() / 2, 12);
      std::uint64_t numbers[2] = {0, 0};  // high, then low from bit 32
      for (std::size_t i = 0; i < characters; ++i) {
        const std::uint64_t n =
            number[bytes[2 * i] * 0x100u + bytes[2 * i + 1]];
        numbers[i / 8] |= n << (8 * (7 - i % 8));
      }
      records[e] =
          record_from(numbers[0], static_cast<std::uint32_t>(numbers[1] >> 32),
                      entry, descending);
    }
  }
  sort_by_high(records);
  // Records of equal high, few as a rule, are ordered by the rest of their
  // keys, then by entry.
  const auto before = [&](const sort_record& a, const sort_record& b) {
    if (a.low != b.low) return a.low < b.low;
    const int compared = key_of(a.entry).compare(key_of(b.entry));
    if (compared != 0) return descending ? compared > 0 : compared < 0;
    return a.entry < b.entry;
  };
  for (std::size_t first = 0; first < count;) {
    std::size_t last = first + 1;
    while (last < count && records[last].high == records[first].high) ++last;
    if (last - first > 1) {
      std::sort(records.begin() + static_cast<std::ptrdiff_t>(first),
                records.begin() + static_cast<std::ptrdiff_t>(last), before);
    }
    first = last;
  }
  for (std::size_t i = 0; i < count; ++i) positions[i] = records[i].entry;
  return positions;
}

}  // namespace brenlow
