#pragma once

#include <QRect>
#include <QString>

class QWidget;

namespace vandrel {

// Keeps a box centred on the window of its parent, or on the screen when
// that window is hidden or missing, whatever size the box takes on showing.
void CentreOnParent(QWidget* box);

// Where a remembered window geometry ("left,top,width,height") lands: at
// least the design size, moved and shrunk wholly onto the screen that holds
// most of it, even below the design on a smaller screen; unreadable or on no
// screen, the design size (or the screen's, if smaller) centred on the
// primary screen.
QRect RestoredGeometry(const QString& remembered, QSize design);
// A window's rectangle wholly inside a screen's room: shrunk to it if larger, then moved onto it.
QRect FittedInto(QRect wanted, const QRect& room);
QString GeometryText(const QRect& geometry);

}  // namespace vandrel
