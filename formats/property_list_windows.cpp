// The Windows program reads no property list: it has no XML reader.
// Debian has no expat built for MinGW, and Windows' own XmlLite could only
// be tested under Wine, whose xmllite.dll (8.0) never returns from a
// document cut short inside text, a comment or a CDATA section, and takes
// a document cut short after </array> as whole. A plain refusal is better
// than a program that may hang on a damaged file.
#include "formats/property_list.h"

namespace brenlow {

bool property_lists_readable() { return false; }

bool read_property_list(std::string_view, property_list&,
                        line_problem& problem) {
  problem.line_number = 0;
  problem.message =
      "property lists need the Linux or macOS build of brenlow: this Windows "
      "program has no XML reader";
  return false;
}

}  // namespace brenlow
