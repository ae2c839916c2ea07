#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "run/exit_status.h"
#include "run/run_conversion.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include "run/wide_text.h"
#endif

namespace {

// The exit status of run(), or 1 with a message when memory runs out
// outside the conversion itself (which reports it with the file's name).
template <class Run>
int guarded(const Run& run) {
  try {
    return run();
  } catch (const std::bad_alloc&) {
    // Written without allocating; the table is gone by now anyway.
    (void)std::fputs("brenlow: out of memory\n", stderr);
    return brenlow::exit_failure;
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
  return guarded([&] {
    std::vector<std::string> arguments(static_cast<std::size_t>(argc));
    std::vector<char*> argv(arguments.size() + 1, nullptr);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      const std::wstring_view wide(wide_argv[i]);
      arguments[i] =
          brenlow::utf_8_from_utf_16(std::u16string(wide.begin(), wide.end()));
      argv[i] = &arguments[i][0];
    }
    return brenlow::run_conversion(argc, argv.data());
  });
}
#else
int main(int argc, char** argv) {
  // A reader that goes away (brenlow big.txt | head) shows up as EPIPE from
  // the write, which the run handles, whatever the parent did with SIGPIPE.
  (void)std::signal(SIGPIPE, SIG_IGN);
  // A file size limit (ulimit -f) shows up as EFBIG from the write, a write
  // error like a full disk, rather than ending the program at once (which
  // would leave a temporary file of -o behind).
  (void)std::signal(SIGXFSZ, SIG_IGN);
  return guarded([&] { return brenlow::run_conversion(argc, argv); });
}
#endif
