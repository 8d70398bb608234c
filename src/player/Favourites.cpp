#include "player/Favourites.h"

#include <unistd.h>

#include <cerrno>
#include <exception>
#include <filesystem>

#include "platform/FileListBox.h"
#include "platform/MessageBox.h"
#include "player/FavouriteFiles.h"
#include "player/Form1.h"
#include "settings/Ini.h"

namespace vandrel {

namespace {

constexpr const char* kProgramTitle = "Vandrel Internet Radio";

bool IsStored(const std::string& file) {
  std::error_code ec;
  return std::filesystem::is_regular_file(file, ec);
}

}  // namespace

void Command1_Click(Form1& form, FileListBox& File1) {
  try {
    const std::string name = form.station().name();
    if (name.empty()) {
      form.boxes().NoticeBox("error11");
      return;
    }
    // The name comes from the directory: it must not lead out of the folder.
    if (!IsFavouriteFileName(name)) {
      form.boxes().ErrorBox("error12");
      return;
    }
    const std::string file = FavouriteFile(FavouritesFolder(form.programFolder()), name);
    WriteIni(file, kFavouriteSection, kFavouriteName, name);
    WriteIni(file, kFavouriteSection, kFavouriteUrl, form.station().address());
    File1.Refresh();
    // The INI layer reports no failure; a favourite that silently went
    // missing would let the user believe it was kept.
    if (!IsStored(file)) form.boxes().ErrorBox("error12");
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
    const std::string file = FavouriteFile(FavouritesFolder(form.programFolder()), name);
    // A file that is no favourite gives the empty name and address, silently.
    form.station().PlayNamed(ReadIni(file, kFavouriteSection, kFavouriteName),
                             ReadIni(file, kFavouriteSection, kFavouriteUrl));
  } catch (const std::exception&) {
    form.boxes().ErrorBox("error12");
  }
}

}  // namespace vandrel
