#pragma once

namespace vandrel {

// Names a new control for style sheets, skins and tests as it is made.
template <typename W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace vandrel
