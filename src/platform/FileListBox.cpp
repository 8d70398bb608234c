#include "platform/FileListBox.h"

#include <QSignalBlocker>

#include "core/FolderFiles.h"

namespace vandrel {

namespace {

// A name that is not UTF-8 would not survive the round trip through the shown text.
constexpr int kRawName = Qt::UserRole;

}  // namespace

void FileListBox::setPath(const std::string& folder) {
  Fill(folder);
  path_ = folder;
}

void FileListBox::Refresh() { Fill(path_); }

std::string FileListBox::FileName() const {
  const auto selected = widget_->selectedItems();
  if (selected.isEmpty()) return {};
  const QVariant raw = selected.front()->data(kRawName);
  return raw.isValid() ? raw.toByteArray().toStdString() : selected.front()->text().toStdString();
}

void FileListBox::Fill(const std::string& folder) {
  const auto names = ListFolderFiles(folder);  // throws before anything changes
  const std::string kept = FileName();
  // Re-reading is no choice of the user's, so it must not play a favourite.
  const QSignalBlocker quiet(widget_);
  widget_->clear();
  for (const std::string& name : names) {
    auto* item = new QListWidgetItem(QString::fromStdString(name), widget_);
    item->setData(kRawName, QByteArray::fromStdString(name));
    if (!kept.empty() && name == kept) widget_->setCurrentRow(widget_->count() - 1);
  }
}

}  // namespace vandrel
