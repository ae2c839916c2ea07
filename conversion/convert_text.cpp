#include "conversion/convert_text.h"

#include <cstring>
#include <new>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "formats/tab_text.h"
#include "skk_rules/okuri_ari.h"
#include "skk_rules/part_of_speech.h"

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

// Files the okuri-ari keys of verbs and adjectives, each candidate once per
// key.
class okuri_ari_filing {
 public:
  // table: nullptr when no okuri-ari entries are wanted.
  explicit okuri_ari_filing(reading_table* table) : table_(table) {}

  // Returns false for a verb or adjective without a key. reading is the
  // reading as filed (in its typed form). Candidates carry no annotation.
  bool file(const record& fields, std::string_view reading,
            text_encoding encoding, const entry_rules& rules) {
    if (table_ == nullptr) return true;
    const conjugation_class conjugates =
        classify_part_of_speech(fields.part_of_speech, encoding);
    if (conjugates.kind == conjugation::none) return true;
    const std::string_view word = fields.word;
    pairs_.clear();
    if (!derive_okuri_ari(reading, word, conjugates, encoding, pairs_)) {
      return false;
    }
    // Every key of a word has the same candidate: its form is made, and
    // kept, once.
    std::string_view candidate = pairs_.front().candidate;
    if (okuri_ari_candidate_form(candidate, encoding, rules.csv_quotes,
                                 form_)) {
      if (form_.empty()) return false;  // nothing left to write
      candidate = keep(*table_, form_);
    }
    for (const okuri_ari_pair& pair : pairs_) {
      std::string filed = pair.key + '\n';
      filed += candidate;
      if (!filed_.insert(std::move(filed)).second) continue;
      add_word(*table_, keep(*table_, pair.key), candidate);
    }
    return true;
  }

 private:
  reading_table* table_;
  std::vector<okuri_ari_pair> pairs_;
  std::string form_;                       // a candidate rewritten
  std::unordered_set<std::string> filed_;  // key, line feed, candidate
};

}  // namespace

conversion_counts convert_lines(const prepared_input& input,
                                const entry_rules& rules, bool okuri_ari,
                                skk_tables& tables,
                                const skipped_line_sink& skipped) {
  const std::string_view text = input.text;
  const text_encoding encoding = input.encoding;
  // What the encoding decision leaves to be checked line by line.
  line_checks checks;
  checks.decoding = !input.decodes_throughout;
  checks.utf_8_lines = input.guessed;
  conversion_counts counts;
  reserve_for_lines(text, tables.okuri_nasi);
  word_batch batch(tables.okuri_nasi);
  okuri_ari_filing okuri_ari_keys(okuri_ari ? &tables.okuri_ari : nullptr);
  std::string reading_buffer;
  std::string candidate_buffer;
  const auto skip = [&](skip_reason reason, std::string message) {
    ++counts.skipped_lines;
    ++counts.skipped_by_reason[static_cast<std::size_t>(reason)];
    skipped(line_problem{counts.lines, std::move(message)});
  };
  for (std::size_t position = 0; position < text.size();) {
    const std::size_t line_start = position;
    const std::string_view line_buffer = next_line(text, position);
    ++counts.lines;
    if (counts.lines == 1) checks.bang = bang_lines_of(line_buffer, encoding);
    const tab_line line =
        read_tab_line(line_buffer, counts.lines == 1, encoding, checks);
    if (line.mark_bytes != 0 && counts.lines_with_mark++ == 0) {
      counts.first_line_with_mark = counts.lines;
    }
    if (line.kind == line_kind::comment_or_empty) {
      ++counts.comment_or_empty_lines;
      continue;
    }
    if (line.kind == line_kind::skipped) {
      if (line.reason != skip_reason::undecodable) {
        skip(line.reason,
             std::string(skip_message(line.reason)) + "; line skipped");
      } else if (input.from_utf_16) {
        skip(line.reason,
             std::string(utf_16_fault_message(line_buffer[line.fault_offset])) +
                 "; line skipped");
      } else {
        skip(line.reason,
             undecodable_message(
                 encoding, input.offset + line_start + line.fault_offset));
      }
      continue;
    }
    counts.bang_entry_lines += line.bang_entry ? 1 : 0;
    const skk_entry entry =
        check_record(line.fields, encoding, rules, reading_buffer);
    if (entry.reason != skip_reason::none) {
      skip(entry.reason,
           std::string(skip_message(entry.reason)) + "; line skipped");
      continue;
    }
    // The buffers are reused by the next line: the table needs its own
    // copies.
    std::string_view reading = entry.reading;
    if (entry.reading_typed) {
      reading = keep(tables.okuri_nasi, reading);
      ++counts.readings_typed;
    }
    std::string_view word = line.fields.word;
    bool annotated = false;
    if (skk_candidate(line.fields, encoding, rules, candidate_buffer,
                      annotated)) {
      word = keep(tables.okuri_nasi, candidate_buffer);
    }
    counts.annotations += annotated ? 1 : 0;
    if (!okuri_ari_keys.file(line.fields, reading, encoding, rules)) {
      ++counts.lines_without_okuri_ari;
    }
    batch.add(reading, word);
    ++counts.filed_lines;
  }
  batch.flush();
  return counts;
}

bool convert_text(const conversion_request& request,
                  conversion_result& result) {
  prepared_input& input = result.input;
  if (starts_as_zip(request.raw)) {
    result.looks_like = foreign_format::zip_archive;
    result.problem = {0, "a ZIP archive, not a text dictionary"};
    return false;
  }
  if (!decide_encoding(request.raw, request.encoding, input, result.problem) ||
      find_nul_byte(input.text, result.problem)) {
    return false;
  }
  if (!input.decoded.empty() && request.release_raw) request.release_raw();
  result.counts = convert_lines(input, request.rules, request.okuri_ari,
                                result.tables, request.skipped);
  if (result.counts.filed_lines == 0 && result.counts.skipped_lines != 0) {
    result.looks_like = recognise_foreign_format(input.text);
  }
  return true;
}

}  // namespace brenlow
