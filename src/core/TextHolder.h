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

class PlainTextHolder : public TextHolder {
 public:
  void setText(const std::string& text) override { text_ = text; }
  std::string text() const override { return text_; }

 private:
  std::string text_;
};

}  // namespace vandrel
