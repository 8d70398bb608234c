#include "platform/Anchors.h"

#include <QEvent>
#include <algorithm>

namespace vandrel {

Anchors::Anchors(QWidget* window, std::vector<std::pair<QWidget*, unsigned>> rules)
    : QObject(window), window_(window), design_(window->size()), applied_(design_) {
  window->setMinimumSize(design_);
  window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  for (const auto& [control, follow] : rules) rules_.push_back({control, follow, control->geometry()});
  window->installEventFilter(this);
}

void Anchors::rebase(QWidget* control) {
  const int dx = std::max(0, applied_.width() - design_.width());
  const int dy = std::max(0, applied_.height() - design_.height());
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
  if (watched == window_ && event->type() == QEvent::Resize) apply();
  return false;
}

void Anchors::apply() {
  applied_ = window_->size();
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
  if (auto* anchors = window->findChild<Anchors*>(QString(), Qt::FindDirectChildrenOnly)) anchors->rebase(label);
}

}  // namespace vandrel
