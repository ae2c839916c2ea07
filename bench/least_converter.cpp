// The least a converter of IME text dictionaries does, as fast as one thread
// does it: the file mapped, each line split at its first two TABs, the
// lines grouped by reading in an open-addressing hash table (hashes made a
// batch ahead, their slots prefetched), and one SKK line written per
// reading, in order of first appearance, through a 1 MiB buffer. No check
// of encoding, reading or word, no annotation, no message: every rule
// brenlow applies is left out. The benchmark times it beside cat to show
// how much of the time cat allows any conversion takes.
//
// Usage: least_converter FILE (the dictionary on standard output).
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

namespace {

struct reading {
  std::uint32_t start, size;  // in the text
  std::uint32_t words;        // how many; then where its words start
};
struct word {
  std::uint32_t start, size, reading;
};

std::uint64_t hash_of(std::string_view bytes) {
  return std::hash<std::string_view>()(bytes);
}

class table {
 public:
  // Room for about expected readings before the slots grow.
  table(const char* text, std::size_t expected) : text_(text) {
    std::size_t slots = 1u << 16;
    while (slots < 2 * expected) slots *= 2;
    slots_.resize(slots);
    readings.reserve(expected);
    words.reserve(expected);
  }

  std::size_t slot_of(std::uint64_t hash) const {
    return hash & (slots_.size() - 1);
  }
  const void* slot_address(std::uint64_t hash) const {
    return &slots_[slot_of(hash)];
  }

  void add(std::uint32_t start, std::uint32_t size, std::uint64_t hash,
           std::uint32_t word_start, std::uint32_t word_size) {
    if (2 * (readings.size() + 1) > slots_.size()) grow();
    const std::uint32_t tag = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t i = slot_of(hash);; i = (i + 1) & (slots_.size() - 1)) {
      slot& s = slots_[i];
      if (s.entry == 0) {
        words.push_back({word_start, word_size,
                         static_cast<std::uint32_t>(readings.size())});
        readings.push_back({start, size, 1});
        s = {tag, static_cast<std::uint32_t>(readings.size())};
        return;
      }
      reading& r = readings[s.entry - 1];
      if (s.tag == tag && r.size == size &&
          std::memcmp(text_ + r.start, text_ + start, size) == 0) {
        words.push_back({word_start, word_size, s.entry - 1});
        ++r.words;
        return;
      }
    }
  }

  std::vector<reading> readings;
  std::vector<word> words;  // in the order of the lines

 private:
  struct slot {
    std::uint32_t tag, entry;  // entry: a reading's index + 1, or 0
  };
  void grow() {
    std::vector<slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const slot& s : old) {
      if (s.entry == 0) continue;
      const reading& r = readings[s.entry - 1];
      std::size_t i =
          slot_of(hash_of(std::string_view(text_ + r.start, r.size)));
      while (slots_[i].entry != 0) i = (i + 1) & (slots_.size() - 1);
      slots_[i] = s;
    }
  }
  const char* text_;
  std::vector<slot> slots_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    (void)std::fprintf(stderr, "usage: least_converter FILE\n");
    return 2;
  }
  const int fd = open(argv[1], O_RDONLY);
  struct stat status;
  if (fd < 0 || fstat(fd, &status) != 0 || status.st_size == 0 ||
      status.st_size >= (std::int64_t{1} << 32)) {
    (void)std::fprintf(stderr, "least_converter: cannot map %s\n", argv[1]);
    return 1;
  }
  const std::size_t size = static_cast<std::size_t>(status.st_size);
  void* mapped =
      mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  if (mapped == MAP_FAILED) return 1;
  const char* text = static_cast<const char*>(mapped);

  // A line of a real dictionary takes some 30 bytes.
  table grouped(text, size / 24);
  constexpr int batch = 16;
  struct line {
    std::uint32_t start, size, word_start, word_size;
    std::uint64_t hash;
  } lines[batch];
  for (std::size_t pos = 0; pos < size;) {
    int n = 0;
    while (n < batch && pos < size) {
      const char* feed =
          static_cast<const char*>(std::memchr(text + pos, '\n', size - pos));
      std::size_t end = feed != nullptr ? feed - text : size;
      const std::size_t next = end + 1;
      if (end > pos && text[end - 1] == '\r') --end;
      const char* tab =
          static_cast<const char*>(std::memchr(text + pos, '\t', end - pos));
      if (tab != nullptr && tab != text + pos && text[pos] != '!') {
        const std::size_t word_start = tab - text + 1;
        const char* word_end = static_cast<const char*>(
            std::memchr(text + word_start, '\t', end - word_start));
        line& l = lines[n++];
        l.start = static_cast<std::uint32_t>(pos);
        l.size = static_cast<std::uint32_t>(tab - text - pos);
        l.word_start = static_cast<std::uint32_t>(word_start);
        l.word_size = static_cast<std::uint32_t>(
            (word_end != nullptr ? word_end - text : end) - word_start);
        l.hash = hash_of(std::string_view(text + l.start, l.size));
        __builtin_prefetch(grouped.slot_address(l.hash));
      }
      pos = next;
    }
    for (int k = 0; k < n; ++k) {
      const line& l = lines[k];
      grouped.add(l.start, l.size, l.hash, l.word_start, l.word_size);
    }
  }

  // Each reading's words side by side (a counting pass), so that writing
  // reads them without following a chain from word to word.
  std::uint32_t at = 0;
  for (reading& r : grouped.readings) {
    const std::uint32_t count = r.words;
    r.words = at;
    at += count;
  }
  std::vector<std::uint32_t> order(grouped.words.size());
  {
    std::vector<std::uint32_t> next(grouped.readings.size());
    for (std::size_t r = 0; r < next.size(); ++r) {
      next[r] = grouped.readings[r].words;
    }
    for (std::uint32_t w = 0; w < order.size(); ++w) {
      order[next[grouped.words[w].reading]++] = w;
    }
  }
  std::vector<char> out(std::size_t{1} << 20);
  std::size_t used = 0;
  const auto put = [&](const char* bytes, std::size_t count) {
    if (used + count > out.size()) {
      if (write(1, out.data(), used) != static_cast<ssize_t>(used)) {
        std::exit(1);
      }
      used = 0;
      if (count > out.size()) out.resize(count);
    }
    std::memcpy(out.data() + used, bytes, count);
    used += count;
  };
  for (std::size_t r = 0; r < grouped.readings.size(); ++r) {
    const reading& entry = grouped.readings[r];
    put(text + entry.start, entry.size);
    put(" /", 2);
    const std::uint32_t end = r + 1 < grouped.readings.size()
                                  ? grouped.readings[r + 1].words
                                  : static_cast<std::uint32_t>(order.size());
    for (std::uint32_t k = entry.words; k < end; ++k) {
      const word& w = grouped.words[order[k]];
      put(text + w.start, w.size);
      put("/", 1);
    }
    put("\n", 1);
  }
  if (write(1, out.data(), used) != static_cast<ssize_t>(used)) return 1;
  return 0;
}
