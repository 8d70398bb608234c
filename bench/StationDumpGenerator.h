#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace vandrel::bench {

// Writes a made-up community directory dump: names and tags from small word
// lists (some with accents), countries skewed like the real directory, and
// a few stations that failed their check, lack an address or repeat one.
// The same count always gives the same dump.
class StationDumpGenerator {
 public:
  static void Write(std::ostream& out, std::size_t stations);
  // Words the names and tags are made of, for search queries.
  static const std::vector<std::string>& Words();
};

}  // namespace vandrel::bench
