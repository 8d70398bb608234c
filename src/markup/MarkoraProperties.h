#pragma once

#include <span>

#include "markup/core/PropertyBag.h"

namespace vandrel {

class Markora;

// One setting a box keeps in its container's property bag, and how the box
// gives and takes it.
struct MarkoraProperty {
  const char* key;
  // Asked of the box, since the font's default is its container's font.
  PropertyValue (*defaultOf)(const Markora& box);
  PropertyValue (*get)(const Markora& box);
  // Takes a value read from the bag, which always has the default's type.
  void (*set)(Markora& box, const PropertyValue& value);
  // For a new box, when taking the default differs from set(defaultOf).
  void (*init)(Markora& box) = nullptr;
};

// The 25 settings, in the order they are read and written.
std::span<const MarkoraProperty> MarkoraProperties();

}  // namespace vandrel
