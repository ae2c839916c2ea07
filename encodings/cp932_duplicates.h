// The codes code page 932 holds a character at twice or three times: the
// NEC special row 87 repeats signs of JIS X 0208 (0x8790 and 0x81E0 are both
// U+2252), the IBM extension rows FA-FC repeat row 87 and row 81, and the
// NEC-selected IBM extension rows ED-EE repeat the IBM rows. A reading
// holding any but the one code the clients' encoders produce is never found:
// libskk encodes the typed key with glibc iconv "CP932", Emacs SKK with
// Emacs's cp932, and both give the same code for every one of these
// characters (tools/make_cp932_duplicates.py --emacs compares them).
#pragma once

namespace brenlow {

// False when no pair with this lead byte has a duplicate code, so that a
// loop over Shift_JIS text calls canonical_cp932_pair only for the rare
// lead bytes (0x87, 0xED, 0xEE, 0xFA); true does not mean the pair has one.
constexpr bool may_be_cp932_duplicate(unsigned lead) {
  return lead == 0x87 || lead == 0xED || lead == 0xEE || lead == 0xFA;
}

// The code that glibc iconv's CP932 decoding and encoding round-trip the
// Shift_JIS pair lead, trail to, as (lead << 8) | trail: for the 398 codes
// of rows 87, ED, EE and FA that have another code, the code of the same
// character in JIS X 0208, row 87 or the IBM rows (0x8790 gives 0x81E0,
// 0xED40 gives 0xFA5C); for every other pair, including pairs that are not
// Shift_JIS or have no character, the pair itself. lead and trail are byte
// values (below 256).
unsigned canonical_cp932_pair(unsigned lead, unsigned trail);

}  // namespace brenlow
