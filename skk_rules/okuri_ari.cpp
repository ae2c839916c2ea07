#include "skk_rules/okuri_ari.h"

#include <algorithm>

#include "base/byte_facts.h"
#include "encodings/text_encoding.h"

namespace brenlow {

namespace {

// Index of a hiragana in U+3041..U+3093.
constexpr int kana(char32_t c) { return static_cast<int>(c - first_hiragana); }
constexpr int kana_count = hiragana_count;

// One character per kana, row by row: the letter, 'J' for じ, 'Q' for っ,
// '-' for none.
constexpr char kana_letters[] =
    "-a-i-u-e-o"       // ぁあぃいぅうぇえぉお
    "kgkgkgkgkg"       // かがきぎくぐけげこご
    "szsJszszsz"       // さざしじすずせぜそぞ
    "tdtdQtdtdtd"      // ただちぢっつづてでとど
    "nnnnn"            // なにぬねの
    "hbphbphbphbphbp"  // はばぱひびぴふぶぷへべぺほぼぽ
    "mmmmm"            // まみむめも
    "-y-y-y"           // ゃやゅゆょよ
    "rrrrr"            // らりるれろ
    "-w--wn";          // ゎわゐゑをん
static_assert(sizeof kana_letters - 1 == kana_count, "one letter per kana");

// The kana at text[pos], or -1; length gets the character's byte length.
int kana_at(std::string_view text, std::size_t pos, text_encoding encoding,
            std::size_t& length) {
  length = char_length(text, pos, encoding);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  if (encoding == text_encoding::shift_jis) {
    return length == 2 ? hiragana_of_pair(bytes[0], bytes[1]) : -1;
  }
  if (length != 3 || bytes[0] != 0xE3) return -1;
  const int code = ((bytes[1] & 0x3F) << 6) | (bytes[2] & 0x3F);
  const int k = code - static_cast<int>(first_hiragana & 0xFFF);
  return k >= 0 && k < kana_count ? k : -1;
}

void append_kana(std::string& out, int k, text_encoding encoding) {
  if (encoding == text_encoding::shift_jis) {
    out.push_back(static_cast<char>(hiragana_lead));
    out.push_back(static_cast<char>(first_hiragana_trail + k));
  } else {
    append_utf_8(out, first_hiragana + static_cast<char32_t>(k));
  }
}

std::vector<int> kana_of(std::string_view text, text_encoding encoding) {
  std::vector<int> found;
  for (std::size_t pos = 0, length = 0; pos < text.size(); pos += length) {
    found.push_back(kana_at(text, pos, encoding, length));
  }
  return found;
}

bool starts_character(std::string_view text, std::size_t boundary,
                      text_encoding encoding) {
  std::size_t pos = 0;
  while (pos < boundary) pos += char_length(text, pos, encoding);
  return pos == boundary;
}

// The kana the dictionary form of the class ends with.
std::vector<int> dictionary_ending(conjugation_class conjugates) {
  switch (conjugates.kind) {
    case conjugation::godan: {
      const char rows[] = "kgstnbmrwh";
      const char32_t endings[] = U"くぐすつぬぶむるうふ";
      for (int i = 0; rows[i] != 0; ++i) {
        if (rows[i] == conjugates.row) return {kana(endings[i])};
      }
      return {};
    }
    case conjugation::ichidan:
    case conjugation::kahen: return {kana(U'る')};
    case conjugation::keiyoushi: return {kana(U'い')};
    case conjugation::sahen: return {kana(U'す'), kana(U'る')};
    case conjugation::zahen: return {kana(U'ず'), kana(U'る')};
    case conjugation::rahen: return {kana(U'り')};
    case conjugation::none: break;
  }
  return {};
}

// Letters of the keys of conjugated forms beyond the run's own, when the
// run is only the class's ending.
std::string_view conjugated_letters(conjugation_class conjugates) {
  switch (conjugates.kind) {
    case conjugation::godan:
      switch (conjugates.row) {
        case 'k': return "ki";  // 書いた
        case 'g': return "gi";  // 泳いだ
        case 't': return "tt";
        case 'r': return "rt";      // 取った
        case 'w': return "wiueot";  // 笑わない, 笑った
        case 'n': return "nn";      // 死んだ
        case 'b': return "bn";      // 飛んだ
        case 'm': return "mn";      // 読んだ
        default: return {};
      }
    case conjugation::ichidan:
      return "rntmy";  // 見る, 見ない, 見た, 見ます, 見よう
    case conjugation::keiyoushi: return "iks";  // 高い, 高かった, 高さ
    default: return {};
  }
}

void add_key(std::string_view stem_reading, char letter,
             std::string_view candidate, std::vector<okuri_ari_pair>& pairs,
             std::size_t first_of_word) {
  std::string key(stem_reading);
  key.push_back(letter);
  for (std::size_t i = first_of_word; i < pairs.size(); ++i) {
    if (pairs[i].key == key) return;
  }
  pairs.push_back({std::move(key), candidate});
}

void add_keys(std::string_view stem_reading, std::string_view letters,
              std::string_view candidate, std::vector<okuri_ari_pair>& pairs,
              std::size_t first_of_word) {
  for (char letter : letters) {
    if (letter == 'J') {
      add_key(stem_reading, 'j', candidate, pairs, first_of_word);
      add_key(stem_reading, 'z', candidate, pairs, first_of_word);
    } else if (letter != '-') {
      add_key(stem_reading, letter, candidate, pairs, first_of_word);
    }
  }
}

// 来る: くる, こない, こい, こよう, きた, きます, きなさい.
void add_kahen_keys(std::string_view before_ku, std::string_view candidate,
                    text_encoding encoding, std::vector<okuri_ari_pair>& pairs,
                    std::size_t first_of_word) {
  const struct {
    char32_t stem_kana;
    const char* letters;
  } forms[] = {{U'く', "r"}, {U'こ', "niy"}, {U'き', "tmn"}};
  for (const auto& form : forms) {
    std::string stem(before_ku);
    append_kana(stem, kana(form.stem_kana), encoding);
    add_keys(stem, form.letters, candidate, pairs, first_of_word);
  }
}

bool is_iku(std::string_view word, text_encoding encoding) {
  return word ==
         (encoding == text_encoding::shift_jis ? "\x8D\x73\x82\xAD" : "行く");
}

}  // namespace

std::string_view letters_of_kana(int k) {
  if (k < 0 || k >= kana_count) return {};
  const char* letter = &kana_letters[k];
  if (*letter == 'J') return "jz";
  if (*letter == '-' || *letter == 'Q') return {};
  return {letter, 1};
}

std::size_t trailing_hiragana_run(std::string_view word,
                                  text_encoding encoding) {
  std::size_t run_start = 0;
  std::size_t length = 0;
  for (std::size_t pos = 0; pos < word.size(); pos += length) {
    if (kana_at(word, pos, encoding, length) < 0) run_start = pos + length;
  }
  return word.size() - run_start;
}

bool derive_okuri_ari(std::string_view reading, std::string_view word,
                      conjugation_class conjugates, text_encoding encoding,
                      std::vector<okuri_ari_pair>& pairs) {
  if (conjugates.kind == conjugation::none) return false;
  const std::string_view original_word = word;
  const std::vector<int> ending = dictionary_ending(conjugates);
  std::vector<int> word_kana = kana_of(word, encoding);
  std::string full_word;
  std::string full_reading;
  if (word_kana.size() < ending.size() ||
      !std::equal(ending.begin(), ending.end(),
                  word_kana.end() - static_cast<long>(ending.size()))) {
    // A stem: the word is read with its dictionary ending.
    full_word = word;
    full_reading = reading;
    for (int k : ending) {
      append_kana(full_word, k, encoding);
      append_kana(full_reading, k, encoding);
    }
    word = full_word;
    reading = full_reading;
  }
  const std::size_t run = trailing_hiragana_run(word, encoding);
  if (run == 0 || run == word.size() || reading.size() < run) return false;
  const std::string_view okurigana = word.substr(word.size() - run);
  const std::size_t stem_size = reading.size() - run;
  // A reading that is only the okurigana leaves a key of one letter, which
  // no typing looks up.
  if (stem_size == 0 || reading.substr(stem_size) != okurigana ||
      !starts_character(reading, stem_size, encoding)) {
    return false;
  }
  const std::string_view stem_reading = reading.substr(0, stem_size);
  const std::string_view candidate = original_word.substr(0, word.size() - run);
  if (conjugates.kind == conjugation::sahen &&
      kana_of(candidate, encoding).size() != 1) {
    return false;  // SKK files サ変 nouns without okurigana
  }
  const std::vector<int> run_kana = kana_of(okurigana, encoding);
  const std::size_t first_of_word = pairs.size();
  std::string_view first_letters = letters_of_kana(run_kana[0]);
  if (run_kana[0] == kana(U'っ')) {
    first_letters = run_kana.size() > 1 ? letters_of_kana(run_kana[1]) : "t";
  }
  const bool only_ending = run_kana == ending;
  if (conjugates.kind == conjugation::kahen && only_ending) {
    std::size_t length = 0;
    std::size_t last = 0;
    for (std::size_t pos = 0; pos < stem_reading.size(); pos += length) {
      last = pos;
      kana_at(stem_reading, pos, encoding, length);
    }
    if (!stem_reading.empty() &&
        kana_at(stem_reading, last, encoding, length) == kana(U'く')) {
      add_kahen_keys(stem_reading.substr(0, last), candidate, encoding, pairs,
                     first_of_word);
      return true;
    }
  }
  add_keys(stem_reading, first_letters, candidate, pairs, first_of_word);
  if (only_ending) {
    add_keys(stem_reading, conjugated_letters(conjugates), candidate, pairs,
             first_of_word);
    if (conjugates.kind == conjugation::godan && is_iku(word, encoding)) {
      add_key(stem_reading, 't', candidate, pairs, first_of_word);  // 行った
    }
  }
  return pairs.size() > first_of_word;
}

bool okuri_ari_candidate_form(std::string_view candidate,
                              text_encoding encoding, bool csv_quotes,
                              std::string& out) {
  if (!(candidate.empty() || candidate.front() == '[') &&
      !needs_concat(candidate, encoding)) {
    return false;
  }
  out.clear();
  encode_concat(candidate, out, encoding, csv_quotes);
  if (out == "(concat \"\")") out.clear();
  return true;
}

}  // namespace brenlow
