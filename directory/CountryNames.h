#pragma once

#include <string>
#include <string_view>

namespace vandrel::directory {

// Which country list a station goes in. The two-letter code decides when
// it is known, so the file names stay the same whatever spelling a dump
// uses; otherwise the dump's country name does.
class CountryNames {
 public:
  struct Country {
    std::string displayName;  // as the country chooser shows it
    std::string fileStem;     // file name without ".txt": [a-z0-9-], never empty
  };

  // code is an ISO 3166-1 alpha-2 code in any case (may be empty), name the
  // dump's English country name (may be empty). Neither known: International.
  static Country For(std::string_view code, std::string_view name);

  // Lower-case ASCII letters and digits of the folded text, every other run
  // as one '-', at most 60 characters; empty when nothing is left.
  static std::string Stem(std::string_view name);
};

}  // namespace vandrel::directory
