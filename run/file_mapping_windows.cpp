#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>

#include "run/file_mapping.h"

namespace brenlow {

bool map_file(std::FILE* file, const std::string&, mapped_file& mapped) {
  const int fd = _fileno(file);
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
      _lseeki64(fd, 0, SEEK_CUR) != 0) {
    return false;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle, &size) || size.QuadPart <= 0) return false;
  const auto bytes = static_cast<std::uint64_t>(size.QuadPart);
  // A file larger than half the address space is read as before (and runs
  // out of memory as before).
  if (bytes > static_cast<std::size_t>(-1) / 2) return false;
  // Windows lets no program cut short a file whose view is mapped, so the
  // view cannot lose its pages.
  const HANDLE mapping =
      CreateFileMappingW(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) return false;
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  if (view == nullptr) {
    CloseHandle(mapping);
    return false;  // no room for the view: read into memory instead
  }
  mapped.data = static_cast<const char*>(view);
  mapped.size = static_cast<std::size_t>(bytes);
  mapped.handle = mapping;
  return true;
}

void bring_in(const mapped_file&, std::size_t, std::size_t) {
  // The pages come in as they are touched.
}

void give_back(const mapped_file&, std::size_t, std::size_t) {
  // The pages stay until the file is unmapped.
}

bool cut_short(const mapped_file&) { return false; }

void unmap_file(mapped_file& mapped) {
  if (mapped.data == nullptr) return;
  UnmapViewOfFile(mapped.data);
  CloseHandle(static_cast<HANDLE>(mapped.handle));
  mapped = mapped_file();
}

void pause_after_mapping() {}

}  // namespace brenlow
