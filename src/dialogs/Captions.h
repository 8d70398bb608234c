#pragma once

#include <initializer_list>
#include <utility>

class QWidget;

namespace vandrel {

class LanguageTable;

// A label or button and the language key of its caption.
using Captioned = std::pair<QWidget*, const char*>;

// Sets each caption from the language table, in order; throws when a text
// cannot be read, the captions before it set. With giveRoom a longer label
// takes the free room beside it.
void SetCaptions(const LanguageTable& texts, std::initializer_list<Captioned> captions, bool giveRoom = false);

}  // namespace vandrel
