#pragma once

#include <QFont>

class QWidget;

namespace vandrel {

// 15 twips make one logical pixel; Qt scales logical pixels to the screen.
int Px(int twips);

// Sets the widget's geometry from twips: left, top, width, height.
void Place(QWidget* widget, int left, int top, int width, int height);

// Verdana where installed, else a sans-serif of similar width.
QFont Verdana(double points, bool bold);

}  // namespace vandrel
