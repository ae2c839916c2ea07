// The candidates of an SKK entry line, and the words they mean: what two
// dictionaries are compared by, whatever form each wrote a word in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "encodings/output_encoding.h"

namespace brenlow {

// One element of an entry's candidates: a candidate (word and annotation),
// or a whole okurigana block ("[る/送/]") of a personal dictionary.
struct candidate_element {
  std::string_view text;
  bool block = false;
};

// Splits candidates ("/a/b;note/[る/送/]/", as dictionary_line gives
// them) into their elements, in order. Empty candidates ("//") are
// elements too, so that joining the elements with "/" gives the text
// back. A "[" element without its "]" runs to the end.
void split_candidates(std::string_view candidates,
                      std::vector<candidate_element>& elements);

// The candidate without its annotation (everything from its first ";").
std::string_view candidate_without_annotation(std::string_view candidate);

// The annotation of a candidate, ";" included; empty when it has none.
std::string_view candidate_annotation(std::string_view candidate);

// The word a candidate means, as the client shows it: without its
// annotation, and a (concat "..." ...) form decoded (octal, hexadecimal
// and one-letter escapes, as Emacs reads a string). A Lisp form that is no
// such concat is the word as it stands. Returns a view of candidate, or
// of buffer when decoded. Text is in encoding (Shift_JIS is stepped by its
// pairs, whose second byte may be a backslash).
std::string_view candidate_word(std::string_view candidate,
                                output_encoding encoding, std::string& buffer);

}  // namespace brenlow
