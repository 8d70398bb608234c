#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vandrel::directory {

// Text as the search and the file names compare it: lower case, Latin
// accents taken off (so "Café" and "cafe" meet), Greek and Cyrillic in
// lower case, punctuation and control characters turned into blanks.
// Bytes that are not valid UTF-8 are kept as they stand.
class TextFold {
 public:
  static std::string Fold(std::string_view utf8);

  // The words of folded text: runs of ASCII letters and digits and of
  // characters beyond ASCII, split at everything else.
  static std::vector<std::string_view> Words(std::string_view folded);
};

}  // namespace vandrel::directory
