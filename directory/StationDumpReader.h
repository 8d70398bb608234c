#pragma once

#include <functional>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vandrel::directory {

// One station of a community directory dump, with only the fields we use.
struct DumpStation {
  std::string name;
  std::string url;          // url_resolved, or url when that is empty
  std::string homepage;
  std::string country;
  std::string countryCode;
  std::vector<std::string> tags;
  std::optional<bool> lastCheckOk;  // unset when the dump does not say
};

class DumpFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a dump (a JSON array of station objects) one station at a time, so
// memory does not grow with the size of the dump. Fields of other names and
// nested values are skipped; a field of the wrong type counts as missing.
class StationDumpReader {
 public:
  // Calls onStation for each element in order. Throws DumpFormatError with
  // the byte offset when the text is not JSON or not an array of objects.
  static void Read(std::istream& in, const std::function<void(DumpStation&&)>& onStation);
};

}  // namespace vandrel::directory
