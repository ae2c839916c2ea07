#include "encodings/decide_encoding.h"

#include <cstring>
#include <string>

#include "encodings/decodable.h"
#include "encodings/encoding_evidence.h"

namespace brenlow {

namespace {

// The number of the line holding offset; LF, CR LF and a lone CR each end
// a line.
std::size_t line_of(std::string_view text, std::size_t offset) {
  std::size_t line = 1;
  for (std::size_t pos = 0; pos < offset; ++pos) {
    if (text[pos] == '\n' || (text[pos] == '\r' && (pos + 1 == text.size() ||
                                                    text[pos + 1] != '\n'))) {
      ++line;
    }
  }
  return line;
}

}  // namespace

namespace {

encoding_choice choice_of(byte_order_mark mark) {
  switch (mark) {
    case byte_order_mark::utf_8: return encoding_choice::utf_8;
    case byte_order_mark::utf_16le: return encoding_choice::utf_16le;
    case byte_order_mark::utf_16be: return encoding_choice::utf_16be;
    case byte_order_mark::none: break;
  }
  return encoding_choice::guess;
}

// Decodes UTF-16 body into prepared, unless raw joins UTF-16 and 8-bit
// text. Returns false and fills problem then.
bool take_utf_16(std::string_view body, bool big_endian,
                 prepared_input& prepared, line_problem& problem) {
  if (const std::size_t line = find_encoding_change(body, big_endian)) {
    problem = {line,
               "the encoding changes on this line: UTF-16 and an 8-bit "
               "encoding joined in one file; convert each part on its own"};
    return false;
  }
  prepared.decoded.clear();
  const std::size_t faults = decode_utf_16(body, big_endian, prepared.decoded);
  prepared.text = prepared.decoded;
  prepared.encoding = text_encoding::utf_8;
  prepared.offset = 0;  // offsets in the decoded text: none is needed
  prepared.decodes_throughout = faults == 0;
  prepared.from_utf_16 = true;
  return true;
}

// Decides the encoding of raw, which has no mark, by a guess. Returns false
// and fills problem when no encoding can be told.
bool guess_encoding(std::string_view raw, prepared_input& prepared,
                    line_problem& problem) {
  if (std::memchr(raw.data(), '\0', raw.size()) != nullptr) {
    const utf_16_order order = find_utf_16_pattern(raw);
    if (order != utf_16_order::none) {
      const bool big_endian = order == utf_16_order::big_endian;
      if (!take_utf_16(raw, big_endian, prepared, problem)) return false;
      if (looks_like_entries(prepared.text)) {
        prepared.reason = std::string(big_endian ? "UTF-16BE" : "UTF-16LE") +
                          " without a byte-order mark, by the NUL bytes "
                          "beside the ASCII characters of its first line";
        return true;
      }
      prepared = prepared_input();
    }
    // Not UTF-16: a NUL byte has no place in 8-bit text.
    find_nul_byte(raw, problem);
    return false;
  }
  const encoding_verdict verdict = judge_encoding(raw);
  if (!verdict.decided) {
    problem = {0, verdict.euc_jp
                      ? verdict.reason +
                            ": convert it first, e.g. with iconv -f EUC-JP -t "
                            "UTF-8"
                      : "cannot tell the encoding: " + verdict.reason +
                            "; name it with --encoding sjis, utf-8, utf-16le "
                            "or utf-16be"};
    return false;
  }
  prepared.text = raw;
  prepared.encoding = verdict.encoding;
  prepared.reason = "guessed: " + verdict.reason;
  prepared.decodes_throughout = verdict.decodes_throughout;
  prepared.guessed = true;
  return true;
}

}  // namespace

bool decide_encoding(std::string_view raw, encoding_choice choice,
                     prepared_input& prepared, line_problem& problem) {
  const byte_order_mark mark = find_byte_order_mark(raw);
  const std::string_view body = raw.substr(mark_length(mark));
  prepared.offset = mark_length(mark);
  if (mark != byte_order_mark::none) {
    if (choice != encoding_choice::guess && choice != choice_of(mark)) {
      problem = {0, std::string("starts with a ") + mark_name(mark) +
                        " byte-order mark, which contradicts --encoding " +
                        choice_name(choice)};
      return false;
    }
    choice = choice_of(mark);
    prepared.reason = std::string(mark_name(mark)) + " byte-order mark";
  } else if (choice == encoding_choice::guess) {
    return guess_encoding(raw, prepared, problem);
  } else {
    prepared.reason = std::string("--encoding ") + choice_name(choice);
  }
  if (choice == encoding_choice::utf_16le ||
      choice == encoding_choice::utf_16be) {
    return take_utf_16(body, choice == encoding_choice::utf_16be, prepared,
                       problem);
  }
  prepared.text = body;
  prepared.encoding = choice == encoding_choice::utf_8
                          ? text_encoding::utf_8
                          : text_encoding::shift_jis;
  prepared.decodes_throughout =
      find_undecodable(body, prepared.encoding) == std::string_view::npos;
  return true;
}

bool may_hold_nul_bytes(std::string_view start, encoding_choice choice) {
  switch (find_byte_order_mark(start)) {
    case byte_order_mark::utf_16le:
    case byte_order_mark::utf_16be: return true;
    case byte_order_mark::utf_8: return false;
    case byte_order_mark::none: break;
  }
  if (choice == encoding_choice::utf_16le ||
      choice == encoding_choice::utf_16be) {
    return true;
  }
  return choice == encoding_choice::guess &&
         find_utf_16_pattern(start) != utf_16_order::none;
}

bool find_nul_byte(std::string_view text, line_problem& problem) {
  const void* nul = std::memchr(text.data(), '\0', text.size());
  if (nul == nullptr) return false;
  const auto offset =
      static_cast<std::size_t>(static_cast<const char*>(nul) - text.data());
  problem = {line_of(text, offset), "NUL byte: this is not a text dictionary"};
  return true;
}

}  // namespace brenlow
