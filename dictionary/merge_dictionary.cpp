#include "dictionary/merge_dictionary.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "dictionary/recode_table.h"
#include "skk_dictionary/candidates.h"

namespace brenlow {

namespace {

constexpr std::string_view okuri_ari_marker = ";; okuri-ari entries.";
constexpr std::string_view okuri_nasi_marker = ";; okuri-nasi entries.";
constexpr std::uint32_t no_entry = 0xFFFFFFFF;

// The key a reading is sorted by, as order_entries compares it.
void sort_key(std::string_view reading, sort_order order,
              output_encoding encoding, std::string& key) {
  key.clear();
  if (order == sort_order::skk) {
    append_emacs_mule_key(reading, encoding, key);
  } else if (encoding == output_encoding::utf_16le) {
    append_recoded(reading, text_encoding::utf_8, output_encoding::utf_16le,
                   key);
  } else {
    key.assign(reading);
  }
}

// The words of one section's table not yet written, in the order they are
// to be, and the keys they sort by.
struct pending_readings {
  reading_table* table = nullptr;
  std::vector<std::uint32_t> entries;  // in table.entries
  std::size_t next = 0;
  std::string key;

  bool done() const { return next == entries.size(); }
  const reading_entry& entry() const { return table->entries[entries[next]]; }
};

class merger {
 public:
  merger(sort_order order, output_encoding encoding, std::size_t longest_line,
         output_stream& stream)
      : order_(order),
        held_(held_for(encoding)),
        encoding_(encoding),
        longest_line_(longest_line),
        stream_(stream) {}

  // Marks the readings of table that lines have, and lists the others.
  void prepare(const skk_dictionary& dictionary, reading_table* table,
               bool okuri_ari, pending_readings& pending,
               std::vector<std::uint32_t>& matches) {
    pending.table = table;
    if (table == nullptr) return;
    index_readings(*table);
    std::vector<char> found(table->entries.size(), 0);
    for (std::size_t i = 0; i < dictionary.lines.size(); ++i) {
      const dictionary_line& line = dictionary.lines[i];
      if (line.kind != dictionary_line_kind::entry ||
          line.okuri_ari != okuri_ari) {
        continue;
      }
      const reading_entry* entry = find_reading(*table, line.reading());
      if (entry == nullptr) continue;
      const auto e = static_cast<std::uint32_t>(entry - table->entries.data());
      // A reading on two lines gains its words on the first.
      if (found[e]) continue;
      found[e] = 1;
      matches[i] = e;
    }
    const entry_order ordered =
        order_entries(*table, order_, encoding_, okuri_ari);
    for (const std::uint32_t e : ordered) {
      if (!found[e]) pending.entries.push_back(e);
    }
    if (!pending.done()) {
      sort_key(reading_of(*pending.table, pending.entry()), order_, encoding_,
               pending.key);
    }
  }

  // Writes the pending readings that sort before reading (all of them
  // when reading is null).
  void write_pending(pending_readings& pending, const std::string_view* reading,
                     bool descending) {
    if (reading != nullptr && order_ == sort_order::input) return;
    if (reading != nullptr) sort_key(*reading, order_, encoding_, line_key_);
    while (!pending.done()) {
      if (reading != nullptr) {
        const int compared = pending.key.compare(line_key_);
        if (descending ? compared <= 0 : compared >= 0) return;
      }
      write_new_reading(*pending.table, pending.entry());
      ++pending.next;
      if (!pending.done()) {
        sort_key(reading_of(*pending.table, pending.entry()), order_, encoding_,
                 pending.key);
      }
    }
  }

  void write_line(std::string_view text) {
    write_bytes(stream_, text);
    end_line(stream_);
  }

  // An entry line as it stands.
  void write_entry_line(const dictionary_line& line) {
    line_bytes_ = 0;
    put(line.text);
    end_entry(line.reading());
  }

  // An entry line with the words of entry that it lacks.
  void write_merged(const dictionary_line& line, const reading_table& table,
                    const reading_entry& entry) {
    split_candidates(line.candidates(), elements_);
    // The words the line has, by the word each means, and whether it has
    // an annotation.
    words_.clear();
    for (std::size_t k = 0; k < elements_.size(); ++k) {
      if (elements_[k].block) continue;
      const std::string_view word =
          candidate_word(elements_[k].text, held_, buffer_);
      words_.emplace(std::string(word), k);
    }
    annotations_.assign(elements_.size(), std::string_view());
    added_.clear();
    bool annotated = false;
    words_of(table, entry, filed_);
    for (const std::uint32_t c : filed_) {
      const std::string_view candidate = word_of(table, c);
      const std::string word(candidate_word(candidate, held_, buffer_));
      const auto found = words_.find(word);
      if (found == words_.end()) {
        words_.emplace(word, no_entry);
        added_.push_back(candidate);
        ++counts.words_added;
        continue;
      }
      ++counts.words_present;
      const std::size_t k = found->second;
      const std::string_view annotation = candidate_annotation(candidate);
      if (k == no_entry || annotation.empty() ||
          !candidate_annotation(elements_[k].text).empty() ||
          !annotations_[k].empty()) {
        continue;
      }
      annotations_[k] = annotation;
      annotated = true;
      ++counts.annotations_added;
    }
    if (added_.empty() && !annotated) {
      write_entry_line(line);
      return;
    }
    line_bytes_ = 0;
    put(line.text.substr(0, line.candidates_start + 1));
    bool added = false;
    for (std::size_t k = 0; k < elements_.size(); ++k) {
      if (elements_[k].block && !added) {
        write_added();
        added = true;
      }
      put(elements_[k].text);
      put(annotations_[k]);
      put("/");
    }
    if (!added) write_added();
    end_entry(line.reading());
  }

  void write_new_reading(const reading_table& table,
                         const reading_entry& entry) {
    ++counts.readings_added;
    line_bytes_ = 0;
    put(reading_of(table, entry));
    put(" /");
    words_of(table, entry, filed_);
    for (const std::uint32_t c : filed_) {
      put(word_of(table, c));
      put("/");
      ++counts.words_added;
    }
    end_entry(reading_of(table, entry));
  }

  merge_counts counts;

 private:
  void write_added() {
    for (const std::string_view word : added_) {
      put(word);
      put("/");
    }
  }

  void put(std::string_view text) {
    write_bytes(stream_, text);
    line_bytes_ += text.size();
  }

  // Ends an entry line, noting it when it passes longest_line_.
  void end_entry(std::string_view reading) {
    end_line(stream_);
    if (longest_line_ != 0 && line_bytes_ > longest_line_) {
      counts.long_lines.emplace_back(std::string(reading), line_bytes_);
    }
  }

  sort_order order_;
  output_encoding held_;
  output_encoding encoding_;
  std::size_t longest_line_;
  std::size_t line_bytes_ = 0;
  output_stream& stream_;
  std::string line_key_;
  std::string buffer_;
  std::vector<candidate_element> elements_;
  std::unordered_map<std::string, std::size_t> words_;
  std::vector<std::string_view> annotations_;
  std::vector<std::string_view> added_;
  std::vector<std::uint32_t> filed_;
};

}  // namespace

std::size_t first_line_out_of_order(const skk_dictionary& dictionary,
                                    sort_order order,
                                    output_encoding encoding) {
  if (order == sort_order::input) return 0;
  std::string last[2];
  bool seen[2] = {false, false};
  std::string key;
  for (std::size_t i = 0; i < dictionary.lines.size(); ++i) {
    const dictionary_line& line = dictionary.lines[i];
    if (line.kind != dictionary_line_kind::entry) continue;
    const int section = line.okuri_ari ? 1 : 0;
    sort_key(line.reading(), order, encoding, key);
    if (seen[section]) {
      const int compared = key.compare(last[section]);
      if (line.okuri_ari ? compared > 0 : compared < 0) return i + 1;
    }
    seen[section] = true;
    last[section].swap(key);
  }
  return 0;
}

sort_order order_kept(const skk_dictionary& dictionary,
                      output_encoding encoding, sort_order preferred) {
  const sort_order other =
      preferred == sort_order::bytes ? sort_order::skk : sort_order::bytes;
  for (const sort_order order : {preferred, other}) {
    if (first_line_out_of_order(dictionary, order, encoding) == 0) {
      return order;
    }
  }
  return sort_order::input;
}

bool stays_in_both_orders(const skk_dictionary& dictionary,
                          const reading_table& table,
                          const reading_table* okuri_ari, sort_order order,
                          sort_order other, output_encoding encoding) {
  for (const bool ari : {false, true}) {
    // Every reading of the section, old and new, by its key in order and
    // in other: sorted by the first, the second must follow.
    std::vector<std::pair<std::string, std::string>> keys;
    const auto add = [&](std::string_view reading) {
      keys.emplace_back();
      sort_key(reading, order, encoding, keys.back().first);
      sort_key(reading, other, encoding, keys.back().second);
    };
    for (const dictionary_line& line : dictionary.lines) {
      if (line.kind == dictionary_line_kind::entry && line.okuri_ari == ari) {
        add(line.reading());
      }
    }
    const reading_table* section = ari ? okuri_ari : &table;
    if (section != nullptr) {
      for (const reading_entry& entry : section->entries) {
        add(reading_of(*section, entry));
      }
    }
    std::sort(keys.begin(), keys.end());
    for (std::size_t i = 1; i < keys.size(); ++i) {
      if (keys[i].second < keys[i - 1].second) return false;
    }
  }
  return true;
}

merge_counts write_merged_dictionary(const skk_dictionary& dictionary,
                                     reading_table& table,
                                     reading_table* okuri_ari, sort_order order,
                                     output_encoding encoding,
                                     output_stream& stream,
                                     std::size_t longest_line) {
  merger merge(order, encoding, longest_line, stream);
  if (dictionary.utf_8_mark && encoding == output_encoding::utf_8) {
    write_bytes(stream, "\xEF\xBB\xBF");
  }
  const std::size_t count = dictionary.lines.size();
  std::vector<std::uint32_t> nasi_matches(count, no_entry);
  std::vector<std::uint32_t> ari_matches(count, no_entry);
  pending_readings nasi;
  pending_readings ari;
  merge.prepare(dictionary, &table, false, nasi, nasi_matches);
  merge.prepare(dictionary, okuri_ari, true, ari, ari_matches);
  bool has_ari_marker = false;
  bool has_nasi_marker = false;
  std::size_t first_entry = count;
  for (std::size_t i = 0; i < count; ++i) {
    const dictionary_line_kind kind = dictionary.lines[i].kind;
    has_ari_marker |= kind == dictionary_line_kind::okuri_ari_marker;
    has_nasi_marker |= kind == dictionary_line_kind::okuri_nasi_marker;
    if (kind == dictionary_line_kind::entry && first_entry == count) {
      first_entry = i;
    }
  }
  // Without an okuri-ari section, new okuri-ari readings get one: before
  // the okuri-nasi marker, or, in a dictionary without markers, before its
  // first entry, which then needs the okuri-nasi marker.
  const bool ari_section_added = !has_ari_marker && !ari.done();
  bool in_ari = false;
  const auto end_ari_section = [&] {
    if (in_ari) merge.write_pending(ari, nullptr, true);
    in_ari = false;
  };
  const auto add_ari_section = [&](bool with_nasi_marker) {
    merge.write_line(okuri_ari_marker);
    merge.write_pending(ari, nullptr, true);
    if (with_nasi_marker) merge.write_line(okuri_nasi_marker);
  };
  for (std::size_t i = 0; i < count; ++i) {
    const dictionary_line& line = dictionary.lines[i];
    switch (line.kind) {
      case dictionary_line_kind::okuri_ari_marker:
        merge.write_line(line.text);
        in_ari = true;
        continue;
      case dictionary_line_kind::okuri_nasi_marker:
        end_ari_section();
        if (ari_section_added) add_ari_section(false);
        merge.write_line(line.text);
        continue;
      case dictionary_line_kind::entry: break;
      case dictionary_line_kind::comment:
      case dictionary_line_kind::malformed:
        merge.write_line(line.text);
        continue;
    }
    if (ari_section_added && !has_nasi_marker && i == first_entry) {
      add_ari_section(true);
    }
    const std::string_view reading = line.reading();
    pending_readings& pending = line.okuri_ari ? ari : nasi;
    const std::vector<std::uint32_t>& matches =
        line.okuri_ari ? ari_matches : nasi_matches;
    merge.write_pending(pending, &reading, line.okuri_ari);
    if (matches[i] == no_entry) {
      merge.write_entry_line(line);
    } else {
      merge.write_merged(line, *pending.table,
                         pending.table->entries[matches[i]]);
    }
  }
  end_ari_section();
  if (!has_ari_marker && !has_nasi_marker && first_entry == count &&
      !(nasi.done() && ari.done())) {
    // Nothing but comments (or nothing): both sections, as a dictionary
    // written anew has them.
    add_ari_section(true);
  } else if (!nasi.done() && !has_nasi_marker && has_ari_marker) {
    merge.write_line(okuri_nasi_marker);
  }
  merge.write_pending(nasi, nullptr, false);
  return merge.counts;
}

void add_held_words(const skk_dictionary& dictionary, output_encoding encoding,
                    reading_table& held) {
  const output_encoding text = held_for(encoding);
  std::vector<candidate_element> elements;
  std::string buffer;
  for (const dictionary_line& line : dictionary.lines) {
    if (line.kind != dictionary_line_kind::entry) continue;
    split_candidates(line.candidates(), elements);
    for (const candidate_element& element : elements) {
      if (element.block) continue;
      add_word(held, line.reading(),
               candidate_word(element.text, text, buffer));
    }
  }
}

std::size_t exclude_held_words(reading_table& table, reading_table& held,
                               output_encoding encoding) {
  const output_encoding text = held_for(encoding);
  std::size_t left_out = 0;
  std::vector<std::uint32_t> filed;
  std::vector<std::uint32_t> kept;
  std::vector<std::uint32_t> held_words;
  std::string buffer;
  bool removed = false;
  for (reading_entry& entry : table.entries) {
    const reading_entry* found = find_reading(held, reading_of(table, entry));
    if (found == nullptr) continue;
    words_of(held, *found, held_words);
    words_of(table, entry, filed);
    kept.clear();
    for (const std::uint32_t c : filed) {
      const std::string_view word =
          candidate_word(word_of(table, c), text, buffer);
      bool held_already = false;
      for (const std::uint32_t h : held_words) {
        if (word_of(held, h) == word) {
          held_already = true;
          break;
        }
      }
      if (held_already) {
        ++left_out;
      } else {
        kept.push_back(c);
      }
    }
    if (kept.size() == filed.size()) continue;
    if (kept.empty()) {
      entry.last_candidate = no_candidate;
      removed = true;
    } else {
      relink_words(table, entry, kept);
    }
  }
  if (removed) remove_marked_readings(table);
  return left_out;
}

}  // namespace brenlow
