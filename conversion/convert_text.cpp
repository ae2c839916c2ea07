#include "conversion/convert_text.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_set>

#include "ime_text/okuri_ari.h"
#include "ime_text/part_of_speech.h"

namespace brenlow {

namespace {

std::size_t line_of(std::string_view text, std::size_t offset) {
  return static_cast<std::size_t>(
             std::count(text.begin(), text.begin() + offset, '\n')) +
         1;
}

}  // namespace

bool prepare_input(std::string_view raw, encoding_choice choice,
                   prepared_input& prepared, line_problem& problem) {
  const byte_order_mark mark = find_byte_order_mark(raw);
  if (mark != byte_order_mark::none) {
    const bool conflict =
        choice == encoding_choice::shift_jis ||
        (choice == encoding_choice::utf_8 && mark != byte_order_mark::utf_8);
    if (conflict) {
      problem = {0, std::string("starts with a ") + mark_name(mark) +
                        " byte-order mark, which contradicts --encoding " +
                        (choice == encoding_choice::shift_jis ? "sjis"
                                                              : "utf-8")};
      return false;
    }
    prepared.encoding = text_encoding::utf_8;
    prepared.reason = std::string(mark_name(mark)) + " byte-order mark";
    const std::string_view body = raw.substr(mark_length(mark));
    if (mark == byte_order_mark::utf_8) {
      prepared.text = body;
    } else {
      decoding_problem decoding;
      if (!decode_utf_16(body, mark == byte_order_mark::utf_16be,
                         prepared.decoded, decoding)) {
        problem = {decoding.line_number, decoding.message};
        return false;
      }
      prepared.text = prepared.decoded;
      return true;  // well-formed by construction
    }
  } else {
    prepared.text = raw;
    if (choice == encoding_choice::shift_jis) {
      prepared.encoding = text_encoding::shift_jis;
      prepared.reason = "--encoding sjis";
      return true;
    }
    if (choice == encoding_choice::utf_8) {
      prepared.encoding = text_encoding::utf_8;
      prepared.reason = "--encoding utf-8";
    }
  }
  bool has_multibyte = false;
  const std::size_t invalid = find_invalid_utf_8(prepared.text, has_multibyte);
  if (choice == encoding_choice::guess && mark == byte_order_mark::none) {
    const bool utf_8 = invalid == std::string_view::npos && has_multibyte;
    prepared.encoding = utf_8 ? text_encoding::utf_8 : text_encoding::shift_jis;
    prepared.reason = utf_8 ? "guessed: valid UTF-8"
                            : "guessed: not UTF-8 with multi-byte characters";
    return true;
  }
  if (invalid != std::string_view::npos) {
    problem = {line_of(prepared.text, invalid), "invalid UTF-8 sequence"};
    return false;
  }
  return true;
}

bool find_nul_byte(std::string_view text, line_problem& problem) {
  const void* nul = std::memchr(text.data(), '\0', text.size());
  if (nul == nullptr) return false;
  const auto offset =
      static_cast<std::size_t>(static_cast<const char*>(nul) - text.data());
  problem = {line_of(text, offset), "NUL byte: this is not a text dictionary"};
  return true;
}

conversion_counts convert_lines(std::string_view text, text_encoding encoding,
                                reading_table& table,
                                std::vector<line_problem>& skipped,
                                reading_table* okuri_ari) {
  conversion_counts counts;
  std::string word_buffer;
  std::vector<okuri_ari_pair> pairs;
  std::unordered_set<std::string> okuri_ari_filed;  // key, LF, candidate
  // One word per line at most: reserving for all of them spares the table
  // the copies of a growing array (pages of lines that are not entries are
  // never touched).
  std::size_t line_feeds = 0;
  for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(
           p, '\n', text.size() - static_cast<std::size_t>(p - text.data()))));
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
    if (okuri_ari != nullptr) {
      const std::size_t after_word = word_start + word_field.size();
      const conjugation_class conjugates =
          after_word < line_buffer.size()
              ? classify_part_of_speech(
                    extract_word(line_buffer, after_word + 1, encoding),
                    encoding)
              : conjugation_class{};
      pairs.clear();
      // A word written as a Lisp form has no okurigana to split off.
      if (conjugates.kind != conjugation::none &&
          (word.data() != word_field.data() ||
           !derive_okuri_ari(reading_buffer, word, conjugates, encoding,
                             pairs))) {
        ++counts.lines_without_okuri_ari;
      }
      for (const okuri_ari_pair& pair : pairs) {
        std::string filed = pair.key + '\n';
        filed += pair.candidate;
        if (!okuri_ari_filed.insert(std::move(filed)).second) continue;
        add_word(*okuri_ari, keep(*okuri_ari, pair.key), pair.candidate);
      }
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

}  // namespace brenlow
