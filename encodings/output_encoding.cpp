#include "encodings/output_encoding.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

#include "base/run_beside.h"
#include "encodings/decodable.h"

namespace brenlow {

namespace {

struct output_code_pair {
  std::uint32_t code, preferred;
};

#include "encodings/output_tables.inc"

// The codings of tools/make_output_tables.el: the tables Emacs decodes
// with, and the codes it never writes.
enum class coding { cp932, euc_jp, euc_jis_2004 };

constexpr std::size_t cp932_trails = 0xFC - 0x40 + 1;
constexpr std::size_t euc_bytes = 0xFE - 0xA1 + 1;

constexpr bool is_euc_byte(unsigned byte) {
  return byte >= 0xA1 && byte <= 0xFE;
}

// The table index of a code page 932 pair (is_shift_jis_lead(lead),
// is_shift_jis_trail(trail)): lead index * 189 + trail - 0x40.
constexpr std::size_t cp932_pair_index(unsigned lead, unsigned trail) {
  return (lead <= 0x9F ? lead - 0x81 : lead - 0xC1) * cp932_trails +
         (trail - 0x40);
}

constexpr std::size_t euc_pair_index(unsigned first, unsigned second) {
  return (first - 0xA1) * euc_bytes + (second - 0xA1);
}

static_assert(std::size(cp932_pairs) == cp932_pair_index(0xFC, 0xFC) + 1,
              "output_tables.inc: code page 932 pairs as indexed here");
static_assert(std::size(euc_jp_pairs) == euc_bytes * euc_bytes &&
                  std::size(euc_jp_triples) == euc_bytes * euc_bytes &&
                  std::size(euc_jis_2004_pairs) == euc_bytes * euc_bytes &&
                  std::size(euc_jis_2004_triples) == euc_bytes * euc_bytes &&
                  std::size(euc_jp_kana) == euc_bytes &&
                  std::size(euc_jis_2004_kana) == euc_bytes,
              "output_tables.inc: EUC tables as indexed here");

// The encoder's binary search needs each list ascending; its last row is
// no code.
template <std::size_t n>
constexpr bool ascending_and_ended(const output_code_pair (&list)[n]) {
  for (std::size_t i = 1; i < n; ++i) {
    if (list[i - 1].code >= list[i].code) return false;
  }
  return list[n - 1].code == 0xFFFFFFFF;
}
static_assert(ascending_and_ended(cp932_not_written) &&
                  ascending_and_ended(euc_jp_not_written) &&
                  ascending_and_ended(euc_jis_2004_not_written),
              "output_tables.inc: codes not written ascending, then the end");

// One character read from bytes: its code point (no_character where Emacs
// decodes the bytes as none) and how many bytes it takes (at least 1,
// never past size).
constexpr char32_t no_character = 0x110000;
struct read_character {
  char32_t code_point;
  std::size_t length;
};

// A table's value: 0 is no character (tables hold no ASCII).
constexpr char32_t known(char32_t value) {
  return value != 0 ? value : no_character;
}

read_character read_cp932(const unsigned char* bytes, std::size_t size,
                          std::size_t pos) {
  const unsigned byte = bytes[pos];
  if (byte < 0x80) return {byte, 1};
  if (is_shift_jis_lead(byte) && pos + 1 < size &&
      is_shift_jis_trail(bytes[pos + 1])) {
    return {known(cp932_pairs[cp932_pair_index(byte, bytes[pos + 1])]), 2};
  }
  return {known(cp932_single[byte]), 1};
}

// An EUC coding's tables, indexed as the script tells.
struct euc_tables {
  const char32_t* kana;
  const char32_t* pairs;
  const char32_t* triples;
};
constexpr euc_tables euc_jp_tables{euc_jp_kana, euc_jp_pairs, euc_jp_triples};
constexpr euc_tables euc_jis_2004_tables{euc_jis_2004_kana, euc_jis_2004_pairs,
                                         euc_jis_2004_triples};

read_character read_euc(const unsigned char* bytes, std::size_t size,
                        std::size_t pos, const euc_tables& tables) {
  const unsigned byte = bytes[pos];
  if (byte < 0x80) return {byte, 1};
  if (byte == 0x8E) {
    if (pos + 1 < size && is_euc_byte(bytes[pos + 1])) {
      return {known(tables.kana[bytes[pos + 1] - 0xA1]), 2};
    }
  } else if (byte == 0x8F) {
    if (pos + 2 < size && is_euc_byte(bytes[pos + 1]) &&
        is_euc_byte(bytes[pos + 2])) {
      return {
          known(tables.triples[euc_pair_index(bytes[pos + 1], bytes[pos + 2])]),
          3};
    }
  } else if (is_euc_byte(byte) && pos + 1 < size &&
             is_euc_byte(bytes[pos + 1])) {
    return {known(tables.pairs[euc_pair_index(byte, bytes[pos + 1])]), 2};
  }
  return {no_character, 1};
}

// The EUC-JIS-2004 codes of JIS X 0213 that stand for two Unicode
// characters (a kana and its semi-voiced mark, a letter and its accent, two
// tone letters): Emacs decodes them to characters of its own outside
// Unicode, which it never writes from Unicode, so the tables hold none of
// them; glibc and Python decode them to these pairs. A dictionary read
// back holds them as they are, and compares them as these pairs.
struct code_of_two {
  std::uint32_t code;
  char32_t first, second;
};
constexpr code_of_two euc_jis_2004_twos[] = {
    {0xA4F7, 0x304B, 0x309A}, {0xA4F8, 0x304D, 0x309A},
    {0xA4F9, 0x304F, 0x309A}, {0xA4FA, 0x3051, 0x309A},
    {0xA4FB, 0x3053, 0x309A}, {0xA5F7, 0x30AB, 0x309A},
    {0xA5F8, 0x30AD, 0x309A}, {0xA5F9, 0x30AF, 0x309A},
    {0xA5FA, 0x30B1, 0x309A}, {0xA5FB, 0x30B3, 0x309A},
    {0xA5FC, 0x30BB, 0x309A}, {0xA5FD, 0x30C4, 0x309A},
    {0xA5FE, 0x30C8, 0x309A}, {0xA6F8, 0x31F7, 0x309A},
    {0xABC4, 0x00E6, 0x0300}, {0xABC8, 0x0254, 0x0300},
    {0xABC9, 0x0254, 0x0301}, {0xABCA, 0x028C, 0x0300},
    {0xABCB, 0x028C, 0x0301}, {0xABCC, 0x0259, 0x0300},
    {0xABCD, 0x0259, 0x0301}, {0xABCE, 0x025A, 0x0300},
    {0xABCF, 0x025A, 0x0301}, {0xABE5, 0x02E9, 0x02E5},
    {0xABE6, 0x02E5, 0x02E9},
};

// The pair of characters the EUC-JIS-2004 code at bytes[pos] stands for,
// or nullptr.
const code_of_two* two_at(const unsigned char* bytes, std::size_t size,
                          std::size_t pos) {
  if (pos + 1 >= size) return nullptr;
  const std::uint32_t code = (bytes[pos] << 8u) | bytes[pos + 1];
  for (const code_of_two& two : euc_jis_2004_twos) {
    if (two.code == code) return &two;
  }
  return nullptr;
}

// UTF-8 text: a sequence that is not well-formed is no character.
read_character read_utf_8(const unsigned char* bytes, std::size_t size,
                          std::size_t pos) {
  const decoded_character decoded = decode_utf_8(bytes, size, pos);
  if (decoded.length == 0) return {no_character, 1};
  return {decoded.code_point, decoded.length};
}

// Held text read as the characters Emacs sees: Shift_JIS as cp932.
read_character read_held(const unsigned char* bytes, std::size_t size,
                         std::size_t pos, text_encoding held) {
  return held == text_encoding::shift_jis ? read_cp932(bytes, size, pos)
                                          : read_utf_8(bytes, size, pos);
}

// The code each character is written as in a coding, 0 for none: the
// inverse of the decoding table less the codes Emacs never writes (whose
// characters it writes at another code, which is in the table too, or not
// at all). ASCII is not in it: every coding writes it as itself.
class encoder_table {
 public:
  explicit encoder_table(coding c) : basic_(0x10000, 0) {
    switch (c) {
      case coding::cp932:
        not_written_ = std::begin(cp932_not_written);
        not_written_end_ = std::end(cp932_not_written);
        for (unsigned byte = 0x80; byte < 0x100; ++byte) {
          add(cp932_single[byte], byte);
        }
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
          if (!is_shift_jis_lead(lead)) continue;
          for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (!is_shift_jis_trail(trail)) continue;
            add(cp932_pairs[cp932_pair_index(lead, trail)],
                (lead << 8u) | trail);
          }
        }
        break;
      case coding::euc_jp:
        not_written_ = std::begin(euc_jp_not_written);
        not_written_end_ = std::end(euc_jp_not_written);
        add_euc(euc_jp_tables);
        break;
      case coding::euc_jis_2004:
        not_written_ = std::begin(euc_jis_2004_not_written);
        not_written_end_ = std::end(euc_jis_2004_not_written);
        add_euc(euc_jis_2004_tables);
        break;
    }
    std::sort(beyond_.begin(), beyond_.end());
  }

  // The code of code_point (not ASCII), 0 for none.
  std::uint32_t code_of(char32_t code_point) const {
    if (code_point < basic_.size()) return basic_[code_point];
    const auto found =
        std::lower_bound(beyond_.begin(), beyond_.end(), code_point,
                         [](const std::pair<char32_t, std::uint32_t>& entry,
                            char32_t key) { return entry.first < key; });
    return found != beyond_.end() && found->first == code_point ? found->second
                                                                : 0;
  }

 private:
  void add(char32_t code_point, std::uint32_t code) {
    if (code_point == 0) return;
    const output_code_pair* found =
        std::lower_bound(not_written_, not_written_end_, code,
                         [](const output_code_pair& pair, std::uint32_t key) {
                           return pair.code < key;
                         });
    if (found != not_written_end_ && found->code == code) return;
    if (code_point < basic_.size()) {
      basic_[code_point] = code;
    } else {
      beyond_.emplace_back(code_point, code);
    }
  }

  void add_euc(const euc_tables& tables) {
    for (unsigned second = 0xA1; second <= 0xFE; ++second) {
      add(tables.kana[second - 0xA1], 0x8E00u | second);
    }
    for (unsigned first = 0xA1; first <= 0xFE; ++first) {
      for (unsigned second = 0xA1; second <= 0xFE; ++second) {
        const std::size_t index = euc_pair_index(first, second);
        add(tables.pairs[index], (first << 8u) | second);
        add(tables.triples[index], 0x8F0000u | (first << 8u) | second);
      }
    }
  }

  const output_code_pair* not_written_ = nullptr;
  const output_code_pair* not_written_end_ = nullptr;
  std::vector<std::uint32_t> basic_;  // by code point below U+10000
  std::vector<std::pair<char32_t, std::uint32_t>> beyond_;  // sorted
};

// Built on first use: a program that writes UTF-8 never builds one. Every
// coding's table once, whichever thread asks first.
const encoder_table& encoder_of(coding c) {
  switch (c) {
    case coding::cp932: {
      static const encoder_table table(coding::cp932);
      return table;
    }
    case coding::euc_jp: {
      static const encoder_table table(coding::euc_jp);
      return table;
    }
    case coding::euc_jis_2004: break;
  }
  static const encoder_table table(coding::euc_jis_2004);
  return table;
}

// The coding of a target written through a table.
bool table_coding(output_encoding encoding, coding& c) {
  switch (encoding) {
    case output_encoding::shift_jis: c = coding::cp932; return true;
    case output_encoding::euc_jp: c = coding::euc_jp; return true;
    case output_encoding::euc_jis_2004: c = coding::euc_jis_2004; return true;
    case output_encoding::utf_8:
    case output_encoding::utf_16le: return false;
  }
  return false;
}

// Shift_JIS held text written in another encoding, a character at a time
// without its code point: each single byte's and pair's code in the target
// (its bytes as a number, as append_code writes them; 0 for none), made
// once from the two tables. The large encoder table is then not looked
// at, which the output of a Shift_JIS export would otherwise do for every
// character.
class shift_jis_direct {
 public:
  explicit shift_jis_direct(output_encoding target)
      : singles_(0x100, 0), pairs_(std::size(cp932_pairs), 0) {
    coding c{};
    const encoder_table* table =
        table_coding(target, c) ? &encoder_of(c) : nullptr;
    std::string bytes;
    const auto code_in_target = [&](char32_t code_point) -> std::uint32_t {
      if (code_point == 0) return 0;
      if (table != nullptr) return table->code_of(code_point);
      bytes.clear();
      append_utf_8(bytes, code_point);
      std::uint32_t code = 0;
      for (char b : bytes) code = (code << 8u) | static_cast<unsigned char>(b);
      return code;
    };
    for (unsigned byte = 0x80; byte < 0x100; ++byte) {
      singles_[byte] = code_in_target(cp932_single[byte]);
    }
    for (std::size_t i = 0; i < pairs_.size(); ++i) {
      pairs_[i] = code_in_target(cp932_pairs[i]);
      if (pairs_[i] != 0)
        writable_pairs_[i / 64] |= std::uint64_t{1} << (i % 64);
    }
  }

  // The length of the character at bytes[pos] (not ASCII) when the target
  // writes it, else 0: a look at 1.4 KiB of bits, which every line filed
  // for the target takes for each of its characters.
  std::size_t writable_length(const unsigned char* bytes, std::size_t size,
                              std::size_t pos) const {
    const unsigned byte = bytes[pos];
    if (is_shift_jis_lead(byte) && pos + 1 < size &&
        is_shift_jis_trail(bytes[pos + 1])) {
      const std::size_t i = cp932_pair_index(byte, bytes[pos + 1]);
      return (writable_pairs_[i / 64] >> (i % 64)) & 1u ? 2 : 0;
    }
    return singles_[byte] != 0 ? 1 : 0;
  }

  // The code of the character at bytes[pos] (not ASCII) and its length;
  // code 0 where the target has none. The pair tables hold 0 for codes
  // that are no pair, as read_cp932 reads them.
  std::uint32_t code_at(const unsigned char* bytes, std::size_t size,
                        std::size_t pos, std::size_t& length) const {
    const unsigned byte = bytes[pos];
    if (is_shift_jis_lead(byte) && pos + 1 < size &&
        is_shift_jis_trail(bytes[pos + 1])) {
      length = 2;
      return pairs_[cp932_pair_index(byte, bytes[pos + 1])];
    }
    length = 1;
    return singles_[byte];
  }

 private:
  std::vector<std::uint32_t> singles_;
  std::vector<std::uint32_t> pairs_;
  std::vector<std::uint64_t> writable_pairs_ =
      std::vector<std::uint64_t>(std::size(cp932_pairs) / 64 + 1, 0);
};

// Built on first use, for the targets a Shift_JIS text is written in
// through tables: EUC-JP, EUC-JIS-2004 and UTF-8 (UTF-16LE is written
// from UTF-8).
const shift_jis_direct* direct_from_shift_jis(output_encoding target) {
  switch (target) {
    case output_encoding::euc_jp: {
      static const shift_jis_direct direct(target);
      return &direct;
    }
    case output_encoding::euc_jis_2004: {
      static const shift_jis_direct direct(target);
      return &direct;
    }
    case output_encoding::utf_8: {
      static const shift_jis_direct direct(target);
      return &direct;
    }
    case output_encoding::shift_jis:
    case output_encoding::utf_16le: break;
  }
  return nullptr;
}

// A code's bytes: one to three, by its size.
void append_code(std::uint32_t code, std::string& out) {
  if (code > 0xFFFF) out.push_back(static_cast<char>(code >> 16u));
  if (code > 0xFF) out.push_back(static_cast<char>((code >> 8u) & 0xFFu));
  out.push_back(static_cast<char>(code & 0xFFu));
}

void append_utf_16le(char32_t code_point, std::string& out) {
  const auto unit = [&out](std::uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFFu));
    out.push_back(static_cast<char>(value >> 8u));
  };
  if (code_point < 0x10000) {
    unit(code_point);
  } else {
    const std::uint32_t above = code_point - 0x10000;
    unit(0xD800 + (above >> 10u));
    unit(0xDC00 + (above & 0x3FFu));
  }
}

// The end of the run of ASCII bytes that starts at pos.
std::size_t ascii_run_end(const unsigned char* bytes, std::size_t size,
                          std::size_t pos) {
  while (pos < size && bytes[pos] < 0x80) ++pos;
  return pos;
}

bool same_letters_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (x != b[i]) return false;
  }
  return true;
}

}  // namespace

const char* output_encoding_name(output_encoding encoding) {
  switch (encoding) {
    case output_encoding::shift_jis: return "shift_jis";
    case output_encoding::utf_8: return "utf-8";
    case output_encoding::euc_jp: return "euc-jp";
    case output_encoding::euc_jis_2004: return "euc-jis-2004";
    case output_encoding::utf_16le: return "utf-16le";
  }
  return "shift_jis";
}

const char* output_encoding_title(output_encoding encoding) {
  switch (encoding) {
    case output_encoding::shift_jis: return "Shift_JIS";
    case output_encoding::utf_8: return "UTF-8";
    case output_encoding::euc_jp: return "EUC-JP";
    case output_encoding::euc_jis_2004: return "EUC-JIS-2004";
    case output_encoding::utf_16le: return "UTF-16LE";
  }
  return "";
}

bool output_encoding_of_name(std::string_view name, output_encoding& encoding) {
  // Lower case, the name --to documents first.
  static constexpr struct {
    const char* name;
    output_encoding encoding;
  } names[] = {
      {"shift_jis", output_encoding::shift_jis},
      {"sjis", output_encoding::shift_jis},
      {"cp932", output_encoding::shift_jis},
      {"utf-8", output_encoding::utf_8},
      {"utf8", output_encoding::utf_8},
      {"euc-jp", output_encoding::euc_jp},
      {"eucjp", output_encoding::euc_jp},
      {"euc-jis-2004", output_encoding::euc_jis_2004},
      {"utf-16le", output_encoding::utf_16le},
  };
  for (const auto& row : names) {
    if (same_letters_ignoring_case(name, row.name)) {
      encoding = row.encoding;
      return true;
    }
  }
  return false;
}

output_encoding same_as(text_encoding held) {
  return held == text_encoding::shift_jis ? output_encoding::shift_jis
                                          : output_encoding::utf_8;
}

// Shift_JIS text decodes through Emacs's cp932 table. Every pair the input
// decoder accepts (glibc's CP932 pairs and the user-defined area, which
// Emacs reads as U+E000-U+E757) is a character there: Emacs 28.2's cp932
// and glibc 2.36's CP932 decode every code alike. A pair Emacs would read
// as no character, should a table ever have one, cannot be written in
// another encoding, and is reported with code point 0: the character it
// stands for is the one no reader of the output would see.
bool writes_every_character(text_encoding held, output_encoding encoding) {
  return encoding == same_as(held) || encoding == output_encoding::utf_8 ||
         encoding == output_encoding::utf_16le;
}

unencodable_character find_unencodable(std::string_view text,
                                       text_encoding held,
                                       output_encoding encoding) {
  if (encoding == same_as(held)) return {};
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  if (held == text_encoding::shift_jis) {
    if (const shift_jis_direct* direct = direct_from_shift_jis(encoding)) {
      std::size_t pos = 0;
      while ((pos = ascii_run_end(bytes, size, pos)) < size) {
        const std::size_t length = direct->writable_length(bytes, size, pos);
        if (length == 0) {
          const read_character read = read_cp932(bytes, size, pos);
          return {pos, read.code_point == no_character ? 0 : read.code_point};
        }
        pos += length;
      }
      return {};
    }
  }
  coding c{};
  const encoder_table* table =
      table_coding(encoding, c) ? &encoder_of(c) : nullptr;
  std::size_t pos = 0;
  while ((pos = ascii_run_end(bytes, size, pos)) < size) {
    const read_character read = read_held(bytes, size, pos, held);
    if (read.code_point == no_character) return {pos, 0};
    if (table != nullptr && table->code_of(read.code_point) == 0) {
      return {pos, read.code_point};
    }
    pos += read.length;
  }
  return {};
}

namespace {

// find_all_unencodable for the part of text from start (where a character
// starts) to end, the offsets counted from text's start.
bool find_all_unencodable_here(std::string_view text, std::size_t start,
                               std::size_t end, text_encoding held,
                               output_encoding encoding, std::size_t most,
                               std::vector<std::size_t>& offsets) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const shift_jis_direct* direct = held == text_encoding::shift_jis
                                       ? direct_from_shift_jis(encoding)
                                       : nullptr;
  for (std::size_t pos = start; pos < end;) {
    std::size_t length = 0;
    if (bytes[pos] < 0x80) {
      // Most of a dictionary's ASCII is its TABs and line ends: a byte at
      // a time, without a call for each run.
      ++pos;
      continue;
    }
    if (direct != nullptr) {
      length = direct->writable_length(bytes, end, pos);
    } else {
      const std::string_view rest = text.substr(pos, end - pos);
      const unencodable_character found =
          find_unencodable(rest, held, encoding);
      if (found.offset == std::string_view::npos) return true;
      pos += found.offset;
    }
    if (length == 0) {
      if (offsets.size() == most) return false;
      offsets.push_back(pos);
      length = held == text_encoding::shift_jis
                   ? std::max<std::size_t>(1, shift_jis_length(bytes, end, pos))
                   : std::max<std::size_t>(
                         1, utf_8_sequence_length(bytes, end, pos));
    }
    pos += length;
  }
  return true;
}

}  // namespace

bool find_all_unencodable(std::string_view text, text_encoding held,
                          output_encoding encoding, std::size_t most,
                          std::vector<std::size_t>& offsets) {
  offsets.clear();
  if (writes_every_character(held, encoding)) return true;
  // A large text is read in two halves on two threads, cut after a line
  // feed, where a character starts in both encodings held.
  constexpr std::size_t worth_a_thread = std::size_t{4} << 20;
  const std::size_t feed = text.size() < worth_a_thread
                               ? std::string_view::npos
                               : text.find('\n', text.size() / 2);
  if (feed == std::string_view::npos) {
    return find_all_unencodable_here(text, 0, text.size(), held, encoding, most,
                                     offsets);
  }
  std::vector<std::size_t> second_offsets;
  bool first = false;
  bool second = false;
  run_beside(
      [&] {
        second = find_all_unencodable_here(text, feed + 1, text.size(), held,
                                           encoding, most, second_offsets);
      },
      [&] {
        first = find_all_unencodable_here(text, 0, feed + 1, held, encoding,
                                          most, offsets);
      });
  if (!first || !second || offsets.size() + second_offsets.size() > most) {
    return false;
  }
  offsets.insert(offsets.end(), second_offsets.begin(), second_offsets.end());
  return true;
}

// A character the target cannot write (against the contract) is left out.
void append_recoded(std::string_view text, text_encoding held,
                    output_encoding encoding, std::string& out) {
  if (encoding == same_as(held)) {
    out.append(text);
    return;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  if (held == text_encoding::shift_jis &&
      direct_from_shift_jis(encoding) != nullptr) {
    const std::size_t used = out.size();
    out.resize(used + 4 * size);
    out.resize(used + write_recoded(text, held, encoding, &out[used]));
    return;
  }
  coding c{};
  const encoder_table* table =
      table_coding(encoding, c) ? &encoder_of(c) : nullptr;
  std::size_t pos = 0;
  while (pos < size) {
    if (encoding != output_encoding::utf_16le) {
      const std::size_t end = ascii_run_end(bytes, size, pos);
      out.append(text, pos, end - pos);
      pos = end;
      if (pos == size) break;
    }
    const read_character read = read_held(bytes, size, pos, held);
    pos += read.length;
    if (read.code_point == no_character) continue;
    switch (encoding) {
      case output_encoding::utf_8: append_utf_8(out, read.code_point); break;
      case output_encoding::utf_16le:
        append_utf_16le(read.code_point, out);
        break;
      case output_encoding::shift_jis:
      case output_encoding::euc_jp:
      case output_encoding::euc_jis_2004:
        if (const std::uint32_t code = table->code_of(read.code_point)) {
          append_code(code, out);
        }
        break;
    }
  }
}

std::size_t write_recoded(std::string_view text, text_encoding held,
                          output_encoding encoding, char* out) {
  const shift_jis_direct* direct = held == text_encoding::shift_jis
                                       ? direct_from_shift_jis(encoding)
                                       : nullptr;
  if (direct == nullptr) {
    std::string recoded;
    append_recoded(text, held, encoding, recoded);
    return recoded.copy(out, recoded.size());
  }
  // The common case, a Shift_JIS export written in another encoding: a
  // table lookup a character, no code point.
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t used = 0;
  for (std::size_t pos = 0; pos < size;) {
    if (bytes[pos] < 0x80) {
      out[used++] = static_cast<char>(bytes[pos++]);
      continue;
    }
    std::size_t length = 0;
    const std::uint32_t code = direct->code_at(bytes, size, pos, length);
    pos += length;
    if (code > 0xFFFF) out[used++] = static_cast<char>(code >> 16u);
    if (code > 0xFF) out[used++] = static_cast<char>((code >> 8u) & 0xFFu);
    if (code != 0) out[used++] = static_cast<char>(code & 0xFFu);
  }
  return used;
}

// A byte that starts no character (brenlow writes none) becomes U+FFFD, as
// it is no character Emacs SKK could compare with one typed.
void append_utf_8_of(std::string_view text, output_encoding encoding,
                     std::string& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  switch (encoding) {
    case output_encoding::utf_8: out.append(text); return;
    case output_encoding::utf_16le:
      for (std::size_t pos = 0; pos + 1 < size; pos += 2) {
        std::uint32_t unit = bytes[pos] | (bytes[pos + 1] << 8u);
        if (is_high_surrogate(unit) && pos + 3 < size) {
          const std::uint32_t low = bytes[pos + 2] | (bytes[pos + 3] << 8u);
          if (is_low_surrogate(low)) {
            unit = joined_surrogates(unit, low);
            pos += 2;
          }
        }
        append_utf_8(out, unit);
      }
      return;
    case output_encoding::shift_jis:
    case output_encoding::euc_jp:
    case output_encoding::euc_jis_2004: break;
  }
  std::size_t pos = 0;
  while (pos < size) {
    const std::size_t end = ascii_run_end(bytes, size, pos);
    out.append(text, pos, end - pos);
    pos = end;
    if (pos == size) break;
    const read_character read =
        encoding == output_encoding::shift_jis
            ? read_cp932(bytes, size, pos)
            : read_euc(bytes, size, pos,
                       encoding == output_encoding::euc_jp
                           ? euc_jp_tables
                           : euc_jis_2004_tables);
    const code_of_two* two = read.code_point == no_character &&
                                     encoding == output_encoding::euc_jis_2004
                                 ? two_at(bytes, size, pos)
                                 : nullptr;
    if (two != nullptr) {
      append_utf_8(out, two->first);
      append_utf_8(out, two->second);
      pos += 2;
      continue;
    }
    append_utf_8(out,
                 read.code_point != no_character ? read.code_point : 0xFFFD);
    pos += read.length;
  }
}

std::size_t find_undecodable_as(std::string_view text,
                                output_encoding encoding) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  if (encoding == output_encoding::utf_16le) return std::string_view::npos;
  std::size_t pos = 0;
  while ((pos = ascii_run_end(bytes, size, pos)) < size) {
    read_character read{no_character, 1};
    switch (encoding) {
      case output_encoding::utf_8: read = read_utf_8(bytes, size, pos); break;
      case output_encoding::shift_jis:
        read = read_cp932(bytes, size, pos);
        break;
      case output_encoding::euc_jp:
        read = read_euc(bytes, size, pos, euc_jp_tables);
        break;
      case output_encoding::euc_jis_2004:
        read = read_euc(bytes, size, pos, euc_jis_2004_tables);
        if (read.code_point == no_character &&
            two_at(bytes, size, pos) != nullptr) {
          read = {two_at(bytes, size, pos)->first, 2};
        }
        break;
      case output_encoding::utf_16le: break;
    }
    if (read.code_point == no_character) return pos;
    pos += read.length;
  }
  return std::string_view::npos;
}

std::string_view with_pairs_spelled_out(std::string_view text,
                                        output_encoding encoding,
                                        std::string& buffer) {
  if (encoding != output_encoding::euc_jis_2004) return text;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  // The length of the EUC character at pos.
  const auto length_at = [&](std::size_t pos) -> std::size_t {
    const unsigned byte = bytes[pos];
    return byte < 0x80 ? 1 : byte == 0x8F ? 3 : 2;
  };
  std::size_t pos = 0;
  while (pos < size && two_at(bytes, size, pos) == nullptr) {
    pos += length_at(pos);
  }
  if (pos >= size) return text;
  const encoder_table& table = encoder_of(coding::euc_jis_2004);
  buffer.assign(text.substr(0, pos));
  while (pos < size) {
    const code_of_two* two = two_at(bytes, size, pos);
    const std::uint32_t first = two != nullptr ? table.code_of(two->first) : 0;
    const std::uint32_t second =
        two != nullptr ? table.code_of(two->second) : 0;
    const std::size_t length = std::min(length_at(pos), size - pos);
    if (first != 0 && second != 0) {
      append_code(first, buffer);
      append_code(second, buffer);
    } else {
      buffer.append(text.substr(pos, length));
    }
    pos += length;
  }
  return buffer;
}

}  // namespace brenlow
