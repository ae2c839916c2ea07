#include "run/command_line.h"

#include <cstring>

namespace brenlow {

const char* const usage_lines[3] = {"Brenlow Version 0.00",
                                    "usage:", "brenlow ime-textdic-file"};

const char* const option_lines[option_line_count] = {
    "options (before the file name; - reads standard input):",
    "  -o, --output FILE       write to FILE, replaced only after a complete "
    "write",
    "  --encoding NAME         the input's encoding: sjis, utf-8, utf-16le or",
    "                          utf-16be (default: its byte-order mark, else "
    "weighed)",
    "  --sort[=skk|bytes]      entries sorted: skk (the default) as Emacs SKK",
    "                          compares readings, bytes in byte order (libskk)",
    "  --okuri-ari             verbs and adjectives also as okuri-ari entries",
    "  --eol crlf|lf           line end of the output (default: crlf)",
    "  --strict                a line that cannot be converted is an error",
    "  --csv-quotes            \"\" is one quote and a lone \" is dropped, as "
    "in CSV",
    "  --raw-readings          readings as they are, not as SKK users type "
    "them",
    "  --no-annotations        no annotations from the comment field",
    "  -v, --verbose           a summary of the conversion on standard error",
    "  -h, --help              this text",
    "  --version               the version"};

namespace {

// Sets what an option means; value is empty for an option without one.
// Returns false with error set for a value it does not take.
using apply_option = bool (*)(run_options& options, const std::string& value,
                              std::string& error);

struct option_entry {
  const char* short_name;  // nullptr: none
  const char* long_name;
  bool takes_value;
  apply_option apply;
  // Takes a value only as "--name=value".
  bool value_optional = false;
};

constexpr option_entry option_table[] = {
    {"-o", "--output", true,
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
    {nullptr, "--encoding", true,
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
    {nullptr, "--eol", true,
     [](run_options& o, const std::string& value, std::string& error) {
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
    {nullptr, "--sort", false,
     [](run_options& o, const std::string& value, std::string& error) {
       if (value.empty() || value == "skk") {
         o.sort = sort_order::skk;
       } else if (value == "bytes") {
         o.sort = sort_order::bytes;
       } else {
         error = "unknown sort order '" + value + "' (use skk or bytes)";
         return false;
       }
       return true;
     },
     true},
    {nullptr, "--okuri-ari", false,
     [](run_options& o, const std::string&, std::string&) {
       return o.okuri_ari = true;
     }},
    {nullptr, "--strict", false,
     [](run_options& o, const std::string&, std::string&) {
       return o.strict = true;
     }},
    {nullptr, "--csv-quotes", false,
     [](run_options& o, const std::string&, std::string&) {
       return o.rules.csv_quotes = true;
     }},
    {nullptr, "--raw-readings", false,
     [](run_options& o, const std::string&, std::string&) {
       o.rules.typed_readings = false;
       return true;
     }},
    {nullptr, "--no-annotations", false,
     [](run_options& o, const std::string&, std::string&) {
       o.rules.annotations = false;
       return true;
     }},
    {"-v", "--verbose", false,
     [](run_options& o, const std::string&, std::string&) {
       return o.verbose = true;
     }},
    {"-h", "--help", false,
     [](run_options& o, const std::string&, std::string&) {
       return o.help = true;
     }},
    {nullptr, "--version", false,
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

}  // namespace

bool parse_command_line(int argc, char** argv, run_options& options,
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
    if (option->takes_value) {
      if (inline_value != nullptr) {
        value = inline_value;
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        error = "option '" + name + "' needs a value";
        return false;
      }
    } else if (inline_value != nullptr) {
      if (!option->value_optional) {
        error = "option '" + name + "' takes no value";
        return false;
      }
      if (*inline_value == '\0') {
        error = "option '" + name + "' needs a value after '='";
        return false;
      }
      value = inline_value;
    } else if (option->value_optional && i + 1 < argc && *argv[i + 1]) {
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

}  // namespace brenlow
