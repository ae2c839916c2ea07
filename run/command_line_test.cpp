#include "run/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brenlow {

namespace {

struct parsed {
  bool ok;
  run_options options;
  std::string error;
};

parsed parse(std::vector<std::string> args) {
  args.insert(args.begin(), "brenlow");
  std::vector<char*> argv;
  argv.reserve(args.size());
  for (std::string& a : args) argv.push_back(a.data());
  parsed result;
  result.ok = parse_command_line(static_cast<int>(argv.size()), argv.data(),
                                 result.options, result.error);
  return result;
}

TEST(CommandLine, FileNameAndOptions) {
  struct {
    std::vector<std::string> args;
    std::string input;  // "" when none
    std::string output;
    sort_order sort;
    bool strict, verbose;
    line_end eol;
    encoding_choice encoding;
  } const cases[] = {
      {{"dict.txt"},
       "dict.txt",
       "",
       sort_order::input,
       false,
       false,
       line_end::crlf,
       encoding_choice::guess},
      {{"dict.txt", "--sort", "x"},
       "dict.txt",
       "",
       sort_order::input,
       false,
       false,
       line_end::crlf,
       encoding_choice::guess},
      {{"--sort", "--eol", "lf", "-o", "out.skk", "d.txt"},
       "d.txt",
       "out.skk",
       sort_order::skk,
       false,
       false,
       line_end::lf,
       encoding_choice::guess},
      {{"--sort=skk", "d"},
       "d",
       "",
       sort_order::skk,
       false,
       false,
       line_end::crlf,
       encoding_choice::guess},
      {{"--sort=bytes", "d"},
       "d",
       "",
       sort_order::bytes,
       false,
       false,
       line_end::crlf,
       encoding_choice::guess},
      {{"--sort=bytes", "--sort", "d"},
       "d",
       "",
       sort_order::skk,
       false,
       false,
       line_end::crlf,
       encoding_choice::guess},
      {{"--eol=lf", "--output=o", "--encoding=utf-8", "d"},
       "d",
       "o",
       sort_order::input,
       false,
       false,
       line_end::lf,
       encoding_choice::utf_8},
      {{"--encoding", "sjis", "--strict", "-v", "-"},
       "-",
       "",
       sort_order::input,
       true,
       true,
       line_end::crlf,
       encoding_choice::shift_jis},
      {{"--sort", "./bytes"},
       "./bytes",
       "",
       sort_order::skk,
       false,
       false,
       line_end::crlf,
       encoding_choice::guess},
      {{"--", "--sort"},
       "--sort",
       "",
       sort_order::input,
       false,
       false,
       line_end::crlf,
       encoding_choice::guess},
      {{"--verbose", "--"},
       "",
       "",
       sort_order::input,
       false,
       true,
       line_end::crlf,
       encoding_choice::guess},
      {{"-o", "-", "-"},
       "-",
       "-",
       sort_order::input,
       false,
       false,
       line_end::crlf,
       encoding_choice::guess},
  };
  for (const auto& c : cases) {
    const parsed p = parse(c.args);
    const std::string shown = ::testing::PrintToString(c.args);
    ASSERT_TRUE(p.ok) << shown << ": " << p.error;
    EXPECT_EQ(p.options.has_input, !c.input.empty()) << shown;
    EXPECT_EQ(p.options.input_name, c.input) << shown;
    EXPECT_EQ(p.options.output_name, c.output) << shown;
    EXPECT_EQ(p.options.sort, c.sort) << shown;
    EXPECT_EQ(p.options.strict, c.strict) << shown;
    EXPECT_EQ(p.options.verbose, c.verbose) << shown;
    EXPECT_EQ(p.options.eol, c.eol) << shown;
    EXPECT_EQ(p.options.encoding, c.encoding) << shown;
  }
}

TEST(CommandLine, Errors) {
  struct {
    std::vector<std::string> args;
    std::string error;
  } const cases[] = {
      {{"-x", "d.txt"}, "unknown option '-x'"},
      {{"--sorted", "d.txt"}, "unknown option '--sorted'"},
      {{"-o"}, "option '-o' needs a value"},
      {{"d.txt", "-o"}, ""},  // after the file name: ignored
      {{"--eol", "cr", "d"}, "unknown line end 'cr' (use crlf or lf)"},
      {{"--encoding", "euc", "d"},
       "unknown encoding 'euc' (use sjis, utf-8, utf-16le or utf-16be)"},
      {{"--sort=yes", "d"}, "unknown sort order 'yes' (use skk or bytes)"},
      // The order is given with "=" only: as a word of its own it would be
      // taken for the file name.
      {{"--sort", "bytes", "d"},
       "option '--sort' takes its value after '=' (--sort=bytes); a file "
       "named 'bytes' is './bytes'"},
      {{"--sort", "skk"},
       "option '--sort' takes its value after '=' (--sort=skk); a file "
       "named 'skk' is './skk'"},
      {{"--sort=", "d"}, "option '--sort' needs a value after '='"},
      // An empty argument is no order, but a file name (which fails to
      // open).
      {{"--sort", "", "d"}, ""},
      {{"--strict=1", "d"}, "option '--strict' takes no value"},
      {{"--encoding"}, "option '--encoding' needs a value"},
      // Refused at once, not after the whole conversion.
      {{"--output=", "d"}, "the output file name is empty"},
      {{"-o", "", "d"}, "the output file name is empty"},
      {{"--bogus=1", "d"}, "unknown option '--bogus'"},
      {{"-v=1", "d"}, "unknown option '-v=1'"},
  };
  for (const auto& c : cases) {
    const parsed p = parse(c.args);
    EXPECT_EQ(p.ok, c.error.empty()) << ::testing::PrintToString(c.args);
    EXPECT_EQ(p.error, c.error) << ::testing::PrintToString(c.args);
  }
}

TEST(CommandLine, EncodingNames) {
  struct {
    const char* name;
    encoding_choice encoding;
  } const cases[] = {
      {"sjis", encoding_choice::shift_jis},
      {"shift_jis", encoding_choice::shift_jis},
      {"cp932", encoding_choice::shift_jis},
      {"utf-8", encoding_choice::utf_8},
      {"utf8", encoding_choice::utf_8},
      {"utf-16le", encoding_choice::utf_16le},
      {"utf16le", encoding_choice::utf_16le},
      {"utf-16be", encoding_choice::utf_16be},
      {"utf16be", encoding_choice::utf_16be},
  };
  for (const auto& c : cases) {
    const parsed p = parse({"--encoding", c.name, "d"});
    EXPECT_TRUE(p.ok) << c.name << ": " << p.error;
    EXPECT_EQ(p.options.encoding, c.encoding) << c.name;
  }
}

TEST(CommandLine, WhatFollowsTheFileNameIsKeptAsIgnored) {
  struct {
    std::vector<std::string> args;
    std::vector<std::string> ignored;
  } const cases[] = {
      {{"d.txt"}, {}},
      {{"d.txt", "-o", "out.skk"}, {"-o", "out.skk"}},
      {{"--sort", "d.txt", "x"}, {"x"}},
      {{"--", "-d.txt", "--sort"}, {"--sort"}},
      {{"--"}, {}},
  };
  for (const auto& c : cases) {
    const parsed p = parse(c.args);
    ASSERT_TRUE(p.ok) << ::testing::PrintToString(c.args);
    EXPECT_EQ(p.options.ignored, c.ignored) << ::testing::PrintToString(c.args);
  }
}

TEST(CommandLine, HelpAndVersion) {
  EXPECT_TRUE(parse({"-h"}).options.help);
  EXPECT_TRUE(parse({"--help"}).options.help);
  EXPECT_TRUE(parse({"--version"}).options.version);
}

// The option lines of --help: names and value in the first 26 columns,
// the help text from column 26 on (a line of its own continues the text
// above it), within 80 columns. An option without help text, or with names
// too long for their column, breaks it.
TEST(CommandLine, HelpLinesKeepTheirColumns) {
  const std::vector<std::string> lines = option_help_lines();
  ASSERT_GT(lines.size(), 1U);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    ASSERT_GT(line.size(), 26U) << line;
    EXPECT_LE(line.size(), 80U) << line;
    EXPECT_EQ(line.compare(0, 2, "  "), 0) << line;
    EXPECT_EQ(line[25], ' ') << line;
    EXPECT_NE(line[26], ' ') << line;
    const std::string names = line.substr(2, 24);
    if (i == 1) {
      EXPECT_EQ(names[0], '-') << "help text without an option: " << line;
    }
    EXPECT_TRUE(names[0] == '-' || names[0] == ' ') << line;
  }
}

// Each option --help names is known to the parser, and each value it
// spells out ("crlf|lf", "[=skk|bytes]"; not a placeholder such as FILE) is
// taken, apart or after "=" as the line shows it.
TEST(CommandLine, HelpNamesWhatIsTaken) {
  int options_named = 0;
  for (const std::string& line : option_help_lines()) {
    if (line.size() < 3 || line[2] != '-') continue;
    std::string names = line.substr(2, 24);
    names.erase(names.find_last_not_of(' ') + 1);
    std::string value;
    if (const std::size_t bracket = names.find("[="); bracket != names.npos) {
      value = names.substr(bracket + 2, names.size() - bracket - 3);
      names.erase(bracket);
    } else if (const std::size_t space = names.rfind(' ');
               space != names.npos && names[space + 1] != '-') {
      value = names.substr(space + 1);
      names.erase(space);
    }
    const bool apart = line.find("[=") == std::string::npos;
    std::vector<std::string> values;
    if (value.find('|') != std::string::npos) {
      for (std::size_t start = 0;;) {
        const std::size_t bar = value.find('|', start);
        values.push_back(value.substr(start, bar - start));
        if (bar == value.npos) break;
        start = bar + 1;
      }
    }
    for (std::size_t start = 0;;) {
      const std::size_t comma = names.find(", ", start);
      const std::string name = names.substr(start, comma - start);
      ++options_named;
      const parsed alone = parse({name});
      EXPECT_EQ(alone.error.rfind("unknown option", 0), std::string::npos)
          << line << ": " << alone.error;
      for (const std::string& v : values) {
        const parsed with_value =
            apart ? parse({name, v, "d.txt"})
                  : parse({std::string(name).append("=").append(v), "d.txt"});
        EXPECT_TRUE(with_value.ok) << line << ": " << with_value.error;
      }
      if (comma == names.npos) break;
      start = comma + 2;
    }
  }
  EXPECT_GT(options_named, 0);
}

TEST(CommandLine, OkuriAri) {
  struct {
    std::vector<std::string> args;
    bool okuri_ari;
    std::string error;
  } const cases[] = {
      {{"--okuri-ari", "d.txt"}, true, ""},
      {{"d.txt"}, false, ""},
      {{"d.txt", "--okuri-ari"}, false, ""},  // after the file name: ignored
      {{"--okuri-ari=yes", "d.txt"},
       false,
       "option '--okuri-ari' takes no value"},
  };
  for (const auto& c : cases) {
    const parsed p = parse(c.args);
    const std::string shown = ::testing::PrintToString(c.args);
    EXPECT_EQ(p.error, c.error) << shown;
    EXPECT_EQ(p.options.okuri_ari, c.okuri_ari) << shown;
  }
}

}  // namespace

}  // namespace brenlow

namespace brenlow {
namespace {

// What --for sets where no option chose, and what an option changes.
TEST(CommandLine, ProgramPresets) {
  const auto euc_jp = output_encoding::euc_jp;
  const auto utf_8 = output_encoding::utf_8;
  struct {
    std::vector<std::string> args;
    output_encoding to;
    bool cdb;
    sort_order sort;
    line_end eol;
    concat_reading concat;
  } const cases[] = {
      {{"--for", "emacs-skk", "d"},
       utf_8,
       false,
       sort_order::skk,
       line_end::lf,
       concat_reading::full},
      {{"--for", "emacs-skk", "-o", "x.cdb", "d"},
       euc_jp,
       true,
       sort_order::skk,
       line_end::lf,
       concat_reading::full},
      {{"--for", "libskk", "d"},
       utf_8,
       false,
       sort_order::bytes,
       line_end::lf,
       concat_reading::full},
      {{"--for=ibus-skk", "-o", "a.cdb", "d"},
       euc_jp,
       true,
       sort_order::bytes,
       line_end::lf,
       concat_reading::full},
      {{"--for", "fcitx5-skk", "--to", "utf-8", "-o", "a.cdb", "d"},
       utf_8,
       true,
       sort_order::bytes,
       line_end::lf,
       concat_reading::full},
      {{"--for", "uim-skk", "-o", "a.cdb", "d"},
       euc_jp,
       false,
       sort_order::bytes,
       line_end::lf,
       concat_reading::full},
      {{"--for", "skkserv", "-o", "SKK-JISYO.mine", "d"},
       euc_jp,
       false,
       sort_order::bytes,
       line_end::lf,
       concat_reading::full},
      {{"--for", "skkserv", "--cdb", "-o", "SKK-JISYO.mine", "d"},
       euc_jp,
       true,
       sort_order::bytes,
       line_end::lf,
       concat_reading::full},
      {{"--for", "aquaskk", "--to", "EUC-JP", "d"},
       euc_jp,
       false,
       sort_order::bytes,
       line_end::lf,
       concat_reading::none},
      {{"--for", "macskk", "d"},
       utf_8,
       false,
       sort_order::bytes,
       line_end::lf,
       concat_reading::slash_and_semicolon},
      {{"--for", "corvusskk", "d"},
       output_encoding::utf_16le,
       false,
       sort_order::bytes,
       line_end::lf,
       concat_reading::full},
      {{"--for", "skkeleton", "--to", "sjis", "d"},
       output_encoding::shift_jis,
       false,
       sort_order::bytes,
       line_end::lf,
       concat_reading::full},
      // Options given win over the preset, before or after it.
      {{"--eol", "crlf", "--for", "emacs-skk", "--sort=bytes", "d"},
       utf_8,
       false,
       sort_order::bytes,
       line_end::crlf,
       concat_reading::full},
      // Without --for, --cdb writes EUC-JP unless --to says otherwise.
      {{"--cdb", "-o", "x", "d"},
       euc_jp,
       true,
       sort_order::input,
       line_end::crlf,
       concat_reading::full},
      {{"--cdb", "--to", "utf-8", "-o", "x", "d"},
       utf_8,
       true,
       sort_order::input,
       line_end::crlf,
       concat_reading::full},
  };
  for (const auto& c : cases) {
    const parsed p = parse(c.args);
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    ASSERT_TRUE(p.ok) << shown << p.error;
    EXPECT_TRUE(p.options.has_to) << shown;
    EXPECT_EQ(p.options.to, c.to) << shown;
    EXPECT_EQ(p.options.cdb, c.cdb) << shown;
    EXPECT_EQ(p.options.sort, c.sort) << shown;
    EXPECT_EQ(p.options.eol, c.eol) << shown;
    EXPECT_EQ(p.options.rules.concat, c.concat) << shown;
    EXPECT_EQ(p.options.rules.unique, c.args[0] != "--cdb") << shown;
  }
}

TEST(CommandLine, ProgramPresetRefusals) {
  struct {
    std::vector<std::string> args;
    std::string error;
  } const cases[] = {
      {{"--for", "vim", "d"}, "unknown program 'vim' (--for help lists them)"},
      {{"--for", "uim-skk", "--to", "utf-8", "d"},
       "uim-skk does not read UTF-8 dictionaries"},
      {{"--for", "corvusskk", "--to", "shift_jis", "d"},
       "CorvusSKK does not read Shift_JIS dictionaries"},
      {{"--for", "skkeleton", "--to", "euc-jis-2004", "d"},
       "skkeleton does not read EUC-JIS-2004 dictionaries"},
      // libskk's converter loses readings in EUC-JIS-2004.
      {{"--for", "ibus-skk", "--to", "euc-jis-2004", "d"},
       "ibus-skk does not read EUC-JIS-2004 dictionaries"},
      {{"--for", "libskk", "--to", "euc-jis-2004", "d"},
       "libskk does not read EUC-JIS-2004 dictionaries"},
      {{"--for", "aquaskk", "--cdb", "-o", "x.cdb", "d"},
       "AquaSKK reads no CDB files"},
      {{"--for", "ibus-skk", "--cdb", "-o", "x", "d"},
       "ibus-skk reads a dictionary as CDB only when its name ends in .cdb"},
      {{"--for", "emacs-skk", "--to", "utf-8", "-o", "x.cdb", "d"},
       "Emacs SKK reads CDB files as EUC-JP"},
      {{"--to", "latin1", "d"},
       "unknown output encoding 'latin1' (use shift_jis, utf-8, euc-jp, "
       "euc-jis-2004 or utf-16le)"},
  };
  for (const auto& c : cases) {
    const parsed p = parse(c.args);
    EXPECT_FALSE(p.ok) << c.error;
    EXPECT_EQ(p.error, c.error);
  }
}

}  // namespace
}  // namespace brenlow
