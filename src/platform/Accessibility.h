#pragma once

#include <QListWidget>

namespace vandrel {

// Gives the window's buttons, check boxes, sliders and combo boxes a focus
// mark of their own: styles draw the default button alike with and without
// the focus, and the others' focus faintly.
void MarkControlFocus(QWidget* window);

// Rows tall enough for accents above capitals and descenders below, and a
// focus mark that shows on an empty list too.
void MakeRoomyRows(QListWidget* list);
// The list's frame and focus mark in the palette's set; again when it turns.
void FrameList(QAbstractItemView* list);

// Gives the controls their captions' texts as names for screen readers (the
// caption's buddy); call again when the captions change language.
void NameBuddies(QWidget* window);

}  // namespace vandrel
