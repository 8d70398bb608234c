#include "markup/LongColor.h"

#include <QPalette>

namespace vandrel {

QColor ColorFromLong(std::int32_t value, const QPalette& palette) {
  const auto bits = static_cast<std::uint32_t>(value);
  if ((bits & 0x80000000u) == 0) {
    return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                  static_cast<int>((bits >> 16) & 0xFF));
  }
  switch (bits & 0xFF) {
    case 5: return palette.color(QPalette::Base);
    case 8: return palette.color(QPalette::Text);
    case 13: return palette.color(QPalette::Highlight);
    case 14: return palette.color(QPalette::HighlightedText);
    case 15: return palette.color(QPalette::Button);
    case 17: return palette.color(QPalette::Disabled, QPalette::Text);
    case 18: return palette.color(QPalette::ButtonText);
    case 23: return palette.color(QPalette::ToolTipText);
    case 24: return palette.color(QPalette::ToolTipBase);
    default: return palette.color(QPalette::Window);
  }
}

}  // namespace vandrel
