#include "platform/WindowGeometry.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>
#include <algorithm>

namespace vandrel {

namespace {

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

void CentreOnParent(QWidget* box) { new Centring(box); }

QRect RestoredGeometry(const QString& remembered, QSize design) {
  const QStringList parts = remembered.split(QLatin1Char(','));
  int v[4] = {};
  bool readable = parts.size() == 4;
  for (int i = 0; readable && i < 4; ++i) v[i] = parts[i].trimmed().toInt(&readable);
  const QScreen* home = nullptr;  // the screen that holds most of it
  QRect wanted;
  if (readable) {
    wanted = QRect(v[0], v[1], std::max(v[2], design.width()), std::max(v[3], design.height()));
    qint64 most = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
      const QRect seen = screen->availableGeometry().intersected(wanted);
      if (qint64(seen.width()) * seen.height() > most) most = qint64(seen.width()) * seen.height(), home = screen;
    }
  }
  if (home != nullptr) return FittedInto(wanted, home->availableGeometry());
  const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
  QRect centred(QPoint(), design.boundedTo(room.size()));
  centred.moveCenter(room.center());
  return centred;
}

QRect FittedInto(QRect wanted, const QRect& room) {
  wanted.setSize(wanted.size().boundedTo(room.size()));
  wanted.moveLeft(std::clamp(wanted.left(), room.left(), room.right() + 1 - wanted.width()));
  wanted.moveTop(std::clamp(wanted.top(), room.top(), room.bottom() + 1 - wanted.height()));
  return wanted;
}

QString GeometryText(const QRect& g) {
  return QStringLiteral("%1,%2,%3,%4").arg(g.left()).arg(g.top()).arg(g.width()).arg(g.height());
}

}  // namespace vandrel
