#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::directory {

// Validators of cached replies, so clients and caches can ask "has it
// changed?" and get a bodiless 304 instead of the list again.
class ConditionalGet {
 public:
  // "Sun, 06 Nov 1994 08:49:37 GMT"
  static std::string HttpDate(std::time_t t);
  // The preferred form only, as HTTP/1.1 clients send it.
  static std::optional<std::time_t> ParseHttpDate(std::string_view text);

  // True when the client's copy is current. If-None-Match decides when it
  // is present (weak comparison, "*" matches); otherwise If-Modified-Since.
  static bool NotModified(std::string_view ifNoneMatch, std::string_view ifModifiedSince,
                          const std::vector<std::string>& etags, std::time_t lastModified);
};

}  // namespace vandrel::directory
