#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "run/platform.h"

namespace brenlow {

std::FILE* open_input_file(const std::string& name) {
  return std::fopen(name.c_str(), "rb");
}

bool reader_gone(int error) { return error == EPIPE; }

void write_error_text(std::string_view text) {
  // Standard error is the last place to report anything; if it fails there
  // is nowhere left to say so, and the exit status still tells.
  (void)std::fwrite(text.data(), 1, text.size(), stderr);
  (void)std::fflush(stderr);
}

std::string absolute_path(const std::string& name) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(
      realpath(name.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : name;
}

}  // namespace brenlow
