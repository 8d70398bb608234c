#pragma once

#include <Qt>

class QKeyEvent;

namespace vandrel {

// The classic virtual key code of a key (13 Enter, 37 to 40 the arrows,
// 65 to 90 the letters, ...) that the box's key events carry; 0 for a key
// without one.
int VirtualKeyCode(const QKeyEvent& event);

// The Shift argument of key and mouse events: 1 Shift, 2 Ctrl, 4 Alt.
int ShiftMask(Qt::KeyboardModifiers modifiers);

// The key that types the given ASCII character, for synthesised key events.
Qt::Key KeyForCharacter(char c);

}  // namespace vandrel
