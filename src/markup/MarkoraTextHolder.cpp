#include "markup/MarkoraTextHolder.h"

namespace vandrel {

void MarkoraTextHolder::setText(const std::string& text) {
  written_ = text;
  if (box_.isNull()) return;
  box_->setText(QString::fromStdString(text));
  shown_ = box_->Text();
}

std::string MarkoraTextHolder::text() const {
  if (box_.isNull()) return written_;
  const QString now = box_->Text();
  return now == shown_ ? written_ : now.toStdString();
}

}  // namespace vandrel
