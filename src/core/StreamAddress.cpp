#include "core/StreamAddress.h"

#include <cctype>

namespace vandrel {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsWebRadioAddress(std::string_view address) {
  std::string_view rest;
  if (StartsWithNoCase(address, "http://")) {
    rest = address.substr(7);
  } else if (StartsWithNoCase(address, "https://")) {
    rest = address.substr(8);
  } else {
    return false;
  }
  return !rest.empty() && rest.front() != '/' && rest.front() != '?' && rest.front() != '#';
}

}  // namespace vandrel
