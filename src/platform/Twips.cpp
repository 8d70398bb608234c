#include "platform/Twips.h"

#include <QStringList>
#include <QWidget>

namespace vandrel {

void Place(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

QFont Verdana(double points, bool bold) {
  QFont font;
  font.setFamilies({"Verdana", "DejaVu Sans", "Liberation Sans"});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

}  // namespace vandrel
