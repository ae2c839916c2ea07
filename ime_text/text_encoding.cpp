#include "ime_text/text_encoding.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace brenlow {

namespace {

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::size_t line_of(std::string_view text, std::size_t offset) {
  return static_cast<std::size_t>(
             std::count(text.begin(), text.begin() + offset, '\n')) +
         1;
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

std::size_t find_invalid_utf_8(std::string_view text, bool& has_multibyte) {
  has_multibyte = false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t pos = 0;
  while (pos < size) {
    const unsigned char lead = bytes[pos];
    if (lead < 0x80) {
      ++pos;
      continue;
    }
    std::size_t length;
    unsigned char low = 0x80;  // bounds of the second byte
    unsigned char high = 0xBF;
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
      return pos;
    }
    if (size - pos < length) return pos;
    if (bytes[pos + 1] < low || bytes[pos + 1] > high) return pos;
    for (std::size_t k = 2; k < length; ++k) {
      if ((bytes[pos + k] & 0xC0) != 0x80) return pos;
    }
    has_multibyte = true;
    pos += length;
  }
  return std::string_view::npos;
}

bool decode_utf_16(std::string_view text, bool big_endian, std::string& out,
                   line_problem& problem) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t units = text.size() / 2;
  // Each unit becomes at most three bytes.
  out.reserve(out.size() + units * 3);
  std::size_t line_number = 1;
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
      problem = {line_number, "unpaired UTF-16 surrogate"};
      return false;
    }
    if (unit == '\n') ++line_number;
    append_utf_8(out, unit);
  }
  if (text.size() % 2 != 0) {
    problem = {line_number, "UTF-16 text ends in half a character"};
    return false;
  }
  return true;
}

bool decide_encoding(std::string_view raw, encoding_choice choice,
                     prepared_input& prepared, line_problem& problem) {
  const byte_order_mark mark = find_byte_order_mark(raw);
  if (mark != byte_order_mark::none) {
    const bool conflict =
        choice == encoding_choice::shift_jis ||
        (choice == encoding_choice::utf_8 && mark != byte_order_mark::utf_8);
    if (conflict) {
      problem = {0, std::string("starts with a ") + mark_name(mark) +
                        " byte-order mark, which contradicts --encoding " +
                        (choice == encoding_choice::shift_jis ? "sjis"
                                                              : "utf-8")};
      return false;
    }
    prepared.encoding = text_encoding::utf_8;
    prepared.reason = std::string(mark_name(mark)) + " byte-order mark";
    const std::string_view body = raw.substr(mark_length(mark));
    if (mark == byte_order_mark::utf_8) {
      prepared.text = body;
    } else {
      if (!decode_utf_16(body, mark == byte_order_mark::utf_16be,
                         prepared.decoded, problem)) {
        return false;
      }
      prepared.text = prepared.decoded;
      return true;  // well-formed by construction
    }
  } else {
    prepared.text = raw;
    if (choice == encoding_choice::shift_jis) {
      prepared.encoding = text_encoding::shift_jis;
      prepared.reason = "--encoding sjis";
      return true;
    }
    if (choice == encoding_choice::utf_8) {
      prepared.encoding = text_encoding::utf_8;
      prepared.reason = "--encoding utf-8";
    }
  }
  bool has_multibyte = false;
  const std::size_t invalid = find_invalid_utf_8(prepared.text, has_multibyte);
  if (choice == encoding_choice::guess && mark == byte_order_mark::none) {
    const bool utf_8 = invalid == std::string_view::npos && has_multibyte;
    prepared.encoding = utf_8 ? text_encoding::utf_8 : text_encoding::shift_jis;
    prepared.reason = utf_8 ? "guessed: valid UTF-8"
                            : "guessed: not UTF-8 with multi-byte characters";
    return true;
  }
  if (invalid != std::string_view::npos) {
    problem = {line_of(prepared.text, invalid), "invalid UTF-8 sequence"};
    return false;
  }
  return true;
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
