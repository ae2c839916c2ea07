// Files words into a reading table on a thread of its own, while the lines
// after them are still being read and checked: the two take turns on one
// core otherwise, and filing is a fifth of a conversion's time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "dictionary/reading_table.h"
#include "encodings/output_encoding.h"

namespace brenlow {

// Files count filings in order, setting entries[k] as add_words does.
using batch_filer = std::function<void(
    const word_filing* filings, std::size_t count, std::uint32_t* entries)>;

// The table's own add_words.
batch_filer files_into(reading_table& table);

// add_words with each reading and word first written in target from held
// (write_recoded): every character must be one target writes. The table's
// readings are then found by their bytes in target.
batch_filer files_recoded_into(reading_table& table, text_encoding held,
                               output_encoding target);

class filing_thread {
 public:
  // typed_entries gets the entry of each word added with typed set, in
  // order; it and everything file touches belong to the thread until
  // finish() returns. Words inside stable (the input's text) are filed
  // from their views; the views of others are copied. done_with, when
  // given, is told a mark (mark_done) once every word added before it is
  // filed, on the thread that filed them. Where no thread can be started,
  // words are filed as they come.
  filing_thread(batch_filer file, std::vector<std::uint32_t>& typed_entries,
                std::string_view stable = {},
                std::function<void(const char*)> done_with = {});
  // Stops the thread, leaving unfiled what was not filed yet.
  ~filing_thread();
  filing_thread(const filing_thread&) = delete;
  filing_thread& operator=(const filing_thread&) = delete;

  // Queues a word and its reading: their views where they lie in stable,
  // which stays until its marks are told done, else a copy of what they
  // show, which may change or go once add returns; or files a long one at
  // once, once the words before it are filed. Throws what the filing threw
  // (std::bad_alloc) once the thread has failed.
  void add(std::string_view reading, std::string_view word, bool typed);
  // Tells done_with end once the words added so far are filed: the bytes
  // of stable before end are not viewed again.
  void mark_done(const char* end);
  // Files every word added, in order, and ends the thread. Throws what the
  // filing threw.
  void finish();

 private:
  // A reading or word: where it lies in stable, or, for data nullptr, the
  // next size bytes of its batch's copies.
  struct field {
    const char* data;
    std::size_t size;
  };
  struct added {
    field reading;
    field word;
    bool typed;
  };
  struct batch {
    std::vector<added> words;
    std::string bytes;                 // the copies, in order
    std::size_t held = 0;              // bytes of the readings and words
    std::vector<word_filing> filings;  // views, made to file them
    const char* done_mark = nullptr;   // told done_with once filed
  };
  field keep(std::string_view text);
  void hand_over();
  void file_large(std::string_view reading, std::string_view word, bool typed);
  void file(batch& words);
  void work();

  static constexpr std::size_t batch_size = 4096;
  // A batch is handed over once its fields pass this, and a word (with its
  // reading) longer than large_filing is filed without a copy, so that the
  // copies take at most a few megabytes, whatever the lines, and the marks
  // are told at most a few megabytes of stable late.
  static constexpr std::size_t batch_bytes = std::size_t{1} << 20;
  static constexpr std::size_t large_filing = std::size_t{64} << 10;
  batch_filer file_;
  std::vector<std::uint32_t>& typed_entries_;
  std::string_view stable_;
  std::function<void(const char*)> done_with_;
  batch filling_;  // the adding side's
  std::mutex mutex_;
  std::condition_variable changed_;
  // Under mutex_: the batch handed over, whether it waits to be filed,
  // whether the thread is filing one, whether no more will come, and what
  // the filing threw.
  batch handed_;
  bool ready_ = false;
  bool busy_ = false;
  bool done_ = false;
  bool stop_ = false;
  std::exception_ptr failure_;
  std::thread worker_;
};

}  // namespace brenlow
