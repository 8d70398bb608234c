#pragma once

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <initializer_list>

#include "platform/Named.h"

namespace vandrel {

// The make-up the dialogs share: a client area in twips, no caption text,
// and the look they have before (or without) their skins.
void SetUpDialog(QDialog& dialog, const char* objectName, int widthTwips, int heightTwips);

struct DialogHeader {
  QLabel* background;  // Image1, stretched to the dialog
  QLabel* titleBar;    // Image2
  QLabel* heading;     // Label1
};

// Creates and places the parts both dialogs start with, bottom first.
DialogHeader AddDialogHeader(QDialog& dialog);

// The heading on the title bar: Verdana 18 pt bold, centred.
void MakeHeading(QLabel* label);

// A label whose text from the language file is shown as it stands.
void MakePlainLabel(QLabel* label, bool wrap);

// A result list: long names are cut with an ellipsis rather than scrolled.
void MakeResultList(QListWidget* list);

struct DialogParts {
  QLabel* background;  // stretched to the dialog
  QLabel* titleBar;
  QLabel* heading;
  QListWidget* list;
  std::initializer_list<QWidget*> beside;  // the buttons right of the list
};

// Lets the dialog grow from its design size: the list takes the room, the
// buttons beside it follow its right edge. The parts stand at their design
// places when this is called.
void LetListGrow(QDialog& dialog, const DialogParts& parts);

// The row of the selected line, or -1 when none is selected.
int SelectedRow(const QListWidget* list);

}  // namespace vandrel
