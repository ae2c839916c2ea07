// The SKK programs --for names: the output each needs, and the setting
// that registers the written file there.
#pragma once

#include <string>
#include <vector>

#include "dictionary/skk_order.h"
#include "encodings/output_encoding.h"
#include "skk_rules/skk_entry.h"

namespace brenlow {

struct program_preset {
  const char* name;   // as --for takes it
  const char* title;  // as messages name the program
  output_encoding encoding;
  // The encodings the program reads (bits of 1 << output_encoding); --to
  // may choose another of them.
  unsigned readable;
  sort_order order;
  concat_reading concat;
  bool reads_cdb;
  // The longest text line and CDB value (bytes) the program takes; 0 for
  // no limit. Longer ones keep their first words that fit.
  std::size_t longest_line;
  std::size_t longest_value;
  // What --for help adds about the program, or "".
  const char* note;
};

// The preset of name, or nullptr.
const program_preset* find_preset(const std::string& name);

// The lines --for help prints: each program and what its preset sets.
std::vector<std::string> preset_help_lines();

// What a preset's setting needs to know of the written file.
struct written_file {
  std::string path;  // absolute; empty for standard output
  output_encoding encoding;
  bool cdb;
  std::string home;         // $HOME, for the settings that name its files
  std::string config_home;  // $XDG_CONFIG_HOME or ~/.config
};

// The first line ("to use X in uim-skk, add this line to ~/.uim:") and
// the setting's lines, exactly as the program's configuration takes them.
std::vector<std::string> registration(const program_preset& preset,
                                      const written_file& file);

// A warning the file's name earns for the program (macSKK reads a file as
// UTF-8 only when its name holds "utf8"), or empty.
std::string name_warning(const program_preset& preset,
                         const written_file& file);

}  // namespace brenlow
