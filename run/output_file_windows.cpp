#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "run/output_file.h"
#include "run/wide_text.h"

namespace brenlow {

namespace {

int errno_from(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    default:
      return EIO;
  }
}

}  // namespace

int open_replacement(const std::string& target, replacement_file& replacement) {
  replacement.target = target;
  // A name no other run uses: the process number and a counter, retried
  // while a file of that name exists.
  const unsigned long process = GetCurrentProcessId();
  int fd = -1;
  for (unsigned attempt = 0; fd < 0; ++attempt) {
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".brenlow-%lx-%u", process, attempt);
    replacement.temporary = target + suffix;
    const errno_t error = _wsopen_s(
        &fd, windows_name(replacement.temporary).c_str(),
        _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _SH_DENYRW,
        _S_IREAD | _S_IWRITE);
    if (error == 0) break;
    fd = -1;
    if (error != EEXIST || attempt == 100) {
      replacement.temporary.clear();
      return error;
    }
  }
  replacement.file = _fdopen(fd, "wb");
  if (replacement.file == nullptr) {
    const int error = errno;
    _close(fd);
    _wremove(windows_name(replacement.temporary).c_str());
    replacement.temporary.clear();
    return error;
  }
  return 0;
}

int commit_replacement(replacement_file& replacement) {
  int error = 0;
  if (std::fflush(replacement.file) != 0) error = errno;
  if (error == 0 && _commit(_fileno(replacement.file)) != 0) error = errno;
  if (std::fclose(replacement.file) != 0 && error == 0) error = errno;
  replacement.file = nullptr;
  const std::wstring temporary = windows_name(replacement.temporary);
  if (error == 0 &&
      !MoveFileExW(temporary.c_str(), windows_name(replacement.target).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = errno_from(GetLastError());
  }
  if (error != 0) _wremove(temporary.c_str());
  return error;
}

void abandon_replacement(replacement_file& replacement) {
  // The file is removed next; whether its close failed no longer matters.
  if (replacement.file != nullptr) (void)std::fclose(replacement.file);
  replacement.file = nullptr;
  if (!replacement.temporary.empty()) {
    _wremove(windows_name(replacement.temporary).c_str());
  }
}

}  // namespace brenlow
