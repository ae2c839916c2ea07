#include "base/byte_facts.h"

#include <gtest/gtest.h>

#include <string>

namespace brenlow {

namespace {

TEST(ShiftJisBytes, PairStartsExactly) {
  // One row per 16 bytes: "L" marks a Shift_JIS lead byte (0x81-0x9F and
  // 0xE0-0xFF; 0x80 and 0xA0-0xDF are characters of one byte).
  const char* const rows[16] = {
      "................",  // 0x00
      "................",  // 0x10
      "................",  // 0x20
      "................",  // 0x30
      "................",  // 0x40
      "................",  // 0x50
      "................",  // 0x60
      "................",  // 0x70
      ".LLLLLLLLLLLLLLL",  // 0x80
      "LLLLLLLLLLLLLLLL",  // 0x90
      "................",  // 0xA0
      "................",  // 0xB0
      "................",  // 0xC0
      "................",  // 0xD0
      "LLLLLLLLLLLLLLLL",  // 0xE0
      "LLLLLLLLLLLLLLLL",  // 0xF0
  };
  for (int byte = 0; byte < 256; ++byte) {
    const bool expected = rows[byte / 16][byte % 16] == 'L';
    EXPECT_EQ(starts_shift_jis_pair(static_cast<unsigned>(byte)), expected)
        << "byte 0x" << std::hex << byte;
  }
}

// A valid pair: a lead byte 0x81-0x9F or 0xE0-0xFC, a trail byte 0x40-0x7E
// or 0x80-0xFC.
TEST(ShiftJisBytes, LeadAndTrailRanges) {
  struct {
    unsigned byte;
    bool lead;
    bool trail;
  } const cases[] = {
      {0x3F, false, false}, {0x40, false, true},  {0x7E, false, true},
      {0x7F, false, false}, {0x80, false, true},  {0x81, true, true},
      {0x9F, true, true},   {0xA0, false, true},  {0xA1, false, true},
      {0xDF, false, true},  {0xE0, true, true},   {0xFC, true, true},
      {0xFD, false, false}, {0xFF, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_shift_jis_lead(c.byte), c.lead) << std::hex << c.byte;
    EXPECT_EQ(is_shift_jis_trail(c.byte), c.trail) << std::hex << c.byte;
  }
  EXPECT_FALSE(is_half_width_katakana_byte(0xA0));
  EXPECT_TRUE(is_half_width_katakana_byte(0xA1));
  EXPECT_TRUE(is_half_width_katakana_byte(0xDF));
  EXPECT_FALSE(is_half_width_katakana_byte(0xE0));
}

TEST(ShiftJisBytes, HiraganaPairs) {
  struct {
    unsigned lead, trail;
    int hiragana;  // from ぁ, or -1
  } const cases[] = {
      {0x82, 0x9F, 0},     // ぁ
      {0x82, 0xA0, 1},     // あ
      {0x82, 0xF1, 0x52},  // ん
      {0x82, 0xF2, -1},   {0x82, 0x9E, -1},
      {0x83, 0x9F, -1},  // Α, a Greek capital
      {0x81, 0x5B, -1},  // ー
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hiragana_of_pair(c.lead, c.trail), c.hiragana)
        << std::hex << c.lead << " " << c.trail;
  }
  EXPECT_EQ(hiragana_count, 0x53);
}

TEST(Utf8, DecodesEachLengthAndRefusesTheRest) {
  struct {
    std::string bytes;
    utf_8_policy policy;
    char32_t code_point;
    std::size_t length;  // 0: not well-formed
  } const cases[] = {
      {"A", utf_8_policy::well_formed, U'A', 1},
      {"\xC2\xB0", utf_8_policy::well_formed, U'°', 2},
      {"\xE3\x81\x82", utf_8_policy::well_formed, U'あ', 3},
      {"\xF0\x9F\x98\x80", utf_8_policy::well_formed, U'\U0001F600', 4},
      {"\xF4\x8F\xBF\xBF", utf_8_policy::well_formed, U'\U0010FFFF', 4},
      {"\xC1\xBF", utf_8_policy::well_formed, 0, 0},      // overlong
      {"\xE0\x9F\xBF", utf_8_policy::well_formed, 0, 0},  // overlong
      {"\xF0\x8F\xBF\xBF", utf_8_policy::well_formed, 0, 0},
      {"\xF4\x90\x80\x80", utf_8_policy::well_formed, 0, 0},
      {"\xE3\x81", utf_8_policy::well_formed, 0, 0},  // cut short
      {"\xED\xA0\x80", utf_8_policy::well_formed, 0, 0},
      {"\xED\xA0\x80", utf_8_policy::surrogates_too, 0xD800, 3},
      {"\xED\xBF\xBF", utf_8_policy::surrogates_too, 0xDFFF, 3},
      {"\xE0\x9F\xBF", utf_8_policy::surrogates_too, 0, 0},
  };
  for (const auto& c : cases) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
    const decoded_character read =
        decode_utf_8(bytes, c.bytes.size(), 0, c.policy);
    EXPECT_EQ(read.length, c.length) << c.bytes;
    if (c.length != 0) {
      EXPECT_EQ(static_cast<std::uint32_t>(read.code_point),
                static_cast<std::uint32_t>(c.code_point))
          << c.bytes;
      std::string again;
      append_utf_8(again, read.code_point);
      EXPECT_EQ(again, c.bytes);
    }
  }
}

TEST(Utf16, SurrogatesJoin) {
  EXPECT_EQ(static_cast<std::uint32_t>(joined_surrogates(0xD83D, 0xDE00)),
            0x1F600u);
  EXPECT_EQ(static_cast<std::uint32_t>(joined_surrogates(0xDBFF, 0xDFFF)),
            0x10FFFFu);
  EXPECT_TRUE(is_high_surrogate(0xD800));
  EXPECT_FALSE(is_high_surrogate(0xDC00));
  EXPECT_TRUE(is_low_surrogate(0xDFFF));
  EXPECT_FALSE(is_low_surrogate(0xE000));
}

// Readings in messages: Shift_JIS shown as UTF-8 where it is what typed
// readings are made of, in hex otherwise.
TEST(ShownAsUtf8, ShiftJisReadings) {
  struct {
    std::string shift_jis;
    std::string shown;
  } const cases[] = {
      {"\x82\xA9\x82\xA8\x82\xE0\x82\xB6", "かおもじ"},
      {"\x82\x9F\x82\xF1\x81\x5B", "ぁんー"},
      {"abc 1", "abc 1"},
      {"\x82\xF2", "<82F2>"},
      {"\x8A\xBF\x82\xA0", "<8ABF>あ"},  // 漢あ
      {"\x81\x99", "<8199>"},            // ☆
      {"\xB1", "<B1>"},                  // ｱ, one byte
      {"\x82", "<82>"},                  // a pair cut short
      {"\x81\x5C", "<815C>"},            // ―
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shown_as_utf_8(c.shift_jis), c.shown) << c.shown;
  }
}

TEST(LineFeeds, CountedAtEveryPlace) {
  // Line feeds at the edges of the 16- and 8-byte blocks, among bytes one
  // bit away from a line feed (0x0B, 0x08, 0x8A: a count that looked at
  // part of a byte would take them), and past 255 blocks, where the
  // bytewise sums are folded.
  const std::string block_edges = std::string(15, 'a') + "\n\n" +
                                  std::string(6, 'b') + "\n" +
                                  std::string(7, 'c') + "\n";
  const std::string near_misses =
      std::string("\x0b\x08\x8a\x0a\x2a\x4a\xca\x0e", 8) + "\n";
  struct {
    std::string text;
    std::size_t line_feeds;
  } const cases[] = {
      {"", 0},
      {"\n", 1},
      {"a\tb\r\n", 1},
      {std::string(16, '\n'), 16},
      {std::string(17, '\n'), 17},
      {block_edges, 4},
      {block_edges.substr(1), 4},
      {near_misses, 2},
      {std::string(std::size_t{256} * 16, '\n'), std::size_t{256} * 16},
      {std::string(std::size_t{255} * 16 * 3 + 5, '\n'),
       std::size_t{255} * 16 * 3 + 5},
      {std::string(4000, '\x8a') + "\n", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(count_line_feeds(c.text), c.line_feeds)
        << c.text.size() << " bytes";
  }
}

}  // namespace

}  // namespace brenlow
