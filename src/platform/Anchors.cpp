#include "platform/Anchors.h"

#include "platform/WindowGeometry.h"

#include <QEvent>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace vandrel {

namespace {

// Edges move by rounded shares, so two controls that meet in the design still meet.
int Share(double share, int delta) { return static_cast<int>(std::lround(share * delta)); }

// The width a label's text needs.
int Needed(const QLabel* label) {
  return label->fontMetrics().horizontalAdvance(label->text()) + label->width() - label->contentsRect().width() + 2;
}

// The room a label placed there has up to the next control that begins right of it.
int Room(const QLabel* label, const QRect& at) {
  const QWidget* window = label->parentWidget();
  int limit = window->width();
  for (const QWidget* other : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QRect g = other->geometry();
    const auto* picture = qobject_cast<const QLabel*>(other);
    const bool background = picture != nullptr && !picture->pixmap().isNull() && g.contains(at);
    if (other == label || other->isWindow() || other->isHidden() || background) continue;
    // Rows shared only by the design's rounding do not stand in the way.
    if (g.left() > at.left() && g.top() < at.bottom() && g.bottom() > at.top()) limit = std::min(limit, g.left() - 4);
  }
  return std::max(0, limit - at.left());
}

}  // namespace

QSize LeastSize(QSize design, QSize available, QMargins frame) {
  return design.boundedTo(available.shrunkBy(frame).expandedTo(QSize(1, 1)));
}

Anchors::Anchors(QWidget* window, const std::vector<Anchor>& rules)
    : QObject(window), window_(window), design_(window->size()), applied_(design_) {
  window->setMinimumSize(design_);
  window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  for (const Anchor& anchor : rules) rules_.push_back({anchor, anchor.control->geometry()});
  window->installEventFilter(this);
  fitScreen();
}

QRect Anchors::placed(const Rule& rule) const {
  const int dx = applied_.width() - design_.width(), dy = applied_.height() - design_.height();
  const Anchor& a = rule.anchor;
  const QRect d = rule.design;
  const int left = d.left() + Share(a.right, dx);
  const int right = d.left() + d.width() + Share(a.right + a.wider, dx);
  const int top = d.top() + (a.follow & kDown ? dy : 0);
  return QRect(left, top, std::max(0, right - left), std::max(0, d.height() + (a.follow & kTaller ? dy : 0)));
}

void Anchors::rebase(QWidget* control) {
  const int dx = applied_.width() - design_.width(), dy = applied_.height() - design_.height();
  for (Rule& rule : rules_) {
    if (rule.anchor.control != control) continue;
    const QRect r = control->geometry();
    const int left = r.left() - Share(rule.anchor.right, dx);
    const int right = r.left() + r.width() - Share(rule.anchor.right + rule.anchor.wider, dx);
    rule.design = QRect(left, r.top() - (rule.anchor.follow & kDown ? dy : 0), right - left,
                        r.height() - (rule.anchor.follow & kTaller ? dy : 0));
  }
}

bool Anchors::makeRoom(QLabel* label) {
  for (const Rule& rule : rules_) {
    if (rule.anchor.control != label || !(rule.anchor.follow & kRoomy)) continue;
    // As wide as the design or the text, but never under the next control.
    QRect at = placed(rule);
    at.setWidth(std::min(std::max(at.width(), Needed(label)), Room(label, at)));
    label->setGeometry(at);
    return true;
  }
  return false;
}

bool Anchors::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  // A window manager frames a window between its showing and its first exposure.
  if (watched == window_->windowHandle() && type == QEvent::Expose) fitScreen();
  if (watched != window_) return false;
  if (type == QEvent::Resize) apply();
  // The screen may change with a move.
  if (type == QEvent::Show || type == QEvent::Move) fitScreen();
  if (type == QEvent::Show && !framed_) window_->windowHandle()->installEventFilter(this);
  return false;
}

void Anchors::apply() {
  applied_ = window_->size();
  for (const Rule& rule : rules_) rule.anchor.control->setGeometry(placed(rule));
  // Room is measured against the others' new places.
  for (const Rule& rule : rules_)
    if (auto* label = qobject_cast<QLabel*>(rule.anchor.control); label && (rule.anchor.follow & kRoomy)) makeRoom(label);
}

void Anchors::fitScreen() {
  if (window_->maximumSize() == window_->minimumSize()) return;  // a window of fixed size keeps it
  const QWindow* handle = window_->windowHandle();
  const QMargins frame = handle != nullptr && window_->isVisible() ? handle->frameMargins() : QMargins();
  const QRect room = window_->screen()->availableGeometry();
  window_->setMinimumSize(LeastSize(design_, room.size(), frame));
  // Once the frame is first known, the window comes wholly onto its screen,
  // title bar and all: the place it was given was the inside's.
  if (framed_ || frame.isNull() || (window_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) return;
  framed_ = true;
  const QRect outer = FittedInto(window_->frameGeometry(), room);
  if (outer == window_->frameGeometry()) return;
  window_->resize(outer.size().shrunkBy(frame));
  window_->move(outer.topLeft());  // a window's position is its frame's
}

void GiveRoom(QLabel* label) {
  auto* anchors = label->parentWidget()->findChild<Anchors*>(QString(), Qt::FindDirectChildrenOnly);
  if (anchors != nullptr && anchors->makeRoom(label)) return;
  const QRect at = label->geometry();
  if (Needed(label) > at.width()) label->resize(std::max(at.width(), std::min(Needed(label), Room(label, at))), at.height());
  if (anchors != nullptr) anchors->rebase(label);
}

}  // namespace vandrel
