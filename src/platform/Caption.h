#pragma once

#include <QImage>
#include <QLabel>
#include <QString>

namespace vandrel {

// A tip that shows the text as it stands: Qt reads markup in any tip that
// looks like it, and names and titles come from the network.
QString PlainTip(const QString& text);

// A label that never shows cut text: a caption too long for its place is drawn
// with "…" and carries its whole text in its tooltip. Reached with Tab, it
// shows a focus mark. A picture given by file renders at the screen's pixel
// ratio and the label's size, so vector skins stay sharp at every scale.
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
  void render(QSize target);
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

}  // namespace vandrel
