#include "markup/MarkoraTextHolder.h"

namespace vandrel {

Markora* MarkoraTextHolder::box() const {
  if (make_) {
    box_ = make_();
    make_ = nullptr;
  }
  return box_;
}

void MarkoraTextHolder::setText(const std::string& text) {
  written_ = text;
  Markora* shownIn = box();
  if (!shownIn) return;
  shownIn->setText(QString::fromStdString(text));
  shown_ = shownIn->Text();
}

std::string MarkoraTextHolder::text() const {
  Markora* shownIn = box();
  if (!shownIn) return written_;
  const QString now = shownIn->Text();
  return now == shown_ ? written_ : now.toStdString();
}

}  // namespace vandrel
