#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "run/output_file.h"
#if defined(__linux__)
#include <sys/vfs.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace brenlow {

namespace {

// The temporary file that a signal ending the program must remove, or null.
// An atomic pointer is all a signal handler may safely read.
std::atomic<const char*> pending_temporary{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free,
              "a signal handler reads the pointer");

// Every signal whose default action ends the program and that a handler
// may catch, except SIGPIPE and SIGXFSZ, which main ignores so that a
// closed reader and a file size limit come back as write errors; and
// except the faults of the program itself (SIGSEGV, SIGBUS, SIGFPE,
// SIGILL), which are left to their default action and to sanitizers.
// Linux also ends the program on its real-time signals (see
// cleanup_signal_set).
constexpr int cleanup_signals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGTRAP,   SIGABRT, SIGUSR1, SIGUSR2,
    SIGALRM,   SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF, SIGSYS,
#if defined(SIGPOLL)
    SIGPOLL,
#endif
#if defined(SIGPWR)
    SIGPWR,
#endif
#if defined(SIGSTKFLT)
    SIGSTKFLT,
#endif
};

sigset_t cleanup_signal_set() {
  sigset_t set;
  sigemptyset(&set);
  for (const int s : cleanup_signals) sigaddset(&set, s);
#if defined(SIGRTMIN)
  for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) sigaddset(&set, s);
#endif
  return set;
}

extern "C" void remove_temporary_and_end(int signal_number) {
  remove_temporary_now();
  // The default action ends the program the way the signal would have, so
  // a shell reports 128 + the signal's number. The signal is blocked while
  // its handler runs: it arrives again as the handler returns.
  (void)signal(signal_number, SIG_DFL);
  (void)raise(signal_number);
}

// Handles the signals that end a run from outside, except those that the
// parent has the program ignore (a background job's SIGINT, nohup's SIGHUP).
void handle_cleanup_signals() {
  static bool handled = false;
  if (handled) return;
  handled = true;
  struct sigaction action {};
  action.sa_handler = remove_temporary_and_end;
  action.sa_mask = cleanup_signal_set();
  for (int s = 1; s < NSIG; ++s) {
    if (sigismember(&action.sa_mask, s) != 1) continue;
    struct sigaction old {};
    if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) {
      continue;
    }
    (void)sigaction(s, &action, nullptr);
  }
}

// Holds back the cleanup signals while the temporary file and its name in
// pending_temporary change together.
class cleanup_signals_held {
 public:
  cleanup_signals_held() {
    const sigset_t set = cleanup_signal_set();
    (void)sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~cleanup_signals_held() { (void)sigprocmask(SIG_SETMASK, &old_, nullptr); }
  cleanup_signals_held(const cleanup_signals_held&) = delete;
  cleanup_signals_held& operator=(const cleanup_signals_held&) = delete;

 private:
  sigset_t old_;
};

// The folder part of path, with its final slash; empty for a bare name.
std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// True when the symbolic link at path is one of the system's links to an
// open file (/proc/self/fd/N, which /dev/stdout and /dev/fd/N lead to): its
// text is no name of that file, and opening it opens the file itself.
bool is_descriptor_link(const std::string& path) {
#if defined(__linux__)
  constexpr long proc_super_magic = 0x9fa0;
  const std::string folder = folder_of(path);
  struct statfs info;
  return statfs(folder.empty() ? "." : folder.c_str(), &info) == 0 &&
         static_cast<long>(info.f_type) == proc_super_magic;
#else
  (void)path;
  return false;
#endif
}

// Sets link_text to the text of the symbolic link at path. Returns 0 or an
// errno.
int read_link(const std::string& path, std::string& link_text) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t size = readlink(path.c_str(), buffer.data(), buffer.size());
    if (size < 0) return errno;
    if (static_cast<std::size_t>(size) < buffer.size()) {
      link_text.assign(buffer.data(), static_cast<std::size_t>(size));
      return 0;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// Follows the symbolic links that name leads through, as the system does
// when it opens name, to a name that is no link: an existing file or a
// missing name. A relative link is read from the folder of the link. Sets
// through_descriptor when the way leads through a link to an open file,
// which is then opened rather than followed further. Returns 0 or an errno
// (ELOOP after 40 links, as the system gives up).
int follow_links(const std::string& name, std::string& resolved,
                 bool& through_descriptor) {
  resolved = name;
  through_descriptor = false;
  for (int links = 0;; ++links) {
    struct stat info;
    if (lstat(resolved.c_str(), &info) != 0) {
      return errno == ENOENT ? 0 : errno;
    }
    if (!S_ISLNK(info.st_mode)) return 0;
    if (is_descriptor_link(resolved)) {
      through_descriptor = true;
      return 0;
    }
    if (links == 40) return ELOOP;
    std::string link_text;
    const int error = read_link(resolved, link_text);
    if (error != 0) return error;
    if (!link_text.empty() && link_text[0] == '/') {
      resolved = link_text;
    } else {
      resolved = folder_of(resolved).append(link_text);
    }
  }
}

int open_in_place(replacement_file& replacement) {
  // What a shell's "> name" does to a name that exists.
  const int fd = open(replacement.replaced.c_str(),
                      O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno;
  replacement.file = fdopen(fd, "wb");
  if (replacement.file == nullptr) {
    const int error = errno;
    close(fd);
    return error;
  }
  return 0;
}

// existing is the file to replace, or null for a new file.
int open_temporary(replacement_file& replacement, const struct stat* existing) {
  // A short name of fixed length: it fits wherever the target's name fits.
  // mkstemp fills it in where it stands, so that nothing is allocated
  // between making the file and recording its name.
  replacement.temporary = folder_of(replacement.replaced) + ".brenlow-XXXXXX";
  handle_cleanup_signals();
  int fd;
  {
    cleanup_signals_held held;
    fd = mkstemp(&replacement.temporary[0]);
    if (fd < 0) {
      const int error = errno;
      replacement.temporary.clear();
      return error;
    }
    pending_temporary.store(replacement.temporary.c_str());
  }
  // mkstemp makes the file private to its creator. A replaced file keeps
  // its owner and group where the process may give them (as root, or a
  // group the user is in), and its permissions without the set-ID and
  // sticky bits, which the new contents were never granted.
  mode_t mode;
  if (existing != nullptr) {
    if ((existing->st_uid != geteuid() || existing->st_gid != getegid()) &&
        fchown(fd, existing->st_uid, existing->st_gid) != 0) {
      (void)fchown(fd, static_cast<uid_t>(-1), existing->st_gid);
    }
    mode = existing->st_mode & 0777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  (void)fchmod(fd, mode);
  replacement.file = fdopen(fd, "wb");
  if (replacement.file == nullptr) {
    const int error = errno;
    close(fd);
    abandon_replacement(replacement);
    return error;
  }
  return 0;
}

}  // namespace

int open_replacement(const std::string& target, replacement_file& replacement) {
  replacement.target = target;
  bool through_descriptor = false;
  int error = follow_links(target, replacement.replaced, through_descriptor);
  if (error != 0) return error;
  struct stat info;
  const bool exists = stat(replacement.replaced.c_str(), &info) == 0;
  if (!exists && errno != ENOENT) return errno;
  if (exists && (through_descriptor || !S_ISREG(info.st_mode))) {
    replacement.in_place = true;
    return open_in_place(replacement);
  }
  return open_temporary(replacement, exists ? &info : nullptr);
}

int commit_replacement(replacement_file& replacement) {
  int error = 0;
  if (std::fflush(replacement.file) != 0) error = errno;
  if (error == 0 && !replacement.in_place &&
      fsync(fileno(replacement.file)) != 0 && errno != EINVAL) {
    error = errno;
  }
  if (std::fclose(replacement.file) != 0 && error == 0) error = errno;
  replacement.file = nullptr;
  if (replacement.in_place) return error;
  cleanup_signals_held held;
  if (error == 0 && std::rename(replacement.temporary.c_str(),
                                replacement.replaced.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) unlink(replacement.temporary.c_str());
  pending_temporary.store(nullptr);
  replacement.temporary.clear();
  return error;
}

void abandon_replacement(replacement_file& replacement) {
  // The file is removed next; whether its close failed no longer matters.
  if (replacement.file != nullptr) (void)std::fclose(replacement.file);
  replacement.file = nullptr;
  if (replacement.temporary.empty()) return;
  cleanup_signals_held held;
  unlink(replacement.temporary.c_str());
  pending_temporary.store(nullptr);
  replacement.temporary.clear();
}

void remove_temporary_now() {
  const char* name = pending_temporary.load();
  if (name != nullptr) (void)unlink(name);
}

}  // namespace brenlow
