#pragma once

#include <QListWidget>
#include <string>

namespace vandrel {

// A file list box: shows the names of the regular, not hidden files of one
// folder in a list widget, read when the folder is set and at each Refresh.
class FileListBox {
 public:
  explicit FileListBox(QListWidget* widget) : widget_(widget) {}

  // Sets the folder and reads it. Throws std::filesystem::filesystem_error
  // when it cannot be read (a missing folder, for one); the box then keeps
  // its old folder and contents.
  void setPath(const std::string& folder);
  const std::string& Path() const { return path_; }

  // Reads the folder again. A name that was selected and is still there stays
  // selected, without the list raising a selection change. Throws as setPath.
  void Refresh();

  // The selected file name, or "" when none is selected.
  std::string FileName() const;

 private:
  void Fill(const std::string& folder);

  QListWidget* widget_;
  std::string path_;
};

}  // namespace vandrel
