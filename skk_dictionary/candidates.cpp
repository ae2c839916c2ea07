#include "skk_dictionary/candidates.h"

#include "base/byte_facts.h"

namespace brenlow {

namespace {

// The bytes the character at text[pos] takes, for finding ASCII
// backslashes and quotes: only Shift_JIS has ASCII bytes inside a
// character.
std::size_t step(std::string_view text, std::size_t pos,
                 output_encoding encoding) {
  return encoding == output_encoding::shift_jis
             ? char_length(text, pos, text_encoding::shift_jis)
             : 1;
}

int digit_value(char c, int base) {
  int value = base;
  if (c >= '0' && c <= '9') value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

// Reads the string literal at text[pos] (a double quote) as Emacs reads
// it, appending what it means to out; pos ends after its closing quote.
// Returns false when it is not closed or holds an escape Emacs refuses.
bool read_string(std::string_view text, std::size_t& pos,
                 output_encoding encoding, std::string& out) {
  ++pos;  // the opening quote
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c != '\\') {
      const std::size_t length = step(text, pos, encoding);
      out.append(text, pos, length);
      pos += length;
      continue;
    }
    if (++pos == text.size()) return false;
    const char escaped = text[pos++];
    int base = 0;
    int digits = 0;
    unsigned value = 0;
    if (escaped >= '0' && escaped <= '7') {
      base = 8;
      value = static_cast<unsigned>(escaped - '0');
      digits = 1;
    } else if (escaped == 'x') {
      base = 16;
    }
    if (base != 0) {
      // Octal takes up to three digits; hexadecimal as many as follow.
      while (pos < text.size() && (base == 16 || digits < 3)) {
        const int digit = digit_value(text[pos], base);
        if (digit < 0) break;
        value =
            value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > 0x10FFFF) return false;
        ++digits;
        ++pos;
      }
      if (digits == 0) return false;
      // "\ " ends a hexadecimal escape without adding anything.
      if (base == 16 && pos + 1 < text.size() && text[pos] == '\\' &&
          text[pos + 1] == ' ') {
        pos += 2;
      }
      // Escapes of ASCII are what SKK dictionaries hold; a larger value is
      // a character, written here in UTF-8 only when the text is.
      if (value < 0x80) {
        out.push_back(static_cast<char>(value));
      } else if (encoding == output_encoding::utf_8) {
        append_utf_8(out, value);
      } else {
        return false;
      }
      continue;
    }
    switch (escaped) {
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case 'r': out.push_back('\r'); break;
      case 'a': out.push_back('\a'); break;
      case 'f': out.push_back('\f'); break;
      case 'v': out.push_back('\v'); break;
      case 'b': out.push_back('\b'); break;
      case 'e': out.push_back('\x1b'); break;
      case 'd': out.push_back('\x7f'); break;
      case 's': out.push_back(' '); break;
      case '\n': break;  // a line continued
      default:
        // Any other character stands for itself ("\\", "\"", "\/").
        --pos;
        {
          const std::size_t length = step(text, pos, encoding);
          out.append(text, pos, length);
          pos += length;
        }
        break;
    }
  }
  return false;
}

}  // namespace

void split_candidates(std::string_view candidates,
                      std::vector<candidate_element>& elements) {
  elements.clear();
  // Between the first "/" and the last.
  std::size_t pos = 1;
  const std::size_t end = candidates.size() <= 1 ? 1 : candidates.size() - 1;
  while (pos < end) {
    std::size_t slash = candidates.find('/', pos);
    if (slash == std::string_view::npos || slash > end) slash = end;
    if (candidates[pos] == '[') {
      // A block ends at the element that is "]".
      std::size_t close = candidates.find("/]/", pos);
      std::size_t block_end = close == std::string_view::npos ? end : close + 2;
      if (block_end > end) block_end = end;
      elements.push_back({candidates.substr(pos, block_end - pos), true});
      pos = block_end + 1;
      continue;
    }
    elements.push_back({candidates.substr(pos, slash - pos), false});
    pos = slash + 1;
  }
}

std::string_view candidate_without_annotation(std::string_view candidate) {
  return candidate.substr(0, candidate.find(';'));
}

std::string_view candidate_annotation(std::string_view candidate) {
  const std::size_t semicolon = candidate.find(';');
  return semicolon == std::string_view::npos ? std::string_view()
                                             : candidate.substr(semicolon);
}

namespace {

// The candidate's word, its concat form decoded into buffer.
std::string_view concat_decoded(std::string_view candidate,
                                output_encoding encoding, std::string& buffer) {
  const std::string_view word = candidate_without_annotation(candidate);
  constexpr std::string_view concat = "(concat ";
  if (word.compare(0, concat.size(), concat) != 0 || word.back() != ')') {
    return word;
  }
  buffer.clear();
  std::size_t pos = concat.size();
  const std::size_t end = word.size() - 1;
  for (;;) {
    while (pos < end && word[pos] == ' ') ++pos;
    if (pos == end) break;
    if (word[pos] != '"' || !read_string(word, pos, encoding, buffer) ||
        pos > end) {
      return word;  // not a concat of strings: the form as it stands
    }
  }
  return buffer;
}

}  // namespace

std::string_view candidate_word(std::string_view candidate,
                                output_encoding encoding, std::string& buffer) {
  const std::string_view word = concat_decoded(candidate, encoding, buffer);
  if (encoding != output_encoding::euc_jis_2004) return word;
  // A composed code and its two characters are one word.
  std::string spelled;
  const std::string_view compared =
      with_pairs_spelled_out(word, encoding, spelled);
  if (compared.data() == word.data()) return word;
  buffer.swap(spelled);
  return buffer;
}

}  // namespace brenlow
