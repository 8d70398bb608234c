#pragma once

#include <cstddef>
#include <filesystem>

namespace vandrel::directory {

// Turns a community directory dump into a data folder the server and any
// static web server can serve: one station list per country, the country
// list and the search index.
class DirectoryImport {
 public:
  struct Summary {
    std::size_t read = 0;          // elements of the dump
    std::size_t kept = 0;          // stations written
    std::size_t failedCheck = 0;   // left out: their last check failed
    std::size_t noAddress = 0;     // left out: no http or https stream address
    std::size_t merged = 0;        // folded into an earlier one with the same address
    std::size_t countries = 0;
  };

  // The index's name inside the data folder; hidden, so not served.
  static constexpr const char* kIndexFile = ".search-index";

  // Writes into a fresh folder beside out and puts it in out's place only
  // when everything was written. Throws std::runtime_error with a message
  // for the user when the dump cannot be read or is malformed, when it
  // holds no usable station, or when out exists but does not hold an
  // earlier import (nothing else is ever replaced).
  static Summary Run(const std::filesystem::path& dump, const std::filesystem::path& out);
};

}  // namespace vandrel::directory
