#include "core/LanguageTable.h"

#include <utility>

#include "core/Ini.h"

namespace vandrel {

LanguageTable::LanguageTable(std::string langIniPath, std::function<std::string()> currentLanguage)
    : path_(std::move(langIniPath)), language_(std::move(currentLanguage)) {}

std::string LanguageTable::text(const std::string& key) const {
  return ReadIni(path_, language_(), key);
}

}  // namespace vandrel
