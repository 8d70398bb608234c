#include "core/BrowserLinks.h"

#include <cctype>

namespace vandrel {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The scheme an address starts with ("javascript" of "javascript:x"), or ""
// when it has none. "host:8000/" is a host with a port, not a scheme.
std::string SchemeOf(const std::string& address) {
  if (address.empty() || !std::isalpha(static_cast<unsigned char>(address[0]))) return "";
  std::size_t i = 1;
  while (i < address.size() && (std::isalnum(static_cast<unsigned char>(address[i])) || address[i] == '+' ||
                                address[i] == '-' || address[i] == '.')) {
    ++i;
  }
  if (i >= address.size() || address[i] != ':') return "";
  std::size_t j = i + 1;
  while (j < address.size() && std::isdigit(static_cast<unsigned char>(address[j]))) ++j;
  if (j > i + 1 && (j == address.size() || address[j] == '/')) return "";
  return Lower(address.substr(0, i));
}

}  // namespace

std::string HomepageAddress(const std::string& radioUrl) {
  const std::string scheme = SchemeOf(radioUrl);
  if (scheme == "http" || scheme == "https") return radioUrl;
  if (!scheme.empty()) return radioUrl;  // refused by IsWebAddress
  return "http://" + radioUrl;
}

bool IsWebAddress(const std::string& address) {
  const std::string scheme = SchemeOf(address);
  if (scheme != "http" && scheme != "https") return false;
  for (const char c : address) {
    // Control characters and blanks would let the launcher read a second argument.
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return false;
  }
  return true;
}

}  // namespace vandrel
