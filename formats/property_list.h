// macOS's user dictionary, as System Settings exports it (and iOS shares
// it): an XML property list, UTF-8,
//   <plist version="1.0"><array>
//     <dict><key>phrase</key><string>アーラン</string>
//           <key>shortcut</key><string>あーらん</string></dict>
//   ...</array></plist>
// read with a real XML parser (expat), entities and character references
// decoded. It has no part of speech and no comment.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/line_problem.h"
#include "formats/record.h"

namespace brenlow {

// One <dict> of the list, numbered by the line it starts on (from 1).
struct property_list_entry {
  std::size_t line = 0;
  entry_line read;  // entry, or skipped with skip_reason::missing_key
};

struct property_list {
  // When set, each entry goes to sink as it is read, its fields viewing the
  // reader's own storage until the call returns, and entries and strings
  // stay empty: a list of millions of entries is never held whole.
  std::function<void(const property_list_entry&)> sink;
  std::vector<property_list_entry> entries;  // in document order
  // The decoded texts the entries' records view (fields_in_buffer): a deque,
  // so that they never move.
  std::deque<std::string> strings;
};

// Reads text (UTF-8, without its byte-order mark) as a property list of
// that shape into out: each <dict> an entry whose reading is its
// "shortcut" string and whose word its "phrase" string; a dict without one
// of them is skipped (missing_key); other keys are ignored. Returns false
// with problem naming the line and what was found when the text is not
// well-formed XML (a truncated file included) or not of that shape
// ("expected <array> inside <plist>, found <dict>"). A document type may
// declare no entities: their expansion would be unbounded.
bool read_property_list(std::string_view text, property_list& out,
                        line_problem& problem);

// True when the XML parser is built in; the Windows program may be built
// without one, and then says property lists need another build.
bool property_lists_readable();

}  // namespace brenlow
