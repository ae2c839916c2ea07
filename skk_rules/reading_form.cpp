#include "skk_rules/reading_form.h"

#include <cstdint>

#include "base/byte_facts.h"
#include "encodings/cp932_duplicates.h"
#include "encodings/text_encoding.h"

namespace brenlow {

namespace {

constexpr std::uint32_t voiced_mark = 0x309B;       // ゛
constexpr std::uint32_t semi_voiced_mark = 0x309C;  // ゜
constexpr std::uint32_t combining_voiced_mark = 0x3099;
constexpr std::uint32_t combining_semi_voiced_mark = 0x309A;
constexpr std::uint32_t full_width_colon = 0xFF1A;
constexpr std::uint32_t full_width_semicolon = 0xFF1B;
constexpr std::uint32_t full_width_question_mark = 0xFF1F;

// Half-width katakana U+FF61-U+FF9F (Shift_JIS 0xA1-0xDF): the full-width
// characters they stand for, kana as hiragana.
// clang-format off
constexpr std::uint16_t half_width_kana[63] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x3092, 0x3041, 0x3043,  // ｡-ｧ
    0x3045, 0x3047, 0x3049, 0x3083, 0x3085, 0x3087, 0x3063, 0x30FC,  // ｨ-ｰ
    0x3042, 0x3044, 0x3046, 0x3048, 0x304A, 0x304B, 0x304D, 0x304F,  // ｱ-ｸ
    0x3051, 0x3053, 0x3055, 0x3057, 0x3059, 0x305B, 0x305D, 0x305F,  // ｹ-ﾀ
    0x3061, 0x3064, 0x3066, 0x3068, 0x306A, 0x306B, 0x306C, 0x306D,  // ﾁ-ﾈ
    0x306E, 0x306F, 0x3072, 0x3075, 0x3078, 0x307B, 0x307E, 0x307F,  // ﾉ-ﾐ
    0x3080, 0x3081, 0x3082, 0x3084, 0x3086, 0x3088, 0x3089, 0x308A,  // ﾑ-ﾘ
    0x308B, 0x308C, 0x308D, 0x308F, 0x3093, voiced_mark,             // ﾙ-ﾞ
    semi_voiced_mark};                                               // ﾟ
constexpr unsigned half_width_voiced = 0x3D;       // ﾞ
constexpr unsigned half_width_semi_voiced = 0x3E;  // ﾟ
// clang-format on

// は ひ ふ へ ほ: the voiced form is the next code point, the semi-voiced
// form the one after.
bool takes_semi_voiced_mark(std::uint32_t kana) {
  return kana >= 0x306F && kana <= 0x307B && (kana - 0x306F) % 3 == 0;
}

// か-ぢ, つ て と and は-ほ: the voiced form is the next code point.
bool takes_voiced_mark(std::uint32_t kana) {
  return (kana >= 0x304B && kana <= 0x3061 && kana % 2 == 1) ||
         kana == 0x3064 || kana == 0x3066 || kana == 0x3068 ||
         takes_semi_voiced_mark(kana);
}

// Appends code_point, one of ASCII, hiragana or the signs above, in
// encoding.
void append_char(std::string& out, std::uint32_t code_point,
                 text_encoding encoding) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
    return;
  }
  if (encoding == text_encoding::utf_8) {
    append_utf_8(out, code_point);
    return;
  }
  unsigned code = 0;
  if (code_point >= 0x3041 && code_point <= 0x3093) {
    code = 0x829F + (code_point - 0x3041);
  } else {
    switch (code_point) {
      case 0x3001: code = 0x8141; break;  // 、
      case 0x3002: code = 0x8142; break;  // 。
      case 0x30FB: code = 0x8145; break;  // ・
      case 0x309B: code = 0x814A; break;  // ゛
      case 0x309C: code = 0x814B; break;  // ゜
      case 0x309D: code = 0x8154; break;  // ゝ
      case 0x309E: code = 0x8155; break;  // ゞ
      case full_width_colon: code = 0x8146; break;
      case full_width_semicolon: code = 0x8147; break;
      case full_width_question_mark: code = 0x8148; break;
      case 0x30FC: code = 0x815B; break;  // ー
      case 0x300C: code = 0x8175; break;  // 「
      case 0x300D: code = 0x8176; break;  // 」
      default: return;  // not reached: nothing else is ever appended
    }
  }
  out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

// Small katakana U+31F0-U+31FF (for Ainu): the full-size hiragana a user
// types for each.
// clang-format off
constexpr std::uint16_t small_katakana[16] = {
    0x304F, 0x3057, 0x3059, 0x3068, 0x306C, 0x306F, 0x3072, 0x3075,  // ㇰ-ㇷ
    0x3078, 0x307B, 0x3080, 0x3089, 0x308A, 0x308B, 0x308C, 0x308D}; // ㇸ-ㇿ
// clang-format on

// Characters a reading in ▽ mode is told by: hiragana, katakana, their
// signs and the signs only ▽ mode gives ("、。「」"), half-width katakana
// and the small katakana.
bool is_kana(std::uint32_t code_point) {
  return (code_point >= 0x3041 && code_point <= 0x30FF) ||
         code_point == 0x3001 || code_point == 0x3002 || code_point == 0x300C ||
         code_point == 0x300D ||
         (code_point >= 0xFF61 && code_point <= 0xFF9F) ||
         (code_point >= 0x31F0 && code_point <= 0x31FF);
}

// What the key of the ASCII character ascii gives in ▽ mode, where it is no
// romaji; in abbrev mode every key gives its own character.
std::uint32_t key_in_kana_mode(std::uint32_t ascii) {
  switch (ascii) {
    case ',': return 0x3001;  // 、
    case '.': return 0x3002;  // 。
    case '-': return 0x30FC;  // ー
    case '[': return 0x300C;  // 「
    case ']': return 0x300D;  // 」
    case ':': return full_width_colon;
    case ';': return full_width_semicolon;
    case '?': return full_width_question_mark;  // libskk; not in Emacs SKK
    default: return ascii;
  }
}

// Up to three code points a character becomes.
struct typed_chars {
  std::uint32_t code_points[3] = {};
  int count = 0;
  void add(std::uint32_t code_point) { code_points[count++] = code_point; }
};

// The hiragana a user types for the kana code_point (katakana, small
// katakana, ゔ), or nothing for any other character.
typed_chars typed_kana(std::uint32_t code_point) {
  typed_chars typed;
  if (code_point == 0x30F4 || code_point == 0x3094) {  // ヴ ゔ
    typed.add(0x3046);                                 // う
    typed.add(voiced_mark);
  } else if (code_point == 0x30F5) {  // ヵ
    typed.add(0x304B);
  } else if (code_point == 0x30F6) {  // ヶ
    typed.add(0x3051);
  } else if (code_point >= 0x30F7 && code_point <= 0x30FA) {  // ヷヸヹヺ
    typed.add(0x308F + (code_point - 0x30F7));                // わゐゑを
    typed.add(voiced_mark);
  } else if ((code_point >= 0x30A1 && code_point <= 0x30F3) ||
             code_point == 0x30FD || code_point == 0x30FE) {  // ァ-ン ヽ ヾ
    typed.add(code_point - 0x60);
  } else if (code_point >= 0x31F0 && code_point <= 0x31FF) {
    typed.add(small_katakana[code_point - 0x31F0]);
  }
  return typed;
}

// Joins a combining voicing mark to the typed kana before it, where they
// make a character a user types; false leaves both as they are.
bool join_combining_mark(typed_chars& typed, std::uint32_t mark) {
  if (typed.count != 1) return false;
  std::uint32_t& kana = typed.code_points[0];
  if (mark == combining_semi_voiced_mark) {
    if (!takes_semi_voiced_mark(kana)) return false;
    kana += 2;
    return true;
  }
  if (takes_voiced_mark(kana)) {
    kana += 1;
  } else if (kana == 0x3046 || (kana >= 0x308F && kana <= 0x3092)) {
    typed.add(voiced_mark);  // う゛, わ゛ ゐ゛ ゑ゛ を゛ as a user types them
  } else {
    return false;
  }
  return true;
}

// The character a Shift_JIS pair stands for, where typed_reading looks at
// it (kana and their signs, full-width ASCII, the ideographic space, ￥);
// 0 for any other pair. Kana, digits and letters are in runs; the signs are
// not.
std::uint32_t shift_jis_code_point(unsigned lead, unsigned trail) {
  if (lead == 0x83 && trail >= 0x40 && trail <= 0x96 && trail != 0x7F) {
    return 0x30A1 + trail - (trail < 0x7F ? 0x40 : 0x41);
  }
  if (lead == 0x82) {
    if (trail >= 0x4F && trail <= 0x58) return 0xFF10 + trail - 0x4F;
    if (trail >= 0x60 && trail <= 0x79) return 0xFF21 + trail - 0x60;
    if (trail >= 0x81 && trail <= 0x9A) return 0xFF41 + trail - 0x81;
    if (trail >= 0x9F && trail <= 0xF1) return 0x3041 + trail - 0x9F;
    return 0;
  }
  if ((lead == 0xEE && trail == 0xFB) || (lead == 0xFA && trail == 0x56)) {
    return 0xFF07;  // ＇
  }
  if ((lead == 0xEE && trail == 0xFC) || (lead == 0xFA && trail == 0x57)) {
    return 0xFF02;  // ＂
  }
  if (lead != 0x81) return 0;
  static constexpr struct {
    unsigned char trail;
    char ascii;
  } signs[] = {
      {0x43, ','},  {0x44, '.'}, {0x46, ':'}, {0x47, ';'}, {0x48, '?'},
      {0x49, '!'},  {0x4D, '`'}, {0x4F, '^'}, {0x51, '_'}, {0x5E, '/'},
      {0x5F, '\\'}, {0x60, '~'}, {0x62, '|'}, {0x69, '('}, {0x6A, ')'},
      {0x6D, '['},  {0x6E, ']'}, {0x6F, '{'}, {0x70, '}'}, {0x7B, '+'},
      {0x7C, '-'},  {0x81, '='}, {0x83, '<'}, {0x84, '>'}, {0x90, '$'},
      {0x93, '%'},  {0x94, '#'}, {0x95, '&'}, {0x96, '*'}, {0x97, '@'}};
  static constexpr struct {
    unsigned char trail;
    std::uint16_t code_point;
  } kana_signs[] = {{0x40, 0x3000}, {0x41, 0x3001}, {0x42, 0x3002},
                    {0x45, 0x30FB}, {0x4A, 0x309B}, {0x4B, 0x309C},
                    {0x52, 0x30FD}, {0x53, 0x30FE}, {0x54, 0x309D},
                    {0x55, 0x309E}, {0x5B, 0x30FC}, {0x75, 0x300C},
                    {0x76, 0x300D}, {0x8F, 0xFFE5}};
  for (const auto& sign : signs) {
    if (sign.trail == trail) return 0xFEE0 + static_cast<unsigned>(sign.ascii);
  }
  for (const auto& sign : kana_signs) {
    if (sign.trail == trail) return sign.code_point;
  }
  return 0;
}

// A character of the reading: its code point where typed_reading looks at
// it (0 for others: kanji in Shift_JIS, bytes that are no character) and
// its length in bytes.
struct reading_char {
  std::uint32_t code_point;
  std::size_t length;
};

reading_char char_at(const unsigned char* bytes, std::size_t size,
                     std::size_t pos, text_encoding encoding) {
  const unsigned byte = bytes[pos];
  if (byte < 0x80) return {byte, 1};
  if (encoding == text_encoding::utf_8) {
    const decoded_character decoded = decode_utf_8(bytes, size, pos);
    if (decoded.length == 0) return {0, 1};
    return {static_cast<std::uint32_t>(decoded.code_point), decoded.length};
  }
  if (byte >= 0xA1 && byte <= 0xDF) return {0xFF61 + (byte - 0xA1), 1};
  if (starts_shift_jis_pair(static_cast<unsigned char>(byte)) &&
      pos + 1 < size) {
    return {shift_jis_code_point(byte, bytes[pos + 1]), 2};
  }
  return {0, 1};
}

// Tells the reasons a client cannot type a reading, character by character
// of its typed form.
class typability {
 public:
  explicit typability(bool kana_mode) : kana_mode_(kana_mode) {}

  // The next character of the typed form; 0 for one this does not know.
  void add(std::uint32_t code_point) {
    const bool first = index_++ == 0;
    if (pending_suffix_mark_) mark(untypable_reason::conversion_start);
    pending_suffix_mark_ = false;
    if (!kana_mode_) {
      if (code_point == 0 || code_point >= 0x80) {
        mark(untypable_reason::no_key);
      }
      return;
    }
    switch (code_point) {
      case 0x3001:
      case 0x3002:
      case 0x300D:
      case 0x3092:  // 、。」を
      case full_width_colon:
      case full_width_semicolon:
        if (!first) mark(untypable_reason::conversion_start);
        return;
      case '>':
        // Ends the reading as a prefix mark: typable only last.
        pending_suffix_mark_ = !first;
        return;
      case full_width_question_mark:
        mark(untypable_reason::emacs_skk_keys);
        [[fallthrough]];
      case '!':
      case ')':
      case '}':
        if (!first) mark(untypable_reason::libskk_conversion_start);
        return;
      case '<':
      case '$':
      case '/':
      case '\\': mark(untypable_reason::emacs_skk_keys); return;
      case '@':
        if (first) mark(untypable_reason::emacs_skk_keys);
        return;
      case 0xFFE5:  // ￥
        mark(untypable_reason::no_key);
        return;
      default:
        if ((code_point | 0x20) >= 'a' && (code_point | 0x20) <= 'z') {
          mark(untypable_reason::letters_among_kana);
        }
    }
  }
  unsigned reasons() const { return reasons_; }

 private:
  void mark(untypable_reason reason) { reasons_ |= untypable_bit(reason); }

  bool kana_mode_;
  std::size_t index_ = 0;
  bool pending_suffix_mark_ = false;
  unsigned reasons_ = 0;
};

// The typed_* readers below leave unchanged bytes where they are and copy
// them to out only once a character changes: most readings need nothing.
struct lazy_copy {
  std::string_view reading;
  std::string& out;
  std::size_t copied = 0;  // reading is in out up to here
  bool changed = false;

  // Brings out up to pos, where a changed character starts.
  std::string& at(std::size_t pos) {
    out.append(reading, copied, pos - copied);
    copied = pos;
    return out;
  }
  // The changed character ends at pos.
  void skip_to(std::size_t pos) {
    copied = pos;
    changed = true;
  }
  bool finish() {
    if (changed) out.append(reading, copied, std::string_view::npos);
    return changed;
  }
};

bool holds_kana(const unsigned char* bytes, std::size_t size,
                text_encoding encoding) {
  for (std::size_t pos = 0; pos < size;) {
    const reading_char c = char_at(bytes, size, pos, encoding);
    if (is_kana(c.code_point)) return true;
    pos += c.length;
  }
  return false;
}

}  // namespace

const char* untypable_message(untypable_reason reason) {
  switch (reason) {
    case untypable_reason::conversion_start:
      return "hold 、。：；」を or > inside, where both clients start the "
             "conversion";
    case untypable_reason::libskk_conversion_start:
      return "hold ! ) } or ？ after the first character, where libskk starts "
             "the conversion";
    case untypable_reason::emacs_skk_keys:
      return "hold ？ < $ / \\ or start with @, which are commands in Emacs "
             "SKK";
    case untypable_reason::letters_among_kana:
      return "hold ASCII letters among kana, which ▽ mode takes as romaji";
    case untypable_reason::no_key:
      return "hold a character no key gives (￥, or other than ASCII in a "
             "reading without kana)";
  }
  return "";
}

// True for a reading of hiragana but "を", and ASCII digits, alone: most of
// all readings (postal codes are digits), typed as they stand by every
// client, in kana mode or not.
bool plain_hiragana_or_digits(const unsigned char* bytes, std::size_t size,
                              text_encoding encoding) {
  const auto digit = [](unsigned byte) { return byte >= '0' && byte <= '9'; };
  std::size_t pos = 0;
  if (encoding == text_encoding::shift_jis) {
    while (pos < size) {
      if (digit(bytes[pos])) {
        ++pos;
        continue;
      }
      if (size - pos < 2 || bytes[pos] != 0x82 || bytes[pos + 1] < 0x9F ||
          bytes[pos + 1] > 0xF1 || bytes[pos + 1] == 0xF0) {
        return false;
      }
      pos += 2;
    }
    return true;
  }
  while (pos < size) {
    if (digit(bytes[pos])) {
      ++pos;
      continue;
    }
    // U+3041-U+307F, U+3080-U+3093 but U+3092.
    if (size - pos < 3) return false;
    const unsigned second = bytes[pos + 1];
    const unsigned third = bytes[pos + 2];
    if (bytes[pos] != 0xE3 ||
        !((second == 0x81 && third >= 0x81 && third <= 0xBF) ||
          (second == 0x82 && third >= 0x80 && third <= 0x93 &&
           third != 0x92))) {
      return false;
    }
    pos += 3;
  }
  return true;
}

typed_form typed_reading(std::string_view reading, text_encoding encoding,
                         std::string& out) {
  out.clear();
  const auto* bytes = reinterpret_cast<const unsigned char*>(reading.data());
  const std::size_t size = reading.size();
  if (plain_hiragana_or_digits(bytes, size, encoding)) return typed_form{};
  // A reading that starts with ";" cannot be an SKK line in abbrev mode's
  // ASCII; ▽ mode types it with "；" first.
  const bool kana_mode =
      holds_kana(bytes, size, encoding) ||
      (size != 0 &&
       (bytes[0] == ';' ||
        char_at(bytes, size, 0, encoding).code_point == full_width_semicolon));
  typability typable(kana_mode);
  lazy_copy copy{reading, out};
  for (std::size_t pos = 0; pos < size;) {
    const reading_char c = char_at(bytes, size, pos, encoding);
    const std::uint32_t code_point = c.code_point;
    std::size_t length = c.length;
    typed_chars typed;
    if (code_point >= 0xFF61 && code_point <= 0xFF9F) {
      const reading_char after =
          pos + length < size ? char_at(bytes, size, pos + length, encoding)
                              : reading_char{0, 0};
      const int next = after.code_point >= 0xFF61 && after.code_point <= 0xFF9F
                           ? static_cast<int>(after.code_point - 0xFF61)
                           : -1;
      const std::uint32_t full = half_width_kana[code_point - 0xFF61];
      if (next == static_cast<int>(half_width_voiced) &&
          takes_voiced_mark(full)) {
        typed.add(full + 1);
        length += after.length;
      } else if (next == static_cast<int>(half_width_semi_voiced) &&
                 takes_semi_voiced_mark(full)) {
        typed.add(full + 2);
        length += after.length;
      } else {
        typed.add(full);
      }
    } else if ((code_point >= 0xFF01 && code_point <= 0xFF5E) ||
               (code_point >= 0x21 && code_point <= 0x7E)) {
      const std::uint32_t ascii =
          code_point >= 0xFF01 ? code_point - 0xFEE0 : code_point;
      const std::uint32_t key = kana_mode ? key_in_kana_mode(ascii) : ascii;
      if (key != code_point) typed.add(key);
    } else if (code_point == 0x3000) {
      typed.add(' ');
    } else {
      typed = typed_kana(code_point);
    }
    // A combining voicing mark after kana (UTF-8 only: Shift_JIS has none).
    if (encoding == text_encoding::utf_8 && pos + length + 3 <= size) {
      const reading_char after = char_at(bytes, size, pos + length, encoding);
      if (after.code_point == combining_voiced_mark ||
          after.code_point == combining_semi_voiced_mark) {
        typed_chars joined = typed;
        if (joined.count == 0 && code_point >= 0x3041 && code_point <= 0x3096) {
          joined.add(code_point);
        }
        if (join_combining_mark(joined, after.code_point)) {
          typed = joined;
          length += after.length;
        }
      }
    }
    if (encoding == text_encoding::shift_jis && length == 2 &&
        typed.count == 0 && may_be_cp932_duplicate(bytes[pos])) {
      const unsigned canonical =
          canonical_cp932_pair(bytes[pos], bytes[pos + 1]);
      if (canonical != (unsigned{bytes[pos]} << 8 | bytes[pos + 1])) {
        std::string& at = copy.at(pos);
        at.push_back(static_cast<char>(canonical >> 8));
        at.push_back(static_cast<char>(canonical & 0xFF));
        copy.skip_to(pos + 2);
      }
    }
    if (typed.count == 0) {
      typable.add(code_point);
    } else {
      std::string& at = copy.at(pos);
      for (int k = 0; k < typed.count; ++k) {
        append_char(at, typed.code_points[k], encoding);
        typable.add(typed.code_points[k]);
      }
      copy.skip_to(pos + length);
    }
    pos += length;
  }
  typed_form form;
  form.changed = copy.finish();
  form.untypable = typable.reasons();
  return form;
}

}  // namespace brenlow
