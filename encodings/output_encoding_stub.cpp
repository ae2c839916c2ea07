// TEMPORARY until the tables land.
#include "encodings/output_encoding.h"
namespace brenlow {
const char* output_encoding_name(output_encoding e) {
  switch (e) {
    case output_encoding::shift_jis: return "shift_jis";
    case output_encoding::utf_8: return "utf-8";
    case output_encoding::euc_jp: return "euc-jp";
    case output_encoding::euc_jis_2004: return "euc-jis-2004";
    case output_encoding::utf_16le: return "utf-16le";
  }
  return "";
}
const char* output_encoding_title(output_encoding e) {
  switch (e) {
    case output_encoding::shift_jis: return "Shift_JIS";
    case output_encoding::utf_8: return "UTF-8";
    case output_encoding::euc_jp: return "EUC-JP";
    case output_encoding::euc_jis_2004: return "EUC-JIS-2004";
    case output_encoding::utf_16le: return "UTF-16LE";
  }
  return "";
}
bool output_encoding_of_name(std::string_view name, output_encoding& e) {
  std::string v(name);
  for (char& c : v) if (c >= 'A' && c <= 'Z') c = c - 'A' + 'a';
  if (v == "shift_jis" || v == "sjis" || v == "cp932") e = output_encoding::shift_jis;
  else if (v == "utf-8" || v == "utf8") e = output_encoding::utf_8;
  else if (v == "euc-jp" || v == "eucjp") e = output_encoding::euc_jp;
  else if (v == "euc-jis-2004") e = output_encoding::euc_jis_2004;
  else if (v == "utf-16le") e = output_encoding::utf_16le;
  else return false;
  return true;
}
output_encoding same_as(text_encoding held) {
  return held == text_encoding::utf_8 ? output_encoding::utf_8 : output_encoding::shift_jis;
}
unencodable_character find_unencodable(std::string_view text, text_encoding held, output_encoding e) {
  unencodable_character r;
  if (e == same_as(held) || (held == text_encoding::utf_8 && e == output_encoding::utf_16le)) return r;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) { r.offset = i; r.code_point = 0x3042; return r; }
  }
  return r;
}
void append_recoded(std::string_view text, text_encoding, output_encoding, std::string& out) { out.append(text); }
void append_utf_8_of(std::string_view text, output_encoding, std::string& out) { out.append(text); }
}  // namespace brenlow
