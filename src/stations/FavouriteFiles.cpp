#include "stations/FavouriteFiles.h"

#include "core/AtomicFile.h"
#include "core/FolderFiles.h"
#include "core/Ini.h"
#include "core/ProgramFolder.h"

namespace vandrel {

std::string FavouritesFolder(const std::string& programFolder) { return InFolder(programFolder, "favo/"); }

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// C0, DEL and C1 (U+0080 to U+009F, as UTF-8): terminal escapes among them.
bool HasControlCharacter(const std::string& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7F) return true;
    if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
        static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::string FavouriteName(const std::string& stationName) {
  std::size_t b = 0;
  std::size_t e = stationName.size();
  while (b < e && IsSpace(stationName[b])) ++b;
  while (e > b && IsSpace(stationName[e - 1])) --e;
  return stationName.substr(b, e - b);
}

bool IsFavouriteFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         !HasControlCharacter(name) && !IsTemporaryName(name);
}

std::string FavouriteFile(const std::string& folder, const std::string& name) { return InFolder(folder, name); }

std::string FavouriteNameFor(const std::string& folder, const std::string& address) {
  if (folder.empty() || address.empty()) return "";
  try {
    for (const std::string& file : ListFolderFiles(folder)) {
      const std::string path = FavouriteFile(folder, file);
      if (ReadIniWhole(path, kFavouriteSection, kFavouriteUrl) == address) {
        return ReadIni(path, kFavouriteSection, kFavouriteName);
      }
    }
  } catch (const std::exception&) {
    // an unreadable folder names nothing
  }
  return "";
}

}  // namespace vandrel
