#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "run/output_file.h"
#include "run/wide_text.h"

namespace brenlow {

namespace {

int errno_from(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    default: return EIO;
  }
}

// The folder part of name, with its final separator (or the drive of
// "C:name"); empty for a bare name.
std::string folder_of(const std::string& name) {
  const std::size_t end = name.find_last_of("/\\:");
  return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

// True when the last part of name is one of the device names that Windows
// reserves in every folder (CON, NUL, COM1 ...; "nul.txt" too).
bool has_device_name(const std::string& name) {
  std::string base = name.substr(folder_of(name).size());
  const std::size_t dot = base.find('.');
  if (dot != std::string::npos) base.resize(dot);
  for (char& c : base) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" ||
      base == "CONIN$" || base == "CONOUT$") {
    return true;
  }
  return base.size() == 4 &&
         (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// True when name is something that exists and is no file on a disk: a
// device such as NUL or CON, or a pipe. These are written in place.
bool is_device(const std::string& name) {
  if (has_device_name(name)) return true;
  const HANDLE handle =
      CreateFileW(windows_name(name).c_str(), 0,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const DWORD type = GetFileType(handle);
  CloseHandle(handle);
  return type != FILE_TYPE_DISK;
}

}  // namespace

int open_replacement(const std::string& target, replacement_file& replacement) {
  replacement.target = target;
  replacement.replaced = target;
  if (is_device(target)) {
    replacement.in_place = true;
    replacement.file = _wfopen(windows_name(target).c_str(), L"wb");
    return replacement.file == nullptr ? errno : 0;
  }
  // A short name of fixed length in the target's folder, which no other run
  // uses: the process number and a counter, retried while a file of that
  // name exists.
  const unsigned long process = GetCurrentProcessId();
  const std::string folder = folder_of(target);
  int fd = -1;
  for (unsigned attempt = 0; fd < 0; ++attempt) {
    char name[40];
    std::snprintf(name, sizeof name, ".brenlow-%08lx%04x", process, attempt);
    replacement.temporary = folder + name;
    const errno_t error =
        _wsopen_s(&fd, windows_name(replacement.temporary).c_str(),
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
  if (error == 0 && !replacement.in_place &&
      _commit(_fileno(replacement.file)) != 0) {
    error = errno;
  }
  if (std::fclose(replacement.file) != 0 && error == 0) error = errno;
  replacement.file = nullptr;
  if (replacement.in_place) return error;
  const std::wstring temporary = windows_name(replacement.temporary);
  if (error == 0 &&
      !MoveFileExW(temporary.c_str(), windows_name(replacement.target).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = errno_from(GetLastError());
  }
  if (error != 0) _wremove(temporary.c_str());
  replacement.temporary.clear();
  return error;
}

void abandon_replacement(replacement_file& replacement) {
  // The file is removed next; whether its close failed no longer matters.
  if (replacement.file != nullptr) (void)std::fclose(replacement.file);
  replacement.file = nullptr;
  if (!replacement.temporary.empty()) {
    _wremove(windows_name(replacement.temporary).c_str());
    replacement.temporary.clear();
  }
}

void remove_temporary_now() {
  // No fault of the input ends the Windows program: a mapped file cannot
  // be cut short there.
}

}  // namespace brenlow
