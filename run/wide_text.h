// Windows hands the program its command line as UTF-16 and takes file names
// back the same way; inside, names are UTF-8 like everything else. Windows
// names may hold a lone surrogate, so these conversions keep one as its own
// three-byte form (as WTF-8 does) and the round trip loses nothing.
#pragma once

#include <string>
#include <string_view>

namespace brenlow {

// UTF-16 to UTF-8; a surrogate without its partner becomes three bytes.
std::string utf_8_from_utf_16(std::u16string_view wide);

// The inverse of utf_8_from_utf_16. A byte that starts no valid sequence
// becomes U+FFFD.
std::u16string utf_16_from_utf_8(std::string_view text);

#if defined(_WIN32)
// A UTF-8 name as Windows' wide-character API takes it.
inline std::wstring windows_name(const std::string& name) {
  const std::u16string wide = utf_16_from_utf_8(name);
  return std::wstring(wide.begin(), wide.end());
}
#endif

}  // namespace brenlow
