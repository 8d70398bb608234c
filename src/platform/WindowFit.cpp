#include "platform/WindowFit.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QAbstractItemView>
#include <QHelpEvent>
#include <QStyledItemDelegate>
#include <QToolTip>
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

class RoomyRows : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QFontMetrics metrics(option.font);
    // The ink of accented capitals and descenders can reach past the font's
    // nominal height in fallback fonts.
    const int ink = metrics.boundingRect(QStringLiteral("ÅÖÉÇgjpqy|")).height();
    size.setHeight(std::max(size.height(), std::max(ink, metrics.height()) + 4));
    return size;
  }
  // A name cut with "…" shows whole in a tip.
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override {
    if (event->type() != QEvent::ToolTip || !index.data(Qt::ToolTipRole).isNull()) {
      return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QRect room = view->style()->subElementRect(QStyle::SE_ItemViewItemText, &item, view);
    if (item.fontMetrics.horizontalAdvance(item.text) + 6 > room.width()) {
      QToolTip::showText(event->globalPos(), PlainTip(item.text), view);
    } else {
      QToolTip::hideText();
    }
    return true;
  }
};

// Lies over a button, lets the mouse through, and draws a dotted frame
// while the button has the focus (painted after the button, as its child).
class FocusMark : public QWidget {
 public:
  explicit FocusMark(QWidget* button) : QWidget(button) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    button->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    return false;
  }
  void paintEvent(QPaintEvent*) override {
    if (!parentWidget()->hasFocus()) return;
    QPainter painter(this);
    painter.setPen(QPen(parentWidget()->palette().color(QPalette::ButtonText), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(3, 3, -4, -4));
  }
};

class Centring : public QObject {
 public:
  explicit Centring(QWidget* box) : QObject(box), box_(box) { box->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == box_ && (event->type() == QEvent::Show || event->type() == QEvent::Resize)) Centre();
    return false;
  }

 private:
  void Centre() {
    const QWidget* owner = box_->parentWidget() != nullptr ? box_->parentWidget()->window() : nullptr;
    QPoint centre;
    if (owner != nullptr && owner->isVisible()) {
      centre = owner->geometry().center();
    } else {
      const QScreen* screen = owner != nullptr ? owner->screen() : box_->screen();
      centre = screen->availableGeometry().center();
    }
    const QPoint frameOffset = box_->geometry().topLeft() - box_->pos();
    box_->move(centre - QPoint(box_->width() / 2, box_->height() / 2) - frameOffset);
  }
  QWidget* box_;
};

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

void Caption::Render(QSize target) {
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
    if (renderedFor_ != pixels) Render(pixels);
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

Anchors::Anchors(QWidget* window, std::vector<std::pair<QWidget*, unsigned>> rules)
    : QObject(window), window_(window), design_(window->size()) {
  window->setMinimumSize(design_);
  window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  for (const auto& [control, follow] : rules) rules_.push_back({control, follow, control->geometry()});
  window->installEventFilter(this);
}

void Anchors::Rebase(QWidget* control) {
  const int dx = std::max(0, window_->width() - design_.width());
  const int dy = std::max(0, window_->height() - design_.height());
  for (Rule& rule : rules_) {
    if (rule.control != control) continue;
    QRect r = control->geometry();
    if (rule.follow & kRight) r.translate(-dx, 0);
    if (rule.follow & kDown) r.translate(0, -dy);
    if (rule.follow & kWider) r.setWidth(r.width() - dx);
    if (rule.follow & kTaller) r.setHeight(r.height() - dy);
    rule.design = r;
  }
}

bool Anchors::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::Resize) Apply();
  return false;
}

void Anchors::Apply() {
  const int dx = std::max(0, window_->width() - design_.width());
  const int dy = std::max(0, window_->height() - design_.height());
  for (const Rule& rule : rules_) {
    QRect r = rule.design;
    if (rule.follow & kRight) r.translate(dx, 0);
    if (rule.follow & kDown) r.translate(0, dy);
    if (rule.follow & kWider) r.setWidth(r.width() + dx);
    if (rule.follow & kTaller) r.setHeight(r.height() + dy);
    rule.control->setGeometry(r);
  }
}

void MakeRoomyRows(QListWidget* list) {
  list->setItemDelegate(new RoomyRows(list));
  list->setUniformItemSizes(true);  // a 5,000-station country lays out at once
  list->setStyleSheet(QStringLiteral("QListWidget { border: 1px solid palette(mid); }"
                                     "QListWidget:focus { border: 1px solid palette(highlight); }"));
}

void MarkButtonFocus(QWidget* window) {
  for (QPushButton* button : window->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
    (new FocusMark(button))->setGeometry(button->rect());
  }
}

void GiveRoom(QLabel* label) {
  QWidget* window = label->parentWidget();
  const QRect at = label->geometry();
  const int needed = label->fontMetrics().horizontalAdvance(label->text()) + label->width() -
                     label->contentsRect().width() + 2;
  if (needed <= at.width()) return;
  int limit = window->width();
  for (const QWidget* other : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QRect g = other->geometry();
    const auto* picture = qobject_cast<const QLabel*>(other);
    const bool background = picture != nullptr && !picture->pixmap().isNull() && g.contains(at);
    if (other == label || other->isWindow() || other->isHidden() || background) continue;
    if (g.left() > at.right() && g.top() <= at.bottom() && g.bottom() >= at.top()) limit = std::min(limit, g.left() - 4);
  }
  label->resize(std::max(at.width(), std::min(needed, limit - at.left())), at.height());
  if (auto* anchors = window->findChild<Anchors*>(QString(), Qt::FindDirectChildrenOnly)) anchors->Rebase(label);
}

void NameBuddies(QWidget* window) {
  for (const QLabel* caption : window->findChildren<QLabel*>()) {
    if (caption->buddy() != nullptr) caption->buddy()->setAccessibleName(caption->text());
  }
}

void CentreOnParent(QWidget* box) { new Centring(box); }

QRect RestoredGeometry(const QString& remembered, QSize design) {
  const QStringList parts = remembered.split(QLatin1Char(','));
  int v[4] = {};
  bool readable = parts.size() == 4;
  for (int i = 0; readable && i < 4; ++i) v[i] = parts[i].trimmed().toInt(&readable);
  if (readable) {
    const QRect wanted(v[0], v[1], std::max(v[2], design.width()), std::max(v[3], design.height()));
    const QRect titleStrip(wanted.left(), wanted.top(), wanted.width(), 24);
    for (const QScreen* screen : QGuiApplication::screens()) {
      const QRect seen = screen->availableGeometry().intersected(titleStrip);
      if (seen.width() >= std::min(100, wanted.width()) && seen.height() >= 16) return wanted;
    }
  }
  QRect centred(QPoint(), design);
  centred.moveCenter(QGuiApplication::primaryScreen()->availableGeometry().center());
  return centred;
}

QString GeometryText(const QRect& g) {
  return QStringLiteral("%1,%2,%3,%4").arg(g.left()).arg(g.top()).arg(g.width()).arg(g.height());
}

}  // namespace vandrel
