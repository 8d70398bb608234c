#include "markup/core/MemoryPropertyBag.h"

namespace vandrel {

PropertyValue MemoryPropertyBag::ReadProperty(const std::string& key, const PropertyValue& defaultValue) {
  const auto it = values_.find(key);
  if (it == values_.end() || it->second.index() != defaultValue.index()) return defaultValue;
  return it->second;
}

void MemoryPropertyBag::WriteProperty(const std::string& key, const PropertyValue& value,
                                      const PropertyValue& defaultValue) {
  if (IsStored(value, defaultValue)) {
    values_[key] = value;
  } else {
    values_.erase(key);
  }
}

}  // namespace vandrel
