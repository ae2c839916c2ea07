#include "dictionary/skk_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/shown_bytes.h"

namespace brenlow {

namespace {

TEST(EmacsMuleKey, AsEmacsEncodesTheDecodedReading) {
  // The bytes (encode-coding-string (decode-coding-string R CODING)
  // 'emacs-mule) gives in Emacs 28 in the Japanese language environment.
  struct {
    const char* name;
    output_encoding encoding;
    std::string reading;
    std::string key;
  } const cases[] = {
      {"ASCII", output_encoding::shift_jis, "ab1", "ab1"},
      {"hiragana", output_encoding::shift_jis, "\x82\xA0", "\x92\xA4\xA2"},
      {"half-width katakana", output_encoding::shift_jis, "\xB1", "\x89\xB1"},
      {"cp932 wave dash is U+FF5E", output_encoding::shift_jis, "\x81\x60",
       "\x94\xA2\xB7"},
      {"cp932 minus is U+FF0D", output_encoding::shift_jis, "\x81\x7C",
       "\x97\xA2\xB1"},
      {"cp932 not sign is U+FFE2", output_encoding::shift_jis, "\x81\xCA",
       "\x93\xA1\xFE"},
      {"NEC circled one", output_encoding::shift_jis, "\x87\x40",
       "\x97\xAD\xA1"},
      {"prolonged sound mark", output_encoding::shift_jis, "\x81\x5B",
       "\x92\xA1\xBC"},
      {"invalid pair: raw byte, then ASCII", output_encoding::shift_jis,
       "\x81\x20", "\x81 "},
      {"lead byte at the end", output_encoding::shift_jis, "a\x81", "a\x81"},
      {"UTF-8 hiragana", output_encoding::utf_8, "\xE3\x81\x82",
       "\x92\xA4\xA2"},
      {"UTF-8 wave dash U+301C", output_encoding::utf_8, "\xE3\x80\x9C",
       "\x92\xA1\xC1"},
      {"UTF-8 fullwidth tilde U+FF5E", output_encoding::utf_8, "\xEF\xBD\x9E",
       "\x94\xA2\xB7"},
      {"UTF-8 voiced sound mark U+309B", output_encoding::utf_8, "\xE3\x82\x9B",
       "\x92\xA1\xAB"},
      {"UTF-8 combining voiced mark U+3099", output_encoding::utf_8,
       "\xE3\x82\x99", "\x9C\xF2\xBE\xF9"},
      {"UTF-8 e acute", output_encoding::utf_8, "\xC3\xA9", "\x94\xAB\xB1"},
      {"UTF-8 CJK extension A", output_encoding::utf_8, "\xE3\x90\x80",
       "\x9D\xF9\xA2\xAC"},
      {"UTF-8 emoji is a space", output_encoding::utf_8, "a\xF0\x9F\x98\x80z",
       "a z"},
      {"UTF-8 U+07FF, the last of two bytes", output_encoding::utf_8,
       "\xDF\xBF", "\x9C\xF4\xB2\xDF"},
      {"UTF-8 U+0800, the first of three bytes", output_encoding::utf_8,
       "\xE0\xA0\x80", "\x9C\xF4\xB2\xE0"},
      {"UTF-8 stray continuation byte stays raw", output_encoding::utf_8,
       "a\x80z", "a\x80z"},
      // EUC output: the characters Emacs decodes, whatever their bytes.
      {"EUC-JP hiragana", output_encoding::euc_jp, "\xA4\xA2", "\x92\xA4\xA2"},
      {"EUC-JP prolonged sound mark", output_encoding::euc_jp, "\xA1\xBC",
       "\x92\xA1\xBC"},
      {"EUC-JP wave dash U+301C", output_encoding::euc_jp, "\xA1\xC1",
       "\x92\xA1\xC1"},
      {"EUC-JP JIS X 0212 tilde U+FF5E", output_encoding::euc_jp,
       "\x8F\xA2\xB7", "\x94\xA2\xB7"},
      {"EUC-JP half-width katakana", output_encoding::euc_jp, "a\x8E\xB1",
       "a\x89\xB1"},
      {"EUC-JIS-2004 circled one", output_encoding::euc_jis_2004, "\xAD\xA1",
       "\x97\xAD\xA1"},
      {"EUC-JIS-2004 small vu", output_encoding::euc_jis_2004, "\xA4\xF4",
       "\x97\xA4\xF4"},
  };
  for (const auto& c : cases) {
    std::string key;
    append_emacs_mule_key(c.reading, c.encoding, key);
    EXPECT_EQ(shown_bytes(key), shown_bytes(c.key)) << c.name;
  }
}

std::vector<std::string> ordered(const std::vector<std::string>& readings,
                                 sort_order order, output_encoding encoding,
                                 bool descending) {
  reading_table table;
  for (const std::string& reading : readings) add_word(table, reading, "w");
  std::vector<std::string> out;
  for (std::uint32_t e : order_entries(table, order, encoding, descending)) {
    out.emplace_back(reading_of(table, table.entries[e]));
  }
  return out;
}

TEST(OrderEntries, Orders) {
  const auto utf_8 = output_encoding::utf_8;
  // あ, ー (U+30FC), か, ab, a, ～ (U+FF5E), 😀a, 😁 (emoji are spaces)
  const std::vector<std::string> readings = {
      "\xE3\x81\x82", "\xE3\x83\xBC",      "\xE3\x81\x8B",    "ab", "a",
      "\xEF\xBD\x9E", "\xF0\x9F\x98\x80z", "\xF0\x9F\x98\x81"};
  struct {
    const char* name;
    sort_order order;
    bool descending;
    std::vector<std::string> expected;
  } const cases[] = {
      {"input", sort_order::input, false, readings},
      {"input ignores descending", sort_order::input, true, readings},
      {"skk: ー before the kana, ～ after them; equal keys keep table order",
       sort_order::skk,
       false,
       {"\xF0\x9F\x98\x81", "\xF0\x9F\x98\x80z", "a", "ab", "\xE3\x83\xBC",
        "\xE3\x81\x82", "\xE3\x81\x8B", "\xEF\xBD\x9E"}},
      {"skk descending",
       sort_order::skk,
       true,
       {"\xEF\xBD\x9E", "\xE3\x81\x8B", "\xE3\x81\x82", "\xE3\x83\xBC", "ab",
        "a", "\xF0\x9F\x98\x80z", "\xF0\x9F\x98\x81"}},
      {"bytes",
       sort_order::bytes,
       false,
       {"a", "ab", "\xE3\x81\x82", "\xE3\x81\x8B", "\xE3\x83\xBC",
        "\xEF\xBD\x9E", "\xF0\x9F\x98\x80z", "\xF0\x9F\x98\x81"}},
      {"bytes descending",
       sort_order::bytes,
       true,
       {"\xF0\x9F\x98\x81", "\xF0\x9F\x98\x80z", "\xEF\xBD\x9E", "\xE3\x83\xBC",
        "\xE3\x81\x8B", "\xE3\x81\x82", "ab", "a"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ordered(readings, c.order, utf_8, c.descending), c.expected)
        << c.name;
  }
}

// Readings Emacs SKK cannot tell apart keep their table order, ascending
// and descending alike: CP932's two codes of one character (∵ as 81E6 and
// 879A, ≒ as 81E0 and 8790), and emoji, which are all a space to Emacs.
TEST(OrderEntries, EqualKeysKeepTableOrder) {
  const auto sjis = output_encoding::shift_jis;
  const auto utf_8 = output_encoding::utf_8;
  struct {
    const char* name;
    std::vector<std::string> readings;
    output_encoding encoding;
    bool descending;
    std::vector<std::string> expected;
  } const cases[] = {
      {"∵ twice",
       {"\x87\x9A", "a", "\x81\xE6"},
       sjis,
       false,
       {"a", "\x87\x9A", "\x81\xE6"}},
      {"∵ twice, the other first",
       {"\x81\xE6", "a", "\x87\x9A"},
       sjis,
       false,
       {"a", "\x81\xE6", "\x87\x9A"}},
      {"∵ twice descending",
       {"\x87\x9A", "a", "\x81\xE6"},
       sjis,
       true,
       {"\x87\x9A", "\x81\xE6", "a"}},
      {"≒ twice descending",
       {"\x81\xE0", "\x87\x90"},
       sjis,
       true,
       {"\x81\xE0", "\x87\x90"}},
      {"emoji",
       {"\xF0\x9F\x98\x81", "a", "\xF0\x9F\x98\x80"},
       utf_8,
       false,
       {"\xF0\x9F\x98\x81", "\xF0\x9F\x98\x80", "a"}},
      {"emoji descending",
       {"\xF0\x9F\x98\x81", "a", "\xF0\x9F\x98\x80"},
       utf_8,
       true,
       {"a", "\xF0\x9F\x98\x81", "\xF0\x9F\x98\x80"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ordered(c.readings, sort_order::skk, c.encoding, c.descending),
              c.expected)
        << c.name;
  }
}

TEST(OrderEntries, RawBytesAsEmacsKeepsThem) {
  // Emacs keeps 0xA0, which starts no Shift_JIS character, as a raw byte,
  // and emacs-mule writes it as it is: after every JIS X 0208 character
  // (0x92 ...), though it comes before half-width katakana in the file.
  EXPECT_EQ(ordered({"\xA0", "\xB1", "\x82\xA0", "a"}, sort_order::skk,
                    output_encoding::shift_jis, false),
            (std::vector<std::string>{"a", "\xB1", "\x82\xA0", "\xA0"}));
}

TEST(OrderEntries, KeysLongerThanTheirPrefix) {
  // Readings sharing their first sixteen key bytes are told apart by the
  // rest of their keys.
  const std::string p = "abcdefghijklmnop";
  const std::vector<std::string> readings = {p + "j", p, p + "i", p + "a"};
  EXPECT_EQ(
      ordered(readings, sort_order::bytes, output_encoding::shift_jis, false),
      (std::vector<std::string>{p, p + "a", p + "i", p + "j"}));
  EXPECT_EQ(
      ordered(readings, sort_order::skk, output_encoding::shift_jis, true),
      (std::vector<std::string>{p + "j", p + "i", p + "a", p}));
  // Told apart within the first sixteen bytes, after the eighth.
  const std::vector<std::string> near = {"abcdefghb", "abcdefgha", "abcdefghc",
                                         "abcdefgh"};
  for (const sort_order order : {sort_order::bytes, sort_order::skk}) {
    EXPECT_EQ(ordered(near, order, output_encoding::utf_8, true),
              (std::vector<std::string>{"abcdefghc", "abcdefghb", "abcdefgha",
                                        "abcdefgh"}));
    EXPECT_EQ(ordered(near, order, output_encoding::utf_8, false),
              (std::vector<std::string>{"abcdefgh", "abcdefgha", "abcdefghb",
                                        "abcdefghc"}));
  }
}

TEST(OrderEntries, AgreesWithAPlainSortOfTheKeys) {
  // Readings of a few characters from a small set share long prefixes,
  // which puts the radix sort and the comparison of what follows to work.
  const std::vector<std::string> pieces = {"a",
                                           "b",
                                           "\xE3\x81\x82",
                                           "\xE3\x83\xBC",
                                           "\xEF\xBD\x9E",
                                           "\xF0\x9F\x98\x80"};
  // A fixed seed: the same readings on every run, so a failure repeats.
  std::mt19937 random(12);  // NOLINT(cert-msc32-c,cert-msc51-cpp)
  std::vector<std::string> readings;
  for (int i = 0; i < 3000; ++i) {
    std::string reading;
    const int length = 1 + static_cast<int>(random() % 9);
    for (int k = 0; k < length; ++k)
      reading += pieces[random() % pieces.size()];
    if (std::find(readings.begin(), readings.end(), reading) ==
        readings.end()) {
      readings.push_back(reading);
    }
  }
  for (const sort_order order : {sort_order::skk, sort_order::bytes}) {
    for (const bool descending : {false, true}) {
      std::vector<std::pair<std::string, std::size_t>> keyed;
      for (std::size_t i = 0; i < readings.size(); ++i) {
        std::string key = readings[i];
        if (order == sort_order::skk) {
          key.clear();
          append_emacs_mule_key(readings[i], output_encoding::utf_8, key);
        }
        keyed.emplace_back(key, i);
      }
      std::stable_sort(
          keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
            return descending ? b.first < a.first : a.first < b.first;
          });
      std::vector<std::string> expected;
      expected.reserve(keyed.size());
      for (const auto& k : keyed) expected.push_back(readings[k.second]);
      EXPECT_EQ(ordered(readings, order, output_encoding::utf_8, descending),
                expected)
          << (order == sort_order::skk ? "skk" : "bytes")
          << (descending ? " descending" : "");
    }
  }
}

TEST(OrderEntries, RankedKeysAgreeWithTheBytesOfEmacsMule) {
  // Readings are ordered by numbers standing for Emacs's codes where every
  // character has one: each table (Shift_JIS, UTF-8) and both directions
  // must give the order of the emacs-mule bytes themselves, for pieces of
  // every kind of code (ASCII; kana and kanji, three bytes; half-width
  // katakana, two; cp932's and NEC's characters of other charsets; U+10000,
  // the first past the table of code points; pairs with the same code,
  // which keep table order), and with a reading of a raw byte among them,
  // which puts the whole table on the bytes. Fewer than 256 distinct
  // characters take one byte each, more take two: 400 kanji (U+4E00 on)
  // put the keys on two. Readings of up to 16 characters from two share
  // their first twelve often: the rest of their keys decides.
  std::vector<std::string> kanji = {"a", "\xE3\x81\x82"};
  for (char32_t code_point = 0x4E00; code_point < 0x4E00 + 400; ++code_point) {
    kanji.push_back({static_cast<char>(0xE0 | (code_point >> 12)),
                     static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)),
                     static_cast<char>(0x80 | (code_point & 0x3F))});
  }
  // 255 characters take one byte each, 256 two: the last one numbered
  // must not wrap around to the number of a key's end. ASCII, hiragana and
  // katakana each have a code of their own (kanji past JIS X 0208 would
  // share the space's).
  std::vector<std::string> kana;
  for (char byte = '!'; byte <= '~'; ++byte) kana.emplace_back(1, byte);
  for (char32_t code_point = 0x3041; code_point <= 0x30F6; ++code_point) {
    if (code_point > 0x3093 && code_point < 0x30A1) continue;
    kana.push_back({static_cast<char>(0xE0 | (code_point >> 12)),
                    static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (code_point & 0x3F))});
  }
  const std::vector<std::string> kana_255(kana.begin(), kana.begin() + 255);
  const std::vector<std::string> kana_256(kana.begin(), kana.begin() + 256);
  struct {
    const char* name;
    output_encoding encoding;
    std::vector<std::string> pieces;
    int longest = 8;  // characters
  } const cases[] = {
      {"Shift_JIS",
       output_encoding::shift_jis,
       {"a", "~", "\x82\xA0", "\x82\xA9", "\x83\x41", "\x88\x9F", "\xEA\xA2",
        "\xB1", "\xDF", "\x81\x60", "\x81\x7C", "\x81\xCA", "\x87\x40",
        "\x81\x5B", "\x87\x9A", "\x81\xE6", "\xFA\x40"}},
      {"Shift_JIS with a raw byte",
       output_encoding::shift_jis,
       {"a", "\x82\xA0", "\x83\x41", "\xB1", "\x81\x20", "\x81\x60", "\x80"}},
      {"UTF-8",
       output_encoding::utf_8,
       {"a", "~", "\xE3\x81\x82", "\xE3\x83\xBC", "\xE4\xBA\x9C",
        "\xEF\xBD\xB1", "\xEF\xBD\x9E", "\xE2\x91\xA0", "\xF0\x9F\x98\x80",
        "\xC3\xA9", "\xE2\x80\x94", "\xE2\x80\x95", "\xF0\x90\x80\x80"}},
      {"UTF-8 with a stray byte",
       output_encoding::utf_8,
       {"a", "\xE3\x81\x82", "\xEF\xBD\x9E", "\xFF"}},
      {"UTF-8, 400 kanji", output_encoding::utf_8, kanji},
      {"Shift_JIS, long readings of two characters",
       output_encoding::shift_jis,
       {"\x82\xA0", "a"},
       16},
      {"Shift_JIS, half-width katakana before ASCII",
       output_encoding::shift_jis,
       {"\xB1", "a", "\xDF"},
       16},
      {"UTF-8, long readings of two characters",
       output_encoding::utf_8,
       {"\xE3\x83\xBC", "\xE3\x81\x82"},
       16},
      {"UTF-8, long readings, 400 kanji", output_encoding::utf_8, kanji, 16},
      {"UTF-8, 255 characters", output_encoding::utf_8, kana_255},
      {"UTF-8, 256 characters", output_encoding::utf_8, kana_256},
  };
  for (const auto& c : cases) {
    std::mt19937 random(24);  // NOLINT(cert-msc32-c,cert-msc51-cpp)
    std::vector<std::string> readings;
    for (int i = 0; i < 4000; ++i) {
      std::string reading;
      const int length = 1 + static_cast<int>(random() % c.longest);
      for (int k = 0; k < length; ++k) {
        reading += c.pieces[random() % c.pieces.size()];
      }
      if (std::find(readings.begin(), readings.end(), reading) ==
          readings.end()) {
        readings.push_back(reading);
      }
    }
    for (const bool descending : {false, true}) {
      std::vector<std::pair<std::string, std::size_t>> keyed;
      for (std::size_t i = 0; i < readings.size(); ++i) {
        std::string key;
        append_emacs_mule_key(readings[i], c.encoding, key);
        keyed.emplace_back(key, i);
      }
      std::stable_sort(
          keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
            return descending ? b.first < a.first : a.first < b.first;
          });
      std::vector<std::string> expected;
      expected.reserve(keyed.size());
      for (const auto& k : keyed) expected.push_back(readings[k.second]);
      EXPECT_EQ(ordered(readings, sort_order::skk, c.encoding, descending),
                expected)
          << c.name << (descending ? " descending" : "");
    }
  }
}

}  // namespace

}  // namespace brenlow
