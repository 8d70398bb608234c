#pragma once

#include <string>

namespace vandrel {

// The favourites folder beside the program, ending in "/".
std::string FavouritesFolder(const std::string& programFolder);

// The name a station is kept under, as file name and as its stored "naam":
// without the blanks and line breaks around it, which the stored value would
// lose, so adding it again finds its own file.
std::string FavouriteName(const std::string& stationName);

// Whether a name can name its favourite file inside the folder: not empty,
// not "." or "..", no "/" (which would leave the folder), no control
// characters (NUL, line breaks, terminal escapes), and not the form of a
// temporary, which the start removes. Every other character is kept as it
// stands, a leading "." too.
bool IsFavouriteFileName(const std::string& name);

// The favourite file of a name in a folder.
std::string FavouriteFile(const std::string& folder, const std::string& name);

// The stored name of the first favourite in the folder that plays this
// address, or the empty text.
std::string FavouriteNameFor(const std::string& folder, const std::string& address);

// INI section and keys of a favourite file, written in this order.
inline constexpr const char* kFavouriteSection = "Internet";
inline constexpr const char* kFavouriteName = "naam";
inline constexpr const char* kFavouriteUrl = "url";

}  // namespace vandrel
