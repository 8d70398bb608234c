#pragma once

#include <QLabel>
#include <QImage>
#include <QListWidget>
#include <QObject>
#include <QRect>
#include <QString>
#include <vector>

namespace vandrel {

// A label that never shows cut text: a caption too long for its place is drawn
// with "…" and carries its whole text in its tooltip. Reached with Tab, it
// shows a focus mark. A picture given by file renders at the screen's pixel
// ratio and the label's size, so vector skins stay sharp at every scale.
// A tip that shows the text as it stands: Qt reads markup in any tip that
// looks like it, and names and titles come from the network.
QString PlainTip(const QString& text);

class Caption : public QLabel {
  Q_OBJECT

 public:
  explicit Caption(QWidget* parent = nullptr);

  // Draws the picture file over the label. Stretched, unless keepLeft is
  // given: then the picture keeps its proportions by the label's height and
  // only the part right of that share of its width stretches to fill (a
  // header's logo stays round, its decoration takes the extra width).
  void setPicture(const QString& path, double keepLeft = 0);
  // Whether the last paint had to shorten the text.
  bool elided() const { return elided_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Render(QSize target);
  QString picturePath_;
  double keepLeft_ = 0;
  QImage rendered_;
  QSize renderedFor_;
  bool elided_ = false;
  bool tipIsOurs_ = false;
};

// Shows a picture already loaded from the file; a Caption draws it afresh
// from the file at its own size and pixel ratio.
void SetPicture(QLabel* label, const QString& path, const QPixmap& loaded, double keepLeft = 0);

// Marks a clickable label as a link for the keyboard and for screen readers
// ("Other country, link"); a picture link takes its spoken name here.
void MakeLink(QLabel* label, const QString& pictureName = {});

// Gives the window's buttons a focus mark of their own: styles draw the
// default button alike with and without the focus.
void MarkButtonFocus(QWidget* window);

// How a control follows its window's growth beyond the design size.
enum Follow : unsigned {
  kStay = 0,
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
  void Rebase(QWidget* control);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Rule {
    QWidget* control;
    unsigned follow;
    QRect design;
  };
  void Apply();
  QWidget* window_;
  QSize design_;
  std::vector<Rule> rules_;
};

// Rows tall enough for accents above capitals and descenders below, and a
// focus mark that shows on an empty list too.
void MakeRoomyRows(QListWidget* list);

// Widens a label whose text does not fit into the free room on its right
// (up to the next control beside it, never past the window), as far as the
// text needs; a label that fits keeps its design width.
void GiveRoom(QLabel* label);

// Gives the controls their captions' texts as names for screen readers (the
// caption's buddy); call again when the captions change language.
void NameBuddies(QWidget* window);

// Keeps a box centred on the window of its parent, or on the screen when
// that window is hidden or missing, whatever size the box takes on showing.
void CentreOnParent(QWidget* box);

// Where a remembered window geometry ("left,top,width,height") lands: there
// when it is readable and its title strip is on a screen, at least the
// design size; else the design size centred on the primary screen.
QRect RestoredGeometry(const QString& remembered, QSize design);
QString GeometryText(const QRect& geometry);

}  // namespace vandrel
