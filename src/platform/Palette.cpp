#include "platform/Palette.h"

#include <QGuiApplication>
#include <QWidget>

namespace vandrel {

namespace {

struct Named {
  const char* name;
  const char* light;
  const char* dark;
};

// Longer names first: @header is the start of @headerText, @page of @pageText.
constexpr Named kColours[] = {
    {"@background", "#eef1f6", "#1b1f24"},
    {"@headerText", "#ffffff", "#ffffff"},
    {"@header", "qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #16324f, stop:1 #2c5d8f)",
     "qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #070f19, stop:1 #0f2238)"},
    {"@navy", "#16324f", "#9cc3ee"},
    {"@text", "#1b2733", "#e3e8ef"},
    {"@link", "#1f5fa8", "#8cbcf5"},
    {"@muted", "#5c6470", "#8a929c"},
    {"@frame", "#b8c2d0", "#3c4450"},
    {"@focus", "#16324f", "#8cbcf5"},
    {"@pageText", "#1b2733", "#e3e8ef"},
    {"@page", "#ffffff", "#15181d"},
    {"@groove", "#e3e8ef", "#262b32"},
    {"@thumb", "#6b7a8f", "#8a97a9"},
    {"@edge", "#b0b8c4", "#a8b0bc"},  // Fusion draws a box's edge 1.4 times darker than this
};

}  // namespace

bool IsDarkPalette(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

bool IsDarkPalette() { return IsDarkPalette(QGuiApplication::palette()); }

QString WithPalette(QString sheet, bool dark) {
  for (const auto& [name, light, night] : kColours) sheet.replace(QLatin1String(name), QLatin1String(dark ? night : light));
  return sheet;
}

QString WithPalette(QString sheet) { return WithPalette(std::move(sheet), IsDarkPalette()); }

QColor PaletteColour(const char* name, bool dark) { return QColor(WithPalette(QLatin1String(name), dark)); }

void UseFocusColours(QWidget& window, bool dark) {
  QPalette palette;  // these roles only; the others follow the desktop's
  palette.setColor(QPalette::Highlight, PaletteColour("@focus", dark));
  palette.setColor(QPalette::HighlightedText, PaletteColour("@page", dark));
  window.setPalette(palette);
}

}  // namespace vandrel
