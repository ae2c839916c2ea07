#include "conversion/convert_text.h"

#include <cstring>
#include <new>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "ime_text/entry_line.h"
#include "ime_text/okuri_ari.h"
#include "ime_text/part_of_speech.h"

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
  bool file(std::string_view line, const entry_line& entry,
            std::string_view reading, text_encoding encoding,
            const entry_rules& rules) {
    if (table_ == nullptr) return true;
    const std::string_view word = entry.word_field;
    const std::size_t after_word =
        static_cast<std::size_t>(word.data() + word.size() - line.data());
    if (after_word >= line.size()) return true;  // no part of speech
    const conjugation_class conjugates = classify_part_of_speech(
        extract_word(line, after_word + 1, encoding), encoding);
    if (conjugates.kind == conjugation::none) return true;
    pairs_.clear();
    if (!derive_okuri_ari(reading, word, conjugates, encoding, pairs_)) {
      return false;
    }
    bool keyed = false;
    for (const okuri_ari_pair& pair : pairs_) {
      std::string_view candidate = pair.candidate;
      const bool rewritten = okuri_ari_candidate_form(candidate, encoding,
                                                      rules.csv_quotes, form_);
      if (rewritten && form_.empty()) continue;  // nothing left to write
      if (rewritten) candidate = form_;
      keyed = true;
      std::string filed = pair.key + '\n';
      filed += candidate;
      if (!filed_.insert(std::move(filed)).second) continue;
      add_word(*table_, keep(*table_, pair.key),
               rewritten ? keep(*table_, candidate) : candidate);
    }
    return keyed;
  }

 private:
  reading_table* table_;
  std::vector<okuri_ari_pair> pairs_;
  std::string form_;                       // a candidate rewritten
  std::unordered_set<std::string> filed_;  // key, line feed, candidate
};

}  // namespace

conversion_counts convert_lines(std::string_view text, text_encoding encoding,
                                const entry_rules& rules, reading_table& table,
                                const skipped_line_sink& skipped,
                                std::size_t offset, reading_table* okuri_ari) {
  conversion_counts counts;
  reserve_for_lines(text, table);
  word_batch batch(table);
  okuri_ari_filing okuri_ari_keys(okuri_ari);
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
      std::string message;
      if (line.reason != skip_reason::undecodable) {
        message = std::string(skip_message(line.reason)) + "; line skipped";
      } else if (rules.from_utf_16) {
        message =
            std::string(utf_16_fault_message(line_buffer[line.fault_offset])) +
            "; line skipped";
      } else {
        message = undecodable_message(encoding,
                                      offset + line_start + line.fault_offset);
      }
      skipped(line_problem{counts.lines, std::move(message)});
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
    if (!okuri_ari_keys.file(line_buffer, line, reading, encoding, rules)) {
      ++counts.lines_without_okuri_ari;
    }
    batch.add(reading, word);
    ++counts.filed_lines;
  }
  batch.flush();
  return counts;
}

bool convert_text(std::string_view raw, encoding_choice choice,
                  const entry_rules& rules, reading_table& table,
                  const skipped_line_sink& skipped, prepared_input& input,
                  conversion_counts& counts, line_problem& problem,
                  const std::function<void()>& release_raw,
                  reading_table* okuri_ari) {
  if (!decide_encoding(raw, choice, input, problem) ||
      find_nul_byte(input.text, problem)) {
    return false;
  }
  if (!input.decoded.empty() && release_raw) release_raw();
  entry_rules rules_here = rules;
  rules_here.check_decoding = !input.decodes_throughout;
  rules_here.skip_utf_8_lines = input.guessed;
  rules_here.from_utf_16 = input.from_utf_16;
  counts = convert_lines(input.text, input.encoding, rules_here, table, skipped,
                         input.offset, okuri_ari);
  return true;
}

}  // namespace brenlow
