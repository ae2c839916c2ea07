#include "dictionary/cdb_writer.h"

#include <cdb.h>

#include <cerrno>
#include <string>
#include <unordered_map>
#include <vector>

namespace brenlow {

namespace {

// Appends "word/" for each word of entry, first to last.
void append_words(const reading_table& table, const reading_entry& entry,
                  std::vector<std::uint32_t>& filed, std::string& value) {
  words_of(table, entry, filed);
  for (std::uint32_t c : filed) {
    value.append(table.candidates[c].word());
    value.push_back('/');
  }
}

}  // namespace

bool cdb_writable() { return true; }

int write_cdb_dictionary(reading_table& okuri_nasi, reading_table* okuri_ari,
                         int fd) {
  // tinycdb (Debian's libcdb) lays out the file; only the values are made
  // here.
  struct cdb_make maker;
  if (cdb_make_start(&maker, fd) < 0) return errno ? errno : EIO;
  std::unordered_map<std::string_view, const reading_entry*> okuri_ari_keys;
  if (okuri_ari != nullptr) {
    for (const reading_entry& entry : okuri_ari->entries) {
      okuri_ari_keys.emplace(entry.reading(), &entry);
    }
  }
  std::vector<std::uint32_t> filed;
  std::string value;
  int error = 0;
  const auto add = [&](std::string_view key) {
    if (error == 0 &&
        cdb_make_add(&maker, key.data(), static_cast<unsigned>(key.size()),
                     value.data(), static_cast<unsigned>(value.size())) < 0) {
      error = errno ? errno : EIO;
    }
  };
  for (const reading_entry& entry : okuri_nasi.entries) {
    value.assign("/");
    append_words(okuri_nasi, entry, filed, value);
    const auto both = okuri_ari_keys.find(entry.reading());
    if (both != okuri_ari_keys.end()) {
      append_words(*okuri_ari, *both->second, filed, value);
      both->second = nullptr;  // written here
    }
    add(entry.reading());
  }
  if (okuri_ari != nullptr) {
    for (const reading_entry& entry : okuri_ari->entries) {
      if (okuri_ari_keys.at(entry.reading()) == nullptr) continue;
      value.assign("/");
      append_words(*okuri_ari, entry, filed, value);
      add(entry.reading());
    }
  }
  // The maker's memory is freed by finishing; a failed add still finishes.
  errno = 0;
  const int finished = cdb_make_finish(&maker);
  if (error == 0 && finished < 0) error = errno ? errno : EIO;
  return error;
}

}  // namespace brenlow
