#include "player/FavouriteFiles.h"

#include "platform/ProgramFolder.h"

namespace vandrel {

std::string FavouritesFolder(const std::string& programFolder) { return InFolder(programFolder, "favo/"); }

bool IsFavouriteFileName(const std::string& name) {
  return !name.empty() && name.front() != '.' && name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

std::string FavouriteFile(const std::string& folder, const std::string& name) { return InFolder(folder, name); }

}  // namespace vandrel
