#pragma once

#include <QColor>
#include <cstdint>

class QPalette;

namespace vandrel {

// A colour in the classic Long encoding: &H00BBGGRR, or a system colour when
// the top bit is set (&H80000005 window background, &H80000008 window text),
// which is taken from the palette.
QColor ColorFromLong(std::int32_t value, const QPalette& palette);

constexpr std::int32_t kWindowBackground = static_cast<std::int32_t>(0x80000005u);
constexpr std::int32_t kWindowText = static_cast<std::int32_t>(0x80000008u);

}  // namespace vandrel
