#include "directory/BaseAddress.h"

namespace vandrel::directory {

namespace {

constexpr std::string_view kPlaceholder = "{{base}}";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNameChar(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '-';
}

bool IsIpv6Char(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

bool IsPortSuffix(std::string_view s) {
  if (s.empty()) return true;
  if (s[0] != ':' || s.size() < 2 || s.size() > 6) return false;
  for (char c : s.substr(1)) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

}  // namespace

BaseAddress::BaseAddress(std::string fallbackHost, int fallbackPort) {
  if (fallbackHost.find(':') != std::string::npos) fallbackHost = "[" + fallbackHost + "]";
  fallback_ = fallbackHost + ":" + std::to_string(fallbackPort);
}

std::string BaseAddress::forHost(std::string_view hostHeader) const {
  const std::string_view host = IsSafeHost(hostHeader) ? hostHeader : std::string_view(fallback_);
  return "http://" + std::string(host) + "/";
}

bool BaseAddress::IsSafeHost(std::string_view host) {
  if (host.empty() || host.size() > 255) return false;
  if (host[0] == '[') {
    const auto close = host.find(']');
    if (close == std::string_view::npos || close < 3) return false;
    for (char c : host.substr(1, close - 1)) {
      if (!IsIpv6Char(c)) return false;
    }
    return IsPortSuffix(host.substr(close + 1));
  }
  const auto colon = host.find(':');
  const std::string_view name = host.substr(0, colon);
  if (name.empty()) return false;
  for (char c : name) {
    if (!IsNameChar(c)) return false;
  }
  return colon == std::string_view::npos || IsPortSuffix(host.substr(colon));
}

std::string BaseAddress::Substitute(std::string_view text, std::string_view base) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (;;) {
    const auto hit = text.find(kPlaceholder, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(base);
    pos = hit + kPlaceholder.size();
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace vandrel::directory
