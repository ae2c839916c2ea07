#include "run/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace brenlow {

int open_replacement(const std::string& target, replacement_file& replacement) {
  replacement.target = target;
  std::vector<char> name(target.begin(), target.end());
  const char suffix[] = ".brenlow-XXXXXX";
  name.insert(name.end(), suffix, suffix + sizeof suffix);
  const int fd = mkstemp(name.data());
  if (fd < 0) return errno;
  replacement.temporary = name.data();
  // mkstemp makes the file private; give it the target's permissions, or
  // those of a newly created file.
  struct stat info;
  mode_t mode;
  if (stat(target.c_str(), &info) == 0) {
    mode = info.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);
  replacement.file = fdopen(fd, "wb");
  if (replacement.file == nullptr) {
    const int error = errno;
    close(fd);
    unlink(replacement.temporary.c_str());
    return error;
  }
  return 0;
}

int commit_replacement(replacement_file& replacement) {
  int error = 0;
  if (std::fflush(replacement.file) != 0) error = errno;
  if (error == 0 && fsync(fileno(replacement.file)) != 0 && errno != EINVAL) {
    error = errno;
  }
  if (std::fclose(replacement.file) != 0 && error == 0) error = errno;
  replacement.file = nullptr;
  if (error == 0 &&
      std::rename(replacement.temporary.c_str(), replacement.target.c_str()) !=
          0) {
    error = errno;
  }
  if (error != 0) unlink(replacement.temporary.c_str());
  return error;
}

void abandon_replacement(replacement_file& replacement) {
  // The file is removed next; whether its close failed no longer matters.
  if (replacement.file != nullptr) (void)std::fclose(replacement.file);
  replacement.file = nullptr;
  if (!replacement.temporary.empty()) unlink(replacement.temporary.c_str());
}

}  // namespace brenlow
