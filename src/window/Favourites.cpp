#include "window/Favourites.h"

#include <unistd.h>

#include <cerrno>
#include <exception>
#include <filesystem>

#include "core/Ini.h"
#include "platform/FileListBox.h"
#include "platform/MessageBox.h"
#include "stations/FavouriteFiles.h"

namespace vandrel {

namespace {

constexpr const char* kProgramTitle = "Vandrel Internet Radio";

// What a reader gets back: the INI layer cuts trailing blanks.
std::string AsStored(std::string value) {
  while (!value.empty() && value.back() == ' ') value.pop_back();
  return value;
}

bool IsStored(const std::string& file, const std::string& name, const std::string& address) {
  std::error_code ec;
  return std::filesystem::is_regular_file(file, ec) && ReadIni(file, kFavouriteSection, kFavouriteName) == name &&
         ReadIniWhole(file, kFavouriteSection, kFavouriteUrl) == AsStored(address);
}

}  // namespace

void AddFavourite(const FavouritePorts& ports) {
  const CurrentStation& station = ports.controller.station();
  try {
    const std::string name = FavouriteName(station.name());
    if (name.empty()) {
      ports.boxes.noticeBox("error11");
      return;
    }
    // The name comes from the directory: it must not lead out of the folder.
    if (!IsFavouriteFileName(name)) {
      ports.boxes.errorBox("error12");
      return;
    }
    const std::string file = FavouriteFile(FavouritesFolder(ports.controller.settingsFolder()), name);
    const std::string address = station.address();
    // One replace: a full disk or a crash leaves no name without its address.
    WriteIniValues(file, {{kFavouriteSection, kFavouriteName, name}, {kFavouriteSection, kFavouriteUrl, address}});
    ports.File1.Refresh();
    // A favourite that went missing, or kept its old address, would let the
    // user believe it was kept.
    if (!IsStored(file, name, address)) ports.boxes.errorBox("error12");
  } catch (const std::exception&) {
    ports.boxes.errorBox("error12");
  }
}

void RemoveFavourite(const FavouritePorts& ports) {
  FileListBox& File1 = ports.File1;
  const std::string name = File1.FileName();
  if (name.empty()) {
    ShowMessageBox(ports.window, QMessageBox::NoIcon, kProgramTitle, ports.texts.text("error13"));
    return;
  }
  // Only a file of the folder goes; unlink, not remove, so that a folder that
  // took the file's place stays.
  bool failed = File1.Path().empty() || !IsFavouriteFileName(name) ||
                (::unlink(FavouriteFile(File1.Path(), name).c_str()) != 0 && errno != ENOENT);
  try {
    File1.Refresh();
  } catch (const std::exception&) {
    failed = true;
  }
  if (failed) ports.boxes.errorBox("error12");
}

void PlayFavourite(const FavouritePorts& ports) {
  try {
    const std::string name = ports.File1.FileName();
    if (name.empty()) return;
    const std::string file = FavouriteFile(FavouritesFolder(ports.controller.settingsFolder()), name);
    // A file that is no favourite gives the empty name and address, silently.
    ports.controller.station().playNamed(ReadIni(file, kFavouriteSection, kFavouriteName),
                             ReadIniWhole(file, kFavouriteSection, kFavouriteUrl));
  } catch (const std::exception&) {
    ports.boxes.errorBox("error12");
  }
}

}  // namespace vandrel
