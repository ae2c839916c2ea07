#include "conversion/filing_thread.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <system_error>
#include <utility>

namespace brenlow {

batch_filer files_into(reading_table& table) {
  return [&table](const word_filing* filings, std::size_t count,
                  std::uint32_t* entries) {
    add_words(table, filings, count, entries);
  };
}

batch_filer files_recoded_into(reading_table& table, text_encoding held,
                               output_encoding target) {
  // Recoded on the filing thread, as the words are copied into the table:
  // a pass over the whole table after the filing would take as long again
  // as the writing, on one thread.
  // A call files at most 64 words of under 64 KiB each, with their
  // readings (a longer one is filed alone): room for them recoded is kept
  // from call to call, more is let go after its call.
  constexpr std::size_t batch_room = std::size_t{16} << 20;
  struct recoding {
    std::unique_ptr<char[]> bytes;
    std::size_t room = 0;
    std::vector<word_filing> filings;
  };
  auto scratch = std::make_shared<recoding>();
  return [&table, held, target, scratch](const word_filing* filings,
                                         std::size_t count,
                                         std::uint32_t* entries) {
    recoding& r = *scratch;
    std::size_t need = 0;
    for (std::size_t k = 0; k < count; ++k) {
      need += 4 * (filings[k].reading.size() + filings[k].word.size());
    }
    if (need > r.room) {
      r.bytes.reset(new char[need]);
      r.room = need;
    }
    r.filings.resize(count);
    char* out = r.bytes.get();
    const auto recoded = [&](std::string_view text) {
      const std::size_t size = write_recoded(text, held, target, out);
      const std::string_view written(out, size);
      out += size;
      return written;
    };
    for (std::size_t k = 0; k < count; ++k) {
      const std::string_view reading = recoded(filings[k].reading);
      r.filings[k] = word_filing{reading, recoded(filings[k].word)};
    }
    add_words(table, r.filings.data(), count, entries);
    // The room of a word filed at once (perhaps hundreds of megabytes) is
    // not kept for the batches of short words after it.
    if (r.room > batch_room) {
      r.bytes.reset();
      r.room = 0;
    }
  };
}

filing_thread::filing_thread(batch_filer file,
                             std::vector<std::uint32_t>& typed_entries,
                             std::string_view stable,
                             std::function<void(const char*)> done_with)
    : file_(std::move(file)),
      typed_entries_(typed_entries),
      stable_(stable),
      done_with_(std::move(done_with)) {
  filling_.words.reserve(batch_size);
  try {
    worker_ = std::thread([this] { work(); });
  } catch (const std::system_error&) {
    // No thread to be had (a process limit): the words are filed here.
  }
}

filing_thread::~filing_thread() {
  if (!worker_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

filing_thread::field filing_thread::keep(std::string_view text) {
  // Compared as addresses: text may lie anywhere.
  const auto at = reinterpret_cast<std::uintptr_t>(text.data());
  const auto start = reinterpret_cast<std::uintptr_t>(stable_.data());
  if (at >= start && at - start <= stable_.size() &&
      text.size() <= stable_.size() - (at - start)) {
    return {text.data(), text.size()};
  }
  filling_.bytes.append(text);
  return {nullptr, text.size()};
}

void filing_thread::add(std::string_view reading, std::string_view word,
                        bool typed) {
  if (reading.size() + word.size() > large_filing) {
    file_large(reading, word, typed);
    return;
  }
  const field kept_reading = keep(reading);
  filling_.words.push_back(added{kept_reading, keep(word), typed});
  filling_.held += reading.size() + word.size();
  if (filling_.words.size() == batch_size || filling_.held >= batch_bytes) {
    hand_over();
  }
}

void filing_thread::mark_done(const char* end) {
  // A batch carries one mark: one of few words can span much of stable,
  // whose pages wait for its mark.
  if (filling_.done_mark != nullptr) hand_over();
  filling_.done_mark = end;
}

void filing_thread::file_large(std::string_view reading, std::string_view word,
                               bool typed) {
  hand_over();
  if (worker_.joinable()) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return (!ready_ && !busy_) || failure_; });
    if (failure_) std::rethrow_exception(failure_);
  }
  // The thread waits for its next batch: until then the table is this
  // side's, and the word is filed from the views, not a copy.
  const word_filing filing{reading, word};
  std::uint32_t entry = 0;
  file_(&filing, 1, &entry);
  if (typed) typed_entries_.push_back(entry);
}

void filing_thread::hand_over() {
  if (filling_.words.empty() && filling_.done_mark == nullptr) return;
  if (!worker_.joinable()) {
    file(filling_);
  } else {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !ready_ || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    std::swap(filling_, handed_);
    ready_ = true;
    lock.unlock();
    changed_.notify_all();
  }
  filling_.words.clear();
  filling_.bytes.clear();
  filling_.held = 0;
  filling_.done_mark = nullptr;
}

void filing_thread::finish() {
  hand_over();
  if (!worker_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  changed_.notify_all();
  worker_.join();
  if (failure_) std::rethrow_exception(failure_);
}

void filing_thread::file(batch& words) {
  // The batch no longer moves (a short string's bytes move with it): the
  // filings can view its copies.
  words.filings.clear();
  const char* copies = words.bytes.data();
  const auto view = [&](const field& f) {
    if (f.data != nullptr) return std::string_view(f.data, f.size);
    const std::string_view copy(copies, f.size);
    copies += f.size;
    return copy;
  };
  for (const added& a : words.words) {
    const std::string_view reading = view(a.reading);
    words.filings.push_back(word_filing{reading, view(a.word)});
  }
  constexpr std::size_t chunk = 64;
  std::uint32_t entries[chunk];
  for (std::size_t done = 0; done < words.filings.size(); done += chunk) {
    const std::size_t n = std::min(chunk, words.filings.size() - done);
    file_(words.filings.data() + done, n, entries);
    for (std::size_t k = 0; k < n; ++k) {
      if (words.words[done + k].typed) typed_entries_.push_back(entries[k]);
    }
  }
  if (words.done_mark != nullptr && done_with_) done_with_(words.done_mark);
}

void filing_thread::work() {
  batch working;
  for (;;) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return ready_ || done_ || stop_; });
    if (stop_ || !ready_) return;
    std::swap(working, handed_);
    ready_ = false;
    busy_ = true;
    lock.unlock();
    changed_.notify_all();
    try {
      file(working);
    } catch (...) {
      const std::lock_guard<std::mutex> failed(mutex_);
      failure_ = std::current_exception();
      changed_.notify_all();
      return;
    }
    lock.lock();
    busy_ = false;
    lock.unlock();
    changed_.notify_all();
  }
}

}  // namespace brenlow
