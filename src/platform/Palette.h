#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

class QWidget;

namespace vandrel {

// Whether a palette is a dark one: its window colour is darker than mid grey.
bool IsDarkPalette(const QPalette& palette);
// The application's, as the desktop hands it over.
bool IsDarkPalette();

// The colours the windows, dialogs and the web panel show before (or
// without) their skin pictures or a page's own colours, named once in a
// light and a dark set: a style sheet writes them as @background, @text,
// @header (the title bar's gradient), @headerText, @navy (headings), @link,
// @frame (a panel's edge), @focus, @page and @pageText (the web panel's
// pages), @groove and @thumb (its scroll bar), @edge (a check box's edge).
QString WithPalette(QString sheet, bool dark);
// With the set of the application's palette.
QString WithPalette(QString sheet);
// One colour of a set, by its name ("@focus"); not for @header.
QColor PaletteColour(const char* name, bool dark);

// The window's focus frames and selections in its set's focus colour: the
// styles draw them in the palette's highlight, which a desktop may give in a
// shade its own windows' backgrounds show but ours do not.
void UseFocusColours(QWidget& window, bool dark);

}  // namespace vandrel
