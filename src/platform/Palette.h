#pragma once

#include <QString>

namespace vandrel {

// The colours the windows and dialogs show before (or without) their skin
// pictures, named once: a style sheet writes them as @background, @text,
// @header (the title bar's gradient), @headerText and @navy.
QString WithPalette(QString sheet);

}  // namespace vandrel
