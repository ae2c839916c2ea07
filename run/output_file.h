// Writing a file so that it is replaced only by a complete new version: the
// output goes to a temporary file in the same folder, renamed over the
// target after a successful flush and close.
#pragma once

#include <cstdio>
#include <string>

namespace brenlow {

struct replacement_file {
  std::string target;
  std::string temporary;
  std::FILE* file = nullptr;
};

// Creates the temporary file beside target. Returns 0 or an errno.
int open_replacement(const std::string& target, replacement_file& replacement);

// Flushes and closes the temporary file and renames it over the target.
// Returns 0, or an errno after removing the temporary file.
int commit_replacement(replacement_file& replacement);

// Closes and removes the temporary file; the target is left as it was.
void abandon_replacement(replacement_file& replacement);

}  // namespace brenlow
