#include "dialogs/HistoryWindow.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QHeaderView>

#include "core/PercentEncoding.h"
#include "dialogs/Captions.h"
#include "dialogs/DialogLook.h"
#include "platform/Accessibility.h"
#include "platform/Anchors.h"
#include "platform/Stacking.h"
#include "platform/Twips.h"

namespace vandrel {

std::string LookUpAddress(const std::string& title) { return "https://duckduckgo.com/?q=" + PercentEncoded(title); }

HistoryWindow::HistoryWindow(SongLog& log, const LanguageTable& texts,
                             std::function<void(const std::string&)> openInBrowser, QWidget* parent)
    : QDialog(parent), log_(log), openInBrowser_(std::move(openInBrowser)) {
  SetUpDialog(*this, "HistoryWindow", 8130, 4815);
  setModal(false);
  const DialogHeader header = AddDialogHeader(*this);
  Image1 = header.background;
  Image2 = header.titleBar;
  Label1 = header.heading;
  List1 = Named(new QTreeWidget(this), "List1");
  FrameList(List1);
  Command1 = Named(new QPushButton(this), "Command1");
  Command2 = Named(new QPushButton(this), "Command2");
  Command3 = Named(new QPushButton(this), "Command3");
  Command4 = Named(new QPushButton(this), "Command4");
  Place(Image2, 0, 0, 8175, 495);
  Place(Label1, 120, 0, 7935, 495);
  //     control    left  top   width  height
  Place(List1,      120,  720,  6135,  3855);
  Place(Command1,   6480, 720,  1455,  375);
  Place(Command2,   6480, 1200, 1455,  375);
  Place(Command3,   6480, 1680, 1455,  375);
  Place(Command4,   6480, 4200, 1455,  375);
  Image1->setGeometry(0, 0, width(), height());
  List1->setRootIsDecorated(false);
  List1->setUniformRowHeights(true);
  List1->setHeaderLabels({QString::fromStdString(texts.text("xtime")), QString::fromStdString(texts.text("xstation")),
                          QString::fromStdString(texts.text("xtitle"))});
  List1->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  List1->header()->setStretchLastSection(true);
  Label1->setBuddy(List1);
  SetCaptions(texts, {{Label1, "xhistory"}, {Command1, "xcopy"}, {Command2, "xlookup"}, {Command3, "xclear"},
                      {Command4, "xclose"}});
  new Anchors(this, {{Image1, kWider | kTaller}, {Image2, kWider}, {Label1, kWider}, {List1, kWider | kTaller},
                     {Command1, kRight}, {Command2, kRight}, {Command3, kRight}, {Command4, kRight | kDown}});
  connect(Command1, &QPushButton::clicked, this, &HistoryWindow::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &HistoryWindow::Command2_Click);
  connect(Command3, &QPushButton::clicked, this, &HistoryWindow::Command3_Click);
  connect(Command4, &QPushButton::clicked, this, &QDialog::close);
  connect(List1, &QTreeWidget::itemActivated, this, &HistoryWindow::Command1_Click);
  connect(&log_, &SongLog::historyChanged, this, &HistoryWindow::fill);
  fill();
  RaiseWindowedControls(this);
  MarkControlFocus(this);
  NameBuddies(this);
  List1->setFocus();
}

void HistoryWindow::fill() {
  List1->clear();
  const auto& songs = log_.history().songs();
  QList<QTreeWidgetItem*> items;
  for (auto song = songs.rbegin(); song != songs.rend(); ++song) {
    const QString time = QDateTime::fromSecsSinceEpoch(song->time).toString("yyyy-MM-dd HH:mm");
    items.push_back(new QTreeWidgetItem({time, QString::fromStdString(song->station), QString::fromStdString(song->title)}));
  }
  List1->addTopLevelItems(items);
  if (!items.isEmpty()) List1->setCurrentItem(items.front());
}

std::string HistoryWindow::selectedTitle() const {
  const QTreeWidgetItem* item = List1->currentItem();
  return item == nullptr ? "" : item->text(2).toStdString();
}

void HistoryWindow::Command1_Click() {
  if (const std::string title = selectedTitle(); !title.empty()) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(title));
  }
}

void HistoryWindow::Command2_Click() {
  if (const std::string title = selectedTitle(); !title.empty()) openInBrowser_(LookUpAddress(title));
}

void HistoryWindow::Command3_Click() { log_.clearHistory(); }

}  // namespace vandrel
