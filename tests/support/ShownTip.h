#pragma once

#include <QString>
#include <QTextDocument>

namespace vandrel::test {

// The text a tip shows: Qt renders any tip that looks like markup as markup.
inline QString ShownTip(const QString& tip) {
  if (!Qt::mightBeRichText(tip)) return tip;
  QTextDocument page;
  page.setHtml(tip);
  return page.toPlainText();
}

}  // namespace vandrel::test
