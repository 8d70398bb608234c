#pragma once

#include <string>
#include <string_view>

namespace vandrel::directory {

// Builds tagged-list text that the player's parser reads back value for
// value. The parser knows no escapes, so a value that holds anything read
// as a tag ("<naam>", "</URL>", any "<letters>" or "</letters>") loses all
// its '<' and '>'; other values keep them ("Rock <3" stays as it is).
// Line breaks and tabs become blanks and other control characters are
// dropped, so every record stays on one line.
class TaggedListWriter {
 public:
  static std::string Clean(std::string_view value);

  // Appends "<tag>" Clean(value) "</tag>".
  void add(std::string_view tag, std::string_view value);
  // Ends the record with "\r\n", as the shipped lists do.
  void endRecord();

  const std::string& text() const { return text_; }
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

}  // namespace vandrel::directory
