#pragma once

#include <QLabel>
#include <QMargins>
#include <QObject>
#include <QRect>
#include <vector>

namespace vandrel {

// How a control follows its window's size beyond (or, on a screen too small
// for it, below) the design size.
enum Follow : unsigned {
  kWider = 1,   // grows with the window's width
  kTaller = 2,  // grows with the window's height
  kRight = 4,   // moves with the right edge
  kDown = 8,    // moves with the bottom edge
  kRoomy = 16,  // a label that takes the room its text needs beside it (GiveRoom)
};

// One control's rule: the flags, and besides them shares of the width change
// it moves right by and grows by (kRight and kWider are shares of one).
struct Anchor {
  Anchor(QWidget* control, unsigned follow, double right = 0, double wider = 0)
      : control(control), follow(follow), right(right + (follow & kRight ? 1 : 0)),
        wider(wider + (follow & kWider ? 1 : 0)) {}
  QWidget* control;
  unsigned follow;
  double right, wider;
};

// Lets a window grow from its design size (never shrink below it, unless its
// screen is smaller) and moves its controls by their rules; the design
// geometry stays the one placed.
class Anchors : public QObject {
  Q_OBJECT

 public:
  // Call once the window and its controls stand at their design places.
  Anchors(QWidget* window, const std::vector<Anchor>& rules);
  // Takes a control's current geometry as its design place (after a skin
  // has resized it).
  void rebase(QWidget* control);
  // Whether the label is placed with kRoomy; then gives it its room now.
  bool makeRoom(QLabel* label);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Rule {
    Anchor anchor;
    QRect design;
  };
  void apply();
  void fitScreen();
  QRect placed(const Rule& rule) const;
  QWidget* window_;
  QSize design_;
  // The size the controls stand for now. A hidden window takes a new size at
  // once but gets its resize event only when shown, so its own size may be ahead.
  QSize applied_;
  std::vector<Rule> rules_;
  bool framed_ = false;  // the window was fitted with its frame
};

// Widens a label whose text does not fit into the free room on its right
// (up to the next control beside it, never past the window), as far as the
// text needs; a label that fits keeps its design width.
void GiveRoom(QLabel* label);

// The least size of a window of this design on a screen with this free area
// when the window's frame takes the margins: never more than fits.
QSize LeastSize(QSize design, QSize available, QMargins frame);

}  // namespace vandrel
