#include "run/command_line.h"

#include <cstring>

namespace brenlow {

const char* const usage_lines[3] = {"Brenlow Version 0.00", "usage:",
                                    "brenlow ime-textdic-file"};

const char* const option_lines[11] = {
    "options (before the file name; - reads standard input):",
    "  -o, --output FILE       write to FILE, replaced only after a complete write",
    "  --encoding sjis|utf-8   the input's encoding (default: from its byte-order",
    "                          mark, else UTF-8 if it is valid UTF-8, else Shift_JIS)",
    "  --sort[=skk|bytes]      entries sorted: skk (the default) as Emacs SKK",
    "                          compares readings, bytes in byte order (libskk)",
    "  --eol crlf|lf           line end of the output (default: crlf)",
    "  --strict                a line that cannot be converted is an error",
    "  -v, --verbose           a summary of the conversion on standard error",
    "  -h, --help              this text",
    "  --version               the version"};

namespace {

// The value of an option given as "--name value" or "--name=value".
bool take_value(int argc, char** argv, int& i, const char* inline_value,
                const std::string& name, std::string& value,
                std::string& error) {
  if (inline_value != nullptr) {
    value = inline_value;
    return true;
  }
  if (i + 1 >= argc) {
    error = "option '" + name + "' needs a value";
    return false;
  }
  value = argv[++i];
  return true;
}

}  // namespace

bool parse_command_line(int argc, char** argv, run_options& options,
                        std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") {
      if (i + 1 < argc) {
        options.has_input = true;
        options.input_name = argv[i + 1];
      }
      return true;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      options.has_input = true;
      options.input_name = arg;
      return true;  // what follows the file name is ignored
    }
    std::string name = arg;
    const char* inline_value = nullptr;
    const std::size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      name = arg.substr(0, equals);
      inline_value = argv[i] + equals + 1;
    }
    std::string value;
    if (name == "-o" || name == "--output") {
      if (!take_value(argc, argv, i, inline_value, name, value, error)) {
        return false;
      }
      options.has_output = true;
      options.output_name = value;
    } else if (name == "--encoding") {
      if (!take_value(argc, argv, i, inline_value, name, value, error)) {
        return false;
      }
      if (value == "sjis" || value == "shift_jis" || value == "cp932") {
        options.encoding = encoding_choice::shift_jis;
      } else if (value == "utf-8" || value == "utf8") {
        options.encoding = encoding_choice::utf_8;
      } else {
        error = "unknown encoding '" + value + "' (use sjis or utf-8)";
        return false;
      }
    } else if (name == "--eol") {
      if (!take_value(argc, argv, i, inline_value, name, value, error)) {
        return false;
      }
      if (value == "crlf") {
        options.eol = line_end::crlf;
      } else if (value == "lf") {
        options.eol = line_end::lf;
      } else {
        error = "unknown line end '" + value + "' (use crlf or lf)";
        return false;
      }
    } else if (name == "--sort") {
      const std::string order = inline_value ? inline_value : "skk";
      if (order == "skk") {
        options.sort = sort_order::skk;
      } else if (order == "bytes") {
        options.sort = sort_order::bytes;
      } else {
        error = "unknown sort order '" + order + "' (use skk or bytes)";
        return false;
      }
    } else if (inline_value != nullptr) {
      error = "option '" + name + "' takes no value";
      return false;
    } else if (arg == "--strict") {
      options.strict = true;
    } else if (arg == "-v" || arg == "--verbose") {
      options.verbose = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else {
      error = "unknown option '" + arg + "'";
      return false;
    }
  }
  return true;
}

}  // namespace brenlow
