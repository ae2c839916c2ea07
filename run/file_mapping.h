// A regular file mapped read-only into memory, so that its bytes are used
// where the system's cache holds them instead of copied into fresh memory.
// What differs between the systems is in file_mapping_posix.cpp and
// file_mapping_windows.cpp.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace brenlow {

struct mapped_file {
  const char* data = nullptr;
  std::size_t size = 0;
  void* handle = nullptr;  // the mapping object, where the system has one
  int descriptor = -1;     // the file, kept open to see its size
};

// Maps the whole of file read-only when it is a regular file that is not
// empty, is read from its start (standard input may be left at another
// offset) and fits in the address space; returns false, with nothing
// mapped, for anything else (a pipe, a device, a failed mapping), which is
// to be read instead. Until unmap_file, a page past the file's end, which
// the file lost to another program cutting it short while mapped, ends the
// program on its first touch: "brenlow: SHOWN_NAME: the file was truncated
// while it was read" on standard error, the temporary file of -o removed,
// exit status failure; never a crash. (Windows lets no program cut a
// mapped file short.)
bool map_file(std::FILE* file, const std::string& shown_name,
              mapped_file& mapped);

// Brings the pages of [offset, offset + size) of the mapping into memory
// ahead of their use, in one request rather than a fault per page; where
// the system cannot, they come in as they are touched.
void bring_in(const mapped_file& mapped, std::size_t offset, std::size_t size);

// Lets the system take back the memory of the mapping's pages that lie
// wholly in [offset, offset + size): they come back from the file if they
// are touched again. Nothing where the system has no such request
// (Windows).
void give_back(const mapped_file& mapped, std::size_t offset, std::size_t size);

// True when the mapped file is now shorter than when it was mapped: its
// last page may then show zeros where it had text, with no fault to tell.
// Always false on Windows, where a mapped file cannot be cut short.
bool cut_short(const mapped_file& mapped);

// Unmaps what map_file mapped (nothing when nothing is).
void unmap_file(mapped_file& mapped);

// For the test of a file cut short while mapped: with
// BRENLOW_TEST_PAUSE_AFTER_MAP naming a FIFO, waits until a writer has
// opened it and closed it again, so that the test cuts the file short in
// between. Does nothing otherwise, and on Windows.
void pause_after_mapping();

}  // namespace brenlow
