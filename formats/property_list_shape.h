// The shape of macOS's user dictionary, checked event by event as an XML
// parser reports the document: plist > array > dict*, each dict of
// key/string pairs. The parser (expat, or XmlLite in the Windows program)
// owns well-formedness, entities and character references; this owns
// what the elements mean. Both readers share it, so that they accept the
// same documents and word their refusals alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/line_problem.h"
#include "formats/property_list.h"

namespace brenlow {

// Where the parser is in the document, asked only when a line number is
// needed (a <dict>, a refusal): counting lines at every event costs.
class line_source {
 public:
  virtual std::size_t line() const = 0;

 protected:
  ~line_source() = default;
};

class property_list_shape {
 public:
  // Entries go into out, in document order.
  explicit property_list_shape(property_list& out) : out_(out) {}

  // Each returns false, with problem() naming the line and what was found,
  // at the first event outside the shape; nothing is to be reported after
  // that. An element deeper than the shape allows is refused at its start,
  // so a parser stopped there never holds more than five open elements.
  bool start_element(std::string_view name, const line_source& where);
  bool end_element(std::string_view name, const line_source& where);
  // Character data, in any number of pieces (CDATA sections included):
  // kept inside <key> and <string>, blanks only anywhere else.
  bool text(std::string_view data, const line_source& where);
  // After the parser has read the whole document: false unless <plist>
  // was closed.
  bool finish(const line_source& where);

  const line_problem& problem() const { return problem_; }

 private:
  enum class place {
    document,      // before <plist>
    plist,         // expecting <array>
    array,         // expecting <dict> or </array>
    after_array,   // expecting </plist>
    dict,          // expecting <key> or </dict>
    key,           // inside <key>
    before_value,  // expecting <string> after a key
    value,         // inside <string>
    after_plist,   // the document is complete
  };
  enum class field { none, reading, word };

  bool refuse(const line_source& where, const std::string& found);
  const char* expected() const;

  property_list& out_;
  line_problem problem_;
  place place_ = place::document;
  std::size_t dict_line_ = 0;
  field value_field_ = field::none;  // what the <string> being read is
  std::string text_;                 // of the <key> or wanted <string>
  // Of the dict being read.
  std::string reading_;
  std::string word_;
  bool has_reading_ = false;
  bool has_word_ = false;
};

}  // namespace brenlow
