// libFuzzer target: arbitrary bytes through the whole conversion, in memory,
// checked against a plain line-by-line reading of the same text.
//
// The first byte picks the layout (bit 0: sorted, in byte order when bit 4
// is set as well, else as Emacs SKK compares; bit 1: LF line ends) and the
// encoding (bits 2-3: 1 forces Shift_JIS, 2 UTF-8, else a guess); the rest
// is the dictionary file. Any broken promise aborts, so libFuzzer keeps
// the input that broke it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/output_stream.h"
#include "dictionary/reading_table.h"
#include "dictionary/skk_order.h"
#include "dictionary/skk_writer.h"
#include "conversion/convert_text.h"
#include "ime_text/text_encoding.h"

namespace brenlow {

namespace {

// The output of the input being checked, shown when a check fails.
std::string_view output_checked;

void check(bool ok, const char* what) {
  if (!ok) {
    (void)std::fprintf(stderr, "broken: %s\noutput: ", what);
    for (unsigned char c : output_checked) {
      if (c >= 0x20 && c < 0x7F && c != '\\') {
        (void)std::fputc(c, stderr);
      } else {
        (void)std::fprintf(stderr, "\\x%02x", c);
      }
    }
    (void)std::fputc('\n', stderr);
    std::abort();
  }
}

bool two_byte_lead(unsigned char b, text_encoding encoding) {
  return encoding == text_encoding::shift_jis &&
         ((b >= 0x81 && b <= 0x9F) || b >= 0xE0);
}

// A Shift_JIS reader such as an SKK client's: a lead byte makes a pair only
// with a byte that can follow it. The format pairs a lead byte with
// whatever follows; for valid Shift_JIS the two agree.
bool valid_pair(std::string_view text, std::size_t pos) {
  if (pos + 1 >= text.size()) return false;
  const auto second = static_cast<unsigned char>(text[pos + 1]);
  return (second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFC);
}

// True when some pair the format forms is not one an SKK client forms too.
bool has_invalid_pair(std::string_view text, text_encoding encoding) {
  for (std::size_t i = 0; i < text.size();) {
    const bool lead = two_byte_lead(static_cast<unsigned char>(text[i]), encoding);
    if (lead && i + 1 < text.size() && text[i + 1] != '\n' &&
        !valid_pair(text, i)) {
      return true;
    }
    i += lead ? 2 : 1;
  }
  return false;
}

// One entry line as a reader of the IME format sees it.
struct model_entry {
  std::string reading;
  std::string word;  // the word field with its quotes resolved
};

// Reads text the slow, obvious way. Returns the filed entries in order and
// sets skipped_lines to the numbers of the entry lines that cannot be filed.
std::vector<model_entry> model_entries(std::string_view text,
                                       text_encoding encoding,
                                       std::vector<std::size_t>& skipped_lines) {
  std::vector<model_entry> entries;
  std::size_t start = 0;
  std::size_t line_number = 0;
  while (start < text.size()) {
    ++line_number;
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '!') continue;
    // Characters, with the positions of the TABs among them.
    std::vector<std::size_t> tabs;
    for (std::size_t i = 0; i < line.size();) {
      if (line[i] == '\t') tabs.push_back(i);
      i += two_byte_lead(static_cast<unsigned char>(line[i]), encoding) ? 2 : 1;
    }
    if (tabs.empty() || tabs[0] == 0) {
      skipped_lines.push_back(line_number);
      continue;
    }
    const std::size_t word_end = tabs.size() > 1 ? tabs[1] : line.size();
    const std::string_view field =
        line.substr(tabs[0] + 1, word_end - tabs[0] - 1);
    model_entry entry{std::string(line.substr(0, tabs[0])), {}};
    for (std::size_t i = 0; i < field.size();) {
      const std::size_t n =
          two_byte_lead(static_cast<unsigned char>(field[i]), encoding) ? 2 : 1;
      if (n == 1 && field[i] == '"') {
        // "" is one quote; a lone quote is the format's own and goes.
        if (i + 1 < field.size() && field[i + 1] == '"') {
          entry.word += '"';
          i += 2;
        } else {
          i += 1;
        }
        continue;
      }
      entry.word.append(field.substr(i, std::min(n, field.size() - i)));
      i += n;
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

int octal_digit(char c) { return c >= '0' && c <= '7' ? c - '0' : -1; }

// The word an SKK client reads from one candidate: (concat "..." "...")
// joins its strings.
std::string read_back(std::string_view candidate, text_encoding encoding) {
  const std::string_view head = "(concat \"";
  const std::string_view tail = "\")";
  if (candidate.size() < head.size() + tail.size() ||
      candidate.substr(0, head.size()) != head ||
      candidate.substr(candidate.size() - tail.size()) != tail) {
    for (std::size_t i = 0; i < candidate.size();) {
      const auto b = static_cast<unsigned char>(candidate[i]);
      check(b != '"' && b != ';', "a plain candidate holds a reserved character");
      i += two_byte_lead(b, encoding) && valid_pair(candidate, i) ? 2 : 1;
    }
    return std::string(candidate);
  }
  const std::string_view inside = candidate.substr(
      head.size(), candidate.size() - head.size() - tail.size());
  std::string word;
  bool after_escape = false;
  for (std::size_t i = 0; i < inside.size();) {
    const auto b = static_cast<unsigned char>(inside[i]);
    // libskk 1.0.5 garbles a non-ASCII character right after an escape.
    check(!(after_escape && b >= 0x80),
          "a non-ASCII character directly after an escape");
    after_escape = false;
    if (two_byte_lead(b, encoding) && valid_pair(inside, i)) {
      word.append(inside.substr(i, 2));
      i += 2;
      continue;
    }
    if (b == '"') {
      // The end of one string and the start of the next.
      check(inside.substr(i, 3) == "\" \"", "a bare quote inside a concat string");
      i += 3;
      continue;
    }
    if (b == '\\') {
      check(i + 3 < inside.size(), "an escape cut short");
      const int d1 = octal_digit(inside[i + 1]);
      const int d2 = octal_digit(inside[i + 2]);
      const int d3 = octal_digit(inside[i + 3]);
      check(d1 >= 0 && d2 >= 0 && d3 >= 0, "a backslash that is no escape");
      word += static_cast<char>(d1 * 64 + d2 * 8 + d3);
      after_escape = true;
      i += 4;
      continue;
    }
    word += static_cast<char>(b);
    ++i;
  }
  return word;
}

// The candidates of an entry line as a client splits them: at each "/" that
// is a character of its own. area runs from after " /" to the final "/".
std::vector<std::string_view> client_candidates(std::string_view area,
                                                text_encoding encoding) {
  std::vector<std::string_view> candidates;
  std::size_t start = 0;
  for (std::size_t i = 0; i < area.size();) {
    if (two_byte_lead(static_cast<unsigned char>(area[i]), encoding) &&
        valid_pair(area, i)) {
      i += 2;
      continue;
    }
    if (area[i] == '/') {
      candidates.push_back(area.substr(start, i - start));
      start = i + 1;
    }
    ++i;
  }
  check(start == area.size(), "an entry line does not end in a slash");
  return candidates;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  skk_layout layout;
  if ((data[0] & 1) != 0) {
    layout.order = (data[0] & 16) != 0 ? sort_order::bytes : sort_order::skk;
    layout.comment_line_first = true;
  }
  const line_end eol = (data[0] & 2) != 0 ? line_end::lf : line_end::crlf;
  const std::string_view raw(reinterpret_cast<const char*>(data + 1), size - 1);

  const int forced = (data[0] >> 2) & 3;
  const encoding_choice choice = forced == 1   ? encoding_choice::shift_jis
                                 : forced == 2 ? encoding_choice::utf_8
                                               : encoding_choice::guess;
  reading_table table;
  std::vector<line_problem> skipped;
  prepared_input input;
  conversion_counts counts;
  line_problem problem;
  if (!convert_text(
          raw, choice, table,
          [&](const line_problem& line) { skipped.push_back(line); }, input,
          counts, problem)) {
    // Either the text cannot be read in its encoding, or it holds a NUL.
    check(problem.message.rfind("NUL byte", 0) != 0 ||
              input.text.find('\0') != std::string_view::npos,
          "a NUL byte reported where there is none");
    return 0;
  }
  check(input.text.find('\0') == std::string_view::npos, "a NUL byte missed");

  layout.encoding = input.encoding == text_encoding::utf_8
                        ? dictionary_encoding::utf_8
                        : dictionary_encoding::shift_jis;
  output_stream stream = make_output_stream(nullptr, eol);
  write_skk_dictionary(table, stream, layout);
  check(finish_output(stream) == 0, "writing to memory failed");
  const std::string_view out = written_text(stream);
  output_checked = out;

  // What the text holds: the distinct readings in order of first
  // appearance, each with its words in filing order.
  std::vector<std::size_t> skipped_lines;
  const std::vector<model_entry> entries =
      model_entries(input.text, input.encoding, skipped_lines);
  check(counts.filed_lines == entries.size(),
        "words filed differ from the entry lines");
  check(counts.skipped_lines == skipped.size() &&
            skipped.size() == skipped_lines.size(),
        "skipped lines miscounted");
  for (std::size_t i = 0; i < skipped.size(); ++i) {
    check(skipped[i].line_number == skipped_lines[i],
          "a skipped line named by the wrong number");
  }
  std::vector<std::string> readings;
  std::map<std::string, std::vector<std::string>> words;
  for (const model_entry& entry : entries) {
    auto& list = words[entry.reading];
    if (list.empty()) readings.push_back(entry.reading);
    list.push_back(entry.word);
  }
  if (layout.order == sort_order::bytes) {
    std::sort(readings.begin(), readings.end());
  } else if (layout.order == sort_order::skk) {
    // Readings Emacs SKK cannot tell apart (emoji are all a space to it)
    // keep their order of appearance.
    std::stable_sort(readings.begin(), readings.end(),
                     [&](const std::string& a, const std::string& b) {
                       std::string key_a;
                       std::string key_b;
                       append_emacs_mule_key(a, layout.encoding, key_a);
                       append_emacs_mule_key(b, layout.encoding, key_b);
                       return key_a < key_b;
                     });
  }

  const std::string_view end = eol == line_end::lf ? "\n" : "\r\n";
  std::vector<std::string_view> lines;
  for (std::size_t pos = 0; pos < out.size();) {
    const std::size_t feed = out.find('\n', pos);
    check(feed != std::string_view::npos, "output ends without a line end");
    const std::string_view line = out.substr(pos, feed + 1 - pos);
    check(line.size() >= end.size() &&
              line.substr(line.size() - end.size()) == end,
          "a line end other than the one chosen");
    lines.push_back(line.substr(0, line.size() - end.size()));
    pos = feed + 1;
  }
  std::size_t first = 0;
  if (layout.encoding == dictionary_encoding::utf_8 ||
      layout.comment_line_first) {
    check(!lines.empty() && lines[0].substr(0, 3) == ";; ",
          "no coding or comment line");
    first = 1;
  }
  check(lines.size() == first + 2 + readings.size(),
        "output lines are not the markers and one line per reading");
  check(lines[first] == ";; okuri-ari entries." &&
            lines[first + 1] == ";; okuri-nasi entries.",
        "section markers");
  // Where the format and a client read Shift_JIS pairs differently (only in
  // invalid Shift_JIS), the words are left unchecked; the lines still are.
  const bool words_readable = !has_invalid_pair(input.text, input.encoding);
  std::size_t words_out = 0;
  for (std::size_t i = 0; i < readings.size(); ++i) {
    const std::string_view line = lines[first + 2 + i];
    const std::string& reading = readings[i];
    check(line.size() >= reading.size() + 2 &&
              line.substr(0, reading.size()) == reading &&
              line.substr(reading.size(), 2) == " /",
          "a reading missing or out of order");
    if (!words_readable) continue;
    const std::vector<std::string_view> candidates =
        client_candidates(line.substr(reading.size() + 2), input.encoding);
    const std::vector<std::string>& expected = words[reading];
    check(candidates.size() == expected.size(),
          "a reading's word count differs from its entry lines");
    for (std::size_t k = 0; k < candidates.size(); ++k) {
      check(read_back(candidates[k], input.encoding) == expected[k],
            "a word read back differs from its field");
    }
    words_out += candidates.size();
  }
  check(!words_readable || words_out == counts.filed_lines,
        "words out differ from words in");
  return 0;
}

}  // namespace brenlow
