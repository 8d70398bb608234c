#include "platform/Stacking.h"

#include <QFrame>
#include <QLabel>
#include <QWidget>

namespace vandrel {

bool IsWindowless(const QWidget* control) {
  return qobject_cast<const QLabel*>(control) != nullptr || control->metaObject() == &QFrame::staticMetaObject;
}

void RaiseWindowedControls(QWidget* form) {
  for (QWidget* control : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!IsWindowless(control)) control->raise();
  }
}

}  // namespace vandrel
