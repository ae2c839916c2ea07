// The conversion run: the command line, the input file, the messages on
// standard error and the exit status.
#pragma once

namespace brenlow {

// Converts the IME text dictionary named by argv[1] and prints it as an SKK
// dictionary on standard output; prints the usage text without an argument.
// Returns the exit status (run/exit_status.h): success (warnings included),
// failure when the input cannot be converted or the output cannot be
// written, a command-line error, or reader gone, without a message, when the
// reader of standard output has gone (a closed pipe).
int run_conversion(int argc, char** argv);

}  // namespace brenlow
