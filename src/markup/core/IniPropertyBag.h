#pragma once

#include <string>

#include "markup/core/PropertyBag.h"

namespace vandrel {

// A property bag kept in one section of an INI file. Each value is stored in
// its text form (PropertyText.h) with backslash escapes: "\\" for a
// backslash, "\xHH" for a control character and for a space that would end
// a line. Since an INI read returns at most 199 characters, a longer value
// goes on in the keys "<key>.2", "<key>.3" and so on. An empty stored value
// reads as the default, so a key set back to its default is emptied rather
// than left with its old value.
class IniPropertyBag : public PropertyBag {
 public:
  IniPropertyBag(std::string filePath, std::string section);

  PropertyValue ReadProperty(const std::string& key, const PropertyValue& defaultValue) override;
  void WriteProperty(const std::string& key, const PropertyValue& value, const PropertyValue& defaultValue) override;

 private:
  std::string readStored(const std::string& key) const;
  void clearFrom(const std::string& key, int part) const;

  std::string filePath_;
  std::string section_;
};

}  // namespace vandrel
