// libFuzzer target: arbitrary bytes through the whole conversion, in memory,
// checked against a plain line-by-line reading of the same text.
//
// The first byte picks the layout (bit 0: sorted, as Emacs SKK compares,
// or in byte order when bit 7 is set as well; bit 1: LF line ends), the
// encoding (bits 2-3: 1 forces Shift_JIS, 2 UTF-8, 3 UTF-16LE, 0 a guess)
// and the rules (bit 4: readings kept raw, bit 5: CSV quotes, bit 6: no
// annotations); the rest is the dictionary file. When the encoding is a
// guess, the same bytes also make a dictionary of two pieces in different
// encodings joined as cat joins files (mixed_encodings). Shift_JIS is
// checked against the system's iconv (CP932), the reader SKK clients use.
// Any broken promise aborts, so libFuzzer keeps the input that broke it.
#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/output_stream.h"
#include "conversion/convert_text.h"
#include "dictionary/merge_dictionary.h"
#include "dictionary/reading_table.h"
#include "dictionary/recode_table.h"
#include "dictionary/skk_order.h"
#include "dictionary/skk_writer.h"
#include "encodings/decodable.h"
#include "encodings/output_encoding.h"
#include "encodings/text_encoding.h"
#include "formats/tab_text.h"
#include "skk_dictionary/skk_dictionary.h"
#include "skk_rules/reading_form.h"
#include "skk_rules/skk_entry.h"

namespace brenlow {

namespace {

// The output of the input being checked, shown when a check fails.
std::string_view output_checked;

void check(bool ok, const char* what) {
  if (!ok) {
    (void)std::fprintf(stderr, "broken: %s\noutput: ", what);
    for (unsigned char c : output_checked) {
      if (c >= 0x20 && c < 0x7F && c != '\\') {
        (void)std::fputc(c, stderr);
      } else {
        (void)std::fprintf(stderr, "\\x%02x", c);
      }
    }
    (void)std::fputc('\n', stderr);
    std::abort();
  }
}

bool two_byte_lead(unsigned char b, text_encoding encoding) {
  return encoding == text_encoding::shift_jis &&
         ((b >= 0x81 && b <= 0x9F) || b >= 0xE0);
}

// A Shift_JIS reader such as an SKK client's: a lead byte makes a pair only
// with a byte that can follow it.
bool valid_pair(std::string_view text, std::size_t pos) {
  if (pos + 1 >= text.size()) return false;
  const auto second = static_cast<unsigned char>(text[pos + 1]);
  return (second >= 0x40 && second <= 0x7E) ||
         (second >= 0x80 && second <= 0xFC);
}

// Converts text with iconv from one encoding to another; false where it
// fails (a byte sequence without a character).
bool convert_with_iconv(std::string_view text, const char* to, const char* from,
                        std::string& out) {
  out.clear();
  iconv_t cd = iconv_open(to, from);
  check(reinterpret_cast<std::intptr_t>(cd) != -1,
        "iconv cannot convert CP932");
  std::string in(text);
  char* in_ptr = in.data();
  std::size_t in_left = in.size();
  std::string buffer(in.size() * 4 + 16, '\0');
  char* out_ptr = buffer.data();
  std::size_t out_left = buffer.size();
  const std::size_t done = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  if (done == static_cast<std::size_t>(-1) || in_left != 0) return false;
  out.assign(buffer.data(), buffer.size() - out_left);
  return true;
}

// The characters of a line as code points (UTF-8) or as bytes and pairs
// (Shift_JIS, a pair as lead << 8 | trail); false when a byte does not
// decode. The plain reading a decoder does, byte by byte; Shift_JIS must
// also convert with iconv.
bool decode_line(std::string_view line, text_encoding encoding,
                 std::vector<std::uint32_t>& chars) {
  chars.clear();
  const auto* b = reinterpret_cast<const unsigned char*>(line.data());
  const std::size_t n = line.size();
  for (std::size_t i = 0; i < n;) {
    if (encoding == text_encoding::shift_jis) {
      if ((b[i] >= 0x81 && b[i] <= 0x9F) || (b[i] >= 0xE0 && b[i] <= 0xFC)) {
        if (!valid_pair(line, i)) return false;
        chars.push_back(static_cast<std::uint32_t>(b[i] << 8 | b[i + 1]));
        i += 2;
      } else {
        if (b[i] >= 0xFD) return false;
        chars.push_back(b[i++]);
      }
      continue;
    }
    std::size_t len = b[i] < 0x80   ? 1
                      : b[i] < 0xC2 ? 0
                      : b[i] < 0xE0 ? 2
                      : b[i] < 0xF0 ? 3
                      : b[i] < 0xF5 ? 4
                                    : 0;
    if (len == 0 || i + len > n) return false;
    std::uint32_t cp = len == 1 ? b[i] : b[i] & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
      if ((b[i + k] & 0xC0) != 0x80) return false;
      cp = cp << 6 | (b[i + k] & 0x3F);
    }
    const std::uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    chars.push_back(cp);
    i += len;
  }
  std::string unused;
  return encoding != text_encoding::shift_jis ||
         convert_with_iconv(line, "UTF-8", "CP932", unused);
}

// True for a UTF-8 line with a sequence of three or four bytes: a guessed
// Shift_JIS text skips it.
bool reads_as_utf_8_model(std::string_view line) {
  std::vector<std::uint32_t> chars;
  if (!decode_line(line, text_encoding::utf_8, chars)) return false;
  return std::any_of(chars.begin(), chars.end(),
                     [](std::uint32_t c) { return c >= 0x800; });
}

void append_code_point(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The typed form of a UTF-8 reading, from the kana tables as people read
// them: half-width katakana stand for the katakana of this string, in
// order from U+FF61, and katakana are hiragana 0x60 code points up.
const char32_t half_width_as_full[] =
    U"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテト"
    U"ナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
constexpr std::u32string_view voiced_kana =
    U"カキクケコサシスセソタチツテトハヒフヘホ";
constexpr std::u32string_view semi_voiced_kana = U"ハヒフヘホ";

// Readings with kana are typed in ▽ mode, others in abbrev mode.
bool model_is_kana(std::uint32_t cp) {
  return (cp >= 0x3041 && cp <= 0x30FF) || cp == U'、' || cp == U'。' ||
         cp == U'「' || cp == U'」' || (cp >= 0xFF61 && cp <= 0xFF9F) ||
         (cp >= 0x31F0 && cp <= 0x31FF);
}

// What ▽ mode's key gives for an ASCII character, by the key table.
std::uint32_t model_kana_key(std::uint32_t ascii) {
  constexpr std::u32string_view keys = U",.-[]:;?";
  constexpr std::u32string_view gives = U"、。ー「」：；？";
  const std::size_t at = keys.find(static_cast<char32_t>(ascii));
  return at == std::u32string_view::npos ? ascii : gives[at];
}

void append_typed_kana(std::vector<std::uint32_t>& out, std::uint32_t cp,
                       bool kana_mode) {
  constexpr std::u32string_view small = U"ㇰㇱㇲㇳㇴㇵㇶㇷㇸㇹㇺㇻㇼㇽㇾㇿ";
  constexpr std::u32string_view small_typed =
      U"くしすとぬはひふへほむらりるれろ";
  constexpr std::u32string_view wa_row = U"ヷヸヹヺ";
  if (cp == U'ヴ' || cp == U'ゔ') {
    out.push_back(U'う');
    out.push_back(U'゛');
  } else if (cp == U'ヵ') {
    out.push_back(U'か');
  } else if (cp == U'ヶ') {
    out.push_back(U'け');
  } else if (wa_row.find(static_cast<char32_t>(cp)) != wa_row.npos) {
    out.push_back(U"わゐゑを"[wa_row.find(static_cast<char32_t>(cp))]);
    out.push_back(U'゛');
  } else if (small.find(static_cast<char32_t>(cp)) != small.npos) {
    out.push_back(small_typed[small.find(static_cast<char32_t>(cp))]);
  } else if ((cp >= U'ァ' && cp <= U'ン') || cp == U'ヽ' || cp == U'ヾ') {
    out.push_back(cp - 0x60);
  } else if (cp == 0x3000) {
    out.push_back(' ');
  } else if ((cp >= 0xFF01 && cp <= 0xFF5E) || (cp >= 0x21 && cp <= 0x7E)) {
    const std::uint32_t ascii = cp >= 0xFF01 ? cp - 0xFEE0 : cp;
    out.push_back(kana_mode ? model_kana_key(ascii) : ascii);
  } else {
    out.push_back(cp);
  }
}

// Joins a combining voicing mark to the one typed character before it.
bool model_join(std::vector<std::uint32_t>& typed, std::size_t added,
                std::uint32_t mark) {
  constexpr std::u32string_view voiced =
      U"かきくけこさしすせそたちつてとはひふへほ";
  constexpr std::u32string_view semi_voiced = U"はひふへほ";
  constexpr std::u32string_view marked = U"うわゐゑを";
  if (added != 1) return false;
  const auto kana = static_cast<char32_t>(typed.back());
  if (mark == 0x309A) {
    if (semi_voiced.find(kana) == semi_voiced.npos) return false;
    typed.back() += 2;
  } else if (voiced.find(kana) != voiced.npos) {
    typed.back() += 1;
  } else if (marked.find(kana) != marked.npos) {
    typed.push_back(U'゛');
  } else {
    return false;
  }
  return true;
}

std::string typed_utf_8(const std::vector<std::uint32_t>& chars) {
  bool kana_mode = !chars.empty() && (chars[0] == ';' || chars[0] == U'；');
  for (std::uint32_t cp : chars) kana_mode |= model_is_kana(cp);
  std::vector<std::uint32_t> typed;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    std::uint32_t cp = chars[i];
    if (cp >= 0xFF61 && cp <= 0xFF9F) {
      cp = half_width_as_full[cp - 0xFF61];
      const std::uint32_t next = i + 1 < chars.size() ? chars[i + 1] : 0;
      if (next == 0xFF9E && voiced_kana.find(static_cast<char32_t>(cp)) !=
                                std::u32string_view::npos) {
        cp += 1;
        ++i;
      } else if (next == 0xFF9F && semi_voiced_kana.find(static_cast<char32_t>(
                                       cp)) != std::u32string_view::npos) {
        cp += 2;
        ++i;
      }
    }
    const std::size_t before = typed.size();
    append_typed_kana(typed, cp, kana_mode);
    const std::uint32_t next = i + 1 < chars.size() ? chars[i + 1] : 0;
    if ((next == 0x3099 || next == 0x309A) &&
        model_join(typed, typed.size() - before, next)) {
      ++i;
    }
  }
  std::string out;
  for (std::uint32_t cp : typed) append_code_point(out, cp);
  return out;
}

// For Shift_JIS the model takes the program's typed form (the end-to-end
// cases check every kana against Python's tables) and checks what it
// promises: nothing left that a user cannot type, and the same form again
// when applied twice.
std::string typed_shift_jis(std::string_view reading) {
  std::string out;
  if (!typed_reading(reading, text_encoding::shift_jis, out).changed) {
    out = std::string(reading);
  }
  std::string again;
  check(!typed_reading(out, text_encoding::shift_jis, again).changed,
        "a typed reading that changes when typed again");
  std::vector<std::uint32_t> chars;
  check(decode_line(out, text_encoding::shift_jis, chars),
        "a typed reading that does not decode");
  for (std::uint32_t c : chars) {
    check(!(c >= 0xA1 && c <= 0xDF), "half-width katakana left in a reading");
    check(!(c >= 0x8340 && c <= 0x8396 && c != 0x837F),
          "katakana left in a reading");
    check(!((c >= 0x824F && c <= 0x8258) || (c >= 0x8260 && c <= 0x8279) ||
            (c >= 0x8281 && c <= 0x829A)),
          "a full-width letter or digit left in a reading");
  }
  return out;
}

// The rules the fuzzer runs with, from the first byte.
struct model_rules {
  bool typed_readings;
  bool csv_quotes;
  bool annotations;
};

// A field with the quotes of a CSV file resolved, or as it is.
std::string resolve_quotes(std::string_view field, text_encoding encoding,
                           bool csv_quotes) {
  if (!csv_quotes) return std::string(field);
  std::string out;
  for (std::size_t i = 0; i < field.size();) {
    const std::size_t n =
        two_byte_lead(static_cast<unsigned char>(field[i]), encoding) ? 2 : 1;
    if (n == 1 && field[i] == '"') {
      // "" is one quote; a lone quote is the format's own and goes.
      if (i + 1 < field.size() && field[i + 1] == '"') {
        out += '"';
        i += 2;
      } else {
        i += 1;
      }
      continue;
    }
    out.append(field.substr(i, n));
    i += n;
  }
  return out;
}

// One entry line as a reader of the IME format sees it.
struct model_entry {
  std::string reading;
  std::string source;      // the reading field as the file holds it
  std::string word;        // the word field, quotes resolved
  bool annotated = false;  // a comment field that is not empty, taken
  std::string annotation;  // the comment field, quotes resolved
};

// Reads text the slow, obvious way. Returns the filed entries in order and
// sets skipped_lines to the numbers of the entry lines that cannot be filed.
std::vector<model_entry> model_entries(
    std::string_view text, text_encoding encoding, const model_rules& rules,
    bool skip_utf_8_lines, std::vector<std::size_t>& skipped_lines) {
  std::vector<model_entry> entries;
  std::vector<std::uint32_t> chars;
  std::size_t start = 0;
  std::size_t line_number = 0;
  bool bang_comments = false;
  while (start < text.size()) {
    ++line_number;
    // LF, CR LF and a lone CR end a line.
    std::size_t end = start;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') {
      ++start;
    }
    // Marks where files were joined go, in Shift_JIS too.
    while (line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    // The fields, split at the TABs among the characters.
    std::vector<std::string_view> fields;
    std::size_t field_start = 0;
    for (std::size_t i = 0; i < line.size();) {
      if (line[i] == '\t') {
        fields.push_back(line.substr(field_start, i - field_start));
        field_start = i + 1;
      }
      i += two_byte_lead(static_cast<unsigned char>(line[i]), encoding) ? 2 : 1;
    }
    fields.push_back(line.substr(field_start));
    // A first line "!..." without a TAB is a header, after which every "!"
    // line is a comment; otherwise only those without a TAB are.
    const bool bang = !line.empty() && line[0] == '!';
    if (line_number == 1) bang_comments = bang && fields.size() == 1;
    if (line.empty() || (bang && (bang_comments || fields.size() == 1)) ||
        (line_number == 1 &&
         line.rfind("# Gboard Dictionary version:", 0) == 0)) {
      continue;
    }
    if (!decode_line(line, encoding, chars) ||
        (skip_utf_8_lines && encoding == text_encoding::shift_jis &&
         reads_as_utf_8_model(line))) {
      skipped_lines.push_back(line_number);
      continue;
    }
    if (fields.size() < 2 || fields[0].empty()) {
      skipped_lines.push_back(line_number);
      continue;
    }
    std::string reading(fields[0]);
    if (rules.typed_readings) {
      if (encoding == text_encoding::utf_8) {
        decode_line(fields[0], encoding, chars);
        reading = typed_utf_8(chars);
      } else {
        reading = typed_shift_jis(fields[0]);
      }
    }
    decode_line(reading, encoding, chars);
    bool unfit = reading[0] == ';' || fields[1].empty();
    for (std::uint32_t c : chars) {
      unfit |= c < 0x20 || c == 0x7F || c == ' ' ||
               c == (encoding == text_encoding::utf_8 ? 0x3000u : 0x8140u);
    }
    if (unfit) {
      skipped_lines.push_back(line_number);
      continue;
    }
    model_entry entry{reading,
                      std::string(fields[0]),
                      resolve_quotes(fields[1], encoding, rules.csv_quotes),
                      false,
                      {}};
    // Nothing may be left of a word or comment once its quotes go.
    if (entry.word.empty()) {
      skipped_lines.push_back(line_number);
      continue;
    }
    if (rules.annotations && fields.size() > 3) {
      entry.annotation = resolve_quotes(fields[3], encoding, rules.csv_quotes);
      entry.annotated = !entry.annotation.empty();
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

int octal_digit(char c) { return c >= '0' && c <= '7' ? c - '0' : -1; }

// The text an SKK client reads from a word or an annotation.
std::string read_back(std::string_view candidate, text_encoding encoding,
                      bool annotation = false) {
  const std::string_view head = "(concat \"";
  const std::string_view tail = "\")";
  if (candidate.size() < head.size() + tail.size() ||
      candidate.substr(0, head.size()) != head ||
      candidate.substr(candidate.size() - tail.size()) != tail) {
    check(!annotation || candidate.empty() || candidate[0] != '*',
          "a plain annotation starts with \"*\", which Emacs SKK drops");
    check(
        candidate.size() < 2 || candidate[0] != '(' || candidate.back() != ')',
        "a plain candidate that reads as Lisp");
    for (std::size_t i = 0; i < candidate.size();) {
      const auto b = static_cast<unsigned char>(candidate[i]);
      check(b != '"' && b != ';',
            "a plain candidate holds a reserved character");
      i += two_byte_lead(b, encoding) && valid_pair(candidate, i) ? 2 : 1;
    }
    return std::string(candidate);
  }
  const std::string_view inside = candidate.substr(
      head.size(), candidate.size() - head.size() - tail.size());
  std::string word;
  bool after_escape = false;
  for (std::size_t i = 0; i < inside.size();) {
    const auto b = static_cast<unsigned char>(inside[i]);
    // libskk 1.0.5 garbles a non-ASCII character right after an escape.
    check(!(after_escape && b >= 0x80), "an escape before a non-ASCII byte");
    if (b == '"') {
      // Strings are split only after an escape, before a non-ASCII byte.
      check(after_escape && inside.substr(i, 3) == "\" \"" &&
                i + 3 < inside.size() &&
                static_cast<unsigned char>(inside[i + 3]) >= 0x80,
            "a bare quote inside a concat string");
      i += 3;
      after_escape = false;
      continue;
    }
    after_escape = false;
    if (two_byte_lead(b, encoding) && valid_pair(inside, i)) {
      word.append(inside.substr(i, 2));
      i += 2;
      continue;
    }
    if (b == '\\') {
      check(i + 3 < inside.size(), "an escape cut short");
      const int d1 = octal_digit(inside[i + 1]);
      const int d2 = octal_digit(inside[i + 2]);
      const int d3 = octal_digit(inside[i + 3]);
      check(d1 >= 0 && d2 >= 0 && d3 >= 0, "a backslash that is no escape");
      word += static_cast<char>(d1 * 64 + d2 * 8 + d3);
      i += 4;
      after_escape = true;
      continue;
    }
    word += static_cast<char>(b);
    ++i;
  }
  return word;
}

// A candidate as a client splits it: the word, then the annotation after
// the first ";" that is a character of its own.
std::pair<std::string_view, std::string_view> split_annotation(
    std::string_view candidate, text_encoding encoding) {
  for (std::size_t i = 0; i < candidate.size();) {
    if (candidate[i] == ';') {
      return {candidate.substr(0, i), candidate.substr(i + 1)};
    }
    i += two_byte_lead(static_cast<unsigned char>(candidate[i]), encoding) &&
                 valid_pair(candidate, i)
             ? 2
             : 1;
  }
  return {candidate, {}};
}

// The candidates of an entry line as a client splits them: at each "/" that
// is a character of its own. area runs from after " /" to the final "/".
std::vector<std::string_view> client_candidates(std::string_view area,
                                                text_encoding encoding) {
  std::vector<std::string_view> candidates;
  std::size_t start = 0;
  for (std::size_t i = 0; i < area.size();) {
    if (two_byte_lead(static_cast<unsigned char>(area[i]), encoding) &&
        valid_pair(area, i)) {
      i += 2;
      continue;
    }
    if (area[i] == '/') {
      candidates.push_back(area.substr(start, i - start));
      start = i + 1;
    }
    ++i;
  }
  check(start == area.size(), "an entry line does not end in a slash");
  return candidates;
}

// The words of each entry of table, reading first.
std::vector<std::vector<std::string_view>> table_lines(
    const reading_table& table) {
  std::vector<std::vector<std::string_view>> lines;
  std::vector<std::uint32_t> filed;
  for (const reading_entry& entry : table.entries) {
    lines.push_back({reading_of(table, entry)});
    words_of(table, entry, filed);
    for (std::uint32_t c : filed) {
      lines.back().push_back(word_of(table, c));
    }
  }
  return lines;
}

// Converting with okuri-ari entries files the same okuri-nasi entries as
// without, and well-formed okuri-ari ones: a key is a reading and one
// lower-case letter, its candidates are not empty and each is there once,
// and each is written as a word is (read back as a client reads it: no
// Lisp, no reserved character outside the concat form) and, as Emacs SKK
// reads the okuri-ari section, does not start an okurigana block ("[");
// read back, it is a leading part of a word filed.
void check_okuri_ari_filing(std::string_view raw, encoding_choice choice,
                            const entry_rules& rules,
                            const reading_table& plain) {
  conversion_request request;
  request.raw = raw;
  request.encoding = choice;
  request.rules = rules;
  request.okuri_ari = true;
  request.format_forced = true;  // the model reads TAB text
  request.format = input_format::tab_text;
  conversion_result result;
  check(convert_text(request, result),
        "okuri-ari filing failed where the plain conversion did not");
  const reading_table& okuri_nasi = result.tables.okuri_nasi;
  const reading_table& okuri_ari = result.tables.okuri_ari;
  const prepared_input& input = result.input;
  check(table_lines(okuri_nasi) == table_lines(plain),
        "okuri-ari filing changed the okuri-nasi entries");
  std::vector<std::string> words;
  for (const auto& line : table_lines(plain)) {
    for (auto word = line.begin() + 1; word != line.end(); ++word) {
      const auto parts = split_annotation(*word, input.encoding);
      words.push_back(read_back(parts.first, input.encoding));
    }
  }
  for (const auto& line : table_lines(okuri_ari)) {
    const std::string_view key = line[0];
    check(key.size() >= 2 && key.back() >= 'a' && key.back() <= 'z',
          "an okuri-ari key is not a reading and a letter");
    check(line.size() >= 2, "an okuri-ari key without candidates");
    for (auto word = line.begin() + 1; word != line.end(); ++word) {
      check(!word->empty(), "an empty okuri-ari candidate");
      check(std::find(line.begin() + 1, word, *word) == word,
            "an okuri-ari candidate twice under one key");
      check(word->front() != '[',
            "an okuri-ari candidate that starts an okurigana block");
      check(split_annotation(*word, input.encoding).second.data() == nullptr,
            "an okuri-ari candidate with an annotation");
      const std::string read = read_back(*word, input.encoding);
      check(!read.empty(), "an okuri-ari candidate that reads back empty");
      check(std::any_of(words.begin(), words.end(),
                        [&](const std::string& filed) {
                          return filed.compare(0, read.size(), read) == 0;
                        }),
            "an okuri-ari candidate that is no leading part of a word");
    }
  }
}

// Characters for the mixed dictionaries: kana, kanji, half-width
// katakana, symbols and the ideographic space, all in CP932. None has a
// byte 0x09, 0x0A or 0x0D in UTF-16 (as 三 and 上 do), nor one that reads
// so in the other byte order, so an 8-bit line never meets a UTF-16 TAB.
const char* const alphabet[] = {"あ", "い", "う", "か", "ん", "じ", "こ", "そ",
                                "つ", "ー", "漢", "字", "東", "京", "高", "卒",
                                "一", "最", "堀", "　", "ｱ",  "ｲ",  "ﾏ",  "ﾞ",
                                "°",  "§",  "Ω",  "①",  "～", "縺", "鬮", "ﾂ"};

enum class piece_encoding {
  shift_jis,
  utf_8,
  utf_16le,
  utf_16be,
  utf_16le_mark
};

// text (UTF-8) in encoding; false when it cannot be written there.
bool encode_piece(const std::string& text, piece_encoding encoding,
                  std::string& out) {
  switch (encoding) {
    case piece_encoding::shift_jis:
      return convert_with_iconv(text, "CP932", "UTF-8", out);
    case piece_encoding::utf_8: out = text; return true;
    case piece_encoding::utf_16le:
      return convert_with_iconv(text, "UTF-16LE", "UTF-8", out);
    case piece_encoding::utf_16be:
      return convert_with_iconv(text, "UTF-16BE", "UTF-8", out);
    case piece_encoding::utf_16le_mark:
      if (!convert_with_iconv(text, "UTF-16LE", "UTF-8", out)) return false;
      out.insert(0, "\xFF\xFE");
      return true;
  }
  return false;
}

// The dictionary lines made of bytes: a byte 0x0A ends a line, other
// ASCII bytes stay (but those that make a word a concat form), others
// become characters of the alphabet; a line without a TAB gets one in its
// middle.
std::vector<std::string> mixed_lines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::vector<std::string> chars;
    for (std::size_t i = start; i < end; ++i) {
      const auto b = static_cast<unsigned char>(bytes[i]);
      const bool plain = (b >= 0x20 && b < 0x7F) || b == '\t';
      if (plain && std::string_view("/;\"()\\\r").find(static_cast<char>(b)) ==
                       std::string_view::npos) {
        chars.emplace_back(1, static_cast<char>(b));
      } else {
        chars.emplace_back(alphabet[b % (sizeof alphabet / sizeof *alphabet)]);
      }
    }
    if (std::find(chars.begin(), chars.end(), "\t") == chars.end()) {
      chars.insert(
          chars.begin() + static_cast<std::ptrdiff_t>(chars.size() / 2), "\t");
    }
    std::string line;
    for (const std::string& c : chars) line += c;
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The word field of a line: after the first TAB, up to the next.
std::string_view word_of(std::string_view line) {
  const std::size_t tab = line.find('\t');
  if (tab == std::string_view::npos) return {};
  const std::string_view rest = line.substr(tab + 1);
  return rest.substr(0, rest.find('\t'));
}

// Two pieces of dictionary in different encodings (chosen by the first two
// bytes), joined. Converted with a guess, either the file is refused, or
// every word filed, decoded in the encoding decided, is the word of one of
// the lines as written, or a line whose bytes read the same in both 8-bit
// encodings: a Shift_JIS line valid as UTF-8, a UTF-8 line without a
// sequence of three bytes or more. A UTF-8 line with one is never filed in
// a Shift_JIS text: its words would be mojibake.
void check_mixed_encodings(std::string_view raw) {
  if (raw.size() < 3) return;
  const auto first =
      static_cast<piece_encoding>(static_cast<unsigned char>(raw[0]) % 5);
  const auto second =
      static_cast<piece_encoding>(static_cast<unsigned char>(raw[1]) % 5);
  const bool crlf = (static_cast<unsigned char>(raw[2]) & 0x80) != 0;
  const std::vector<std::string> lines = mixed_lines(raw.substr(3));
  const std::size_t split =
      lines.empty() ? 0
                    : static_cast<unsigned char>(raw[2]) % (lines.size() + 1);
  std::string pieces[2];
  for (std::size_t k = 0; k < 2; ++k) {
    std::string text;
    for (std::size_t i = k == 0 ? 0 : split;
         i < (k == 0 ? split : lines.size()); ++i) {
      text += lines[i] + (crlf ? "\r\n" : "\n");
    }
    if (!encode_piece(text, k == 0 ? first : second, pieces[k])) return;
  }
  const std::string joined = pieces[0] + pieces[1];
  entry_rules rules;
  rules.annotations = false;
  conversion_request request;
  request.raw = joined;
  request.rules = rules;
  request.format_forced = true;  // the model reads TAB text
  request.format = input_format::tab_text;
  conversion_result result;
  const bool converted = convert_text(request, result);
  const prepared_input& input = result.input;
  const conversion_counts& counts = result.counts;
  const line_problem& problem = result.problem;
  const reading_table& table = result.tables.okuri_nasi;
  // UTF-16 of one byte order throughout (a mark at most at the start of a
  // piece) is read as such: no line lost to the other order.
  const auto little = [](piece_encoding e) {
    return e == piece_encoding::utf_16le || e == piece_encoding::utf_16le_mark;
  };
  if (!lines.empty() && ((little(first) && little(second)) ||
                         (first == piece_encoding::utf_16be &&
                          second == piece_encoding::utf_16be))) {
    output_checked = problem.message;
    check(converted && input.from_utf_16, "UTF-16 not read as UTF-16");
    check(counts.lines >= lines.size() &&
              counts.skipped_by_reason[static_cast<std::size_t>(
                  skip_reason::undecodable)] == 0,
          "UTF-16 read in the wrong byte order");
  }
  if (!converted) return;
  const bool shift_jis = input.encoding == text_encoding::shift_jis;
  std::set<std::string> allowed;
  std::string decoded;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view word = word_of(lines[i]);
    allowed.emplace(word);
    const piece_encoding piece = i < split ? first : second;
    std::string bytes;
    if (input.from_utf_16 || !encode_piece(std::string(word), piece, bytes)) {
      continue;
    }
    if (shift_jis && piece == piece_encoding::utf_8 &&
        !reads_as_utf_8_model(lines[i]) &&
        convert_with_iconv(bytes, "UTF-8", "CP932", decoded)) {
      allowed.insert(decoded);
    }
    std::vector<std::uint32_t> chars;
    if (!shift_jis && piece == piece_encoding::shift_jis &&
        decode_line(bytes, text_encoding::utf_8, chars)) {
      allowed.insert(bytes);
    }
  }
  std::vector<std::uint32_t> filed;
  for (const reading_entry& entry : table.entries) {
    words_of(table, entry, filed);
    for (std::uint32_t c : filed) {
      const std::string_view word = word_of(table, c);
      output_checked = word;
      if (shift_jis) {
        check(convert_with_iconv(word, "UTF-8", "CP932", decoded),
              "a word filed in Shift_JIS that does not decode");
      } else {
        decoded = std::string(word);
      }
      check(allowed.count(decoded) != 0,
            "a word filed in an encoding other than its line's");
    }
  }
}

// The comma formats and the property list, read from the same bytes: every
// line or entry is counted once, as a comment, filed or skipped, and every
// word filed has a reading.
// Every output encoding: what the conversion files under a target it can
// write, and re-encoded it reads back as Emacs decodes it to the very text
// it was (UTF-8 input, whose text is its own UTF-8 form); a line is skipped
// for a character the target lacks only when it holds one.
void check_output_encodings(std::string_view raw, encoding_choice choice,
                            const entry_rules& rules) {
  for (const output_encoding target :
       {output_encoding::euc_jp, output_encoding::euc_jis_2004,
        output_encoding::shift_jis, output_encoding::utf_16le}) {
    conversion_request request;
    request.raw = raw;
    request.encoding = choice;
    request.rules = rules;
    request.rules.has_target = true;
    request.rules.target = target;
    request.format_forced = true;
    request.format = input_format::tab_text;
    std::size_t unencodable = 0;
    request.skipped = [&](const line_problem& line) {
      unencodable += line.message.find("cannot write") != std::string::npos;
    };
    conversion_result result;
    if (!convert_text(request, result)) return;
    if (result.input.encoding != text_encoding::utf_8) return;
    check(
        unencodable >= result.counts.skipped_by_reason[static_cast<std::size_t>(
                           skip_reason::unencodable)],
        "a line skipped for a character without a message saying so");
    // The same text converted without a target: what its table holds, in
    // UTF-8, reading by reading.
    conversion_request plain_request = request;
    plain_request.rules.has_target = false;
    plain_request.skipped = [](const line_problem&) {};
    conversion_result plain;
    check(convert_text(plain_request, plain),
          "a text converted with a target and not without one");
    const reading_table& plain_table = plain.tables.okuri_nasi;
    std::map<std::string, std::vector<std::string>> plain_words;
    for (const reading_entry& entry : plain_table.entries) {
      std::vector<std::uint32_t> filed;
      words_of(plain_table, entry, filed);
      auto& list = plain_words[std::string(reading_of(plain_table, entry))];
      for (const std::uint32_t c : filed) {
        list.emplace_back(word_of(plain_table, c));
      }
    }
    // The table holds its text as the output does (held_for the target):
    // read back as Emacs decodes it, each reading and word is text the
    // target writes, written again as the same bytes, and filed as the
    // conversion without a target files it: the same reading, its words in
    // the same order, some perhaps left out for a character the target
    // lacks. Annotations may differ: one the target cannot write is left
    // out, and a word then takes the annotation of a repeat written once.
    const output_encoding held = held_for(target);
    check(result.tables.okuri_nasi_recoded ==
              (held != same_as(text_encoding::utf_8)),
          "a table filed in an encoding other than the output's");
    const auto from_target = [&](std::string_view bytes, const char* what) {
      std::string text;
      append_utf_8_of(bytes, held, text);
      check(find_unencodable(text, text_encoding::utf_8, target).offset ==
                std::string_view::npos,
            what);
      std::string again;
      append_recoded(text, text_encoding::utf_8, held, again);
      check(again == bytes, what);
      return text;
    };
    const reading_table& table = result.tables.okuri_nasi;
    for (const reading_entry& entry : table.entries) {
      const std::string reading =
          from_target(reading_of(table, entry),
                      "a reading filed that the target cannot write");
      const auto found = plain_words.find(reading);
      check(found != plain_words.end(),
            "a reading filed for the target that is filed without none");
      std::vector<std::uint32_t> filed;
      words_of(table, entry, filed);
      std::size_t next = 0;
      for (const std::uint32_t c : filed) {
        const std::string word = from_target(
            word_of(table, c), "a word filed that the target cannot write");
        const std::vector<std::string>& list = found->second;
        const auto part = [](const std::string& w) {
          return w.substr(0, w.find(';'));
        };
        while (next < list.size() && part(list[next]) != part(word)) ++next;
        check(next < list.size(),
              "a word filed for the target that is not filed without one");
        ++next;
      }
    }
  }
}

void check_other_formats(std::string_view raw, encoding_choice choice,
                         const entry_rules& rules) {
  for (const input_format format : {input_format::csv, input_format::kotoeri,
                                    input_format::property_list}) {
    conversion_request request;
    request.raw = raw;
    request.encoding = choice;
    request.rules = rules;
    request.format_forced = true;
    request.format = format;
    std::size_t skipped = 0;
    request.skipped = [&](const line_problem& line) {
      check(line.line_number >= 1, "a skipped line without its number");
      ++skipped;
    };
    conversion_result result;
    if (!convert_text(request, result)) {
      check(!result.problem.message.empty(), "a failure without a message");
      continue;
    }
    const conversion_counts& counts = result.counts;
    check(counts.comment_or_empty_lines + counts.filed_lines +
                  counts.skipped_lines ==
              counts.lines,
          "a line or entry neither a comment, filed nor skipped");
    check(skipped == counts.skipped_lines, "skipped lines miscounted");
    const reading_table& table = result.tables.okuri_nasi;
    for (const reading_entry& entry : table.entries) {
      check(!reading_of(table, entry).empty(), "a word filed under no reading");
    }
  }
}

// The input read as an SKK dictionary, as --merge and --exclude read one:
// refused with a message, or merged with nothing new back byte for byte
// (when its lines end in LF alone and the last one has its line end); and
// recoded into each encoding, every entry line then decoding in it.
void check_skk_dictionary(std::string_view raw) {
  skk_dictionary dictionary;
  std::vector<line_problem> warnings;
  line_problem problem;
  if (!read_skk_dictionary(raw, {}, dictionary, warnings, problem)) {
    check(!problem.message.empty(), "an SKK dictionary refused silently");
    return;
  }
  const output_encoding own =
      dictionary.encoding_known ? dictionary.encoding : output_encoding::utf_8;
  reading_table table;
  reading_table okuri_ari;
  output_stream stream = make_output_stream(nullptr, line_end::lf);
  write_merged_dictionary(dictionary, table, &okuri_ari,
                          order_kept(dictionary, own, sort_order::skk), own,
                          stream);
  check(finish_output(stream) == 0, "the merge's stream failed");
  const bool plain = find_byte_order_mark(raw) == byte_order_mark::none &&
                     raw.find('\r') == std::string_view::npos &&
                     (raw.empty() || raw.back() == '\n');
  if (plain) {
    check(written_text(stream) == raw, "merging nothing changed the text");
  }
  for (const output_encoding target :
       {output_encoding::euc_jp, output_encoding::shift_jis,
        output_encoding::utf_8}) {
    skk_dictionary recoded;
    warnings.clear();
    if (!read_skk_dictionary(raw, {}, recoded, warnings, problem)) return;
    recode_dictionary(recoded, target, warnings);
    for (const dictionary_line& line : recoded.lines) {
      if (line.kind != dictionary_line_kind::entry) continue;
      check(find_undecodable_as(line.text, target) == std::string_view::npos,
            "a recoded entry line does not decode");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  output_checked = {};
  if (size == 0) return 0;
  skk_layout layout;
  if ((data[0] & 1) != 0) {
    layout.order = (data[0] & 128) != 0 ? sort_order::bytes : sort_order::skk;
    layout.comment_line_first = true;
  }
  const line_end eol = (data[0] & 2) != 0 ? line_end::lf : line_end::crlf;
  const std::string_view raw(reinterpret_cast<const char*>(data + 1), size - 1);

  const int forced = (data[0] >> 2) & 3;
  const encoding_choice choice = forced == 1   ? encoding_choice::shift_jis
                                 : forced == 2 ? encoding_choice::utf_8
                                 : forced == 3 ? encoding_choice::utf_16le
                                               : encoding_choice::guess;
  const model_rules model{(data[0] & 0x10) == 0, (data[0] & 0x20) != 0,
                          (data[0] & 0x40) == 0};
  entry_rules rules;
  rules.typed_readings = model.typed_readings;
  rules.csv_quotes = model.csv_quotes;
  rules.annotations = model.annotations;
  if (choice == encoding_choice::guess) check_mixed_encodings(raw);
  std::vector<line_problem> skipped;
  conversion_request request;
  request.raw = raw;
  request.encoding = choice;
  request.rules = rules;
  request.format_forced = true;  // the model reads TAB text
  request.format = input_format::tab_text;
  request.skipped = [&](const line_problem& line) { skipped.push_back(line); };
  check_other_formats(raw, choice, rules);
  check_output_encodings(raw, choice, rules);
  check_skk_dictionary(raw);
  conversion_result result;
  const prepared_input& input = result.input;
  const conversion_counts& counts = result.counts;
  const line_problem& problem = result.problem;
  reading_table& table = result.tables.okuri_nasi;
  if (!convert_text(request, result)) {
    // Either the text cannot be read in its encoding, or it holds a NUL.
    output_checked = problem.message;
    check(problem.message.rfind("NUL byte", 0) != 0 ||
              raw.find('\0') != std::string_view::npos,
          "a NUL byte reported where there is none");
    return 0;
  }
  check(input.text.find('\0') == std::string_view::npos, "a NUL byte missed");
  check_okuri_ari_filing(raw, choice, rules, table);

  layout.encoding = input.encoding == text_encoding::utf_8
                        ? output_encoding::utf_8
                        : output_encoding::shift_jis;
  output_stream stream = make_output_stream(nullptr, eol);
  write_skk_dictionary(table, stream, layout);
  check(finish_output(stream) == 0, "writing to memory failed");
  const std::string_view out = written_text(stream);
  output_checked = out;

  // What the text holds: the distinct readings in order of first
  // appearance, each with its words in filing order.
  std::vector<std::size_t> skipped_lines;
  const std::vector<model_entry> entries = model_entries(
      input.text, input.encoding, model, input.guessed, skipped_lines);
  if (input.decodes_throughout) {
    std::vector<std::uint32_t> chars;
    check(decode_line(input.text, input.encoding, chars),
          "a text said to decode throughout does not");
    if (input.guessed && input.encoding == text_encoding::shift_jis) {
      for (std::size_t pos = 0; pos < input.text.size();) {
        std::size_t end = input.text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = input.text.size();
        check(!reads_as_utf_8_model(input.text.substr(pos, end - pos)),
              "a Shift_JIS text said to decode throughout has a UTF-8 line");
        pos = end + 1;
      }
    }
  }
  check(counts.filed_lines == entries.size(),
        "words filed differ from the entry lines");
  check(counts.skipped_lines == skipped.size() &&
            skipped.size() == skipped_lines.size(),
        "skipped lines miscounted");
  for (std::size_t i = 0; i < skipped.size(); ++i) {
    check(skipped[i].line_number == skipped_lines[i],
          "a skipped line named by the wrong number");
  }
  // A word comes again under its reading only from the source reading of
  // its first occurrence; the first of them takes the annotation of one
  // from another source when none kept has one.
  std::vector<std::string> readings;
  std::map<std::string, std::vector<model_entry>> words;
  std::size_t repeats = 0;
  for (const model_entry& entry : entries) {
    auto& list = words[entry.reading];
    if (list.empty()) readings.push_back(entry.reading);
    const auto same_word = [&](const model_entry& e) {
      return e.word == entry.word;
    };
    const auto first = std::find_if(list.begin(), list.end(), same_word);
    if (first == list.end() || first->source == entry.source) {
      list.push_back(entry);
      continue;
    }
    ++repeats;
    const bool kept_annotated = std::any_of(
        list.begin(), list.end(),
        [&](const model_entry& e) { return same_word(e) && e.annotated; });
    if (!kept_annotated && entry.annotated) {
      first->annotated = true;
      first->annotation = entry.annotation;
    }
  }
  check(counts.repeats_written_once == repeats,
        "repeated words written once miscounted");
  if (layout.order == sort_order::bytes) {
    std::sort(readings.begin(), readings.end());
  } else if (layout.order == sort_order::skk) {
    // Readings Emacs SKK cannot tell apart (emoji are all a space to it)
    // keep their order of appearance.
    std::stable_sort(readings.begin(), readings.end(),
                     [&](const std::string& a, const std::string& b) {
                       std::string key_a;
                       std::string key_b;
                       append_emacs_mule_key(a, layout.encoding, key_a);
                       append_emacs_mule_key(b, layout.encoding, key_b);
                       return key_a < key_b;
                     });
  }

  const std::string_view end = eol == line_end::lf ? "\n" : "\r\n";
  std::vector<std::string_view> lines;
  for (std::size_t pos = 0; pos < out.size();) {
    const std::size_t feed = out.find('\n', pos);
    check(feed != std::string_view::npos, "output ends without a line end");
    const std::string_view line = out.substr(pos, feed + 1 - pos);
    check(line.size() >= end.size() &&
              line.substr(line.size() - end.size()) == end,
          "a line end other than the one chosen");
    lines.push_back(line.substr(0, line.size() - end.size()));
    pos = feed + 1;
  }
  std::size_t first = 0;
  if (layout.encoding == output_encoding::utf_8 || layout.comment_line_first) {
    check(!lines.empty() && lines[0].substr(0, 3) == ";; ",
          "no coding or comment line");
    first = 1;
  }
  check(lines.size() == first + 2 + readings.size(),
        "output lines are not the markers and one line per reading");
  check(lines[first] == ";; okuri-ari entries." &&
            lines[first + 1] == ";; okuri-nasi entries.",
        "section markers");
  std::size_t words_out = 0;
  for (std::size_t i = 0; i < readings.size(); ++i) {
    const std::string_view line = lines[first + 2 + i];
    const std::string& reading = readings[i];
    check(line.size() >= reading.size() + 2 &&
              line.substr(0, reading.size()) == reading &&
              line.substr(reading.size(), 2) == " /",
          "a reading missing or out of order");
    const std::vector<std::string_view> candidates =
        client_candidates(line.substr(reading.size() + 2), input.encoding);
    const std::vector<model_entry>& expected = words[reading];
    check(candidates.size() == expected.size(),
          "a reading's word count differs from its entry lines");
    for (std::size_t k = 0; k < candidates.size(); ++k) {
      const auto parts = split_annotation(candidates[k], input.encoding);
      check(read_back(parts.first, input.encoding) == expected[k].word,
            "a word read back differs from its field");
      check(read_back(parts.second, input.encoding, true) ==
                expected[k].annotation,
            "an annotation read back differs from the comment field");
      check(expected[k].annotated == (parts.second.data() != nullptr),
            "an annotation where there is none, or none where there is one");
    }
    words_out += candidates.size();
  }
  check(words_out + repeats == counts.filed_lines,
        "words out differ from words in");
  return 0;
}

}  // namespace brenlow
