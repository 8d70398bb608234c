#include "window/Form1Layout.h"

#include <QFont>
#include <QListWidget>
#include <QStringList>

#include "platform/Accessibility.h"
#include "platform/Anchors.h"
#include "platform/Twips.h"
#include "window/Form1.h"

namespace vandrel {

namespace {

QFont Font(const QStringList& families, double points, bool bold) {
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

QFont SansSerif(double points, bool bold) {
  return Font({"MS Sans Serif", "Liberation Sans", "DejaVu Sans"}, points, bold);
}

void Text(QLabel* label, const char* text, const QFont& font, int l, int t, int w, int h) {
  label->setText(text);
  label->setFont(font);
  Place(label, l, t, w, h);
}

}  // namespace

void LayOutForm1(Form1& f) {
  const QFont plain = Verdana(8, false);
  f.setFont(plain);
  f.resize(Px(9990), Px(8025));

  //      control                   design-time text                 font                 left  top   width  height
  Place(f.Image1,                                                                          0,    0,    10035, 2160);
  Place(f.Image2,                                                                          0,    840,  10035, 405);
  Text(f.Label1,                 "Ander land selecteren",         Verdana(9.75, true), 240,  1800, 2415,  255);
  Text(f.Label12,                "Zender zoeken",                 Verdana(9.75, true), 3240, 1800, 2055,  255);
  Text(f.Label4,                 "Instellingen",                  Verdana(9.75, true), 6120, 1800, 1335,  255);
  Text(f.Label5,                 "About/Info",                    Verdana(9.75, true), 8280, 1800, 1335,  255);
  Text(f.Label7,                 "- Zenders -",                   Verdana(14.25, true), 0,   2400, 3615,  375);
  Text(f.Label11,                "- Informatie -",                Verdana(14.25, true), 3840, 2520, 6015, 375);
  Text(f.Label8,                 "Online:",                       plain,               120,  2760, 1575,  255);
  Text(f.Label10,                "Favorieten:",                   plain,               2040, 2760, 1575,  255);
  Place(f.List1,                                                                           120,  3000, 1770,  3570);
  Place(f.File1,                                                                           1920, 3000, 1815,  2625);
  Place(f.WebBrowser1,                                                                     3840, 3000, 6015,  3615);
  f.Command1->setText("Toevoegen");   Place(f.Command1,                                    2040, 5640, 1695,  375);
  f.Command2->setText("Verwijderen"); Place(f.Command2,                                    2040, 6120, 1695,  375);
  f.Command3->setText("Stop Spelen"); Place(f.Command3,                                    2040, 6600, 1695,  375);
  Place(f.Image4,                                                                          5760, 6720, 1695,  840);
  Place(f.Image3,                                                                          7680, 6720, 1950,  840);
  Text(f.Label2,                 "Land:",                         SansSerif(8.25, true), 120, 6720, 735,   255);
  Text(f.TaalGeselecteerdTekst,  StationController::kFirstCountry, plain,               960,  6720, 2055,  255);
  Text(f.Label6,                 "Zender:",                       SansSerif(8.25, true), 120, 6960, 855,   255);
  Text(f.ZenderNaam,             StationController::kNoStation,   plain,               960,  6960, 2055,  255);
  Text(f.Label3,                 "Website van deze zender.",      SansSerif(8.25, true), 120, 7200, 3255,  255);
  Text(f.Label13,                "Status",                        SansSerif(8.25, true), 120, 7440, 735,   255);
  Text(f.Label14,                "Kies een zender om te spelen..", plain,              960,  7440, 2295,  255);
  Place(f.Line1,                                                                           0,    7680, 9960,  15);
  Text(f.Label9,                 "Volume:",                       SansSerif(12, false), 0,    7680, 1695,  495);
  Place(f.Slider1,                                                                         1680, 7700, 8295,  325);

  f.Label9->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  // The lists' heading stands over both lists, which begin further right than it.
  f.Label7->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  f.Label7->setContentsMargins(f.List1->x() + f.File1->geometry().right() - f.Label7->x() - f.Label7->geometry().right(),
                              0, 0, 0);
  // Long station names are cut with an ellipsis rather than scrolled sideways.
  for (QListWidget* list : {f.List1, f.File1}) {
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setTextElideMode(Qt::ElideRight);
  }
  f.Slider1->setRange(0, 100);
  f.Slider1->setSingleStep(1);
  f.Slider1->setPageStep(5);
  f.Line1->setFrameShape(QFrame::HLine);
  f.Line1->setFrameShadow(QFrame::Plain);
  f.Image2->setScaledContents(true);
  f.Image3->setScaledContents(true);
  f.Image4->setScaledContents(true);
  // Screen readers name the lists and the slider by their captions.
  f.Label8->setBuddy(f.List1);
  f.Label10->setBuddy(f.File1);
  f.Label9->setBuddy(f.Slider1);
  MakeRoomyRows(f.List1);
  MakeRoomyRows(f.File1);

  // Beyond the design size the lists take a share of the width each, with
  // their captions, heading and buttons; the web panel, pictures, rule and
  // slider take the rest, the lists and the web panel the height. The
  // status, station and country take the room beside them their texts need.
  constexpr double kList = 0.2;
  f.layoutAnchors = new Anchors(&f, {
      {f.Image1, kWider},          {f.Image2, kWider | kTaller},
      {f.Label7, 0, 0, 2 * kList}, {f.Label11, 0, 2 * kList, 1 - 2 * kList},
      {f.Label8, 0, 0, kList},     {f.Label10, 0, kList, kList},
      {f.List1, kTaller, 0, kList}, {f.File1, kTaller, kList, kList},
      {f.WebBrowser1, kTaller, 2 * kList, 1 - 2 * kList},
      {f.Command1, kDown, kList, kList}, {f.Command2, kDown, kList, kList}, {f.Command3, kDown, kList, kList},
      {f.Image4, kRight | kDown},  {f.Image3, kRight | kDown},
      {f.Label2, kDown},           {f.TaalGeselecteerdTekst, kDown | kRoomy},
      {f.Label6, kDown},           {f.ZenderNaam, kDown | kRoomy},
      {f.Label3, kDown},           {f.Label13, kDown},          {f.Label14, kDown | kRoomy},
      {f.Line1, kWider | kDown},   {f.Label9, kDown},           {f.Slider1, kWider | kDown},
  });
}

}  // namespace vandrel
