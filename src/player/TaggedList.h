#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vandrel {

// Values of a tagged list, one vector per tag of the table, in text order.
// Tags match without regard to ASCII letter case; values keep every byte.
// The scan advances one character at a time, so a pair inside a value is
// found as well. Any text size is parsed completely.
std::vector<std::vector<std::string>> ParseTaggedList(std::string_view text,
                                                      const std::vector<std::string>& tags);

}  // namespace vandrel
