#include "encodings/cp932_duplicates.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/byte_facts.h"

// glibc iconv's CP932 is what libskk encodes a typed key with.
#if !defined(_WIN32) && __has_include(<iconv.h>)
#include <iconv.h>
#define BRENLOW_HAVE_ICONV 1
#endif

namespace brenlow {

namespace {

// Each code with the code a client types for its character, from the
// characters' places in code page 932.
struct duplicate_row {
  const char* what;
  unsigned code, expected;
};
constexpr duplicate_row duplicate_rows[] = {
    // Row 87 repeats signs of row 81 (JIS X 0208).
    {"≒ in row 87 (the table's first code)", 0x8790, 0x81E0},
    {"≡ in row 87", 0x8791, 0x81DF},
    {"∫ in row 87", 0x8792, 0x81E7},
    {"∵ in row 87", 0x879A, 0x81E6},
    {"∪ in row 87 (the row's last duplicate)", 0x879C, 0x81BE},
    // The IBM rows repeat row 87 and row 81.
    {"Ⅰ in the IBM rows", 0xFA4A, 0x8754},
    {"Ⅹ in the IBM rows", 0xFA53, 0x875D},
    {"￢ in the IBM rows", 0xFA54, 0x81CA},
    {"㈱ in the IBM rows", 0xFA58, 0x878A},
    {"№ in the IBM rows", 0xFA59, 0x8782},
    {"℡ in the IBM rows", 0xFA5A, 0x8784},
    {"∵ in the IBM rows (the table's last code)", 0xFA5B, 0x81E6},
    // The NEC-selected rows ED-EE repeat the IBM rows, or row 81.
    {"纊, the first of row ED", 0xED40, 0xFA5C},
    {"褜 in row ED", 0xED41, 0xFA5D},
    {"犾, the first of row EE", 0xEE40, 0xFB5C},
    {"鸙 in row EE", 0xEEEB, 0xFC4A},
    {"黑, the last kanji of row EE", 0xEEEC, 0xFC4B},
    {"ⅰ in row EE", 0xEEEF, 0xFA40},
    {"ⅹ in row EE", 0xEEF8, 0xFA49},
    {"￢ in row EE", 0xEEF9, 0x81CA},
    {"￤ in row EE", 0xEEFA, 0xFA55},
    {"＇ in row EE", 0xEEFB, 0xFA56},
    {"＂, the last of row EE", 0xEEFC, 0xFA57},
    // The codes typed are kept, as is everything outside the duplicates.
    {"≒ in row 81", 0x81E0, 0x81E0},
    {"￢ in row 81", 0x81CA, 0x81CA},
    {"Ⅰ in row 87", 0x8754, 0x8754},
    {"① in row 87, which has no other code", 0x8740, 0x8740},
    {"㈱ in row 87", 0x878A, 0x878A},
    {"ⅰ in the IBM rows", 0xFA40, 0xFA40},
    {"纊 in the IBM rows", 0xFA5C, 0xFA5C},
    {"￤ in the IBM rows", 0xFA55, 0xFA55},
    {"蕫 in the IBM rows, which has no NEC-selected code", 0xFB9C, 0xFB9C},
    {"黑 in the IBM rows", 0xFC4B, 0xFC4B},
    {"あ", 0x82A0, 0x82A0},
    {"亜", 0x889F, 0x889F},
    {"漢", 0x8ABF, 0x8ABF},
    {"the first user-defined code", 0xF040, 0xF040},
    {"row 87 after its last character", 0x879D, 0x879D},
    {"row EE between 黑 and ⅰ, without characters", 0xEEED, 0xEEED},
    {"row FA after its duplicates", 0xFA5D, 0xFA5D},
    {"row ED with a byte that is no trail byte", 0xED3F, 0xED3F},
    {"row FA with a byte that is no trail byte", 0xFAFD, 0xFAFD},
};

TEST(CanonicalCp932Pair, Rows) {
  for (const duplicate_row& row : duplicate_rows) {
    EXPECT_EQ(canonical_cp932_pair(row.code >> 8, row.code & 0xFF),
              row.expected)
        << row.what << std::hex << " 0x" << row.code;
  }
}

// Every pair against glibc iconv itself, which the table was made from: a
// row lost or a lead byte turned away by may_be_cp932_duplicate shows here,
// and so does a glibc whose CP932 has changed (make the table again).
TEST(CanonicalCp932Pair, EveryPairAsIconvRoundTripsIt) {
#ifdef BRENLOW_HAVE_ICONV
  iconv_t decoder = iconv_open("UTF-32LE", "CP932");
  iconv_t encoder = iconv_open("CP932", "UTF-32LE");
  ASSERT_NE(reinterpret_cast<std::intptr_t>(decoder), -1);
  ASSERT_NE(reinterpret_cast<std::intptr_t>(encoder), -1);
  // bytes converted whole by cd, or empty where iconv stops on them.
  const auto convert = [](iconv_t cd, std::string bytes) {
    (void)iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char out[16];
    char* in_ptr = bytes.data();
    std::size_t in_left = bytes.size();
    char* out_ptr = out;
    std::size_t out_left = sizeof out;
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) ==
            static_cast<std::size_t>(-1) ||
        in_left != 0) {
      return std::string();
    }
    return std::string(out, sizeof out - out_left);
  };
  int duplicates = 0;
  for (unsigned lead = 0x80; lead < 0x100; ++lead) {
    if (!is_shift_jis_lead(lead)) continue;
    for (unsigned trail = 0x40; trail < 0x100; ++trail) {
      const unsigned code = (lead << 8) | trail;
      const unsigned canonical = canonical_cp932_pair(lead, trail);
      const std::string character = convert(
          decoder,
          std::string{static_cast<char>(lead), static_cast<char>(trail)});
      if (character.empty()) {
        EXPECT_EQ(canonical, code) << "no character at 0x" << std::hex << code;
        continue;
      }
      const std::string back = convert(encoder, character);
      ASSERT_EQ(back.size(), 2u) << std::hex << code;
      const unsigned round_trip = (static_cast<unsigned char>(back[0]) << 8) |
                                  static_cast<unsigned char>(back[1]);
      EXPECT_EQ(canonical, round_trip) << std::hex << "0x" << code;
      if (round_trip != code) {
        ++duplicates;
        EXPECT_TRUE(may_be_cp932_duplicate(lead)) << std::hex << "0x" << code;
        // The code given is a code of the same character, which iconv
        // keeps: a client types exactly it.
        const std::string target{static_cast<char>(round_trip >> 8),
                                 static_cast<char>(round_trip & 0xFF)};
        EXPECT_EQ(convert(decoder, target), character) << std::hex << code;
        EXPECT_EQ(canonical_cp932_pair(round_trip >> 8, round_trip & 0xFF),
                  round_trip)
            << std::hex << code;
      }
    }
  }
  // The count the table was made with (glibc 2.36).
  EXPECT_EQ(duplicates, 398);
  iconv_close(decoder);
  iconv_close(encoder);
#else
  GTEST_SKIP() << "no iconv";
#endif
}

}  // namespace

}  // namespace brenlow
