#include "conversion/convert_text.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
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

// A candidate's word without its annotation: a word holds no ";" outside
// concat form, which escapes it, and ";" is never the second byte of a
// Shift_JIS pair.
std::string_view word_part(std::string_view candidate) {
  return candidate.substr(0, candidate.find(';'));
}

// Writes a word once where it comes again under the same reading from
// another source: the repeats are taken out of the reading's chain, and the
// word's first occurrence takes the first annotation among them when no
// occurrence kept has one.
class repeated_words {
 public:
  // same_source(first, later): whether the word at position later comes
  // from the same source as its first occurrence at position first, and so
  // stays. Returns how many words were taken out.
  template <typename SameSource>
  std::size_t write_once(reading_table& table, reading_entry& entry,
                         SameSource same_source) {
    if (table.candidates[entry.last_candidate].previous == no_candidate) {
      return 0;  // one word
    }
    words_of(table, entry, filed_);
    kept_.clear();
    first_.clear();
    for (const std::uint32_t c : filed_) {
      const candidate& word = table.candidates[c];
      const std::string_view part = word_part(word.word());
      const bool annotated = part.size() < word.size;
      const auto found = first_.emplace(part, occurrence{c, annotated});
      occurrence& first = found.first->second;
      if (found.second || same_source(first.position, c)) {
        kept_.push_back(c);
        first.annotated |= annotated;
        continue;
      }
      if (annotated && !first.annotated) {
        candidate& kept = table.candidates[first.position];
        kept.bytes = word.bytes;  // the same word, with its annotation
        kept.size = word.size;
        first.annotated = true;
      }
    }
    if (kept_.size() == filed_.size()) return 0;
    relink_words(table, entry, kept_);
    return filed_.size() - kept_.size();
  }

 private:
  struct occurrence {
    std::uint32_t position;  // of the first
    bool annotated;          // an occurrence kept has an annotation
  };
  std::vector<std::uint32_t> filed_;
  std::vector<std::uint32_t> kept_;
  std::unordered_map<std::string_view, occurrence> first_;
};

// A word filed under a reading changed to its typed form: its position in
// the table's candidates and a keyed hash of the reading as the file holds
// it. Eight bytes, as a file may have millions of such lines; two sources
// whose hashes collide only leave a word written twice.
struct typed_filing {
  std::uint32_t position;
  std::uint32_t source;
};

std::uint32_t source_hash(const reading_table& table, std::string_view source) {
  const std::uint64_t h = sip_hash<1, 3>(table.key, source);
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// Two source readings that meet in one typed form give the same word twice
// under it; it is written once. filings are in filing order. Returns the
// words taken out.
std::size_t write_once_across_sources(
    reading_table& table, const std::vector<typed_filing>& filings) {
  if (filings.empty()) return 0;
  const auto typed = [&](std::uint32_t position) {
    const auto found = std::lower_bound(
        filings.begin(), filings.end(), position,
        [](const typed_filing& f, std::uint32_t p) { return f.position < p; });
    return found != filings.end() && found->position == position ? &*found
                                                                 : nullptr;
  };
  repeated_words repeats;
  std::vector<std::uint32_t> filed;
  std::size_t taken_out = 0;
  for (reading_entry& entry : table.entries) {
    if (table.candidates[entry.last_candidate].previous == no_candidate) {
      continue;  // one word
    }
    words_of(table, entry, filed);
    if (std::none_of(filed.begin(), filed.end(),
                     [&](std::uint32_t c) { return typed(c) != nullptr; })) {
      continue;
    }
    // A word filed under an unchanged reading comes from the reading itself.
    const std::uint32_t unchanged = source_hash(table, entry.reading());
    const auto source_of = [&](std::uint32_t position) {
      const typed_filing* filing = typed(position);
      return filing != nullptr ? filing->source : unchanged;
    };
    taken_out += repeats.write_once(
        table, entry, [&](std::uint32_t first, std::uint32_t later) {
          return source_of(first) == source_of(later);
        });
  }
  return taken_out;
}

// --unique: every word once per reading.
std::size_t write_each_word_once(reading_table& table) {
  repeated_words repeats;
  std::size_t taken_out = 0;
  for (reading_entry& entry : table.entries) {
    taken_out += repeats.write_once(
        table, entry, [](std::uint32_t, std::uint32_t) { return false; });
  }
  return taken_out;
}

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
  std::vector<typed_filing> typed_filings;
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
    for (std::size_t reason = 0;
         entry.untypable != 0 && reason < untypable_reason_count; ++reason) {
      if ((entry.untypable &
           untypable_bit(static_cast<untypable_reason>(reason))) == 0) {
        continue;
      }
      if (counts.untypable_by_reason[reason]++ == 0) {
        counts.first_untypable_line[reason] = counts.lines;
      }
    }
    // The buffers are reused by the next line: the table needs its own
    // copies.
    std::string_view reading = entry.reading;
    if (entry.reading_typed) {
      reading = keep(tables.okuri_nasi, reading);
      ++counts.readings_typed;
      // Every line filed before this one gave the table one word.
      typed_filings.push_back(
          typed_filing{static_cast<std::uint32_t>(counts.filed_lines),
                       source_hash(tables.okuri_nasi, line.fields.reading)});
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
  counts.repeats_written_once =
      rules.unique
          ? write_each_word_once(tables.okuri_nasi)
          : write_once_across_sources(tables.okuri_nasi, typed_filings);
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
