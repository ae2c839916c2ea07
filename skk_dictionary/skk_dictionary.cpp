#include "skk_dictionary/skk_dictionary.h"

#include "base/byte_facts.h"
#include "encodings/text_encoding.h"
#include "skk_dictionary/candidates.h"

namespace brenlow {

namespace {

constexpr std::string_view okuri_ari_marker = ";; okuri-ari entries.";
constexpr std::string_view okuri_nasi_marker = ";; okuri-nasi entries.";

std::string lower_case(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// The text of UTF-16LE output is held as UTF-8.
output_encoding held_as(output_encoding encoding) {
  return encoding == output_encoding::utf_16le ? output_encoding::utf_8
                                               : encoding;
}

std::string describe(output_encoding encoding) {
  return output_encoding_title(encoding);
}

// Where the coding's name stands in line, as Emacs finds it in a first
// line's -*- ... -*- (and libskk, which reads only that form): after
// "coding:" and blanks, up to a blank, ";" or the closing "-*-".
bool find_coding_name(std::string_view line, std::size_t& offset,
                      std::size_t& size) {
  const std::size_t open = line.find("-*-");
  if (open == std::string_view::npos) return false;
  const std::size_t close = line.find("-*-", open + 3);
  if (close == std::string_view::npos) return false;
  std::size_t at = open + 3;
  for (;;) {
    at = line.find("coding:", at);
    if (at == std::string_view::npos || at >= close) return false;
    const char before = line[at - 1];
    if (before == ' ' || before == '\t' || before == ';' || before == '-') {
      break;
    }
    at += 7;
  }
  std::size_t start = at + 7;
  while (start < close && (line[start] == ' ' || line[start] == '\t')) ++start;
  std::size_t end = start;
  while (end < close && line[end] != ' ' && line[end] != '\t' &&
         line[end] != ';') {
    ++end;
  }
  if (end == start) return false;
  offset = start;
  size = end - start;
  return true;
}

// Splits text into lines (LF, a CR before it dropped) without classifying
// them.
void split_lines(std::string_view text, skk_dictionary& dictionary) {
  dictionary.lines.clear();
  std::size_t pos = 0;
  bool first = true;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    const bool ended = end != std::string_view::npos;
    if (!ended) end = text.size();
    std::size_t line_end = end;
    if (ended && line_end > pos && text[line_end - 1] == '\r') {
      --line_end;
      if (first) dictionary.crlf = true;
    }
    first = false;
    dictionary_line line;
    line.text = text.substr(pos, line_end - pos);
    dictionary.lines.push_back(line);
    pos = ended ? end + 1 : end;
  }
}

// Sets an entry's reading and candidates; false when the line is none:
// a reading, blanks and "/" ... "/".
bool read_entry(dictionary_line& line) {
  const std::string_view text = line.text;
  const std::size_t space = text.find(' ');
  if (space == 0 || space == std::string_view::npos) return false;
  std::size_t slash = space;
  while (slash < text.size() && text[slash] == ' ') ++slash;
  if (slash + 1 >= text.size() || text[slash] != '/' || text.back() != '/') {
    return false;
  }
  line.reading_size = space;
  line.candidates_start = slash;
  return true;
}

// Classifies every line, naming those that are no comment and no entry or
// hold bytes the encoding does not decode.
void classify(skk_dictionary& dictionary, std::vector<line_problem>& warnings) {
  bool okuri_ari = false;
  const output_encoding held = held_as(dictionary.encoding);
  for (std::size_t i = 0; i < dictionary.lines.size(); ++i) {
    dictionary_line& line = dictionary.lines[i];
    const std::string_view text = line.text;
    if (text == okuri_ari_marker) {
      line.kind = dictionary_line_kind::okuri_ari_marker;
      okuri_ari = true;
    } else if (text == okuri_nasi_marker) {
      line.kind = dictionary_line_kind::okuri_nasi_marker;
      okuri_ari = false;
    } else if (text.empty() || text.front() == ';') {
      line.kind = dictionary_line_kind::comment;
    } else if (read_entry(line)) {
      line.kind = dictionary_line_kind::entry;
      line.okuri_ari = okuri_ari;
    } else {
      line.kind = dictionary_line_kind::malformed;
      warnings.push_back(
          {i + 1,
           "not an SKK entry (a reading, a space, then /word/.../); kept as "
           "it is"});
      continue;
    }
    if (find_undecodable_as(text, held) != std::string_view::npos) {
      line.kind = dictionary_line_kind::malformed;
      warnings.push_back({i + 1, "holds bytes that are no " +
                                     describe(dictionary.encoding) +
                                     " character; kept as they are"});
    }
  }
}

}  // namespace

bool encoding_of_coding_name(std::string_view name, output_encoding& encoding) {
  std::string lower = lower_case(name);
  for (const char* suffix : {"-unix", "-dos", "-mac"}) {
    const std::string_view end = suffix;
    if (lower.size() > end.size() &&
        lower.compare(lower.size() - end.size(), end.size(), end) == 0) {
      lower.resize(lower.size() - end.size());
      break;
    }
  }
  static constexpr struct {
    const char* name;
    output_encoding encoding;
  } names[] = {
      // Emacs's names and aliases, then what libskk (iconv) takes.
      {"euc-jp", output_encoding::euc_jp},
      {"euc-japan", output_encoding::euc_jp},
      {"japanese-iso-8bit", output_encoding::euc_jp},
      {"euc-japan-1990", output_encoding::euc_jp},
      {"eucjp", output_encoding::euc_jp},
      {"euc-jis-2004", output_encoding::euc_jis_2004},
      {"euc-jisx0213", output_encoding::euc_jis_2004},
      {"shift_jis", output_encoding::shift_jis},
      {"shift-jis", output_encoding::shift_jis},
      {"sjis", output_encoding::shift_jis},
      {"japanese-shift-jis", output_encoding::shift_jis},
      {"cp932", output_encoding::shift_jis},
      {"windows-31j", output_encoding::shift_jis},
      {"utf-8", output_encoding::utf_8},
      {"utf8", output_encoding::utf_8},
      {"mule-utf-8", output_encoding::utf_8},
      {"prefer-utf-8", output_encoding::utf_8},
      {"utf-8-with-signature", output_encoding::utf_8},
      {"utf-16le", output_encoding::utf_16le},
      {"utf-16le-with-signature", output_encoding::utf_16le},
  };
  for (const auto& row : names) {
    if (lower == row.name) {
      encoding = row.encoding;
      return true;
    }
  }
  return false;
}

const char* coding_name_of(output_encoding encoding) {
  return output_encoding_name(encoding);
}

bool read_skk_dictionary(std::string_view text, const dictionary_reading& how,
                         skk_dictionary& dictionary,
                         std::vector<line_problem>& warnings,
                         line_problem& problem) {
  dictionary = skk_dictionary{};
  const byte_order_mark mark = find_byte_order_mark(text);
  if (mark == byte_order_mark::utf_16be) {
    problem = {0,
               "a UTF-16BE dictionary, which no SKK program reads: convert it "
               "to UTF-8 first"};
    return false;
  }
  const bool utf_16_given =
      how.encoding_given && how.encoding == output_encoding::utf_16le;
  if (mark != byte_order_mark::utf_16le && !utf_16_given &&
      text.find('\0') != std::string_view::npos) {
    problem = {0,
               "holds NUL bytes, which no SKK dictionary text has (UTF-16 "
               "without its byte-order mark?)"};
    dictionary.encoding_untold = true;
    return false;
  }
  if (mark == byte_order_mark::utf_16le || utf_16_given) {
    decode_utf_16(text.substr(mark == byte_order_mark::utf_16le ? 2 : 0), false,
                  dictionary.owned);
    text = dictionary.owned;
    dictionary.encoding = output_encoding::utf_16le;
    dictionary.encoding_known = true;
    dictionary.encoding_reason = "byte-order mark";
  } else if (mark == byte_order_mark::utf_8) {
    text.remove_prefix(3);
    dictionary.utf_8_mark = true;
    dictionary.encoding = output_encoding::utf_8;
    dictionary.encoding_known = true;
    dictionary.encoding_reason = "byte-order mark";
  }
  split_lines(text, dictionary);
  // The coding line: the first, or the second after a "#!" line.
  std::size_t coding_line = 0;
  if (!dictionary.lines.empty() &&
      dictionary.lines[0].text.substr(0, 2) == "#!") {
    coding_line = 1;
  }
  std::size_t offset = 0;
  std::size_t size = 0;
  if (coding_line < dictionary.lines.size() &&
      find_coding_name(dictionary.lines[coding_line].text, offset, size)) {
    dictionary.coding_line = coding_line;
    dictionary.coding_name_offset = offset;
    dictionary.coding_name_size = size;
  }
  if (how.encoding_given) {
    if (mark == byte_order_mark::utf_16le && !utf_16_given) {
      problem = {0, "it starts with a UTF-16LE byte-order mark, not " +
                        describe(how.encoding) + " text"};
      return false;
    }
    dictionary.encoding = how.encoding;
    dictionary.encoding_known = true;
    dictionary.encoding_reason = "--merge-encoding";
  } else if (dictionary.coding_line != std::string_view::npos &&
             mark != byte_order_mark::utf_16le) {
    const std::string_view name =
        dictionary.lines[coding_line].text.substr(offset, size);
    output_encoding named{};
    if (!encoding_of_coding_name(name, named) ||
        named == output_encoding::utf_16le) {
      problem = {coding_line + 1,
                 "its coding line names '" + std::string(name) +
                     "', which brenlow does not read (euc-jp, euc-jis-2004, "
                     "shift_jis, utf-8)"};
      dictionary.encoding_untold = true;
      return false;
    }
    if (mark == byte_order_mark::utf_8 && named != output_encoding::utf_8) {
      problem = {coding_line + 1, "its coding line names '" +
                                      std::string(name) +
                                      "', but it starts with a UTF-8 "
                                      "byte-order mark"};
      return false;
    }
    dictionary.encoding = named;
    dictionary.encoding_known = true;
    dictionary.encoding_reason = "coding line";
  } else if (!dictionary.encoding_known) {
    // Without a coding line: the first encoding the whole text decodes
    // in. EUC text rarely decodes as UTF-8, Shift_JIS text rarely as EUC,
    // and EUC text often as Shift_JIS, hence the order.
    bool ascii = true;
    for (const char c : text) {
      if (static_cast<unsigned char>(c) >= 0x80) {
        ascii = false;
        break;
      }
    }
    if (!ascii) {
      bool found = false;
      for (const output_encoding candidate :
           {output_encoding::utf_8, output_encoding::euc_jp,
            output_encoding::euc_jis_2004, output_encoding::shift_jis}) {
        if (find_undecodable_as(text, candidate) == std::string_view::npos) {
          dictionary.encoding = candidate;
          found = true;
          break;
        }
      }
      if (!found) {
        problem = {0,
                   "no coding line, and its bytes are not all UTF-8, EUC-JP, "
                   "EUC-JIS-2004 or Shift_JIS"};
        dictionary.encoding_untold = true;
        return false;
      }
      dictionary.encoding_known = true;
      dictionary.encoding_reason = "weighed: every byte decodes";
    }
  }
  classify(dictionary, warnings);
  return true;
}

void recode_dictionary(skk_dictionary& dictionary, output_encoding target,
                       std::vector<line_problem>& warnings) {
  const output_encoding from = held_as(dictionary.encoding);
  const output_encoding to = held_as(target);
  if (from == to && dictionary.coding_line == std::string_view::npos) return;
  if (from == to && dictionary.encoding == target) return;
  // Each kept line's text, recoded, one after another in text; views are
  // set once it no longer grows.
  std::string text;
  std::vector<std::size_t> ends;
  std::vector<dictionary_line> kept;
  std::string utf_8;
  std::string word_buffer;
  std::vector<candidate_element> elements;
  // Appends piece recoded; false (nothing appended) when to cannot write
  // one of its characters.
  const auto append = [&](std::string_view piece, char32_t& missing) {
    utf_8.clear();
    append_utf_8_of(piece, from, utf_8);
    const unencodable_character bad =
        find_unencodable(utf_8, text_encoding::utf_8, to);
    if (bad.offset != std::string_view::npos) {
      missing = bad.code_point;
      return false;
    }
    append_recoded(utf_8, text_encoding::utf_8, to, text);
    return true;
  };
  const auto code_point_name = [](char32_t c) {
    static const char digits[] = "0123456789ABCDEF";
    std::string name = "U+";
    int shift = c > 0xFFFF ? 20 : 12;
    for (; shift >= 0; shift -= 4) name += digits[(c >> shift) & 0xF];
    return name;
  };
  const std::string title = describe(target);
  const std::size_t coding_line = dictionary.coding_line;
  for (std::size_t i = 0; i < dictionary.lines.size(); ++i) {
    dictionary_line line = dictionary.lines[i];
    const std::size_t start = text.size();
    char32_t missing = 0;
    const auto cannot_write = [&](std::string what) {
      what += " holds ";
      what += code_point_name(missing);
      what += ", which ";
      what += title;
      what += " cannot write; left out";
      return what;
    };
    const auto left_out = [&](const std::string& what) {
      text.resize(start);
      warnings.push_back({i + 1, cannot_write(what)});
    };
    if (i == coding_line) {
      const std::string_view name = line.text.substr(
          dictionary.coding_name_offset, dictionary.coding_name_size);
      const std::string_view before =
          line.text.substr(0, dictionary.coding_name_offset);
      const std::string_view after = line.text.substr(
          dictionary.coding_name_offset + dictionary.coding_name_size);
      // The coding line names the target, keeping whatever else it says
      // (and its own spelling, -unix or -dos, if it named the target).
      output_encoding named{};
      std::string new_name = coding_name_of(target);
      if (encoding_of_coding_name(name, named) && named == target) {
        new_name = std::string(name);
      }
      if (!append(before, missing) || !append(after, missing)) {
        // ASCII around the name, as a rule; else the line as it stood.
        text.resize(start);
        text.append(line.text);
      } else {
        text.resize(start);
        append(before, missing);
        dictionary.coding_name_offset = text.size() - start;
        dictionary.coding_name_size = new_name.size();
        text.append(new_name);
        append(after, missing);
      }
    } else if (line.kind == dictionary_line_kind::malformed) {
      if (find_undecodable_as(line.text, from) != std::string_view::npos ||
          !append(line.text, missing)) {
        text.resize(start);
        text.append(line.text);
      }
    } else if (line.kind != dictionary_line_kind::entry) {
      if (!append(line.text, missing)) {
        left_out("the comment line");
        continue;
      }
    } else {
      if (!append(line.reading(), missing)) {
        left_out("the reading");
        continue;
      }
      const std::size_t reading_size = text.size() - start;
      text.append(" /");
      split_candidates(line.candidates(), elements);
      std::size_t written = 0;
      for (const candidate_element& element : elements) {
        const std::size_t before = text.size();
        if (!append(element.text, missing)) {
          text.resize(before);
          std::string shown;
          append_utf_8_of(element.text, from, shown);
          shown.insert(0,
                       element.block ? "the okurigana block '" : "the word '");
          shown += '\'';
          warnings.push_back({i + 1, cannot_write(shown)});
          continue;
        }
        text.push_back('/');
        ++written;
      }
      if (written == 0) {
        text.resize(start);
        warnings.push_back({i + 1, "no word of this entry can be written in " +
                                       title + "; the line is left out"});
        continue;
      }
      line.reading_size = reading_size;
      line.candidates_start = reading_size + 1;
    }
    if (i == coding_line) dictionary.coding_line = kept.size();
    kept.push_back(line);
    ends.push_back(text.size());
  }
  // A dictionary without a coding line that is written in another
  // encoding gets one, as every dictionary written anew has, so that Emacs
  // SKK and libskk need not guess.
  const bool named = target == output_encoding::utf_8 ||
                     target == output_encoding::euc_jp ||
                     target == output_encoding::euc_jis_2004;
  if (coding_line == std::string_view::npos && named &&
      dictionary.encoding != target) {
    const std::string line =
        std::string(";; -*- coding: ") + coding_name_of(target) + " -*-";
    text.insert(0, line);
    for (std::size_t& end : ends) end += line.size();
    dictionary_line coding;
    coding.kind = dictionary_line_kind::comment;
    kept.insert(kept.begin(), coding);
    ends.insert(ends.begin(), line.size());
    dictionary.coding_line = 0;
    dictionary.coding_name_offset = 15;  // after ";; -*- coding: "
    dictionary.coding_name_size = line.size() - 19;
  }
  dictionary.owned = std::move(text);
  std::size_t start = 0;
  for (std::size_t k = 0; k < kept.size(); ++k) {
    kept[k].text =
        std::string_view(dictionary.owned).substr(start, ends[k] - start);
    start = ends[k];
  }
  dictionary.lines = std::move(kept);
  dictionary.encoding = target;
}

}  // namespace brenlow
