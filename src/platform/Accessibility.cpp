#include "platform/Accessibility.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QHelpEvent>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>

#include "platform/Caption.h"
#include "platform/Palette.h"

namespace vandrel {

namespace {

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
    // A row may reach past the viewport; the painting cuts the text at its edge.
    item.rect.setRight(std::min(item.rect.right(), view->viewport()->rect().right()));
    const QRect room = view->style()->subElementRect(QStyle::SE_ItemViewItemText, &item, view);
    // The style lays the text out in fractions of a pixel inside a margin on either side, and cuts it there.
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &item, view) + 1;
    if (QFontMetricsF(item.font).horizontalAdvance(item.text) + 2 * margin > room.width()) {
      QToolTip::showText(event->globalPos(), PlainTip(item.text), view);
    } else {
      QToolTip::hideText();
    }
    return true;
  }
};

// Lies over a control, lets the mouse through, and draws a
// dotted frame in its text's colour while it has the focus (painted after
// it, as its child).
class FocusMark : public QWidget {
 public:
  FocusMark(QWidget* button, int inset) : QWidget(button), inset_(inset) {
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
    painter.setPen(QPen(parentWidget()->palette().color(parentWidget()->foregroundRole()), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(inset_, inset_, -inset_ - 1, -inset_ - 1));
  }

 private:
  int inset_;
};

}  // namespace

void MakeRoomyRows(QListWidget* list) {
  list->setItemDelegate(new RoomyRows(list));
  list->setUniformItemSizes(true);  // a 5,000-station country lays out at once
  FrameList(list);
}

void FrameList(QAbstractItemView* list) {
  list->setStyleSheet(WithPalette(QStringLiteral("QAbstractItemView { border: 1px solid @frame; }"
                                                 "QAbstractItemView:focus { border: 1px solid @focus; }")));
}

void MarkControlFocus(QWidget* window) {
  for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    // Inside a button's or box's face; round a check box's text and a slider, which reach their edges.
    const bool edge = qobject_cast<QCheckBox*>(control) || qobject_cast<QSlider*>(control);
    if (edge || qobject_cast<QPushButton*>(control) || qobject_cast<QComboBox*>(control))
      (new FocusMark(control, edge ? 0 : 3))->setGeometry(control->rect());
  }
}

void NameBuddies(QWidget* window) {
  for (const QLabel* caption : window->findChildren<QLabel*>()) {
    if (caption->buddy() != nullptr) caption->buddy()->setAccessibleName(caption->text());
  }
}

}  // namespace vandrel
