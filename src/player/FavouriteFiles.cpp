#include "player/FavouriteFiles.h"

#include "platform/FolderFiles.h"
#include "platform/ProgramFolder.h"
#include "settings/Ini.h"

namespace vandrel {

std::string FavouritesFolder(const std::string& programFolder) { return InFolder(programFolder, "favo/"); }

bool IsFavouriteFileName(const std::string& name) {
  return !name.empty() && name.front() != '.' && name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

std::string FavouriteFile(const std::string& folder, const std::string& name) { return InFolder(folder, name); }

std::string FavouriteNameFor(const std::string& folder, const std::string& address) {
  if (folder.empty() || address.empty()) return "";
  try {
    for (const std::string& file : ListFolderFiles(folder)) {
      const std::string path = FavouriteFile(folder, file);
      if (ReadIni(path, kFavouriteSection, kFavouriteUrl) == address) return ReadIni(path, kFavouriteSection, kFavouriteName);
    }
  } catch (const std::exception&) {
    // an unreadable folder names nothing
  }
  return "";
}

}  // namespace vandrel
