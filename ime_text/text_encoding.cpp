#include "ime_text/text_encoding.h"

#include <cstdint>
#include <cstring>

#include "ime_text/encoding_evidence.h"

namespace brenlow {

namespace {

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The number of the line holding offset; LF, CR LF and a lone CR each end
// a line.
std::size_t line_of(std::string_view text, std::size_t offset) {
  std::size_t line = 1;
  for (std::size_t pos = 0; pos < offset; ++pos) {
    if (text[pos] == '\n' || (text[pos] == '\r' && (pos + 1 == text.size() ||
                                                    text[pos + 1] != '\n'))) {
      ++line;
    }
  }
  return line;
}

}  // namespace

void append_utf_8(std::string& out, std::uint32_t code_point) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

byte_order_mark find_byte_order_mark(std::string_view text) {
  if (starts_with(text, "\xEF\xBB\xBF")) return byte_order_mark::utf_8;
  if (starts_with(text, "\xFF\xFE")) return byte_order_mark::utf_16le;
  if (starts_with(text, "\xFE\xFF")) return byte_order_mark::utf_16be;
  return byte_order_mark::none;
}

std::size_t mark_length(byte_order_mark mark) {
  switch (mark) {
    case byte_order_mark::utf_8: return 3;
    case byte_order_mark::utf_16le:
    case byte_order_mark::utf_16be: return 2;
    case byte_order_mark::none: break;
  }
  return 0;
}

const char* mark_name(byte_order_mark mark) {
  switch (mark) {
    case byte_order_mark::utf_8: return "UTF-8";
    case byte_order_mark::utf_16le: return "UTF-16LE";
    case byte_order_mark::utf_16be: return "UTF-16BE";
    case byte_order_mark::none: break;
  }
  return "";
}

std::size_t utf_8_sequence_length(const unsigned char* bytes, std::size_t size,
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

std::size_t find_invalid_utf_8(std::string_view text, bool& has_multibyte) {
  has_multibyte = false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  for (std::size_t pos = 0; pos < size;) {
    if (bytes[pos] < 0x80) {
      ++pos;
      continue;
    }
    const std::size_t length = utf_8_sequence_length(bytes, size, pos);
    if (length == 0) return pos;
    has_multibyte = true;
    pos += length;
  }
  return std::string_view::npos;
}

std::size_t decode_utf_16(std::string_view text, bool big_endian,
                          std::string& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t units = text.size() / 2;
  // Each unit becomes at most three bytes.
  out.reserve(out.size() + units * 3 + 1);
  std::size_t faults = 0;
  auto unit_at = [&](std::size_t i) -> std::uint32_t {
    const unsigned char a = bytes[2 * i];
    const unsigned char b = bytes[2 * i + 1];
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  };
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint32_t unit = unit_at(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const std::uint32_t low = unit_at(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        append_utf_8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      out.push_back('\xFF');
      ++faults;
      continue;
    }
    append_utf_8(out, unit);
  }
  if (text.size() % 2 != 0) {
    out.push_back('\xFE');
    ++faults;
  }
  return faults;
}

const char* utf_16_fault_message(char byte) {
  return byte == '\xFE' ? "UTF-16 text ends in half a character"
                        : "unpaired UTF-16 surrogate";
}

const char* choice_name(encoding_choice choice) {
  switch (choice) {
    case encoding_choice::shift_jis: return "sjis";
    case encoding_choice::utf_8: return "utf-8";
    case encoding_choice::utf_16le: return "utf-16le";
    case encoding_choice::utf_16be: return "utf-16be";
    case encoding_choice::guess: break;
  }
  return "";
}

namespace {

encoding_choice choice_of(byte_order_mark mark) {
  switch (mark) {
    case byte_order_mark::utf_8: return encoding_choice::utf_8;
    case byte_order_mark::utf_16le: return encoding_choice::utf_16le;
    case byte_order_mark::utf_16be: return encoding_choice::utf_16be;
    case byte_order_mark::none: break;
  }
  return encoding_choice::guess;
}

// Decodes UTF-16 body into prepared, unless raw joins UTF-16 and 8-bit
// text. Returns false and fills problem then.
bool take_utf_16(std::string_view body, bool big_endian,
                 prepared_input& prepared, line_problem& problem) {
  if (const std::size_t line = find_encoding_change(body, big_endian)) {
    problem = {line,
               "the encoding changes on this line: UTF-16 and an 8-bit "
               "encoding joined in one file; convert each part on its own"};
    return false;
  }
  prepared.decoded.clear();
  const std::size_t faults = decode_utf_16(body, big_endian, prepared.decoded);
  prepared.text = prepared.decoded;
  prepared.encoding = text_encoding::utf_8;
  prepared.offset = 0;  // offsets in the decoded text: none is needed
  prepared.decodes_throughout = faults == 0;
  prepared.from_utf_16 = true;
  return true;
}

// Decides the encoding of raw, which has no mark, by a guess. Returns false
// and fills problem when no encoding can be told.
bool guess_encoding(std::string_view raw, prepared_input& prepared,
                    line_problem& problem) {
  if (std::memchr(raw.data(), '\0', raw.size()) != nullptr) {
    const utf_16_order order = find_utf_16_pattern(raw);
    if (order != utf_16_order::none) {
      const bool big_endian = order == utf_16_order::big_endian;
      if (!take_utf_16(raw, big_endian, prepared, problem)) return false;
      if (looks_like_entries(prepared.text)) {
        prepared.reason = std::string(big_endian ? "UTF-16BE" : "UTF-16LE") +
                          " without a byte-order mark, by the NUL bytes "
                          "beside the ASCII characters of its first line";
        return true;
      }
      prepared = prepared_input();
    }
    // Not UTF-16: a NUL byte has no place in 8-bit text.
    find_nul_byte(raw, problem);
    return false;
  }
  const encoding_verdict verdict = judge_encoding(raw);
  if (!verdict.decided) {
    problem = {0, verdict.euc_jp
                      ? verdict.reason +
                            ": convert it first, e.g. with iconv -f EUC-JP -t "
                            "UTF-8"
                      : "cannot tell the encoding: " + verdict.reason +
                            "; name it with --encoding sjis, utf-8, utf-16le "
                            "or utf-16be"};
    return false;
  }
  prepared.text = raw;
  prepared.encoding = verdict.encoding;
  prepared.reason = "guessed: " + verdict.reason;
  prepared.decodes_throughout = verdict.decodes_throughout;
  prepared.guessed = true;
  return true;
}

}  // namespace

bool decide_encoding(std::string_view raw, encoding_choice choice,
                     prepared_input& prepared, line_problem& problem) {
  const byte_order_mark mark = find_byte_order_mark(raw);
  const std::string_view body = raw.substr(mark_length(mark));
  prepared.offset = mark_length(mark);
  if (mark != byte_order_mark::none) {
    if (choice != encoding_choice::guess && choice != choice_of(mark)) {
      problem = {0, std::string("starts with a ") + mark_name(mark) +
                        " byte-order mark, which contradicts --encoding " +
                        choice_name(choice)};
      return false;
    }
    choice = choice_of(mark);
    prepared.reason = std::string(mark_name(mark)) + " byte-order mark";
  } else if (choice == encoding_choice::guess) {
    return guess_encoding(raw, prepared, problem);
  } else {
    prepared.reason = std::string("--encoding ") + choice_name(choice);
  }
  if (choice == encoding_choice::utf_16le ||
      choice == encoding_choice::utf_16be) {
    return take_utf_16(body, choice == encoding_choice::utf_16be, prepared,
                       problem);
  }
  prepared.text = body;
  prepared.encoding = choice == encoding_choice::utf_8
                          ? text_encoding::utf_8
                          : text_encoding::shift_jis;
  prepared.decodes_throughout =
      find_undecodable(body, prepared.encoding) == std::string_view::npos;
  return true;
}

bool may_hold_nul_bytes(std::string_view start, encoding_choice choice) {
  switch (find_byte_order_mark(start)) {
    case byte_order_mark::utf_16le:
    case byte_order_mark::utf_16be: return true;
    case byte_order_mark::utf_8: return false;
    case byte_order_mark::none: break;
  }
  if (choice == encoding_choice::utf_16le ||
      choice == encoding_choice::utf_16be) {
    return true;
  }
  return choice == encoding_choice::guess &&
         find_utf_16_pattern(start) != utf_16_order::none;
}

bool find_nul_byte(std::string_view text, line_problem& problem) {
  const void* nul = std::memchr(text.data(), '\0', text.size());
  if (nul == nullptr) return false;
  const auto offset =
      static_cast<std::size_t>(static_cast<const char*>(nul) - text.data());
  problem = {line_of(text, offset), "NUL byte: this is not a text dictionary"};
  return true;
}

const char* encoding_name(text_encoding encoding) {
  return encoding == text_encoding::utf_8 ? "UTF-8" : "Shift_JIS";
}

}  // namespace brenlow
