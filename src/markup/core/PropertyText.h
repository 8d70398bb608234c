#pragma once

#include <optional>
#include <string>

#include "markup/core/PropertyBag.h"

namespace vandrel {

// The text form of property values in a text-based bag:
//   Boolean  "True" or "False" ("-1" and "0" are read too)
//   Long     decimal, e.g. "-2147483643" for &H80000005
//   Single   shortest decimal that reads back the same float, e.g. "8.25"
//   String   the text itself
//   font     "name;size;weight;italic;underline;strikethrough;charset", the
//            flags as 0 or 1, e.g. "MS Sans Serif;8.25;400;0;0;0;0"; the
//            name may itself hold ';' since the fields are taken from the right
//   picture  the image file's bytes in base64; "" for none
std::string PropertyToText(const PropertyValue& value);

// The value of the same type as like, or nothing when text is not one.
std::optional<PropertyValue> PropertyFromText(const std::string& text, const PropertyValue& like);

std::string Base64Encode(const std::string& bytes);
std::optional<std::string> Base64Decode(const std::string& text);

}  // namespace vandrel
