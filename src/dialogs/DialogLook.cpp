#include "dialogs/DialogLook.h"

#include <QCheckBox>
#include <QChildEvent>

#include "platform/Accessibility.h"
#include "platform/Anchors.h"
#include "platform/Caption.h"
#include "platform/MessageBox.h"
#include "platform/Palette.h"
#include "platform/Twips.h"

namespace vandrel {

namespace {

// The style draws a check box's edge from the window colour, which leaves an
// unticked box faint on either palette; each box gets a stronger one.
class CheckBoxEdges : public QObject {
 public:
  CheckBoxEdges(QObject* dialog, bool dark) : QObject(dialog), edge_(PaletteColour("@edge", dark)) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::ChildPolished) return false;
    if (auto* box = qobject_cast<QCheckBox*>(static_cast<QChildEvent*>(event)->child())) {
      QPalette palette = box->palette();
      palette.setColor(QPalette::Window, edge_);
      box->setPalette(palette);
    }
    return false;
  }

 private:
  QColor edge_;
};

}  // namespace

void SetUpDialog(QDialog& dialog, const char* objectName, int widthTwips, int heightTwips) {
  dialog.setObjectName(objectName);
  dialog.setWindowTitle(QString());
  dialog.setModal(true);
  SetDialogFrame(dialog);
  dialog.setAttribute(Qt::WA_StyledBackground);
  // Selected by name so that message boxes shown over the dialog keep their
  // own look; the background is named too, since the main window's style
  // (the dialog's parent) gives its own Image1 the header's colours.
  const QString name = QString::fromLatin1(objectName);
  const bool dark = IsDarkPalette();
  UseFocusColours(dialog, dark);
  dialog.installEventFilter(new CheckBoxEdges(&dialog, dark));
  dialog.setStyleSheet(WithPalette(QStringLiteral("#%1, #%1 > #Image1 { background: @background; }"
                                                 "#%1 > QLabel, #%1 > QCheckBox { color: @text; }"
                                                 "#%1 > #Image2 { background: @header; }"
                                                 "#%1 > #Label1 { color: @headerText; }")
                                      .arg(name),
                                  dark));
  dialog.setFont(Verdana(8, false));
  dialog.resize(Px(widthTwips), Px(heightTwips));
}

DialogHeader AddDialogHeader(QDialog& dialog) {
  const DialogHeader header{Named(new Caption(&dialog), "Image1"), Named(new Caption(&dialog), "Image2"),
                            Named(new Caption(&dialog), "Label1")};
  Place(header.background, 0, 0, 1215, 495);
  Place(header.titleBar, 0, 0, 5175, 495);
  Place(header.heading, 120, 0, 4935, 495);
  header.background->setScaledContents(true);
  header.titleBar->setScaledContents(true);
  MakeHeading(header.heading);
  return header;
}

void MakeHeading(QLabel* label) {
  label->setFont(Verdana(18, true));
  label->setAlignment(Qt::AlignCenter);
  MakePlainLabel(label, false);
}

void MakePlainLabel(QLabel* label, bool wrap) {
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(wrap);
}

void MakeResultList(QListWidget* list) {
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list->setTextElideMode(Qt::ElideRight);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  MakeRoomyRows(list);
}

void LetListGrow(QDialog& dialog, const DialogParts& parts) {
  std::vector<Anchor> rules = {{parts.background, kWider | kTaller}, {parts.titleBar, kWider},
                               {parts.heading, kWider}, {parts.list, kWider | kTaller}};
  for (QWidget* button : parts.beside) rules.push_back({button, kRight});
  new Anchors(&dialog, rules);
}

int SelectedRow(const QListWidget* list) {
  const auto selected = list->selectedItems();
  return selected.isEmpty() ? -1 : list->row(selected.front());
}

}  // namespace vandrel
