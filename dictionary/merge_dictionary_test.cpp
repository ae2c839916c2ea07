#include "dictionary/merge_dictionary.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace brenlow {

namespace {

using pairs = std::vector<std::pair<const char*, const char*>>;

struct merged_text {
  std::string text;
  merge_counts counts;
};

// existing read as UTF-8 (its coding line aside), the pairs filed as the
// conversion files them.
merged_text merged(const std::string& existing, const pairs& nasi,
                   const pairs& ari, sort_order order, bool with_ari = true) {
  skk_dictionary dictionary;
  std::vector<line_problem> warnings;
  line_problem problem;
  dictionary_reading how;
  how.encoding_given = true;
  how.encoding = output_encoding::utf_8;
  EXPECT_TRUE(
      read_skk_dictionary(existing, how, dictionary, warnings, problem));
  reading_table table;
  reading_table okuri_ari;
  for (const auto& [reading, word] : nasi) add_word(table, reading, word);
  for (const auto& [reading, word] : ari) add_word(okuri_ari, reading, word);
  output_stream stream = make_output_stream(nullptr, line_end::lf);
  merged_text result;
  result.counts = write_merged_dictionary(
      dictionary, table, with_ari ? &okuri_ari : nullptr, order,
      output_encoding::utf_8, stream);
  EXPECT_EQ(finish_output(stream), 0);
  result.text = std::string(written_text(stream));
  return result;
}

// The section markers every dictionary here starts with.
std::string markers_text() {
  return ";; okuri-ari entries.\n;; okuri-nasi entries.\n";
}

TEST(MergeDictionary, WordsAdded) {
  const std::string markers = markers_text();
  struct {
    const char* name;
    std::string existing;
    pairs nasi;
    pairs ari;
    sort_order order;
    std::string expected;
    std::size_t added, present, annotations, readings;
  } const cases[] = {
      {"nothing new: byte for byte",
       ";; -*- coding: utf-8 -*-\n;; mine\n" + markers + "a /x/y;n/\nb //\n",
       {{"a", "y"}, {"a", "x"}},
       {},
       sort_order::input,
       ";; -*- coding: utf-8 -*-\n;; mine\n" + markers + "a /x/y;n/\nb //\n",
       0,
       2,
       0,
       0},
      {"new words after the line's own, repeats once",
       markers + "a /x/\n",
       {{"a", "z"}, {"a", "x"}, {"a", "z"}, {"a", "w"}},
       {},
       sort_order::input,
       markers + "a /x/z/w/\n",
       2,
       2,
       0,
       0},
      {"a concat form is the word it means",
       markers + "a /(concat \"p\\057q\")/r;s/\n",
       {{"a", "p/q"}, {"a", "(concat \"r\")"}, {"a", "(concat \"p\\057q\");n"}},
       {},
       sort_order::input,
       markers + "a /(concat \"p\\057q\");n/r;s/\n",
       0,
       3,
       1,
       0},
      {"an annotation only where the word has none, the first given",
       markers + "a /x/y;old/\n",
       {{"a", "x;one"}, {"a", "x;two"}, {"a", "y;new"}},
       {},
       sort_order::input,
       markers + "a /x;one/y;old/\n",
       0,
       3,
       1,
       0},
      {"okuri-ari words before the blocks",
       markers.substr(0, 22) + "okur /A/[u/A/]/[i/A/]/\n" + markers.substr(22),
       {},
       {{"okur", "B"}, {"okur", "A"}},
       sort_order::input,
       markers.substr(0, 22) + "okur /A/B/[u/A/]/[i/A/]/\n" +
           markers.substr(22),
       1,
       1,
       0,
       0},
      {"unsorted: new readings at the end of their section",
       ";; okuri-ari entries.\nzr /1/\n;; okuri-nasi entries.\nz /1/\n;; end\n",
       {{"a", "2"}},
       {{"ar", "2"}},
       sort_order::input,
       ";; okuri-ari entries.\nzr /1/\nar /2/\n;; okuri-nasi entries.\nz "
       "/1/\n;; end\na /2/\n",
       2,
       0,
       0,
       2},
      {"sorted: ascending okuri-nasi, descending okuri-ari",
       ";; okuri-ari entries.\nyr /1/\nbr /1/\n;; okuri-nasi entries.\nb "
       "/1/\n;; c\nd /1/\n",
       {{"e", "2"}, {"a", "2"}, {"c", "2"}, {"b", "2"}},
       {{"ar", "2"}, {"zr", "2"}, {"cr", "2"}},
       sort_order::bytes,
       ";; okuri-ari entries.\nzr /2/\nyr /1/\ncr /2/\nbr /1/\nar /2/\n;; "
       "okuri-nasi entries.\na /2/\nb /1/2/\n;; c\nc /2/\nd /1/\ne /2/\n",
       7,
       0,
       0,
       6},
      {"no okuri-ari section: added before the okuri-nasi marker",
       ";; okuri-nasi entries.\na /1/\n",
       {},
       {{"ar", "2"}},
       sort_order::input,
       ";; okuri-ari entries.\nar /2/\n;; okuri-nasi entries.\na /1/\n",
       1,
       0,
       0,
       1},
      {"no markers: okuri-ari section and marker before the first entry",
       ";; mine\na /1/\n",
       {{"b", "2"}},
       {{"ar", "2"}},
       sort_order::input,
       ";; mine\n;; okuri-ari entries.\nar /2/\n;; okuri-nasi entries.\na "
       "/1/\nb /2/\n",
       2,
       0,
       0,
       2},
      {"no markers, no okuri-ari words: left without",
       "a /1/\n",
       {{"b", "2"}},
       {},
       sort_order::input,
       "a /1/\nb /2/\n",
       1,
       0,
       0,
       1},
      {"comments alone, nothing new: as it was",
       ";; mine\n",
       {},
       {},
       sort_order::input,
       ";; mine\n",
       0,
       0,
       0,
       0},
      {"comments alone: both sections",
       ";; mine\n",
       {{"b", "2"}},
       {},
       sort_order::input,
       ";; mine\n" + markers + "b /2/\n",
       1,
       0,
       0,
       1},
      {"okuri-ari section only: okuri-nasi marker added",
       ";; okuri-ari entries.\nar /1/\n",
       {{"b", "2"}},
       {},
       sort_order::input,
       ";; okuri-ari entries.\nar /1/\n;; okuri-nasi entries.\nb /2/\n",
       1,
       0,
       0,
       1},
      {"malformed lines kept, a reading on two lines gains words once",
       markers + "junk\na /1/\na /3/\n",
       {{"a", "2"}},
       {},
       sort_order::input,
       markers + "junk\na /1/2/\na /3/\n",
       1,
       0,
       0,
       0},
      {"UTF-8 mark kept",
       "\xEF\xBB\xBF" + markers + "a /1/\n",
       {{"a", "2"}},
       {},
       sort_order::input,
       "\xEF\xBB\xBF" + markers + "a /1/2/\n",
       1,
       0,
       0,
       0},
  };
  for (const auto& c : cases) {
    const merged_text result = merged(c.existing, c.nasi, c.ari, c.order);
    EXPECT_EQ(result.text, c.expected) << c.name;
    EXPECT_EQ(result.counts.words_added, c.added) << c.name;
    EXPECT_EQ(result.counts.words_present, c.present) << c.name;
    EXPECT_EQ(result.counts.annotations_added, c.annotations) << c.name;
    EXPECT_EQ(result.counts.readings_added, c.readings) << c.name;
  }
}

TEST(MergeDictionary, SkkOrderInsertsAsEmacsSkkCompares) {
  const std::string markers = markers_text();
  // In the skk order a half-width katakana (emacs-mule 0x89) comes before
  // hiragana (0x92), though its UTF-8 (EF BD B1) comes after.
  const merged_text result =
      merged(markers + "\xEF\xBD\xB1 /1/\n\xE3\x81\x8B /1/\n",
             {{"\xE3\x81\x82", "2"}, {"a", "2"}}, {}, sort_order::skk);
  EXPECT_EQ(result.text, markers +
                             "a /2/\n\xEF\xBD\xB1 /1/\n\xE3\x81\x82 "
                             "/2/\n\xE3\x81\x8B /1/\n");
}

// The dictionary's lines view text, which must outlive it.
skk_dictionary read_utf_8(const std::string& text) {
  skk_dictionary dictionary;
  std::vector<line_problem> warnings;
  line_problem problem;
  dictionary_reading how;
  how.encoding_given = true;
  how.encoding = output_encoding::utf_8;
  EXPECT_TRUE(read_skk_dictionary(text, how, dictionary, warnings, problem));
  return dictionary;
}

TEST(MergeDictionary, OrderKept) {
  const std::string markers = markers_text();
  // ゛ (U+309B) sorts before い in Emacs SKK's order (JIS X 0208 row 1
  // before row 4) and after it in UTF-8's bytes.
  struct {
    const char* name;
    std::string text;
    sort_order preferring_skk;
    sort_order preferring_bytes;
    std::size_t first_out_of_skk_order;
  } const cases[] = {
      {"empty", markers, sort_order::skk, sort_order::bytes, 0},
      {"both orders", markers + "a /1/\nb /1/\nb /2/\n", sort_order::skk,
       sort_order::bytes, 0},
      {"okuri-ari descending",
       ";; okuri-ari entries.\nbr /1/\nar /1/\n;; okuri-nasi entries.\n",
       sort_order::skk, sort_order::bytes, 0},
      {"okuri-ari ascending is out of order",
       ";; okuri-ari entries.\nar /1/\nbr /1/\n;; okuri-nasi entries.\n",
       sort_order::input, sort_order::input, 3},
      {"bytes only",
       markers + "\xE3\x81\x86\xE3\x81\x84 /1/\n\xE3\x81\x86\xE3\x82\x9B /1/\n",
       sort_order::bytes, sort_order::bytes, 4},
      {"skk only",
       markers + "\xE3\x81\x86\xE3\x82\x9B /1/\n\xE3\x81\x86\xE3\x81\x84 /1/\n",
       sort_order::skk, sort_order::skk, 0},
      {"neither", markers + "b /1/\na /1/\n", sort_order::input,
       sort_order::input, 4},
  };
  for (const auto& c : cases) {
    const skk_dictionary dictionary = read_utf_8(c.text);
    EXPECT_EQ(order_kept(dictionary, output_encoding::utf_8, sort_order::skk),
              c.preferring_skk)
        << c.name;
    EXPECT_EQ(order_kept(dictionary, output_encoding::utf_8, sort_order::bytes),
              c.preferring_bytes)
        << c.name;
    EXPECT_EQ(first_line_out_of_order(dictionary, sort_order::skk,
                                      output_encoding::utf_8),
              c.first_out_of_skk_order)
        << c.name;
  }
}

TEST(MergeDictionary, LinesPastTheLimitAreNamed) {
  const std::string markers = markers_text();
  // "a /1/" is 5 bytes, "a /1/2/" 7, "b /3/" 5, "c /45/" 6 (the limit:
  // not named), "long /xxxxxx/" 13.
  const std::string text = markers + "a /1/\nc /45/\nlong /xxxxxx/\n";
  const skk_dictionary dictionary = read_utf_8(text);
  reading_table table;
  add_word(table, "a", "2");
  add_word(table, "b", "3");
  reading_table okuri_ari;
  output_stream stream = make_output_stream(nullptr, line_end::lf);
  const merge_counts counts =
      write_merged_dictionary(dictionary, table, &okuri_ari, sort_order::input,
                              output_encoding::utf_8, stream, 6);
  EXPECT_EQ(finish_output(stream), 0);
  EXPECT_EQ(written_text(stream),
            markers + "a /1/2/\nc /45/\nlong /xxxxxx/\nb /3/\n");
  const std::vector<std::pair<std::string, std::size_t>> expected = {
      {"a", 7}, {"long", 13}};
  EXPECT_EQ(counts.long_lines, expected);
}

TEST(MergeDictionary, StaysInBothOrders) {
  const std::string markers = markers_text();
  // えがお and えーる: ー before が in Emacs SKK's order, after it in bytes.
  const std::string text =
      markers + "\xE3\x81\x82 /1/\n\xE3\x81\x88\xE3\x81\x8C\xE3\x81\x8A /1/\n";
  const skk_dictionary dictionary = read_utf_8(text);
  struct {
    const char* name;
    const char* reading;
    bool okuri_ari;
    bool stays;
  } const cases[] = {
      {"a reading both orders place alike", "\xE3\x81\x84", false, true},
      {"えーる", "\xE3\x81\x88\xE3\x83\xBC\xE3\x82\x8B", false, false},
      {"えーる as okuri-ari, alone in its section",
       "\xE3\x81\x88\xE3\x83\xBC\xE3\x82\x8Br", true, true},
      {"a reading it has", "\xE3\x81\x82", false, true},
  };
  for (const auto& c : cases) {
    reading_table table;
    reading_table okuri_ari;
    add_word(c.okuri_ari ? okuri_ari : table, c.reading, "w");
    EXPECT_EQ(
        stays_in_both_orders(dictionary, table, &okuri_ari, sort_order::skk,
                             sort_order::bytes, output_encoding::utf_8),
        c.stays)
        << c.name;
  }
}

TEST(MergeDictionary, ExcludedWords) {
  const std::string markers = markers_text();
  const std::string held_text =
      markers + "a /x/(concat \"p\\057q\")/y;note/\nb /z/\nokur /A/[u/A/]/\n";
  const skk_dictionary held_dictionary = read_utf_8(held_text);
  reading_table held;
  add_held_words(held_dictionary, output_encoding::utf_8, held);
  reading_table table;
  const pairs filed = {{"a", "x"},   {"a", "(concat \"p\\057q\");n"},
                       {"a", "w"},   {"b", "z"},
                       {"c", "x"},   {"a", "y"},
                       {"b", "z;n"}, {"okur", "A"},
                       {"u", "A"}};
  for (const auto& [reading, word] : filed) add_word(table, reading, word);
  EXPECT_EQ(exclude_held_words(table, held, output_encoding::utf_8), 6u);
  std::string left;
  std::vector<std::uint32_t> words;
  for (const reading_entry& entry : table.entries) {
    left += std::string(reading_of(table, entry)) + ":";
    words_of(table, entry, words);
    for (const std::uint32_t w : words) {
      left += std::string(word_of(table, w)) + ",";
    }
  }
  // The block's words are no candidates of the reading "okur".
  EXPECT_EQ(left, "a:w,c:x,u:A,");
}

}  // namespace

}  // namespace brenlow
