#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vandrel::reference {

// The tagged-list rule written out loop for loop, quadratic on purpose: the
// fast parser must give exactly what this gives.
inline std::vector<std::vector<std::string>> ParseTaggedListNaive(std::string_view text,
                                                                  const std::vector<std::string>& tags) {
  auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
  auto startsWith = [&](std::size_t pos, const std::string& pattern) {
    if (pos + pattern.size() > text.size()) return false;
    for (std::size_t k = 0; k < pattern.size(); ++k) {
      if (upper(text[pos + k]) != pattern[k]) return false;
    }
    return true;
  };

  std::vector<std::string> names;
  for (const std::string& tag : tags) {
    std::string u;
    for (char c : tag) u += upper(c);
    names.push_back(u);
  }
  std::vector<std::vector<std::string>> values(tags.size());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t t = 0; t < names.size(); ++t) {
      const std::string& tag = names[t];
      const std::string closing = "</" + tag + ">";
      if (!startsWith(i, "<" + tag + ">")) continue;
      const std::size_t s = i + tag.size() + 2;
      bool found = false;
      for (std::size_t j = i; j + tag.size() + 3 <= n; ++j) {
        if (startsWith(j, closing)) {
          values[t].push_back(j > s ? std::string(text.substr(s, j - s)) : std::string());
          found = true;
          break;
        }
      }
      if (found) break;
    }
  }
  return values;
}

}  // namespace vandrel::reference
