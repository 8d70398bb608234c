#pragma once

#include <QFont>

#include "core/Twips.h"

class QWidget;

namespace vandrel {

// Sets the widget's geometry from twips: left, top, width, height.
void Place(QWidget* widget, int left, int top, int width, int height);

// Verdana where installed, else a sans-serif of similar width.
QFont Verdana(double points, bool bold);

}  // namespace vandrel
