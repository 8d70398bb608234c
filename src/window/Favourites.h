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

}  // namespace vandrel
