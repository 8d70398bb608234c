#include "window/Favourites.h"

#include <unistd.h>

#include <cerrno>
#include <exception>
#include <filesystem>

#include <fstream>

#include "core/AtomicFile.h"
#include "core/FolderFiles.h"
#include "core/Ini.h"
#include "dialogs/StationDialog.h"
#include "platform/FileListBox.h"
#include "platform/MessageBox.h"
#include "stations/FavouriteFiles.h"
#include "stations/PlaylistFiles.h"

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

std::string FolderOf(const FavouritePorts& ports) { return FavouritesFolder(ports.controller.settingsFolder()); }

bool Exists(const std::string& file) {
  std::error_code ec;
  return std::filesystem::is_regular_file(file, ec);
}

bool Store(const std::string& file, const std::string& name, const std::string& address) {
  WriteIniValues(file, {{kFavouriteSection, kFavouriteName, name}, {kFavouriteSection, kFavouriteUrl, address}});
  return IsStored(file, name, address);
}

// Whether the user lets this name's other favourite go.
bool MayReplace(const FavouritePorts& ports, const std::string& name) {
  const QString text = QString::fromStdString(ports.texts.text("xreplace")) + "\n\n" + QString::fromStdString(name);
  return QMessageBox::question(ports.window, QString::fromStdString(ports.texts.text("error0")), text) ==
         QMessageBox::Yes;
}

void Keep(const FavouritePorts& ports, const std::string& oldName) {
  StationDialog dialog(ports.texts, oldName,
                       oldName.empty() ? "" : ReadIniWhole(FavouriteFile(FolderOf(ports), oldName), kFavouriteSection, kFavouriteUrl),
                       ports.window);
  if (dialog.exec() != QDialog::Accepted) return;
  const std::string name = dialog.name();
  const std::string file = FavouriteFile(FolderOf(ports), name);
  if (name != oldName && Exists(file) && !MayReplace(ports, name)) return;
  bool kept = Store(file, name, dialog.address());
  if (kept && !oldName.empty() && name != oldName) kept = ::unlink(FavouriteFile(FolderOf(ports), oldName).c_str()) == 0;
  try {
    ports.File1.Refresh();
  } catch (const std::exception&) {
    kept = false;
  }
  if (!kept) {
    ports.boxes.errorBox("error12");
    return;
  }
  if (dialog.playNow()) ports.controller.station().playNamed(name, dialog.address());
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

namespace vandrel {

void AddOwnStation(const FavouritePorts& ports) { Keep(ports, ""); }

void EditFavourite(const FavouritePorts& ports) {
  const std::string name = ports.File1.FileName();
  if (name.empty() || !IsFavouriteFileName(name)) {
    ShowMessageBox(ports.window, QMessageBox::NoIcon, kProgramTitle, ports.texts.text("xnoselection"));
    return;
  }
  Keep(ports, name);
}

bool ExportFavourites(const FavouritePorts& ports, const std::string& path, bool selectedOnly) {
  try {
    const std::string folder = FolderOf(ports);
    std::vector<std::string> names;
    if (selectedOnly) {
      if (!ports.File1.FileName().empty()) names.push_back(ports.File1.FileName());
    } else {
      names = ListFolderFiles(folder);
    }
    std::vector<PlaylistEntry> stations;
    for (const std::string& name : names) {
      const std::string file = FavouriteFile(folder, name);
      const std::string address = ReadIniWhole(file, kFavouriteSection, kFavouriteUrl);
      if (!address.empty()) stations.push_back({ReadIni(file, kFavouriteSection, kFavouriteName), address});
    }
    const bool pls = path.size() >= 4 && QString::fromStdString(path.substr(path.size() - 4)).toLower() == ".pls";
    if (ReplaceFileAtomically(path, pls ? WritePls(stations) : WriteM3u(stations), 0644)) return true;
  } catch (const std::exception&) {
  }
  ports.boxes.errorBox("error12");
  return false;
}

void ImportFavourites(const FavouritePorts& ports, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(kMaxPlaylistFileBytes + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (!in.eof() && !in) {
    ports.boxes.errorBox("error12");
    return;
  }
  const ImportedPlaylist read = ReadPlaylist(bytes);
  std::size_t taken = 0;
  std::size_t skipped = read.skipped;
  const std::string folder = FolderOf(ports);
  for (const PlaylistEntry& station : read.stations) {
    const std::string file = FavouriteFile(folder, station.name);
    const bool same = Exists(file) && ReadIniWhole(file, kFavouriteSection, kFavouriteUrl) == station.address;
    if (!IsFavouriteFileName(station.name) || (!same && Exists(file) && !MayReplace(ports, station.name)) ||
        (!same && !Store(file, station.name, station.address))) {
      ++skipped;
      continue;
    }
    ++taken;
  }
  try {
    ports.File1.Refresh();
  } catch (const std::exception&) {
  }
  const QString text = QString::fromStdString(ports.texts.text("ximported")).arg(taken).arg(skipped);
  ShowMessageBox(ports.window, QMessageBox::Information, ports.texts.text("error0"), text.toStdString());
}

}  // namespace vandrel
