#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace vandrel {

// A font as the property bag keeps it: independent of any toolkit.
struct FontDescription {
  std::string name;
  double size = 0;  // points
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikethrough = false;
  int charset = 0;
  bool operator==(const FontDescription&) const = default;
};

// A picture as the bytes of an image file (PNG, BMP, ...); empty means none.
struct PictureData {
  std::string bytes;
  bool operator==(const PictureData&) const = default;
};

// Boolean, Long, Single, String, font object, picture object.
using PropertyValue = std::variant<bool, std::int32_t, float, std::string, FontDescription, PictureData>;

// The container's persisted form of a control: values by key, each read and
// written together with its default.
class PropertyBag {
 public:
  virtual ~PropertyBag() = default;
  // The stored value, or the default when the key is missing or its stored
  // value does not fit the default's type.
  virtual PropertyValue ReadProperty(const std::string& key, const PropertyValue& defaultValue) = 0;
  // A value equal to its default is not stored, except font and picture
  // objects, which always are.
  virtual void WriteProperty(const std::string& key, const PropertyValue& value,
                             const PropertyValue& defaultValue) = 0;
};

// True when WriteProperty keeps the value rather than dropping it as default.
inline bool IsStored(const PropertyValue& value, const PropertyValue& defaultValue) {
  return std::holds_alternative<FontDescription>(value) || std::holds_alternative<PictureData>(value) ||
         value != defaultValue;
}

}  // namespace vandrel
