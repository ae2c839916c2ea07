#include "run/platform.h"

std::FILE* open_input_file(const std::string& name) {
  return std::fopen(name.c_str(), "rb");
}

void write_error_text(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}
