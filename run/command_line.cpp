#include "run/command_line.h"

#include <cstddef>
#include <string>
#include <vector>

namespace brenlow {

const char* const usage_lines[3] = {"Brenlow Version 0.00",
                                    "usage:", "brenlow ime-textdic-file"};

namespace {

// Sets what an option means; value is empty for an option without one.
// Returns false with error set for a value it does not take.
using apply_option = bool (*)(run_options& options, const std::string& value,
                              std::string& error);

// How an option takes its value.
enum class option_value {
  none,
  required,      // "--name value" or "--name=value"
  after_equals,  // only as "--name=value"; "--name" alone takes none
};

// One option: its names, its value, its --help text and what it does.
struct option_entry {
  const char* short_name;  // nullptr: none
  const char* long_name;
  option_value value;
  // The value as --help names it ("FILE" in "--output FILE"); nullptr for
  // an option without one.
  const char* value_name;
  // Its --help text; '\n' starts another line of it.
  const char* help;
  apply_option apply;
};

// Every option, in the order --help lists them.
constexpr option_entry option_table[] = {
    {"-o", "--output", option_value::required, "FILE",
     "write to FILE, replaced only after a complete write",
     [](run_options& o, const std::string& value, std::string& error) {
       // Refused before the input is read, not after its conversion.
       if (value.empty()) {
         error = "the output file name is empty";
         return false;
       }
       o.has_output = true;
       o.output_name = value;
       return true;
     }},
    {nullptr, "--encoding", option_value::required, "NAME",
     "the input's encoding: sjis, utf-8, utf-16le or\n"
     "utf-16be (default: its byte-order mark, else weighed)",
     [](run_options& o, const std::string& given, std::string& error) {
       // Encoding names are written in any case (SJIS, UTF-8, CP932).
       std::string value = given;
       for (char& c : value) {
         if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
       }
       if (value == "sjis" || value == "shift_jis" || value == "cp932") {
         o.encoding = encoding_choice::shift_jis;
       } else if (value == "utf-8" || value == "utf8") {
         o.encoding = encoding_choice::utf_8;
       } else if (value == "utf-16le" || value == "utf16le") {
         o.encoding = encoding_choice::utf_16le;
       } else if (value == "utf-16be" || value == "utf16be") {
         o.encoding = encoding_choice::utf_16be;
       } else {
         error = "unknown encoding '" + given +
                 "' (use sjis, utf-8, utf-16le or utf-16be)";
         return false;
       }
       return true;
     }},
    {nullptr, "--format", option_value::required, "NAME",
     "the input's format: tab, csv, kotoeri or plist\n"
     "(default: told from its first line)",
     [](run_options& o, const std::string& value, std::string& error) {
       if (!format_of_name(value, o.format)) {
         error =
             "unknown format '" + value + "' (use tab, csv, kotoeri or plist)";
         return false;
       }
       o.format_forced = true;
       return true;
     }},
    {nullptr, "--sort", option_value::after_equals, "skk|bytes",
     "entries sorted: skk (the default) as Emacs SKK\n"
     "compares readings, bytes in byte order (libskk)",
     [](run_options& o, const std::string& value, std::string& error) {
       o.sort_given = true;
       if (value.empty() || value == "skk") {
         o.sort = sort_order::skk;
       } else if (value == "bytes") {
         o.sort = sort_order::bytes;
       } else {
         error = "unknown sort order '" + value + "' (use skk or bytes)";
         return false;
       }
       return true;
     }},
    {nullptr, "--to", option_value::required, "NAME",
     "the output's encoding: shift_jis, utf-8, euc-jp,\n"
     "euc-jis-2004 or utf-16le (default: Shift_JIS for\n"
     "Shift_JIS input, else UTF-8; EUC-JP for --cdb)",
     [](run_options& o, const std::string& value, std::string& error) {
       if (!output_encoding_of_name(value, o.to)) {
         error = "unknown output encoding '" + value +
                 "' (use shift_jis, utf-8, euc-jp, euc-jis-2004 or utf-16le)";
         return false;
       }
       o.to_given = true;
       return o.has_to = true;
     }},
    {nullptr, "--cdb", option_value::none, nullptr,
     "write a CDB file (needs -o FILE)",
     [](run_options& o, const std::string&, std::string&) {
       return o.cdb = true;
     }},
    {nullptr, "--for", option_value::required, "PROGRAM",
     "the output as PROGRAM reads it, and how to register\n"
     "it there (--for help lists the programs)",
     [](run_options& o, const std::string& value, std::string& error) {
       if (value == "help") return o.preset_help = true;
       o.preset = find_preset(value);
       if (o.preset == nullptr) {
         error = "unknown program '" + value + "' (--for help lists them)";
         return false;
       }
       return true;
     }},
    {nullptr, "--merge", option_value::required, "FILE",
     "the SKK dictionary FILE with the new words added\n"
     "(in its encoding, order and line ends)",
     [](run_options& o, const std::string& value, std::string& error) {
       if (value.empty()) {
         error = "the name of the dictionary to merge into is empty";
         return false;
       }
       o.has_merge = true;
       o.merge_name = value;
       return true;
     }},
    {nullptr, "--merge-encoding", option_value::required, "NAME",
     "FILE's encoding where no coding line tells it:\n"
     "euc-jp, euc-jis-2004, shift_jis, utf-8 or utf-16le",
     [](run_options& o, const std::string& value, std::string& error) {
       if (!output_encoding_of_name(value, o.merge_encoding)) {
         error = "unknown encoding '" + value +
                 "' (use euc-jp, euc-jis-2004, shift_jis, utf-8 or utf-16le)";
         return false;
       }
       return o.merge_encoding_given = true;
     }},
    {nullptr, "--exclude", option_value::required, "DICT",
     "leave out the words the SKK dictionary DICT (text\n"
     "or CDB) has; may be given more than once",
     [](run_options& o, const std::string& value, std::string& error) {
       if (value.empty()) {
         error = "the name of the dictionary to exclude is empty";
         return false;
       }
       o.exclude_names.push_back(value);
       return true;
     }},
    {nullptr, "--okuri-ari", option_value::none, nullptr,
     "verbs and adjectives also as okuri-ari entries",
     [](run_options& o, const std::string&, std::string&) {
       return o.okuri_ari = true;
     }},
    {nullptr, "--eol", option_value::required, "crlf|lf",
     "line end of the output (default: crlf)",
     [](run_options& o, const std::string& value, std::string& error) {
       o.eol_given = true;
       if (value == "crlf") {
         o.eol = line_end::crlf;
       } else if (value == "lf") {
         o.eol = line_end::lf;
       } else {
         error = "unknown line end '" + value + "' (use crlf or lf)";
         return false;
       }
       return true;
     }},
    {nullptr, "--strict", option_value::none, nullptr,
     "a line that cannot be converted is an error",
     [](run_options& o, const std::string&, std::string&) {
       return o.strict = true;
     }},
    {nullptr, "--csv-quotes", option_value::none, nullptr,
     "\"\" is one quote and a lone \" is dropped, as in CSV",
     [](run_options& o, const std::string&, std::string&) {
       return o.rules.csv_quotes = true;
     }},
    {nullptr, "--raw-readings", option_value::none, nullptr,
     "readings as they are, not as SKK users type them",
     [](run_options& o, const std::string&, std::string&) {
       o.rules.typed_readings = false;
       return true;
     }},
    {nullptr, "--unique", option_value::none, nullptr,
     "each word written once per reading",
     [](run_options& o, const std::string&, std::string&) {
       return o.rules.unique = true;
     }},
    {nullptr, "--no-annotations", option_value::none, nullptr,
     "no annotations from the comment field",
     [](run_options& o, const std::string&, std::string&) {
       o.rules.annotations = false;
       return true;
     }},
    {"-v", "--verbose", option_value::none, nullptr,
     "a summary of the conversion on standard error",
     [](run_options& o, const std::string&, std::string&) {
       return o.verbose = true;
     }},
    {"-h", "--help", option_value::none, nullptr, "this text",
     [](run_options& o, const std::string&, std::string&) {
       return o.help = true;
     }},
    {nullptr, "--version", option_value::none, nullptr, "the version",
     [](run_options& o, const std::string&, std::string&) {
       return o.version = true;
     }},
};

const option_entry* find_option(const std::string& name) {
  for (const option_entry& option : option_table) {
    if ((option.short_name != nullptr && name == option.short_name) ||
        name == option.long_name) {
      return &option;
    }
  }
  return nullptr;
}

void take_file_name(int argc, char** argv, int i, run_options& options) {
  options.has_input = true;
  options.input_name = argv[i];
  options.ignored.assign(argv + i + 1, argv + argc);
}

// The message for a value that may only follow "=" given apart.
std::string value_apart(const std::string& name, const std::string& value) {
  return "option '" + name + "' takes its value after '=' (" + name + "=" +
         value + "); a file named '" + value + "' is './" + value + "'";
}

bool ends_with(const std::string& text, const std::string& end) {
  return text.size() >= end.size() &&
         text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Sets what the program of --for needs and no option chose; refuses a
// choice the program cannot read.
bool apply_preset(run_options& o, std::string& error) {
  const program_preset& preset = *o.preset;
  const std::string name = preset.name;
  const std::string title = preset.title;
  // Programs that read CDB files tell them by the name's ".cdb" (ibus-skk
  // and fcitx5-skk by nothing else).
  const bool cdb_name = o.has_output && ends_with(o.output_name, ".cdb");
  if (o.cdb && !preset.reads_cdb) {
    error = title + " reads no CDB files";
    return false;
  }
  if (o.cdb && !cdb_name && (name == "ibus-skk" || name == "fcitx5-skk")) {
    error =
        title + " reads a dictionary as CDB only when its name ends in .cdb";
    return false;
  }
  o.cdb = o.cdb || (preset.reads_cdb && cdb_name);
  if (!o.has_to) {
    o.to = o.cdb ? output_encoding::euc_jp : preset.encoding;
    o.has_to = true;
  }
  const unsigned to_bit = 1u << static_cast<unsigned>(o.to);
  if ((preset.readable & to_bit) == 0) {
    error = title + " does not read " + output_encoding_title(o.to) +
            " dictionaries";
    return false;
  }
  if (o.cdb && o.to != output_encoding::euc_jp && name == "emacs-skk") {
    // skk-cdb-coding-system is one for all of Emacs SKK's CDB files, and
    // EUC-JP for the ones Debian installs.
    error = "Emacs SKK reads CDB files as EUC-JP";
    return false;
  }
  if (!o.sort_given) o.sort = preset.order;
  if (!o.eol_given) o.eol = line_end::lf;
  o.rules.unique = true;
  o.longest_line = preset.longest_line;
  o.longest_value = preset.longest_value;
  o.rules.concat = preset.concat;
  o.rules.program = preset.title;
  return true;
}

// The options and the file name, as they are given.
bool parse_arguments(int argc, char** argv, run_options& options,
                     std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") {
      if (i + 1 < argc) take_file_name(argc, argv, i + 1, options);
      return true;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      take_file_name(argc, argv, i, options);
      return true;
    }
    // "--name=value" carries its value in the same argument.
    std::string name = arg;
    const char* inline_value = nullptr;
    const std::size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      name = arg.substr(0, equals);
      inline_value = argv[i] + equals + 1;
    }
    const option_entry* option = find_option(name);
    if (option == nullptr) {
      error = "unknown option '" + (inline_value ? name : arg) + "'";
      return false;
    }
    std::string value;
    if (option->value == option_value::required) {
      if (inline_value != nullptr) {
        value = inline_value;
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        error = "option '" + name + "' needs a value";
        return false;
      }
    } else if (inline_value != nullptr) {
      if (option->value != option_value::after_equals) {
        error = "option '" + name + "' takes no value";
        return false;
      }
      if (*inline_value == '\0') {
        error = "option '" + name + "' needs a value after '='";
        return false;
      }
      value = inline_value;
    } else if (option->value == option_value::after_equals && i + 1 < argc &&
               *argv[i + 1]) {
      // "--sort bytes f" would sort in the default order and read a file
      // named "bytes": a value the option takes, given as a word of its
      // own, is refused.
      run_options tried;
      std::string unused;
      if (option->apply(tried, argv[i + 1], unused)) {
        error = value_apart(name, argv[i + 1]);
        return false;
      }
    }
    if (!option->apply(options, value, error)) return false;
  }
  return true;
}

}  // namespace

bool parse_command_line(int argc, char** argv, run_options& options,
                        std::string& error) {
  if (!parse_arguments(argc, argv, options, error)) return false;
  if (options.preset != nullptr && !apply_preset(options, error)) return false;
  if (options.cdb && !options.has_to) {
    options.to = output_encoding::euc_jp;  // as dictionary servers expect
    options.has_to = true;
  }
  return true;
}

std::vector<std::string> option_help_lines() {
  // The help text starts in this column, after the names and the value.
  constexpr std::size_t text_column = 26;
  std::vector<std::string> lines = {
      "options (before the file name; - reads standard input):"};
  for (const option_entry& option : option_table) {
    std::string line = "  ";
    if (option.short_name != nullptr) {
      line += std::string(option.short_name) + ", ";
    }
    line += option.long_name;
    if (option.value == option_value::required) {
      line += std::string(" ") + option.value_name;
    } else if (option.value == option_value::after_equals) {
      line += std::string("[=") + option.value_name + "]";
    }
    const std::string help = option.help;
    std::size_t start = 0;
    while (true) {
      // Names too long for their column would not be cut; the unit tests
      // keep every line's text in its column.
      if (line.size() < text_column) line.resize(text_column, ' ');
      const std::size_t end = help.find('\n', start);
      line += help.substr(start, end - start);
      lines.push_back(line);
      if (end == std::string::npos) break;
      line.clear();
      start = end + 1;
    }
  }
  return lines;
}

}  // namespace brenlow
