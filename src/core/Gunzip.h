#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vandrel {

class GunzipError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The content of a gzip body (members one after another, as RFC 1952
// allows). A body that is cut short, broken, or that unpacks to more than
// maxBytes raises GunzipError rather than giving part of the text.
std::string Gunzip(std::string_view packed, std::size_t maxBytes);

}  // namespace vandrel
