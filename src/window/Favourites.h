#pragma once

#include <QWidget>

#include "control/StationController.h"
#include "core/LanguageTable.h"
#include "platform/FileListBox.h"
#include "platform/LanguageBoxes.h"

namespace vandrel {

// The favourites of the main window. A favourite is an INI file in the
// settings' "favo" folder, named after the station; File1 is the file list
// box over that folder (its Path set by the start-up sequence).
struct FavouritePorts {
  StationController& controller;
  FileListBox& File1;
  const LanguageTable& texts;
  const LanguageBoxes& boxes;
  QWidget* window;  // over which the boxes stand
};

// Stores the current station under its shown name with the player's address
// and re-reads File1. A name that cannot be a file name inside the folder,
// or a file that could not be written, gives the "error12" box.
void AddFavourite(const FavouritePorts& ports);

// Deletes the selected favourite and re-reads File1.
void RemoveFavourite(const FavouritePorts& ports);

// Plays the chosen favourite under its stored name.
void PlayFavourite(const FavouritePorts& ports);

// A station of the user's own, or the selected favourite (edit), through
// the station dialog: kept under the name typed (a renamed favourite leaves
// its old file), and played at once if asked. A name that another favourite
// has already is replaced only when the user says so.
void AddOwnStation(const FavouritePorts& ports);
void EditFavourite(const FavouritePorts& ports);

// The favourites (all, or only the selected one) as an M3U or PLS file, by
// the path's extension. False, with the "error12" box, when it could not be written.
bool ExportFavourites(const FavouritePorts& ports, const std::string& path, bool selectedOnly);

// The web radio stations of an M3U, M3U8, PLS or XSPF file as favourites;
// a box says how many were taken and skipped. One with the name of an
// existing favourite and another address replaces it only when the user says so.
void ImportFavourites(const FavouritePorts& ports, const std::string& path);

}  // namespace vandrel
