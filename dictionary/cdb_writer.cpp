#include "dictionary/cdb_writer.h"

#include <cdb.h>

#include <cerrno>
#include <string>
#include <unordered_map>

namespace brenlow {

namespace {

// Appends "word/" for each word of entry, first to last. The chain runs
// from the last word back, so it is turned around, walked and turned back,
// as the text writer does: no list of the words is made.
void append_words(reading_table& table, const reading_entry& entry,
                  std::string& value, std::size_t longest,
                  std::size_t& left_out) {
  auto& candidates = table.candidates;
  std::uint32_t first = no_candidate;
  for (std::uint32_t c = entry.last_candidate; c != no_candidate;) {
    const std::uint32_t before = candidates[c].previous;
    candidates[c].previous = first;
    first = c;
    c = before;
  }
  std::uint32_t before = no_candidate;
  for (std::uint32_t c = first; c != no_candidate;) {
    candidate& word = candidates[c];
    const std::string_view bytes = text_of(table, word.text);
    if (left_out == 0 && longest - value.size() > bytes.size()) {
      value.append(bytes);
      value.push_back('/');
    } else {
      ++left_out;  // and every word after it
    }
    const std::uint32_t after = word.previous;
    word.previous = before;
    before = c;
    c = after;
  }
}

// The words of readings a little ahead are fetched early: they were filed
// anywhere in the input.
void prefetch_ahead(const reading_table& table, std::size_t e) {
  constexpr std::size_t ahead = 16;
  if (e + ahead < table.entries.size()) {
    const reading_entry& entry = table.entries[e + ahead];
    __builtin_prefetch(&table.candidates[entry.last_candidate]);
    __builtin_prefetch(text_start(table, entry.text));
  }
}

}  // namespace

bool cdb_writable() { return true; }

int write_cdb_dictionary(reading_table& okuri_nasi, reading_table* okuri_ari,
                         int fd, std::size_t longest_value,
                         std::vector<cut_value>& cut) {
  const std::size_t longest =
      longest_value == 0 ? static_cast<std::size_t>(-1) : longest_value;
  // tinycdb (Debian's libcdb) lays out the file; only the values are made
  // here.
  struct cdb_make maker;
  if (cdb_make_start(&maker, fd) < 0) return errno ? errno : EIO;
  std::unordered_map<std::string_view, const reading_entry*> okuri_ari_keys;
  if (okuri_ari != nullptr) {
    for (const reading_entry& entry : okuri_ari->entries) {
      okuri_ari_keys.emplace(reading_of(*okuri_ari, entry), &entry);
    }
  }
  std::string value;
  int error = 0;
  std::size_t left_out = 0;
  const auto add = [&](std::string_view key) {
    if (left_out != 0) cut.push_back({key, left_out, value.size() == 1});
    left_out = 0;
    if (value.size() == 1) return;  // not even one word fits
    if (error == 0 &&
        cdb_make_add(&maker, key.data(), static_cast<unsigned>(key.size()),
                     value.data(), static_cast<unsigned>(value.size())) < 0) {
      error = errno ? errno : EIO;
    }
  };
  for (std::size_t e = 0; e < okuri_nasi.entries.size(); ++e) {
    prefetch_ahead(okuri_nasi, e);
    const reading_entry& entry = okuri_nasi.entries[e];
    value.assign("/");
    append_words(okuri_nasi, entry, value, longest, left_out);
    const auto both = okuri_ari_keys.empty()
                          ? okuri_ari_keys.end()
                          : okuri_ari_keys.find(reading_of(okuri_nasi, entry));
    if (both != okuri_ari_keys.end()) {
      append_words(*okuri_ari, *both->second, value, longest, left_out);
      both->second = nullptr;  // written here
    }
    add(reading_of(okuri_nasi, entry));
  }
  if (okuri_ari != nullptr) {
    for (const reading_entry& entry : okuri_ari->entries) {
      const std::string_view reading = reading_of(*okuri_ari, entry);
      if (okuri_ari_keys.at(reading) == nullptr) continue;
      value.assign("/");
      append_words(*okuri_ari, entry, value, longest, left_out);
      add(reading);
    }
  }
  // The maker's memory is freed by finishing; a failed add still finishes.
  errno = 0;
  const int finished = cdb_make_finish(&maker);
  if (error == 0 && finished < 0) error = errno ? errno : EIO;
  return error;
}

}  // namespace brenlow
