#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vandrel::reference {

// The tagged-list rule written out loop for loop, quadratic on purpose: the fast parser must give exactly this.
inline std::vector<std::vector<std::string>> ParseTaggedListNaive(std::string_view text,
                                                                  const std::vector<std::string>& tags) {
  auto upper = [](std::string_view s) {
    std::string u(s);
    for (char& c : u) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return u;
  };
  const std::string folded = upper(text);
  std::vector<std::vector<std::string>> values(tags.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    for (std::size_t t = 0; t < tags.size(); ++t) {
      const std::string tag = upper(tags[t]);
      if (folded.compare(i, tag.size() + 2, "<" + tag + ">") != 0) continue;
      // The first closing tag from the opening's own position on: the two may overlap.
      const std::size_t close = folded.find("</" + tag + ">", i);
      if (close == std::string::npos) continue;
      const std::size_t start = i + tag.size() + 2;
      values[t].push_back(close > start ? std::string(text.substr(start, close - start)) : std::string());
      break;
    }
  }
  return values;
}

}  // namespace vandrel::reference
