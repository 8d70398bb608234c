#pragma once

#include <string>

namespace vandrel {

// The favourites folder beside the program, ending in "/".
std::string FavouritesFolder(const std::string& programFolder);

// Whether a station name can name its favourite file inside the folder: not
// empty, no "/" or NUL (which would leave the folder or cut the name), and no
// leading "." (".", "..", and hidden files, which the list never shows).
// Every other character is kept as it stands.
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
