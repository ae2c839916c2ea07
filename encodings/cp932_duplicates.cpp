#include "encodings/cp932_duplicates.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace brenlow {

namespace {

struct cp932_duplicate {
  unsigned short code, target;
};

#include "encodings/cp932_duplicates.inc"

constexpr bool sorted_by_code_in_duplicate_rows() {
  for (std::size_t i = 0; i < std::size(cp932_duplicates); ++i) {
    if (!may_be_cp932_duplicate(cp932_duplicates[i].code >> 8u)) return false;
    if (i > 0 && cp932_duplicates[i - 1].code >= cp932_duplicates[i].code) {
      return false;
    }
  }
  return true;
}
// The binary search needs the order, and may_be_cp932_duplicate must not
// turn away a lead byte the table holds (a new glibc could move a row).
static_assert(sorted_by_code_in_duplicate_rows(),
              "cp932_duplicates.inc: codes ascending, lead bytes those "
              "may_be_cp932_duplicate accepts");

}  // namespace

unsigned canonical_cp932_pair(unsigned lead, unsigned trail) {
  const unsigned code = (lead << 8u) | trail;
  if (!may_be_cp932_duplicate(lead)) return code;
  const auto found = std::lower_bound(
      std::begin(cp932_duplicates), std::end(cp932_duplicates), code,
      [](const cp932_duplicate& row, unsigned key) { return row.code < key; });
  return found != std::end(cp932_duplicates) && found->code == code
             ? found->target
             : code;
}

}  // namespace brenlow
