#pragma once

#include <QLabel>
#include <QObject>
#include <QRect>
#include <vector>

namespace vandrel {

// How a control follows its window's growth beyond the design size.
enum Follow : unsigned {
  kWider = 1,   // grows with the window's width
  kTaller = 2,  // grows with the window's height
  kRight = 4,   // moves with the right edge
  kDown = 8,    // moves with the bottom edge
};

// Lets a window grow from its design size (never shrink below it) and moves
// its controls by their rules; the design geometry stays the one placed.
class Anchors : public QObject {
  Q_OBJECT

 public:
  // Call once the window and its controls stand at their design places.
  Anchors(QWidget* window, std::vector<std::pair<QWidget*, unsigned>> rules);
  // Takes a control's current geometry as its design place (after a skin
  // has resized it).
  void rebase(QWidget* control);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Rule {
    QWidget* control;
    unsigned follow;
    QRect design;
  };
  void apply();
  QWidget* window_;
  QSize design_;
  // The size the controls stand for now. A hidden window takes a new size at
  // once but gets its resize event only when shown, so its own size may be ahead.
  QSize applied_;
  std::vector<Rule> rules_;
};

// Widens a label whose text does not fit into the free room on its right
// (up to the next control beside it, never past the window), as far as the
// text needs; a label that fits keeps its design width.
void GiveRoom(QLabel* label);

}  // namespace vandrel
