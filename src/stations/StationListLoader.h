#pragma once

#include <string>

#include "core/HttpClient.h"
#include "core/ListBox.h"
#include "core/TextHolder.h"

namespace vandrel {

struct StationLists {
  ListBox& names;      // List1
  ListBox& urls;       // List2
  ListBox& homepages;  // List3
};

// Clears the three lists and fills them from the country's list file.
// Returns false when the download failed (the lists are then empty) or the
// list passed the parse bound (they keep the values below it); the caller
// shows its error box.
bool LoadStationLists(HttpClient& http, TextHolder& downloadInfo, const std::string& baseAddress,
                      const std::string& bestand, StationLists lists);

}  // namespace vandrel
