#pragma once

#include <string>
#include <string_view>

namespace vandrel::directory {

// The server's own address as clients see it, written into served lists so
// that entries can point back at this server whatever port it runs on.
class BaseAddress {
 public:
  // fallbackHost and fallbackPort are where the server listens; they are
  // used when a request carries no usable Host header.
  BaseAddress(std::string fallbackHost, int fallbackPort);

  // "http://HOST/" for a request with the given Host header value.
  std::string forHost(std::string_view hostHeader) const;

  // True for "name[:port]" of [A-Za-z0-9.-] or "[ipv6][:port]".
  static bool IsSafeHost(std::string_view host);

  // Replaces every "{{base}}" in text by base.
  static std::string Substitute(std::string_view text, std::string_view base);

 private:
  std::string fallback_;
};

}  // namespace vandrel::directory
