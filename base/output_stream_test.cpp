#include "base/output_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace brenlow {

namespace {

// size bytes that differ from their neighbours, so that a lost, doubled or
// shifted piece shows; start varies them from one write to the next.
std::string pattern(std::size_t size, std::size_t start) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>('a' + (start + i) % 23);
  }
  return bytes;
}

std::string contents(std::FILE* file) {
  std::string bytes;
  std::rewind(file);
  char block[4096];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
    bytes.append(block, got);
  }
  return bytes;
}

TEST(OutputStream, LargeWritesArriveWhole) {
  // A collecting stream starts small (4 KiB) and a file's buffer is 1 MiB:
  // one write may be larger than either, many times over.
  struct {
    const char* name;
    std::vector<std::size_t> writes;
  } const cases[] = {
      {"one write of 20,000 bytes", {20000}},
      {"a message naming a 120 KB file", {9, 120000, 30}},
      {"small writes, then one of 3 MB", {100, 5000, 3000000, 7}},
      {"exactly the first buffer, then one byte", {4096, 1}},
      {"empty writes", {0, 0, 10, 0}},
      {"writes of a whole buffer, one byte more and 3 MB",
       {1 << 20, 1, (1 << 20) + 1, 5, 3000000, 1 << 20}},
  };
  const char* const file_name = "output_stream_test.out";
  for (const auto& c : cases) {
    for (bool to_file : {false, true}) {
      std::FILE* file = nullptr;
      if (to_file) {
        file = std::fopen(file_name, "w+b");
        ASSERT_NE(file, nullptr) << file_name;
      }
      output_stream stream = make_output_stream(file, line_end::crlf);
      const std::size_t first_capacity = stream.capacity;
      std::string expected;
      for (std::size_t size : c.writes) {
        const std::string piece = pattern(size, expected.size());
        write_bytes(stream, piece);
        expected += piece;
        ASSERT_LE(stream.used, stream.capacity) << c.name;
        // A write larger than a file's buffer goes straight to the file:
        // the buffer never grows to hold a line of any length.
        if (to_file) {
          ASSERT_EQ(stream.capacity, first_capacity) << c.name;
        }
      }
      end_line(stream);
      write_byte(stream, 'z');
      expected += "\r\nz";
      EXPECT_EQ(finish_output(stream), 0) << c.name;
      const std::string got =
          to_file ? contents(file) : std::string(written_text(stream));
      EXPECT_EQ(got.size(), expected.size()) << c.name << ", file: " << to_file;
      EXPECT_TRUE(got == expected) << c.name << ", file: " << to_file;
      if (to_file) {
        (void)std::fclose(file);
        (void)std::remove(file_name);
      }
    }
  }
}

TEST(OutputStream, FailedWriteIsReported) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full here";
  output_stream stream = make_output_stream(full, line_end::crlf);
  write_bytes(stream, "x");
  EXPECT_NE(finish_output(stream), 0);
  (void)std::fclose(full);
}

TEST(OutputStream, LargeOutputArrivesWhole) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  output_stream stream = make_output_stream(file, line_end::crlf);
  std::string expected;
  for (int i = 0; i < 300000; ++i) {
    const std::string line = "line " + std::to_string(i);
    write_bytes(stream, line);
    end_line(stream);
    expected += line + "\r\n";
  }
  ASSERT_EQ(finish_output(stream), 0);
  std::rewind(file);
  std::string got(expected.size() + 1, '\0');
  got.resize(std::fread(&got[0], 1, got.size(), file));
  (void)std::fclose(file);
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
}

// UTF-16LE output: the UTF-8 written reaches the file as UTF-16LE after a
// mark, whole, also where a character is cut at the end of a buffer or a
// write is larger than the buffer. Characters are repeated a given number
// of times; the expected units are written out by hand.
TEST(OutputStream, Utf16LittleEndian) {
  struct piece {
    const char* utf_8;
    const char* utf_16;  // its UTF-16LE units
    std::size_t size;    // bytes of utf_8 and utf_16 (without the NUL)
    std::size_t size_16;
    std::size_t repeat;
  };
  const piece a = {"a", "a\0", 1, 2, 1};
  const piece hiragana = {"\xE3\x81\x82", "\x42\x30", 3, 2, 1};
  const piece emoji = {"\xF0\x9F\x98\x80", "\x3D\xD8\x00\xDE", 4, 4, 1};
  // The first and the last character beyond the Basic Multilingual Plane,
  // and the last within it.
  const piece first_beyond = {"\xF0\x90\x80\x80", "\x00\xD8\x00\xDC", 4, 4, 1};
  const piece last_beyond = {"\xF4\x8F\xBF\xBF", "\xFF\xDB\xFF\xDF", 4, 4, 1};
  const piece last_within = {"\xEF\xBF\xBD", "\xFD\xFF", 3, 2, 1};
  const piece line_end = {"\r\n", "\r\0\n\0", 2, 4, 1};
  const std::size_t block = 1 << 20;
  struct {
    const char* name;
    std::vector<piece> writes;
  } const cases[] = {
      {"short text", {a, hiragana, emoji, line_end}},
      {"the ends of the planes", {first_beyond, last_beyond, last_within}},
      // 1 MiB is not a multiple of 3 or 4: sequences are cut at its end.
      {"kana across buffers", {{"\xE3\x81\x82", "\x42\x30", 3, 2, block}}},
      {"emoji across buffers after one byte",
       {a, {"\xF0\x9F\x98\x80", "\x3D\xD8\x00\xDE", 4, 4, block / 2}}},
      {"kana after two bytes, then ASCII",
       {a, a, {"\xE3\x81\x82", "\x42\x30", 3, 2, block / 2}, a}},
      // Written a character at a time, a cut sequence waits for the next
      // buffer.
      {"kana one write each", {{"\xE3\x81\x82", "\x42\x30", 3, 2, 0}}},
  };
  for (const auto& c : cases) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    output_stream stream = make_output_stream(file, line_end::crlf, true);
    std::string expected = "\xFF\xFE";
    for (const piece& p : c.writes) {
      if (p.repeat == 0) {  // block / 2 characters, one write each
        for (std::size_t i = 0; i < block / 2; ++i) {
          write_bytes(stream, std::string_view(p.utf_8, p.size));
          expected.append(p.utf_16, p.size_16);
        }
        continue;
      }
      // Large repeats go in one write, larger than the buffer.
      std::string bytes;
      for (std::size_t i = 0; i < p.repeat; ++i) {
        bytes.append(p.utf_8, p.size);
        expected.append(p.utf_16, p.size_16);
      }
      write_bytes(stream, bytes);
    }
    ASSERT_EQ(finish_output(stream), 0) << c.name;
    const std::string got = contents(file);
    (void)std::fclose(file);
    EXPECT_EQ(got.size(), expected.size()) << c.name;
    EXPECT_TRUE(got == expected) << c.name;
  }
}

}  // namespace

}  // namespace brenlow
