// Words added to an SKK dictionary the user already has, and words left
// out that another dictionary holds. Words are compared as the client
// shows them (candidate_word): "a/b" and (concat "a\057b") are one word.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "base/output_stream.h"
#include "dictionary/reading_table.h"
#include "dictionary/skk_order.h"
#include "skk_dictionary/skk_dictionary.h"

namespace brenlow {

struct merge_counts {
  std::size_t words_added = 0;        // under readings it had, or new ones
  std::size_t words_present = 0;      // words it had already (not added again)
  std::size_t annotations_added = 0;  // to words it had without one
  std::size_t readings_added = 0;
  // Entry lines longer than longest_line bytes: reading and bytes.
  std::vector<std::pair<std::string, std::size_t>> long_lines;
};

// The first entry line (from 1) of dictionary that is out of order: its
// okuri-nasi entries ascending and its okuri-ari entries descending, as
// order_entries gives them for encoding; 0 when none is. Under
// sort_order::input, 0.
std::size_t first_line_out_of_order(const skk_dictionary& dictionary,
                                    sort_order order, output_encoding encoding);

// The order a dictionary is kept in: preferred (skk or bytes) when its
// entries are in that order, else the other one when they are in that,
// else input (new readings go at the end of their section). A dictionary
// in both orders (few readings, or none whose orders differ) is kept in
// preferred.
sort_order order_kept(const skk_dictionary& dictionary,
                      output_encoding encoding, sort_order preferred);

// True when dictionary (in order, and in other) with the readings of
// table and okuri_ari (if given) added in order stays in other as well.
bool stays_in_both_orders(const skk_dictionary& dictionary,
                          const reading_table& table,
                          const reading_table* okuri_ari, sort_order order,
                          sort_order other, output_encoding encoding);

// Writes dictionary with the words of table added under its okuri-nasi
// readings and those of okuri_ari (if given) under its okuri-ari ones.
// dictionary and the tables hold their text as held_for(encoding).
// Each line is written as it stands unless it gains a word or annotation:
// a reading it has keeps its candidates first, in their order, then the
// words new to it, before any okurigana block; a word it has without an
// annotation takes the new one. Readings it lacks go, in order (sorted
// by it, descending for okuri-ari, or in table order under input), among
// its entries of their section before the first that sorts after them,
// or at the end of the section; a section it lacks is added with its
// marker line. The tables' index is built anew (index_readings). Entry
// lines longer than longest_line bytes (line end not counted; 0: no limit)
// are written whole and listed in the counts.
merge_counts write_merged_dictionary(const skk_dictionary& dictionary,
                                     reading_table& table,
                                     reading_table* okuri_ari, sort_order order,
                                     output_encoding encoding,
                                     output_stream& stream,
                                     std::size_t longest_line = 0);

// Adds every pair of reading and word (as candidate_word gives it) of
// dictionary (held as held_for(encoding)) to held, both sections alike.
void add_held_words(const skk_dictionary& dictionary, output_encoding encoding,
                    reading_table& held);

// Leaves out of table every word whose reading and word held holds;
// readings left without a word are removed. Returns how many words were
// left out.
std::size_t exclude_held_words(reading_table& table, reading_table& held,
                               output_encoding encoding);

}  // namespace brenlow
