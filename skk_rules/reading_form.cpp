#include "skk_rules/reading_form.h"

#include <cstdint>

#include "encodings/text_encoding.h"

namespace brenlow {

namespace {

constexpr std::uint32_t voiced_mark = 0x309B;       // ゛
constexpr std::uint32_t semi_voiced_mark = 0x309C;  // ゜

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
      case 0x30FC: code = 0x815B; break;  // ー
      case 0x300C: code = 0x8175; break;  // 「
      case 0x300D: code = 0x8176; break;  // 」
      default: return;  // not reached: nothing else is ever appended
    }
  }
  out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

// True for the characters append_typed changes.
bool changes_when_typed(std::uint32_t code_point) {
  return code_point == 0x3000 ||
         (code_point >= 0xFF01 && code_point <= 0xFF5E &&
          code_point != 0xFF1A && code_point != 0xFF1B &&
          code_point != 0xFF1F) ||
         (code_point >= 0x30A1 && code_point <= 0x30F6) ||
         code_point == 0x30FD || code_point == 0x30FE || code_point == 0x3094;
}

// Appends what an SKK user types for the full-width character code_point;
// returns false when it is typed as it stands.
bool append_typed(std::string& out, std::uint32_t code_point,
                  text_encoding encoding) {
  if (code_point == 0x3000) {  // ideographic space
    out.push_back(' ');
  } else if (code_point >= 0xFF01 && code_point <= 0xFF5E) {
    // "：" and "；" are what ":" and ";" give in ▽ mode; "？" is what "?"
    // gives in libskk (Emacs SKK has no way to type either form).
    if (code_point == 0xFF1A || code_point == 0xFF1B || code_point == 0xFF1F) {
      return false;
    }
    out.push_back(static_cast<char>(code_point - 0xFEE0));
  } else if (code_point == 0x30F4 || code_point == 0x3094) {  // ヴ ゔ
    append_char(out, 0x3046, encoding);                       // う
    append_char(out, voiced_mark, encoding);
  } else if (code_point == 0x30F5) {  // ヵ
    append_char(out, 0x304B, encoding);
  } else if (code_point == 0x30F6) {  // ヶ
    append_char(out, 0x3051, encoding);
  } else if ((code_point >= 0x30A1 && code_point <= 0x30F3) ||
             code_point == 0x30FD || code_point == 0x30FE) {  // ァ-ン ヽ ヾ
    append_char(out, code_point - 0x60, encoding);
  } else {
    return false;
  }
  return true;
}

// Appends the half-width katakana number kana (0 for U+FF61), joined with
// the half-width voicing mark number next (or -1) where they make one
// character. Returns how many half-width characters it took.
int append_half_width(std::string& out, unsigned kana, int next,
                      text_encoding encoding) {
  const std::uint32_t full = half_width_kana[kana];
  if (next == static_cast<int>(half_width_voiced) && takes_voiced_mark(full)) {
    append_char(out, full + 1, encoding);
    return 2;
  }
  if (next == static_cast<int>(half_width_semi_voiced) &&
      takes_semi_voiced_mark(full)) {
    append_char(out, full + 2, encoding);
    return 2;
  }
  append_char(out, full, encoding);
  return 1;
}

// The character a Shift_JIS pair stands for, where typed_reading may change
// it (katakana, full-width ASCII, the ideographic space, ヽ ヾ); 0 for any
// other pair. Kana, digits and letters are in runs; the signs are not.
std::uint32_t shift_jis_code_point(unsigned lead, unsigned trail) {
  if (lead == 0x83 && trail >= 0x40 && trail <= 0x96 && trail != 0x7F) {
    return 0x30A1 + trail - (trail < 0x7F ? 0x40 : 0x41);
  }
  if (lead == 0x82) {
    if (trail >= 0x4F && trail <= 0x58) return 0xFF10 + trail - 0x4F;
    if (trail >= 0x60 && trail <= 0x79) return 0xFF21 + trail - 0x60;
    if (trail >= 0x81 && trail <= 0x9A) return 0xFF41 + trail - 0x81;
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
  if (trail == 0x40) return 0x3000;
  if (trail == 0x52 || trail == 0x53) return 0x30FD + trail - 0x52;  // ヽ ヾ
  for (const auto& sign : signs) {
    if (sign.trail == trail) return 0xFEE0 + static_cast<unsigned>(sign.ascii);
  }
  return 0;
}

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

bool typed_shift_jis(std::string_view reading, std::string& out) {
  constexpr auto encoding = text_encoding::shift_jis;
  const auto* bytes = reinterpret_cast<const unsigned char*>(reading.data());
  const std::size_t size = reading.size();
  lazy_copy copy{reading, out};
  for (std::size_t pos = 0; pos < size;) {
    const unsigned byte = bytes[pos];
    // Hiragana, most of all readings, never change.
    if (byte == 0x82 && pos + 1 < size && bytes[pos + 1] >= 0x9F) {
      pos += 2;
      continue;
    }
    if (byte >= 0xA1 && byte <= 0xDF) {
      const int next =
          pos + 1 < size && bytes[pos + 1] >= 0xA1 && bytes[pos + 1] <= 0xDF
              ? static_cast<int>(bytes[pos + 1] - 0xA1)
              : -1;
      pos += static_cast<std::size_t>(
          append_half_width(copy.at(pos), byte - 0xA1, next, encoding));
      copy.skip_to(pos);
      continue;
    }
    if (((byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0) && pos + 1 < size) {
      // Nor do kanji.
      if (byte >= 0x84 && byte != 0xEE && byte != 0xFA) {
        pos += 2;
        continue;
      }
      const std::uint32_t code_point =
          shift_jis_code_point(byte, bytes[pos + 1]);
      if (changes_when_typed(code_point) &&
          append_typed(copy.at(pos), code_point, encoding)) {
        copy.skip_to(pos + 2);
      }
      pos += 2;
      continue;
    }
    ++pos;
  }
  return copy.finish();
}

// The code point of the three-byte UTF-8 sequence at pos that starts with
// 0xE3 or 0xEF (the blocks of kana and of full-width forms), or 0.
std::uint32_t utf_8_code_point(const unsigned char* bytes, std::size_t size,
                               std::size_t pos) {
  const unsigned lead = bytes[pos];
  if ((lead != 0xE3 && lead != 0xEF) || size - pos < 3 ||
      (bytes[pos + 1] & 0xC0) != 0x80 || (bytes[pos + 2] & 0xC0) != 0x80) {
    return 0;
  }
  return (lead & 0x0Fu) << 12 | (bytes[pos + 1] & 0x3Fu) << 6 |
         (bytes[pos + 2] & 0x3Fu);
}

bool typed_utf_8(std::string_view reading, std::string& out) {
  constexpr auto encoding = text_encoding::utf_8;
  const auto* bytes = reinterpret_cast<const unsigned char*>(reading.data());
  const std::size_t size = reading.size();
  lazy_copy copy{reading, out};
  for (std::size_t pos = 0; pos < size;) {
    // Hiragana (U+3041-U+309F), most of all readings, never change.
    if (bytes[pos] == 0xE3 && size - pos >= 3 &&
        (bytes[pos + 1] == 0x81 ||
         (bytes[pos + 1] == 0x82 && bytes[pos + 2] < 0xA0 &&
          bytes[pos + 2] != 0x94))) {
      pos += 3;
      continue;
    }
    const std::uint32_t code_point = utf_8_code_point(bytes, size, pos);
    if (code_point >= 0xFF61 && code_point <= 0xFF9F) {
      const std::uint32_t after =
          pos + 3 < size ? utf_8_code_point(bytes, size, pos + 3) : 0;
      const int next = after >= 0xFF61 && after <= 0xFF9F
                           ? static_cast<int>(after - 0xFF61)
                           : -1;
      pos += 3 * static_cast<std::size_t>(append_half_width(
                     copy.at(pos), code_point - 0xFF61, next, encoding));
      copy.skip_to(pos);
      continue;
    }
    if (code_point == 0) {
      ++pos;
      continue;
    }
    if (changes_when_typed(code_point) &&
        append_typed(copy.at(pos), code_point, encoding)) {
      copy.skip_to(pos + 3);
    }
    pos += 3;
  }
  return copy.finish();
}

}  // namespace

bool typed_reading(std::string_view reading, text_encoding encoding,
                   std::string& out) {
  out.clear();
  return encoding == text_encoding::shift_jis ? typed_shift_jis(reading, out)
                                              : typed_utf_8(reading, out);
}

}  // namespace brenlow
