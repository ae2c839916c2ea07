#include "encodings/text_encoding.h"

#include <cstdint>
#include <cstring>

#include "base/byte_facts.h"

namespace brenlow {

namespace {

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

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
    if (is_high_surrogate(unit) && i + 1 < units) {
      const std::uint32_t low = unit_at(i + 1);
      if (is_low_surrogate(low)) {
        append_utf_8(out, joined_surrogates(unit, low));
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

const char* encoding_name(text_encoding encoding) {
  return encoding == text_encoding::utf_8 ? "UTF-8" : "Shift_JIS";
}

}  // namespace brenlow
