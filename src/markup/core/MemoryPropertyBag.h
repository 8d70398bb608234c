#pragma once

#include <map>
#include <string>

#include "markup/core/PropertyBag.h"

namespace vandrel {

// A property bag held in memory: a control's stored form built in code, and
// the bag tests look into.
class MemoryPropertyBag : public PropertyBag {
 public:
  PropertyValue ReadProperty(const std::string& key, const PropertyValue& defaultValue) override;
  void WriteProperty(const std::string& key, const PropertyValue& value, const PropertyValue& defaultValue) override;

  void set(const std::string& key, const PropertyValue& value) { values_[key] = value; }
  const std::map<std::string, PropertyValue>& values() const { return values_; }

 private:
  std::map<std::string, PropertyValue> values_;
};

}  // namespace vandrel
