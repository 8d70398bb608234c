#include "platform/Palette.h"

#include <utility>

namespace vandrel {

QString WithPalette(QString sheet) {
  // Longer names first: @header is the start of @headerText.
  static const std::pair<const char*, const char*> kColours[] = {
      {"@background", "#eef1f6"},
      {"@headerText", "#ffffff"},
      {"@header", "qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #16324f, stop:1 #2c5d8f)"},
      {"@navy", "#16324f"},
      {"@text", "#1b2733"},
  };
  for (const auto& [name, colour] : kColours) sheet.replace(QLatin1String(name), QLatin1String(colour));
  return sheet;
}

}  // namespace vandrel
