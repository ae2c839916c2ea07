#include "run/program_presets.h"

namespace brenlow {

namespace {

constexpr unsigned bit(output_encoding encoding) {
  return 1u << static_cast<unsigned>(encoding);
}

constexpr unsigned shift_jis = bit(output_encoding::shift_jis);
constexpr unsigned utf_8 = bit(output_encoding::utf_8);
constexpr unsigned euc_jp = bit(output_encoding::euc_jp);
constexpr unsigned euc_jis_2004 = bit(output_encoding::euc_jis_2004);
constexpr unsigned utf_16le = bit(output_encoding::utf_16le);

// What each program's dictionary reader takes, from its code and
// documentation; the client suites check those that run on Debian. libskk
// (and so ibus-skk and fcitx5-skk) reads no EUC-JIS-2004: its converter
// holds back a kana a combining mark could follow and never lets it go,
// which loses that reading and the next.
constexpr program_preset presets[] = {
    {"emacs-skk", "Emacs SKK", output_encoding::utf_8,
     shift_jis | utf_8 | euc_jp | euc_jis_2004, sort_order::skk,
     concat_reading::full, true, 0, 0, "ddskk"},
    {"ibus-skk", "ibus-skk", output_encoding::utf_8, shift_jis | utf_8 | euc_jp,
     sort_order::bytes, concat_reading::full, true, 0, 0, "on libskk"},
    {"fcitx5-skk", "fcitx5-skk", output_encoding::utf_8,
     shift_jis | utf_8 | euc_jp, sort_order::bytes, concat_reading::full, true,
     0, 0, "on libskk"},
    {"libskk", "libskk", output_encoding::utf_8, shift_jis | utf_8 | euc_jp,
     sort_order::bytes, concat_reading::full, true, 0, 0,
     "FileDict or CdbDict"},
    {"uim-skk", "uim-skk", output_encoding::euc_jp, euc_jp, sort_order::bytes,
     concat_reading::full, false, 0, 0, "EUC-JP only"},
    {"skkserv", "a dictionary server", output_encoding::euc_jp, euc_jp,
     sort_order::bytes, concat_reading::full, true,
     // yaskkserv's dictionary maker makes no dictionary of a file with a
     // longer line (exit status 0), and dbskkd-cdb's reply of "1", the
     // value and a line feed must fit its 4096 bytes.
     8193, 4093,
     "dbskkd-cdb serves the CDB, yaskkserv a dictionary made of the text"},
    {"aquaskk", "AquaSKK", output_encoding::utf_8, utf_8 | euc_jp,
     sort_order::bytes, concat_reading::none, false, 0, 0,
     "macOS; words that need a (concat ...) form are skipped"},
    {"macskk", "macSKK", output_encoding::utf_8, utf_8 | euc_jp,
     sort_order::bytes, concat_reading::slash_and_semicolon, false, 0, 0,
     "macOS; UTF-8 only with utf8 in the file's name"},
    {"corvusskk", "CorvusSKK", output_encoding::utf_16le,
     utf_8 | euc_jp | euc_jis_2004 | utf_16le, sort_order::bytes,
     concat_reading::full, false, 0, 0, "Windows"},
    {"skkeleton", "skkeleton", output_encoding::utf_8,
     shift_jis | utf_8 | euc_jp, sort_order::bytes, concat_reading::full, false,
     0, 0, "Vim and Neovim"},
};

// libskk takes iconv's names, in which EUC-JIS-2004 is EUC-JISX0213.
const char* iconv_name(output_encoding encoding) {
  switch (encoding) {
    case output_encoding::shift_jis: return "CP932";
    case output_encoding::utf_8: return "UTF-8";
    case output_encoding::euc_jp: return "EUC-JP";
    case output_encoding::euc_jis_2004: return "EUC-JISX0213";
    case output_encoding::utf_16le: return "UTF-16LE";
  }
  return "";
}

// Emacs's coding systems.
const char* emacs_coding(output_encoding encoding) {
  switch (encoding) {
    case output_encoding::shift_jis: return "cp932";
    case output_encoding::utf_8: return "utf-8";
    case output_encoding::euc_jp: return "euc-jp";
    case output_encoding::euc_jis_2004: return "euc-jis-2004";
    case output_encoding::utf_16le: return "utf-16le-with-signature";
  }
  return "";
}

// A Lisp string of text.
std::string lisp_string(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  return quoted + "\"";
}

// ibus-skk's entry "key=value,..." escapes ",", "=" and "\" in a value.
std::string ibus_value(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == ',' || c == '=' || c == '\\') escaped.push_back('\\');
    escaped.push_back(c);
  }
  return escaped;
}

// A word for a POSIX shell: as it is when it holds only characters no
// shell treats specially, else in single quotes.
std::string shell_word(const std::string& text) {
  const bool plain =
      !text.empty() && text.find_first_not_of(
                           "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVW"
                           "XYZ0123456789/._-+,:=@%") == std::string::npos;
  if (plain) return text;
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted.push_back(c);
    }
  }
  return quoted + "'";
}

}  // namespace

const program_preset* find_preset(const std::string& name) {
  for (const program_preset& preset : presets) {
    if (name == preset.name) return &preset;
  }
  return nullptr;
}

std::vector<std::string> preset_help_lines() {
  std::vector<std::string> lines = {
      "--for PROGRAM sets the output's encoding (--to), line end (lf), order "
      "(--sort)",
      "and --unique as PROGRAM reads them, then says how to register the "
      "file:"};
  for (const program_preset& preset : presets) {
    std::string line = std::string("  ") + preset.name;
    line.resize(14, ' ');
    lines.push_back(
        line + output_encoding_name(preset.encoding) + ", " +
        (preset.order == sort_order::skk ? "--sort=skk" : "--sort=bytes") +
        (preset.reads_cdb ? ", a CDB for -o NAME.cdb" : "") + ": " +
        preset.title + " (" + preset.note + ")");
  }
  return lines;
}

std::vector<std::string> registration(const program_preset& preset,
                                      const written_file& file) {
  const std::string name = preset.name;
  const std::string path =
      file.path.empty() ? "/path/to/SKK-JISYO.mine" : file.path;
  const std::string shown = file.path.empty() ? "the output" : "'" + path + "'";
  const std::string use = "to use " + shown + " in " + preset.title;
  if (name == "emacs-skk") {
    if (file.cdb) {
      return {use + ", add this line to ~/.skk:",
              "(add-to-list 'skk-search-prog-list '(skk-search-cdb-jisyo " +
                  lisp_string(path) + ") t)"};
    }
    return {use + ", add this line to ~/.skk:",
            "(add-to-list 'skk-extra-jisyo-file-list '(" + lisp_string(path) +
                " . " + emacs_coding(file.encoding) + "))"};
  }
  const std::string libskk_dict =
      std::string(file.cdb ? "CdbDict" : "FileDict");
  if (name == "libskk") {
    return {use + ", open it as:", "Skk." + libskk_dict + ".new(" +
                                       lisp_string(path) + ", \"" +
                                       iconv_name(file.encoding) + "\")"};
  }
  if (name == "ibus-skk") {
    // Three layers: ibus-skk's entry escapes ",", "=" and "\"; the list is
    // GVariant text, in double quotes escaping "\"" and "\"; the whole is
    // one shell word in single quotes.
    const auto entry = [](const std::string& text) {
      std::string quoted = "\"";
      for (char c : text) {
        if (c == '"' || c == '\\') quoted.push_back('\\');
        quoted.push_back(c);
      }
      return quoted + "\"";
    };
    const std::string user_dict = file.config_home + "/ibus-skk/user.dict";
    const std::string list =
        "[" +
        entry("type=file,file=" + ibus_value(user_dict) + ",mode=readwrite") +
        ", " +
        entry("type=file,file=/usr/share/skk/SKK-JISYO.L,mode=readonly") +
        ", " +
        entry("type=file,file=" + ibus_value(path) +
              ",mode=readonly,encoding=" + iconv_name(file.encoding)) +
        ", " + entry("type=server,host=localhost,port=1178") + "]";
    return {use +
                ", run this command (the list is ibus-skk's own with the "
                "file added):",
            "dconf write /desktop/ibus/engine/skk/dictionaries " +
                shell_word(list)};
  }
  if (name == "fcitx5-skk") {
    return {use +
                ", put these lines in ~/.local/share/fcitx5/skk/"
                "dictionary_list (the first two are fcitx5-skk's own; "
                "keep them):",
            "type=file,file=$FCITX_CONFIG_DIR/skk/user.dict,mode=readwrite",
            "type=file,file=/usr/share/skk/SKK-JISYO.L,mode=readonly",
            "type=file,file=" + path +
                ",mode=readonly,encoding=" + iconv_name(file.encoding)};
  }
  if (name == "uim-skk") {
    return {use + ", add this line to ~/.uim:",
            "(define skk-dic-file-name " + lisp_string(path) + ")"};
  }
  if (name == "skkserv") {
    if (file.cdb) {
      // dbskkd-cdb has no setting: it serves the file its alternatives link
      // names, which skkdic-cdb sets at priority 60.
      return {use + ", have dbskkd-cdb serve it (as root):",
              "update-alternatives --install /usr/share/skk/SKK-JISYO.cdb "
              "SKK-JISYO.cdb " +
                  shell_word(path) + " 100"};
    }
    return {use +
                ", put this line in /etc/default/yaskkserv, then run "
                "update-skkdic-yaskkserv and restart yaskkserv (as root):",
            "LOCAL_DICS=\"" + path + "\""};
  }
  if (name == "aquaskk") {
    return {use + ", add it in AquaSKK's settings (辞書):",
            std::string("type ") +
                (file.encoding == output_encoding::euc_jp ? "SKK辞書(EUC-JP)"
                                                          : "SKK辞書(UTF-8)") +
                ", location " + path};
  }
  if (name == "macskk") {
    return {use +
                ", copy it into macSKK's dictionary folder and turn it on "
                "in macSKK's settings (辞書):",
            "cp " + path +
                " ~/Library/Containers/net.mtgto.inputmethod.macSKK/Data/"
                "Documents/Dictionaries/"};
  }
  if (name == "corvusskk") {
    return {use + ", add it in CorvusSKK's settings (辞書) and press 取込:",
            "SKK辞書: " + path};
  }
  // skkeleton
  std::string encoding = output_encoding_name(file.encoding);
  if (file.encoding == output_encoding::shift_jis) encoding = "shift-jis";
  // A Vim string in single quotes doubles a quote.
  std::string vim_path = "'";
  for (char c : path) {
    if (c == '\'') vim_path.push_back('\'');
    vim_path.push_back(c);
  }
  return {use + ", add this to your Vim configuration:",
          "call skkeleton#config({'globalDictionaries': [[" + vim_path +
              "', '" + encoding + "']]})"};
}

std::string name_warning(const program_preset& preset,
                         const written_file& file) {
  if (std::string(preset.name) == "skkserv" && !file.cdb &&
      file.path.find_first_of(" \t\"'$`\\") != std::string::npos) {
    // Debian's update-skkdic-yaskkserv splits LOCAL_DICS at blanks.
    return "yaskkserv's LOCAL_DICS cannot name a file whose name holds a "
           "blank, a quote, $, ` or a backslash: move it to a folder "
           "without them";
  }
  if (std::string(preset.name) == "fcitx5-skk" &&
      file.path.find(',') != std::string::npos) {
    // Its dictionary_list splits a line at every comma, with no escape.
    return "fcitx5-skk cannot name a file whose name holds a comma: move it "
           "to a folder without one";
  }
  if (std::string(preset.name) != "macskk" ||
      file.encoding != output_encoding::utf_8 ||
      file.path.find("utf8") != std::string::npos) {
    return "";
  }
  return "macSKK reads a dictionary as UTF-8 only when its file name holds "
         "\"utf8\" (else as EUC-JP): name it like SKK-JISYO.mine.utf8";
}

}  // namespace brenlow
