#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel {

// What one parse may produce in all: far above any real list, far below
// what a hostile one (many openings before one closing tag) would build.
inline constexpr std::size_t kMaxTaggedListValueBytes = std::size_t{64} << 20;

// A parse that would pass its bound on the size of its values.
class TaggedListTooLarge : public std::length_error {
 public:
  TaggedListTooLarge() : std::length_error("tagged list values too large") {}
};

struct TaggedListValues {
  std::vector<std::vector<std::string>> lists;  // one per tag of the table
  bool complete = true;  // false: stopped before the value that passed the bound
};

// Values of a tagged list, one vector per tag of the table, in text order.
// Tags match without regard to ASCII letter case; values keep every byte.
// The scan advances one character at a time, so a pair inside a value is
// found as well. Values are taken until their total size would pass
// maxValueBytes; those before it are kept.
TaggedListValues ParseTaggedListUpTo(std::string_view text, const std::vector<std::string>& tags,
                                     std::size_t maxValueBytes = kMaxTaggedListValueBytes);

// The whole parse; throws TaggedListTooLarge past kMaxTaggedListValueBytes.
std::vector<std::vector<std::string>> ParseTaggedList(std::string_view text,
                                                      const std::vector<std::string>& tags);

}  // namespace vandrel
