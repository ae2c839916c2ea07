#include "conversion/convert_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/byte_facts.h"
#include "conversion/filing_thread.h"
#include "dictionary/recode_table.h"
#include "formats/comma_text.h"
#include "formats/tab_text.h"
#include "skk_rules/okuri_ari.h"
#include "skk_rules/part_of_speech.h"

namespace brenlow {

namespace {

// One word per line at most: reserving for all of them spares the table the
// copies of a growing array (pages of lines that are not entries are never
// touched). The count is one vectorised pass (about 5 ms for 80 MB, where a
// memchr per line took 25 ms); the split of the lines is the other.
void reserve_for_lines(std::string_view text, reading_table& table) {
  try {
    reserve_words(table, count_line_feeds(text) + 1);
  } catch (const std::bad_alloc&) {
    // Only a hint: a 32-bit program has no address space for a word per
    // line of a file of hundreds of millions of (perhaps empty) lines. The
    // arrays grow as words come instead.
  }
}

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
    // Every key of a word has the same candidate: its form is made once.
    std::string_view candidate = pairs_.front().candidate;
    if (okuri_ari_candidate_form(candidate, encoding, rules.csv_quotes,
                                 form_)) {
      // Nothing left to write, or a form the program shows as code.
      if (form_.empty() || !concat_readable(form_, rules.concat)) return false;
      candidate = form_;
    }
    for (const okuri_ari_pair& pair : pairs_) {
      std::string filed = pair.key + '\n';
      filed += candidate;
      if (!filed_.insert(std::move(filed)).second) continue;
      add_word(*table_, pair.key, candidate);
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
      const std::string_view bytes = text_of(table, word.text);
      const std::string_view part = word_part(bytes);
      const bool annotated = part.size() < bytes.size();
      const auto found = first_.emplace(part, occurrence{c, annotated});
      occurrence& first = found.first->second;
      if (found.second || same_source(first.position, c)) {
        kept_.push_back(c);
        first.annotated |= annotated;
        continue;
      }
      if (annotated && !first.annotated) {
        // The same word, with its annotation.
        table.candidates[first.position].text = word.text;
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
// under it; it is written once. filings are in filing order; entries holds
// the entry of each (in any order, perhaps more than once), so that only
// the readings with a typed word are visited. Returns the words taken out.
std::size_t write_once_across_sources(reading_table& table,
                                      const std::vector<typed_filing>& filings,
                                      std::vector<std::uint32_t>& entries) {
  if (filings.empty()) return 0;
  const auto typed = [&](std::uint32_t position) {
    const auto found = std::lower_bound(
        filings.begin(), filings.end(), position,
        [](const typed_filing& f, std::uint32_t p) { return f.position < p; });
    return found != filings.end() && found->position == position ? &*found
                                                                 : nullptr;
  };
  repeated_words repeats;
  std::size_t taken_out = 0;
  std::sort(entries.begin(), entries.end());
  entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
  for (const std::uint32_t e : entries) {
    reading_entry& entry = table.entries[e];
    if (table.candidates[entry.last_candidate].previous == no_candidate) {
      continue;  // one word
    }
    // A word filed under an unchanged reading comes from the reading itself.
    const std::uint32_t unchanged =
        source_hash(table, reading_of(table, entry));
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

namespace {

// "U+1F600", as messages name a character: four hex digits at least.
std::string code_point_name(char32_t code_point) {
  std::string digits;
  for (char32_t rest = code_point; rest != 0 || digits.size() < 4; rest >>= 4) {
    digits.insert(digits.begin(), "0123456789ABCDEF"[rest & 0xF]);
  }
  return "U+" + digits;
}

// Files into the okuri-nasi table in the encoding the output holds its text
// in (held_for) where the rules name one, and says so in tables.
batch_filer filer_for(skk_tables& tables, text_encoding encoding,
                      const entry_rules& rules) {
  const output_encoding target = held_for(rules.target);
  if (!rules.has_target || target == same_as(encoding)) {
    return files_into(tables.okuri_nasi);
  }
  tables.okuri_nasi_recoded = true;
  return files_recoded_into(tables.okuri_nasi, encoding, target);
}

// Files the entries a reader yields, line by line, and counts them.

class entry_filing {
 public:
  // done_with is told the marks given to mark_done once the lines before
  // them are filed.
  // unwritable: the offsets in the input's text of every character the
  // output's encoding cannot write, in order (find_all_unencodable), or
  // nullptr when they are not known.
  entry_filing(const prepared_input& input, const entry_rules& rules,
               bool okuri_ari, skk_tables& tables,
               const skipped_line_sink& skipped,
               const char* skipped_what = "; line skipped",
               const std::function<void(const char*)>& done_with = {},
               const std::vector<std::size_t>* unwritable = nullptr)
      : skipped_what_(skipped_what),
        input_(input),
        rules_(rules),
        tables_(tables),
        skipped_(skipped),
        filing_(filer_for(tables, input.encoding, rules), typed_entries_,
                input.text, done_with),
        okuri_ari_keys_(okuri_ari ? &tables.okuri_ari : nullptr),
        checks_output_(
            (rules.has_target &&
             !writes_every_character(input.encoding, rules.target)) ||
            rules.concat != concat_reading::full),
        unwritable_(unwritable) {}

  // Files line, number line_number, whose bytes (for a line format) are
  // line_bytes, starting at line_start in the text.
  void file(const entry_line& line, std::size_t line_number,
            std::string_view line_bytes = {}, std::size_t line_start = 0) {
    const text_encoding encoding = input_.encoding;
    if (line.mark_bytes != 0 && counts_.lines_with_mark++ == 0) {
      counts_.first_line_with_mark = line_number;
    }
    if (line.kind == line_kind::comment_or_empty) {
      ++counts_.comment_or_empty_lines;
      return;
    }
    if (line.kind == line_kind::skipped) {
      if (line.reason != skip_reason::undecodable) {
        skip(line_number, line.reason,
             std::string(skip_message(line.reason)) + skipped_what_);
      } else if (input_.from_utf_16) {
        skip(line_number, line.reason,
             std::string(utf_16_fault_message(line_bytes[line.fault_offset])) +
                 "; line skipped");
      } else {
        skip(line_number, line.reason,
             undecodable_message(
                 encoding, input_.offset + line_start + line.fault_offset));
      }
      return;
    }
    counts_.bang_entry_lines += line.bang_entry ? 1 : 0;
    const record& fields = line.fields;
    const skk_entry entry =
        check_record(fields, encoding, rules_, reading_buffer_);
    if (entry.reason != skip_reason::none) {
      skip(line_number, entry.reason,
           std::string(skip_message(entry.reason)) + skipped_what_);
      return;
    }
    std::string_view word = fields.word;
    bool annotated = false;
    const bool rewritten =
        skk_candidate(fields, encoding, rules_, candidate_buffer_, annotated);
    if (rewritten) word = candidate_buffer_;
    if (checks_output_) {
      const output_check check =
          check_output(entry.reading, word, annotated, entry.reading_typed,
                       writable(line_start, line_bytes.size()));
      if (check.reason != skip_reason::none) {
        skip(line_number, check.reason, check.message + skipped_what_);
        return;
      }
      if (!check.message.empty()) {
        // The annotation is left out; the word stays.
        skipped_(line_problem{line_number, check.message});
        word = word.substr(0, word.find(';'));
        annotated = false;
        ++counts_.annotations_left_out;
      }
    }
    for (std::size_t reason = 0;
         entry.untypable != 0 && reason < untypable_reason_count; ++reason) {
      if ((entry.untypable &
           untypable_bit(static_cast<untypable_reason>(reason))) == 0) {
        continue;
      }
      if (counts_.untypable_by_reason[reason]++ == 0) {
        counts_.first_untypable_line[reason] = line_number;
      }
    }
    // The buffers are reused by the next line: filing_ copies what it is
    // given there, and views what lies in the text.
    const std::string_view reading = entry.reading;
    if (entry.reading_typed) {
      ++counts_.readings_typed;
      // Every line filed before this one gave the table one word.
      typed_filings_.push_back(
          typed_filing{static_cast<std::uint32_t>(counts_.filed_lines),
                       source_hash(tables_.okuri_nasi, fields.reading)});
    }
    counts_.annotations += annotated ? 1 : 0;
    if (!okuri_ari_keys_.file(fields, reading, encoding, rules_)) {
      ++counts_.lines_without_okuri_ari;
    }
    filing_.add(reading, word, entry.reading_typed);
    ++counts_.filed_lines;
  }

  conversion_counts& counts() { return counts_; }

  // Whether the output's encoding writes every character of the size bytes
  // at start in the text; lines are asked in order.
  bool writable(std::size_t start, std::size_t size) {
    if (unwritable_ == nullptr) return false;
    const std::vector<std::size_t>& offsets = *unwritable_;
    while (next_unwritable_ < offsets.size() &&
           offsets[next_unwritable_] < start) {
      ++next_unwritable_;
    }
    return next_unwritable_ == offsets.size() ||
           offsets[next_unwritable_] - start >= size;
  }

  // The text before end is done with once the lines filed so far are.
  void mark_done(const char* end) { filing_.mark_done(end); }

  // Files what is left and writes repeated words once.
  conversion_counts finish() {
    filing_.finish();
    counts_.repeats_written_once =
        rules_.unique ? write_each_word_once(tables_.okuri_nasi)
                      : write_once_across_sources(
                            tables_.okuri_nasi, typed_filings_, typed_entries_);
    return counts_;
  }

 private:
  void skip(std::size_t line_number, skip_reason reason, std::string message) {
    ++counts_.skipped_lines;
    ++counts_.skipped_by_reason[static_cast<std::size_t>(reason)];
    skipped_(line_problem{line_number, std::move(message)});
  }

  struct output_check {
    skip_reason reason = skip_reason::none;
    // With a reason, why the record is skipped; without one, why its
    // annotation is left out, or empty.
    std::string message;
  };

  // What the output's encoding and the program's reading of concat forms
  // make of an entry: the reading and candidate (word, then ";" and the
  // annotation when annotated) as they would be filed; reading_typed when
  // the reading is its typed form, not the field's; line_writable when the
  // output's encoding writes every character of the line.
  output_check check_output(std::string_view reading, std::string_view word,
                            bool annotated, bool reading_typed,
                            bool line_writable) const {
    const text_encoding held = input_.encoding;
    std::string_view annotation;
    if (annotated) {
      // A ";" in the word is escaped in its concat form, and no Shift_JIS
      // second byte is one: the first ";" starts the annotation.
      const std::size_t semicolon = word.find(';');
      annotation = word.substr(semicolon + 1);
      word = word.substr(0, semicolon);
    }
    output_check check;
    const auto unwritable = [&](std::string_view text, const char* what) {
      const unencodable_character found =
          find_unencodable(text, held, rules_.target);
      if (found.offset == std::string_view::npos) return false;
      check.message = std::string(what) + " holds " +
                      code_point_name(found.code_point) + ", which " +
                      output_encoding_title(rules_.target) + " cannot write";
      return true;
    };
    const bool may_not_write =
        rules_.has_target &&
        !writes_every_character(input_.encoding, rules_.target);
    // Where the output's encoding writes the whole line, it writes the
    // fields, and the word and annotation, which are made of a field's
    // characters and ASCII; a typed reading has characters of its own.
    const bool fields_unchecked = may_not_write && !line_writable;
    if ((fields_unchecked || (may_not_write && reading_typed)) &&
        unwritable(reading, "the reading")) {
      check.reason = skip_reason::unencodable;
      return check;
    }
    if (fields_unchecked && unwritable(word, "the word")) {
      check.reason = skip_reason::unencodable;
      return check;
    }
    if (!concat_readable(word, rules_.concat)) {
      check.reason = skip_reason::concat_not_read;
      check.message = std::string(
                          "the word needs its (concat ...) form, "
                          "which ") +
                      rules_.program + " shows as code";
      return check;
    }
    if (annotated) {
      if (fields_unchecked && unwritable(annotation, "the annotation")) {
        check.message += "; written without it";
      } else if (!concat_readable(annotation, rules_.concat)) {
        check.message = std::string(
                            "the annotation needs its (concat ...) "
                            "form, which ") +
                        rules_.program + " shows as code; written without it";
      }
    }
    return check;
  }

  // "; line skipped", or for a property list "; entry skipped".
  const char* skipped_what_;
  const prepared_input& input_;
  const entry_rules& rules_;
  skk_tables& tables_;
  const skipped_line_sink& skipped_;
  conversion_counts counts_;
  std::vector<std::uint32_t> typed_entries_;  // of each typed filing
  filing_thread filing_;
  okuri_ari_filing okuri_ari_keys_;
  std::string reading_buffer_;
  std::string candidate_buffer_;
  std::vector<typed_filing> typed_filings_;
  // Whether the output's encoding or the program asks more of an entry.
  bool checks_output_;
  const std::vector<std::size_t>* unwritable_;
  std::size_t next_unwritable_ = 0;  // the first not before the last line
};

// The rules for a format whose reader resolves quotes itself.
entry_rules rules_for(const entry_rules& rules, input_format format) {
  entry_rules adjusted = rules;
  if (format != input_format::tab_text) adjusted.csv_quotes = false;
  return adjusted;
}

}  // namespace

conversion_counts convert_lines(
    const prepared_input& input, const entry_rules& given_rules, bool okuri_ari,
    skk_tables& tables, const skipped_line_sink& skipped, input_format format,
    const phase_mark& phases,
    const std::function<void(const char*)>& done_with) {
  // Told a quarter of a megabyte at a time: the memory of lines filed goes
  // back as the table's comes, at a call per 64 pages.
  constexpr std::size_t done_step = std::size_t{256} * 1024;
  std::size_t done = 0;
  const std::string_view text = input.text;
  const text_encoding encoding = input.encoding;
  const entry_rules rules = rules_for(given_rules, format);
  // What the encoding decision leaves to be checked line by line.
  line_checks checks;
  checks.decoding = !input.decodes_throughout;
  checks.utf_8_lines = input.guessed;
  reserve_for_lines(text, tables.okuri_nasi);
  // One look at the whole text, on both threads, finds the characters the
  // output's encoding cannot write, so that only the lines holding one (or
  // a typed reading) get the check, on this thread, by character.
  std::vector<std::size_t> unwritable;
  const bool unwritable_known =
      rules.has_target && !writes_every_character(encoding, rules.target) &&
      input.decodes_throughout &&
      find_all_unencodable(text, encoding, rules.target,
                           text.size() / 256 + 1024, unwritable);
  entry_filing filing(input, rules, okuri_ari, tables, skipped,
                      "; line skipped", done_with,
                      unwritable_known ? &unwritable : nullptr);
  conversion_counts& counts = filing.counts();
  std::string fields_buffer;
  for (std::size_t position = 0; position < text.size();) {
    const std::size_t line_start = position;
    const std::string_view line_bytes = next_line(text, position);
    ++counts.lines;
    if (format != input_format::tab_text) {
      filing.file(read_comma_line(line_bytes, encoding, checks, fields_buffer),
                  counts.lines, line_bytes, line_start);
    } else {
      if (counts.lines == 1) checks.bang = bang_lines_of(line_bytes, encoding);
      filing.file(
          read_tab_line(line_bytes, counts.lines == 1, encoding, checks),
          counts.lines, line_bytes, line_start);
    }
    if (position - done >= done_step && done_with) {
      done = position;
      filing.mark_done(text.data() + position);
    }
  }
  mark_phase(phases, "lines");
  conversion_counts counts_done = filing.finish();
  mark_phase(phases, "table");
  return counts_done;
}

bool convert_property_list(const prepared_input& input,
                           const entry_rules& given_rules, bool okuri_ari,
                           skk_tables& tables, const skipped_line_sink& skipped,
                           conversion_counts& counts, line_problem& problem,
                           const phase_mark& phases) {
  const entry_rules rules = rules_for(given_rules, input_format::property_list);
  entry_filing filing(input, rules, okuri_ari, tables, skipped,
                      "; entry skipped");
  property_list list;
  list.sink = [&](const property_list_entry& entry) {
    ++filing.counts().lines;
    filing.file(entry.read, entry.line);
  };
  if (!read_property_list(input.text, list, problem)) return false;
  mark_phase(phases, "lines");
  counts = filing.finish();
  mark_phase(phases, "table");
  return true;
}

bool convert_text(const conversion_request& request,
                  conversion_result& result) {
  prepared_input& input = result.input;
  if (starts_as_zip(request.raw)) {
    result.zip_archive = true;
    result.problem = {0, "a ZIP archive, not a text dictionary"};
    return false;
  }
  if (!decide_encoding(request.raw, request.encoding, input, result.problem) ||
      find_nul_byte(input.text, result.problem)) {
    return false;
  }
  if (!input.decoded.empty() && request.release_raw) request.release_raw();
  result.looks_like = detect_format(input.text);
  result.format =
      request.format_forced ? request.format : result.looks_like.format;
  mark_phase(request.phases, "decide encoding");
  if (result.format == input_format::property_list) {
    return convert_property_list(input, request.rules, request.okuri_ari,
                                 result.tables, request.skipped, result.counts,
                                 result.problem, request.phases);
  }
  // Text decoded from UTF-16 is not raw's.
  const std::function<void(const char*)> no_raw;
  result.counts =
      convert_lines(input, request.rules, request.okuri_ari, result.tables,
                    request.skipped, result.format, request.phases,
                    input.decoded.empty() ? request.done_with : no_raw);
  return true;
}

}  // namespace brenlow
