// The SKK entry rules, applied to records whatever their format: readings
// as SKK users type them, what an SKK line cannot hold, and the forms
// (concat, annotation) in which SKK carries a word.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/byte_facts.h"
#include "encodings/output_encoding.h"
#include "formats/record.h"

namespace brenlow {

// What a program decodes of a (concat "...") form: Emacs SKK and libskk
// all of it; macSKK a single string whose only escapes are \057 and \073;
// AquaSKK nothing (it shows the form as text).
enum class concat_reading { full, slash_and_semicolon, none };

// How records become SKK entries: the user's rules, whatever the input's
// format; the defaults are the program's.
struct entry_rules {
  // --csv-quotes: a doubled double quote is one quote and a lone one is
  // dropped, as in a CSV file. Otherwise a double quote is a character
  // like any other, as the IMEs that write this format write it.
  bool csv_quotes = false;
  // Off with --raw-readings: readings as SKK users type them
  // (reading_form.h).
  bool typed_readings = true;
  // Off with --no-annotations: the comment field (after the part of
  // speech) becomes the word's annotation.
  bool annotations = true;
  // --unique: each word written once per reading, with the first
  // annotation it was given. Otherwise a word is written as often as lines
  // file it, except that two source readings meeting in one typed form
  // give it once.
  bool unique = false;
  // --to: the encoding the dictionary is written in, when it is not the
  // input's. A record whose reading or word holds a character it cannot
  // write is skipped; an annotation holding one is left out.
  bool has_target = false;
  output_encoding target = output_encoding::utf_8;
  // --for: what the program reads of concat forms, and its name for the
  // messages. A word needing a form it does not read is skipped; such an
  // annotation is left out.
  concat_reading concat = concat_reading::full;
  const char* program = "";
};

// A record as an SKK entry: the reading SKK looks it up under, or why the
// record cannot be filed.
struct skk_entry {
  skip_reason reason = skip_reason::none;  // none: the record is filed
  std::string_view reading;                // as SKK carries it
  bool reading_typed = false;  // the reading was changed to its typed form
  // Why a client cannot type the reading (untypable_bit()s), under
  // rules.typed_readings.
  unsigned untypable = 0;
};

// Checks a record against what an SKK line can hold, in this order: the
// reading not empty; in its typed form (reading_form.h, under
// rules.typed_readings; written to reading_buffer, which reading then
// views), not starting with ";" (an SKK comment line) and holding no blank
// (ASCII or ideographic, which SKK clients split at) or control character;
// the word not empty (under csv_quotes not one lone quote either, which
// leaves nothing).
skk_entry check_record(const record& fields, text_encoding encoding,
                       const entry_rules& rules, std::string& reading_buffer);

// The candidate SKK carries for a record: the word, in its concat form when
// it needs one, then ";" and the annotation when the record has a comment
// (not one lone quote under csv_quotes) and rules take annotations. Returns
// false when that is the word as it stands; otherwise writes it to out and
// returns true. annotated tells whether an annotation was written.
bool skk_candidate(const record& fields, text_encoding encoding,
                   const entry_rules& rules, std::string& out, bool& annotated);

// True when a program reading concat forms as reading does shows
// candidate (a word or annotation as skk_candidate writes it) as it is
// meant: candidate is no concat form, or one that program decodes.
bool concat_readable(std::string_view candidate, concat_reading reading);

// True when the word cannot be written as it stands: it holds "/", ";" or a
// double quote, or it starts with "(" and ends with ")", which SKK clients
// would evaluate as a Lisp form.
bool needs_concat(std::string_view word_field, text_encoding encoding);

// Appends field to out as (concat "...") in which "/", ";", a double quote
// and backslash are octal escapes (under csv_quotes a doubled double quote
// is one escaped quote and a lone one is dropped). An escape directly
// followed by a non-ASCII character ends its string and a new one starts
// ("a\057" "b"): libskk 1.0.5 garbles such a character otherwise.
void encode_concat(std::string_view field, std::string& out,
                   text_encoding encoding, bool csv_quotes);

}  // namespace brenlow
