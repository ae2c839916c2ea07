#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "run/exit_status.h"
#include "run/file_mapping.h"
#include "run/output_file.h"

namespace brenlow {

namespace {

// The mapped range and the message a fault in it writes; set before the
// handler can run and read only by it. A signal handler may read atomics.
std::atomic<std::uintptr_t> mapped_start{0};
std::atomic<std::uintptr_t> mapped_end{0};
std::atomic<const char*> truncation_message{nullptr};
std::size_t truncation_message_size = 0;

// A file cut short under its mapping loses the pages past its new end;
// touching one raises SIGBUS. That is reported as what it is; a SIGBUS
// anywhere else is the program's own fault, left to the default action.
extern "C" void report_truncation(int signal_number, siginfo_t* info, void*) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  const char* message = truncation_message.load();
  if (message == nullptr || address < mapped_start.load() ||
      address >= mapped_end.load()) {
    // Returning retries the access, which now ends the program as the
    // signal would have.
    (void)signal(signal_number, SIG_DFL);
    return;
  }
  remove_temporary_now();
  // Standard error is all that is left to say it on; the status tells too.
  (void)!write(STDERR_FILENO, message, truncation_message_size);
  _exit(exit_failure);
}

void handle_truncation(const char* start, std::size_t size,
                       const std::string& shown_name) {
  static std::string message;
  truncation_message.store(nullptr);
  message =
      "brenlow: " + shown_name + ": the file was truncated while it was read\n";
  truncation_message_size = message.size();
  mapped_start.store(reinterpret_cast<std::uintptr_t>(start));
  mapped_end.store(reinterpret_cast<std::uintptr_t>(start) + size);
  truncation_message.store(message.c_str());
  static bool handled = false;
  if (handled) return;
  handled = true;
  struct sigaction action {};
  action.sa_sigaction = report_truncation;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  (void)sigaction(SIGBUS, &action, nullptr);
}

}  // namespace

bool map_file(std::FILE* file, const std::string& shown_name,
              mapped_file& mapped) {
  const int fd = fileno(file);
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0 ||
      lseek(fd, 0, SEEK_CUR) != 0) {
    return false;
  }
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size > static_cast<std::size_t>(-1) / 2) return false;
  void* start = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ,
                     MAP_PRIVATE, fd, 0);
  if (start == MAP_FAILED) return false;
  // The file's size is looked at again after the conversion.
  mapped.descriptor = dup(fd);
  mapped.data = static_cast<const char*>(start);
  mapped.size = static_cast<std::size_t>(size);
  // The whole pages of the mapping: a page past the end of a file cut
  // short faults anywhere in it.
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  handle_truncation(mapped.data, (mapped.size + page - 1) / page * page,
                    shown_name);
  return true;
}

void bring_in(const mapped_file& mapped, std::size_t offset, std::size_t size) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t start = offset / page * page;
  void* at = const_cast<char*>(mapped.data) + start;
  const std::size_t length = offset + size - start;
#if defined(MADV_POPULATE_READ)
  // The pages mapped in one call, not a fault each (Linux 5.14 on).
  if (madvise(at, length, MADV_POPULATE_READ) == 0) return;
#endif
  (void)madvise(at, length, MADV_WILLNEED);
}

void give_back(const mapped_file& mapped, std::size_t offset,
               std::size_t size) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t start = (offset + page - 1) / page * page;
  const std::size_t end = (offset + size) / page * page;
  if (mapped.data == nullptr || end <= start) return;
  // A private read-only mapping of a file: its pages are the file's, and
  // dropping them loses nothing.
  (void)madvise(const_cast<char*>(mapped.data) + start, end - start,
                MADV_DONTNEED);
}

bool cut_short(const mapped_file& mapped) {
  struct stat info;
  return mapped.descriptor >= 0 && fstat(mapped.descriptor, &info) == 0 &&
         static_cast<std::uint64_t>(info.st_size) < mapped.size;
}

void unmap_file(mapped_file& mapped) {
  if (mapped.data == nullptr) return;
  truncation_message.store(nullptr);
  mapped_start.store(0);
  mapped_end.store(0);
  (void)munmap(const_cast<char*>(mapped.data), mapped.size);
  if (mapped.descriptor >= 0) (void)close(mapped.descriptor);
  mapped = mapped_file();
}

void pause_after_mapping() {
  const char* fifo = std::getenv("BRENLOW_TEST_PAUSE_AFTER_MAP");
  if (fifo == nullptr || *fifo == '\0') return;
  // Opening waits for the writer; reading, for it to close.
  const int fd = open(fifo, O_RDONLY);
  if (fd < 0) return;
  char byte;
  while (read(fd, &byte, 1) > 0) {
  }
  (void)close(fd);
}

}  // namespace brenlow
