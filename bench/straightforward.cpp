// The straightforward converter brenlow is measured against: what a
// first version would be, with none of brenlow's rules. It reads the TAB
// text line by line with std::getline, takes the fields before the first
// two TABs, files each word under its reading in a std::unordered_map of
// std::string to std::vector<std::string>, and writes "reading /w1/w2/"
// lines in the order readings first appeared. No encoding is decided or
// converted, no reading checked or retyped, no word rewritten.
//
//   straightforward FILE > OUT
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <unordered_map>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: straightforward FILE\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "straightforward: cannot open " << argv[1] << "\n";
    return 1;
  }
  std::unordered_map<std::string, std::vector<std::string>> words;
  std::vector<const std::string*> order;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '!') continue;
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0) continue;
    const std::size_t end = line.find('\t', tab + 1);
    std::string word = line.substr(
        tab + 1, end == std::string::npos ? std::string::npos : end - tab - 1);
    const auto found = words.try_emplace(line.substr(0, tab));
    if (found.second) order.push_back(&found.first->first);
    found.first->second.push_back(std::move(word));
  }
  std::string out = ";; okuri-ari entries.\n;; okuri-nasi entries.\n";
  for (const std::string* reading : order) {
    out += *reading;
    out += " /";
    for (const std::string& word : words[*reading]) {
      out += word;
      out += '/';
    }
    out += '\n';
    if (out.size() >= (1 << 20)) {
      if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) {
        return 1;
      }
      out.clear();
    }
  }
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) return 1;
  return std::fflush(stdout) == 0 ? 0 : 1;
}
