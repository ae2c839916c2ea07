// What differs between the POSIX program and the Windows console program:
// how a file name reaches the system, how a closed pipe shows, and how a
// message reaches the user's eyes. (The standard streams' modes are set in
// main.)
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace brenlow {

// Opens the named file for reading in binary. The name is as the command
// line gave it (on Windows, UTF-8 made from the wide-character command
// line). Returns nullptr with errno set on failure.
std::FILE* open_input_file(const std::string& name);

// True when error, from a write to standard output, means that its reader
// has gone (a closed pipe).
bool reader_gone(int error);

// Writes text on standard error so that a person reads it: on a Windows
// console through the wide-character API, else as bytes (on Windows in the
// system's code page, as other console programs write redirected text).
void write_error_text(std::string_view text);

// The absolute form of a file's name (symbolic links resolved where the
// system does so), or the name as given when it cannot be had.
std::string absolute_path(const std::string& name);

}  // namespace brenlow
