#pragma once

#include <functional>
#include <string>

namespace vandrel {

// Texts of the current language, read from lang.ini afresh at every use so an
// edited file shows at once.
class LanguageTable {
 public:
  LanguageTable(std::string langIniPath, std::function<std::string()> currentLanguage);

  std::string text(const std::string& key) const;

 private:
  std::string path_;
  std::function<std::string()> language_;
};

}  // namespace vandrel
