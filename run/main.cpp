#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "run/run_conversion.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include "run/wide_text.h"
#endif

namespace {

int guarded_run(int argc, char** argv) {
  try {
    return run_conversion(argc, argv);
  } catch (const std::bad_alloc&) {
    // Written without allocating; the table is gone by now anyway.
    (void)std::fputs("brenlow: out of memory\n", stderr);
    return 1;
  }
}

}  // namespace

#if defined(_WIN32)
// The wide-character command line carries a file name in any script,
// whatever the system's code page; it goes on as UTF-8.
int wmain(int argc, wchar_t** wide_argv) {
  // The same bytes as on every other platform: the output layer writes the
  // line ends itself, where text mode would make CR LF into CR CR LF (and
  // would end the input at a stray Ctrl-Z).
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::string> arguments;
  std::vector<char*> argv;
  try {
    for (int i = 0; i < argc; ++i) {
      const std::wstring_view wide(wide_argv[i]);
      arguments.push_back(
          utf_8_from_utf_16(std::u16string(wide.begin(), wide.end())));
    }
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
  } catch (const std::bad_alloc&) {
    (void)std::fputs("brenlow: out of memory\n", stderr);
    return 1;
  }
  return guarded_run(argc, argv.data());
}
#else
int main(int argc, char** argv) {
  // A reader that goes away (brenlow big.txt | head) shows up as EPIPE from
  // the write, which the run handles, whatever the parent did with SIGPIPE.
  (void)std::signal(SIGPIPE, SIG_IGN);
  return guarded_run(argc, argv);
}
#endif
