// The encodings a dictionary can be written in, and the re-encoding of the
// text the conversion holds (Shift_JIS or UTF-8) into them. The EUC-JP,
// EUC-JIS-2004 and code page 932 mappings are Emacs's own coders' (as SKK
// users' Emacs reads and writes these files), generated once by
// tools/make_output_tables.el.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_facts.h"

namespace brenlow {

enum class output_encoding { shift_jis, utf_8, euc_jp, euc_jis_2004, utf_16le };

// "shift_jis", "utf-8", "euc-jp", "euc-jis-2004", "utf-16le": the names
// --to takes.
const char* output_encoding_name(output_encoding encoding);

// "Shift_JIS", "UTF-8", "EUC-JP", "EUC-JIS-2004", "UTF-16LE": for messages.
const char* output_encoding_title(output_encoding encoding);

// The encoding --to names (in any case; "sjis" and "cp932" are Shift_JIS,
// "utf8" is UTF-8, "eucjp" EUC-JP). Returns false for any other name.
bool output_encoding_of_name(std::string_view name, output_encoding& encoding);

// The output encoding that writes text as it is held (no re-encoding).
output_encoding same_as(text_encoding held);

// True when encoding writes every character text held in held can have:
// its own encoding, and UTF-8 and UTF-16LE, which write every character.
bool writes_every_character(text_encoding held, output_encoding encoding);

// The first character of text (valid text in held) that encoding cannot
// write, or none (offset npos). Shift_JIS text is read as code page 932
// (as Emacs's cp932 decodes it); UTF-8 and UTF-16LE write every character.
struct unencodable_character {
  std::size_t offset = std::string_view::npos;  // in text
  char32_t code_point = 0;
};
unencodable_character find_unencodable(std::string_view text,
                                       text_encoding held,
                                       output_encoding encoding);

// Sets offsets to the offset of each character of text (valid text in
// held) that encoding cannot write, in order (see find_unencodable), and
// returns true; returns false, offsets unspecified, where there are more
// than most. A large text is read on two threads.
bool find_all_unencodable(std::string_view text, text_encoding held,
                          output_encoding encoding, std::size_t most,
                          std::vector<std::size_t>& offsets);

// Appends text (valid in held, every character of it writable in encoding:
// see find_unencodable) to out, written in encoding. UTF-16LE is written
// without a mark.
void append_recoded(std::string_view text, text_encoding held,
                    output_encoding encoding, std::string& out);

// What append_recoded appends, written at out instead, which has room for
// 4 * text.size() bytes (the most any encoding takes for a byte held).
// Returns the bytes written.
std::size_t write_recoded(std::string_view text, text_encoding held,
                          output_encoding encoding, char* out);

// Appends the UTF-8 form of text written in encoding, as Emacs decodes it
// (the characters Emacs SKK compares when it searches such a file).
void append_utf_8_of(std::string_view text, output_encoding encoding,
                     std::string& out);

// The offset of the first bytes of text that encoding decodes as no
// character (as Emacs's coder reads them: a byte or pair outside its
// table, a sequence cut short), or npos when every byte decodes. UTF-16LE
// text is not looked at (npos).
std::size_t find_undecodable_as(std::string_view text,
                                output_encoding encoding);

// text (in encoding) with each EUC-JIS-2004 code that stands for two
// characters (か゚, ɔ́: JIS X 0213's composed codes) written as the codes
// of those two, where EUC-JIS-2004 has both, so that the two spellings of
// one word compare equal; text itself in any other case. Returns a view
// of text or of buffer.
std::string_view with_pairs_spelled_out(std::string_view text,
                                        output_encoding encoding,
                                        std::string& buffer);

}  // namespace brenlow
