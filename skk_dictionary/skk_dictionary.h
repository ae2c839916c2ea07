// Reading an SKK dictionary: the personal dictionary a client writes, one
// kept by hand, or a large shared one. Every line is kept as it stands, so
// that the dictionary can be written back byte for byte with words added;
// only lines that gain words are written anew.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/line_problem.h"
#include "encodings/output_encoding.h"

namespace brenlow {

enum class dictionary_line_kind {
  comment,            // starts with ";", or is empty
  okuri_ari_marker,   // ";; okuri-ari entries."
  okuri_nasi_marker,  // ";; okuri-nasi entries."
  entry,              // reading, space, "/word/.../"
  malformed,          // anything else; kept as it is
};

struct dictionary_line {
  std::string_view text;  // without its line end
  dictionary_line_kind kind = dictionary_line_kind::comment;
  // Entries: in the okuri-ari section. Entries before any marker count as
  // okuri-nasi.
  bool okuri_ari = false;
  // Entries: the reading is text's first reading_size bytes, and the
  // candidates ("/a/b/") start at candidates_start and run to its end.
  std::size_t reading_size = 0;
  std::size_t candidates_start = 0;

  std::string_view reading() const { return text.substr(0, reading_size); }
  std::string_view candidates() const { return text.substr(candidates_start); }
};

struct skk_dictionary {
  // The encoding its bytes are in; a UTF-16LE dictionary is held decoded
  // to UTF-8. Unknown (every byte ASCII, no coding line) leaves the choice
  // to the caller.
  output_encoding encoding = output_encoding::utf_8;
  bool encoding_known = false;
  std::string encoding_reason;  // "coding line", "--merge-encoding", ...
  // The line naming the coding (-*- coding: NAME -*-), and where NAME
  // stands in its text; coding_line is npos when there is none.
  std::size_t coding_line = std::string_view::npos;
  std::size_t coding_name_offset = 0;
  std::size_t coding_name_size = 0;
  // Set when it cannot be read because its encoding cannot be told (a
  // coding line naming another, bytes no encoding decodes, NUL bytes):
  // what its reader can give to tell it.
  bool encoding_untold = false;
  bool crlf = false;        // its first line ends in CR LF
  bool utf_8_mark = false;  // it starts with a UTF-8 byte-order mark
  std::vector<dictionary_line> lines;
  // Text the lines view instead of the file's bytes: decoded from UTF-16,
  // or recoded (recode_dictionary).
  std::string owned;
};

// How the dictionary's encoding is decided: given (--merge-encoding), or
// from its coding line, else by what its bytes decode as.
struct dictionary_reading {
  bool encoding_given = false;
  output_encoding encoding = output_encoding::euc_jp;
};

// The encoding an Emacs or libskk coding name stands for (any case, with
// or without -unix, -dos or -mac): euc-jp and its aliases, euc-jis-2004,
// shift_jis, cp932, utf-8 and theirs. Returns false for any other.
bool encoding_of_coding_name(std::string_view name, output_encoding& encoding);

// The name a coding line gives encoding (UTF-16LE: utf-16le).
const char* coding_name_of(output_encoding encoding);

// Reads text (the file's bytes, which must outlive dictionary) into
// dictionary. The encoding is how's, else its coding line's (on the first
// line, or the second after a "#!" line), else the first of UTF-8, EUC-JP,
// EUC-JIS-2004 and Shift_JIS in which every byte decodes; a UTF-16LE mark
// tells UTF-16LE. Lines that are no comment and no entry, or that hold
// bytes the encoding does not decode, are malformed: each is named in
// warnings and kept. Returns false with problem set when the encoding
// cannot be told (a coding line naming another, bytes no encoding decodes,
// UTF-16BE).
bool read_skk_dictionary(std::string_view text, const dictionary_reading& how,
                         skk_dictionary& dictionary,
                         std::vector<line_problem>& warnings,
                         line_problem& problem);

// Rewrites dictionary into target (UTF-16LE: held as UTF-8) in its owned
// text: the coding line names target, words and blocks a target cannot
// write are left out, as are comment lines, and entries left without a
// reading or word; each is named in warnings. Malformed lines that do not
// decode are kept as they are. Nothing is done when the dictionary is held
// in target's encoding already.
void recode_dictionary(skk_dictionary& dictionary, output_encoding target,
                       std::vector<line_problem>& warnings);

}  // namespace brenlow
