// Writing the output file named by -o. A missing name or a regular file is
// replaced only by a complete new version: the output goes to a temporary
// file in the target's folder, renamed over the target after a successful
// flush and close. A symbolic link is followed, and the file it leads to is
// replaced (the link stays). Anything else that exists (a device, a FIFO,
// an open descriptor such as /dev/stdout) is opened and written in place,
// as a shell redirection would.
#pragma once

#include <cstdio>
#include <string>

namespace brenlow {

struct replacement_file {
  std::string target;     // the name as given
  std::string replaced;   // the file the temporary file is renamed over
  std::string temporary;  // empty when writing in place
  std::FILE* file = nullptr;
  bool in_place = false;
};

// Opens the output for target: a temporary file beside the file to replace,
// or target itself when it is written in place. A replaced file's owner and
// group are kept where the process may set them, and its permission bits
// less setuid, setgid and sticky; a new file gets 0666 less the umask.
// Until the replacement is committed or abandoned, every signal that would
// end the program and can be caught (SIGINT, SIGTERM, SIGHUP, SIGQUIT,
// SIGUSR1, SIGALRM ...; not SIGKILL, nor the program's own faults such as
// SIGSEGV) removes the temporary file before it ends the program as it
// would have; a signal that the parent left ignored stays ignored. Returns
// 0 or an errno.
int open_replacement(const std::string& target, replacement_file& replacement);

// Flushes and closes the output and renames the temporary file over the
// file it replaces. Returns 0, or an errno after removing the temporary
// file.
int commit_replacement(replacement_file& replacement);

// Closes the output and removes the temporary file; a replaced file is left
// as it was.
void abandon_replacement(replacement_file& replacement);

// Removes the temporary file of a replacement not yet committed or
// abandoned, if there is one; safe in a signal handler, for a fault that
// ends the program (the input file cut short under its mapping).
void remove_temporary_now();

}  // namespace brenlow
