// The exit statuses of the program.
#pragma once

namespace brenlow {

enum exit_status : int {
  exit_success = 0,
  // The input could not be converted or the output not written.
  exit_failure = 1,
  // An unknown option or a missing or bad value.
  exit_command_line_error = 2,
  // The reader of standard output went away (brenlow x.txt | head): the
  // status a shell reports for a writer stopped by SIGPIPE (128 + 13), as
  // for cat, whether or not SIGPIPE was ignored.
  exit_reader_gone = 141,
};

}  // namespace brenlow
