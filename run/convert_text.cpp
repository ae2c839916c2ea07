#include "run/convert_text.h"

#include <algorithm>
#include <cstring>

namespace {

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string unicode_mark_message(const char* encoding,
                                 const char* conversion) {
  return std::string("starts with a ") + encoding +
         " byte-order mark: this is not a Shift_JIS dictionary; convert it "
         "first, for example with: " +
         conversion;
}

}  // namespace

bool find_text_problem(std::string_view text, line_problem& problem) {
  if (starts_with(text, "\xFF\xFE") || starts_with(text, "\xFE\xFF")) {
    problem = {0, unicode_mark_message(
                      text[0] == '\xFF' ? "UTF-16LE" : "UTF-16BE",
                      "iconv -f UTF-16 -t CP932 FILE > FILE-sjis.txt")};
    return true;
  }
  if (starts_with(text, "\xEF\xBB\xBF")) {
    problem = {0, unicode_mark_message(
                      "UTF-8", "sed '1s/^\\xEF\\xBB\\xBF//' FILE | "
                               "iconv -f UTF-8 -t CP932 > FILE-sjis.txt")};
    return true;
  }
  const void* nul = std::memchr(text.data(), '\0', text.size());
  if (nul != nullptr) {
    const auto offset = static_cast<std::size_t>(
        static_cast<const char*>(nul) - text.data());
    const auto line_feeds =
        std::count(text.begin(), text.begin() + offset, '\n');
    problem = {static_cast<std::size_t>(line_feeds) + 1,
               "NUL byte: this is not a text dictionary"};
    return true;
  }
  return false;
}

conversion_counts convert_lines(std::string_view text, text_encoding encoding,
                                reading_table& table,
                                std::vector<line_problem>& skipped) {
  conversion_counts counts;
  std::string word_buffer;
  // One word per line at most: reserving for all of them spares the table
  // the copies of a growing array (pages of lines that are not entries are
  // never touched).
  std::size_t line_feeds = 0;
  for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(
           p, '\n', text.size() - static_cast<std::size_t>(p - text.data()))));
       ++p) {
    ++line_feeds;
  }
  reserve_words(table, line_feeds + 1);
  // Words are handed to the table in batches, which it files faster.
  constexpr std::size_t batch_size = 64;
  word_filing batch[batch_size];
  std::size_t batched = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    const void* found =
        std::memchr(text.data() + start, '\n', text.size() - start);
    const std::size_t line_feed =
        found ? static_cast<std::size_t>(static_cast<const char*>(found) -
                                         text.data())
              : text.size();
    std::string_view line_buffer = text.substr(start, line_feed - start);
    start = line_feed + 1;
    ++counts.lines;
    if (!line_buffer.empty() && line_buffer.back() == '\r') {
      line_buffer.remove_suffix(1);
    }
    if (line_buffer.empty() || line_buffer.front() == '!') {
      ++counts.comment_or_empty_lines;
      continue;
    }
    std::string_view reading_buffer;
    const std::size_t word_start =
        extract_reading(line_buffer, reading_buffer, encoding);
    const char* problem = nullptr;
    if (word_start == std::string_view::npos) {
      problem = "no TAB after the reading; line skipped";
    } else if (reading_buffer.empty()) {
      problem = "empty reading; line skipped";
    }
    if (problem != nullptr) {
      skipped.push_back({counts.lines, problem});
      ++counts.skipped_lines;
      continue;
    }
    const std::string_view word_field =
        extract_word(line_buffer, word_start, encoding);
    std::string_view word = word_field;
    if (needs_concat(word_field, encoding)) {
      // word_buffer is reused by the next line: the table needs its own copy.
      encode_concat(word_field, word_buffer, encoding);
      word = keep(table, word_buffer);
    }
    batch[batched++] = word_filing{reading_buffer, word};
    if (batched == batch_size) {
      add_words(table, batch, batched);
      batched = 0;
    }
    ++counts.filed_lines;
  }
  add_words(table, batch, batched);
  return counts;
}
