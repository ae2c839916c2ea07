// The unit tests' one way of showing bytes in a failure: printable ASCII as
// it is, any other byte (and "<" itself) as <XX>, so that two different
// byte strings never show the same.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace brenlow {

inline std::string shown_bytes(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '<') {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      (void)std::snprintf(hex, sizeof hex, "<%02X>", c);
      out += hex;
    }
  }
  return out;
}

}  // namespace brenlow
