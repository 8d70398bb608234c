#include "window/Favourites.h"

#include <unistd.h>

#include <cerrno>
#include <exception>
#include <filesystem>

#include "core/Ini.h"
#include "platform/FileListBox.h"
#include "platform/MessageBox.h"
#include "stations/FavouriteFiles.h"
#include "window/Form1.h"

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

void Command1_Click(Form1& form, FileListBox& File1) {
  try {
    const std::string name = FavouriteName(form.station().name());
    if (name.empty()) {
      form.boxes().NoticeBox("error11");
      return;
    }
    // The name comes from the directory: it must not lead out of the folder.
    if (!IsFavouriteFileName(name)) {
      form.boxes().ErrorBox("error12");
      return;
    }
    const std::string file = FavouriteFile(FavouritesFolder(form.settingsFolder()), name);
    const std::string address = form.station().address();
    // One replace: a full disk or a crash leaves no name without its address.
    WriteIniValues(file, {{kFavouriteSection, kFavouriteName, name}, {kFavouriteSection, kFavouriteUrl, address}});
    File1.Refresh();
    // A favourite that went missing, or kept its old address, would let the
    // user believe it was kept.
    if (!IsStored(file, name, address)) form.boxes().ErrorBox("error12");
  } catch (const std::exception&) {
    form.boxes().ErrorBox("error12");
  }
}

void Command2_Click(Form1& form, FileListBox& File1) {
  const std::string name = File1.FileName();
  if (name.empty()) {
    ShowMessageBox(&form, QMessageBox::NoIcon, kProgramTitle, form.texts().Text("error13"));
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
  if (failed) form.boxes().ErrorBox("error12");
}

void File1_Click(Form1& form, FileListBox& File1) {
  try {
    const std::string name = File1.FileName();
    if (name.empty()) return;
    const std::string file = FavouriteFile(FavouritesFolder(form.settingsFolder()), name);
    // A file that is no favourite gives the empty name and address, silently.
    form.station().PlayNamed(ReadIni(file, kFavouriteSection, kFavouriteName),
                             ReadIniWhole(file, kFavouriteSection, kFavouriteUrl));
  } catch (const std::exception&) {
    form.boxes().ErrorBox("error12");
  }
}

}  // namespace vandrel
