#include "platform/Caption.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QImageReader>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace vandrel {

namespace {

constexpr const char* kLinkProperty = "vandrelLink";

// Screen readers hear the caption (or the picture's name) and, for a link,
// "link". Asked at every reading: a label may become a link after an
// assistive tool first saw it.
class CaptionAccessible : public QAccessibleWidget {
 public:
  explicit CaptionAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::StaticText) {}
  QAccessible::Role role() const override {
    return widget()->property(kLinkProperty).toBool() ? QAccessible::Link : QAccessible::StaticText;
  }
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name) return QAccessibleWidget::text(t);
    const QString name = widget()->accessibleName();
    return name.isEmpty() ? static_cast<QLabel*>(widget())->text() : name;
  }
};

QAccessibleInterface* CaptionFactory(const QString& className, QObject* object) {
  if (className != QLatin1String("vandrel::Caption")) return nullptr;
  return new CaptionAccessible(static_cast<QWidget*>(object));
}

}  // namespace

QString PlainTip(const QString& text) {
  // Kept on one line, as a plain tip is.
  return text.isEmpty() ? QString() : "<p style='white-space:pre'>" + text.toHtmlEscaped() + "</p>";
}

Caption::Caption(QWidget* parent) : QLabel(parent) {
  static const bool installed = [] {
    QAccessible::installFactory(CaptionFactory);
    return true;
  }();
  (void)installed;
}

void Caption::setPicture(const QString& path, double keepLeft) {
  picturePath_ = path;
  keepLeft_ = keepLeft;
  renderedFor_ = QSize();
  update();
}

void Caption::render(QSize target) {
  renderedFor_ = target;
  QImageReader reader(picturePath_);
  reader.setDecideFormatFromContent(true);
  QSize pixels = target;
  const QSize natural = reader.size();
  if (keepLeft_ > 0 && natural.height() > 0) {
    pixels.setWidth(std::min(target.width(), natural.width() * target.height() / natural.height()));
  }
  reader.setScaledSize(pixels);  // vector pictures render at this size
  QImage image = reader.read();
  if (!image.isNull() && image.size() != pixels) {
    image = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  if (image.isNull() || pixels == target) {
    rendered_ = image;
    return;
  }
  rendered_ = QImage(target, QImage::Format_ARGB32_Premultiplied);
  rendered_.fill(Qt::transparent);
  QPainter painter(&rendered_);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const int kept = static_cast<int>(pixels.width() * keepLeft_);
  painter.drawImage(QRect(0, 0, kept, target.height()), image, QRect(0, 0, kept, pixels.height()));
  painter.drawImage(QRect(kept, 0, target.width() - kept, target.height()), image,
                    QRect(kept, 0, pixels.width() - kept, pixels.height()));
}

void Caption::paintEvent(QPaintEvent* event) {
  const QRect area = contentsRect();
  if (!picturePath_.isEmpty() && !area.isEmpty()) {
    const QSize pixels = area.size() * devicePixelRatioF();
    if (renderedFor_ != pixels) render(pixels);
    QPainter painter(this);
    painter.drawImage(area, rendered_);
  } else if (pixmap().isNull() && !wordWrap() && textFormat() != Qt::RichText) {
    QPainter painter(this);
    drawFrame(&painter);
    const QString whole = text();
    const QString shown = fontMetrics().elidedText(whole, Qt::ElideRight, area.width());
    elided_ = shown != whole;
    if (elided_ && (toolTip().isEmpty() || tipIsOurs_)) {
      setToolTip(PlainTip(whole));
      tipIsOurs_ = true;
    } else if (!elided_ && tipIsOurs_) {
      setToolTip({});
      tipIsOurs_ = false;
    }
    style()->drawItemText(&painter, area, QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shown, foregroundRole());
  } else {
    QLabel::paintEvent(event);
  }
  if (hasFocus()) {
    // In the text's own colour, so the mark shows on every background the
    // text is readable on.
    QPainter painter(this);
    painter.setPen(QPen(palette().color(foregroundRole()), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void SetPicture(QLabel* label, const QString& path, const QPixmap& loaded, double keepLeft) {
  if (auto* caption = qobject_cast<Caption*>(label)) caption->setPicture(path, keepLeft);
  label->setPixmap(loaded);
}

void MakeLink(QLabel* label, const QString& pictureName) {
  label->setProperty(kLinkProperty, true);
  label->setFocusPolicy(Qt::TabFocus);
  if (!pictureName.isEmpty()) label->setAccessibleName(pictureName);
}

}  // namespace vandrel
