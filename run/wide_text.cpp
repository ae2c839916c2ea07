#include "run/wide_text.h"

#include "base/byte_facts.h"

namespace brenlow {

namespace {

void append_utf_16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (c >> 10));
    out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
  }
}

}  // namespace

std::string utf_8_from_utf_16(std::u16string_view wide) {
  std::string out;
  out.reserve(wide.size() * 3);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (is_high_surrogate(c) && i + 1 < wide.size() &&
        is_low_surrogate(wide[i + 1])) {
      c = joined_surrogates(c, wide[i + 1]);
      ++i;
    }
    append_utf_8(out, c);
  }
  return out;
}

std::u16string utf_16_from_utf_8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    // Surrogates are let through on purpose (see the header); overlong
    // forms and values past U+10FFFF are not.
    const decoded_character read =
        decode_utf_8(bytes, text.size(), i, utf_8_policy::surrogates_too);
    if (read.length == 0) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    append_utf_16(out, read.code_point);
    i += read.length;
  }
  return out;
}

}  // namespace brenlow
