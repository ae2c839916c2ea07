#include "dictionary/cdb_writer.h"

#include <cdb.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace brenlow {

namespace {

struct filing {
  const char* reading;
  const char* word;
};

void fill(reading_table& table, const std::vector<filing>& filings) {
  for (const filing& f : filings) add_word(table, f.reading, f.word);
}

// What tinycdb's reader finds under each key, and how many keys it holds.
struct lookup {
  const char* key;
  const char* value;  // nullptr: not found
};

// Written files are read back with tinycdb's own reader, as servers and
// clients read them.
TEST(CdbWriter, KeysAndValues) {
  struct {
    const char* name;
    std::vector<filing> okuri_nasi;
    std::vector<filing> okuri_ari;
    bool with_okuri_ari;
    std::vector<lookup> found;
    unsigned records;
    std::size_t longest_value = 0;
    std::string cut = "";  // "key:words left out " for each key cut
  } const cases[] = {
      {"words in filing order",
       {{"かんじ", "漢字"}, {"かんじ", "感じ"}, {"あい", "愛"}},
       {},
       false,
       {{"かんじ", "/漢字/感じ/"}, {"あい", "/愛/"}, {"かん", nullptr}},
       2},
      {"okuri-ari keys beside the readings",
       {{"かく", "書く"}},
       {{"かk", "書"}, {"かi", "書"}},
       true,
       {{"かく", "/書く/"}, {"かk", "/書/"}, {"かi", "/書/"}},
       3},
      {"a key in both sections once, okuri-nasi words first",
       {{"かk", "課k"}, {"あ", "亜"}},
       {{"かk", "書"}, {"かk", "欠"}},
       true,
       {{"かk", "/課k/書/欠/"}, {"あ", "/亜/"}},
       2},
      {"an empty table", {}, {}, true, {{"あ", nullptr}}, 0},
      // dbskkd-cdb's limit: a value keeps the first words that fit.
      {"values within a limit",
       {{"a", "1234"}, {"a", "56"}, {"a", "7"}, {"b", "123"}, {"c", "12345"}},
       {},
       false,
       {{"a", "/1234/"}, {"b", "/123/"}, {"c", nullptr}},  // c: none fits
       2,
       6,
       "a:2 c:1 "},
      {"a value just at the limit",
       {{"a", "12"}, {"a", "3"}},
       {},
       false,
       {{"a", "/12/3/"}},
       1,
       6,
       ""},
      {"okuri-ari words after okuri-nasi ones count too",
       {{"かk", "1"}},
       {{"かk", "2"}, {"かk", "3"}},
       true,
       {{"かk", "/1/2/"}},
       1,
       5,
       "かk:1 "},
  };
  for (const auto& c : cases) {
    reading_table okuri_nasi;
    reading_table okuri_ari;
    fill(okuri_nasi, c.okuri_nasi);
    fill(okuri_ari, c.okuri_ari);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::vector<cut_value> cut;
    ASSERT_EQ(write_cdb_dictionary(okuri_nasi,
                                   c.with_okuri_ari ? &okuri_ari : nullptr,
                                   fileno(file), c.longest_value, cut),
              0)
        << c.name;
    std::string cut_keys;
    for (const cut_value& v : cut) {
      cut_keys +=
          std::string(v.key) + ":" + std::to_string(v.words_left_out) + " ";
    }
    EXPECT_EQ(cut_keys, c.cut) << c.name;
    struct cdb db;
    ASSERT_EQ(cdb_init(&db, fileno(file)), 0) << c.name;
    for (const lookup& l : c.found) {
      const std::string key = l.key;
      const int found =
          cdb_find(&db, key.data(), static_cast<unsigned>(key.size()));
      if (l.value == nullptr) {
        EXPECT_EQ(found, 0) << c.name << ": " << key;
        continue;
      }
      ASSERT_EQ(found, 1) << c.name << ": " << key;
      std::string value(cdb_datalen(&db), '\0');
      ASSERT_EQ(cdb_read(&db, value.data(), cdb_datalen(&db), cdb_datapos(&db)),
                0);
      EXPECT_EQ(value, l.value) << c.name << ": " << key;
    }
    unsigned records = 0;
    unsigned position;
    cdb_seqinit(&position, &db);
    while (cdb_seqnext(&position, &db) > 0) ++records;
    EXPECT_EQ(records, c.records) << c.name;
    cdb_free(&db);
    (void)std::fclose(file);
  }
}

TEST(CdbWriter, FailedWriteIsReported) {
  reading_table table;
  add_word(table, "あ", "亜");
  // A descriptor open for reading only takes no writes.
  std::FILE* file = std::fopen("/dev/null", "rb");
  ASSERT_NE(file, nullptr);
  std::vector<cut_value> cut;
  EXPECT_NE(write_cdb_dictionary(table, nullptr, fileno(file), 0, cut), 0);
  (void)std::fclose(file);
}

}  // namespace

}  // namespace brenlow
