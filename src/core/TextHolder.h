#pragma once

#include <string>

namespace vandrel {

// Holds the text of the last download; reads back exactly what was written.
class TextHolder {
 public:
  virtual ~TextHolder() = default;
  virtual void setText(const std::string& text) = 0;
  virtual std::string text() const = 0;
};

}  // namespace vandrel
