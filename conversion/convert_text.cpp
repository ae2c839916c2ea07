#include "conversion/convert_text.h"

#include <cstring>
#include <new>
#include <string>

#include "ime_text/entry_line.h"

namespace brenlow {

namespace {

// One word per line at most: reserving for all of them spares the table the
// copies of a growing array (pages of lines that are not entries are never
// touched).
void reserve_for_lines(std::string_view text, reading_table& table) {
  std::size_t line_feeds = 0;
  const char* end = text.data() + text.size();
  for (const char* p = text.data();
       (p = static_cast<const char*>(
            std::memchr(p, '\n', static_cast<std::size_t>(end - p))));
       ++p) {
    ++line_feeds;
  }
  try {
    reserve_words(table, line_feeds + 1);
  } catch (const std::bad_alloc&) {
    // Only a hint: a 32-bit program has no address space for a word per
    // line of a file of hundreds of millions of (perhaps empty) lines. The
    // arrays grow as words come instead.
  }
}

// Words reach the table in batches, which it files faster.
class word_batch {
 public:
  explicit word_batch(reading_table& table) : table_(table) {}
  void add(std::string_view reading, std::string_view word) {
    filings_[size_++] = word_filing{reading, word};
    if (size_ == capacity) flush();
  }
  void flush() {
    add_words(table_, filings_, size_);
    size_ = 0;
  }

 private:
  static constexpr std::size_t capacity = 64;
  reading_table& table_;
  word_filing filings_[capacity];
  std::size_t size_ = 0;
};

}  // namespace

conversion_counts convert_lines(std::string_view text, text_encoding encoding,
                                const entry_rules& rules, reading_table& table,
                                const skipped_line_sink& skipped,
                                std::size_t offset) {
  conversion_counts counts;
  reserve_for_lines(text, table);
  word_batch batch(table);
  std::string reading_buffer;
  std::string candidate_buffer;
  for (std::size_t position = 0; position < text.size();) {
    const std::size_t line_start = position;
    const std::string_view line_buffer = next_line(text, position);
    ++counts.lines;
    const entry_line line = read_entry_line(line_buffer, counts.lines == 1,
                                            encoding, rules, reading_buffer);
    if (line.kind == line_kind::comment_or_empty) {
      ++counts.comment_or_empty_lines;
      continue;
    }
    if (line.kind == line_kind::skipped) {
      ++counts.skipped_lines;
      ++counts.skipped_by_reason[static_cast<std::size_t>(line.reason)];
      skipped(line_problem{
          counts.lines,
          line.reason == skip_reason::undecodable
              ? undecodable_message(encoding,
                                    offset + line_start + line.fault_offset)
              : std::string(skip_message(line.reason)) + "; line skipped"});
      continue;
    }
    // The buffers are reused by the next line: the table needs its own
    // copies.
    std::string_view reading = line.reading;
    if (line.reading_typed) {
      reading = keep(table, reading);
      ++counts.readings_typed;
    }
    std::string_view word = line.word_field;
    bool annotated = false;
    if (skk_candidate(line, encoding, rules, candidate_buffer, annotated)) {
      word = keep(table, candidate_buffer);
    }
    counts.annotations += annotated ? 1 : 0;
    batch.add(reading, word);
    ++counts.filed_lines;
  }
  batch.flush();
  return counts;
}

bool convert_text(std::string_view raw, encoding_choice choice,
                  const entry_rules& rules, reading_table& table,
                  const skipped_line_sink& skipped, prepared_input& input,
                  conversion_counts& counts, line_problem& problem) {
  if (!decide_encoding(raw, choice, input, problem) ||
      find_nul_byte(input.text, problem)) {
    return false;
  }
  entry_rules rules_here = rules;
  rules_here.check_decoding = !input.decodes_throughout;
  counts = convert_lines(input.text, input.encoding, rules_here, table,
                         skipped, input.offset);
  return true;
}

}  // namespace brenlow
