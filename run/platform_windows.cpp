#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "run/platform.h"
#include "run/wide_text.h"

namespace brenlow {

std::FILE* open_input_file(const std::string& name) {
  const std::wstring wide = windows_name(name);
  std::FILE* file = _wfopen(wide.c_str(), L"rb");
  if (file == nullptr && errno == EACCES) {
    // Windows refuses to open a folder as a file with "access denied"; say
    // what is really wrong, as the POSIX program does.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      errno = EISDIR;
    }
  }
  return file;
}

bool reader_gone(int error) {
  if (error == EPIPE) return true;
  // msvcrt reports a write into a pipe closed at its other end as EINVAL
  // (and leaves no system error code to tell); a write into an open pipe
  // has no other way to be an invalid argument.
  const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  return error == EINVAL && handle != nullptr &&
         handle != INVALID_HANDLE_VALUE &&
         GetFileType(handle) == FILE_TYPE_PIPE;
}

void write_error_text(std::string_view text) {
  const std::u16string utf_16 = utf_16_from_utf_8(text);
  const std::wstring wide(utf_16.begin(), utf_16.end());
  const int wide_size = static_cast<int>(wide.size());
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE &&
      GetConsoleMode(handle, &mode)) {
    // A console shows every character this way, whatever its code page.
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide_size), &written,
                  nullptr);
    return;
  }
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_size,
                                       nullptr, 0, nullptr, nullptr);
  if (size <= 0) return;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_size, &bytes[0], size,
                      nullptr, nullptr);
  // Standard error is the last place to report anything; if it fails there
  // is nowhere left to say so, and the exit status still tells.
  (void)std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  (void)std::fflush(stderr);
}

std::string absolute_path(const std::string& name) {
  const std::wstring wide = windows_name(name);
  wchar_t* full = _wfullpath(nullptr, wide.c_str(), 0);
  if (full == nullptr) return name;
  const std::wstring resolved(full);
  std::free(full);
  return utf_8_from_utf_16(std::u16string(resolved.begin(), resolved.end()));
}

}  // namespace brenlow
