#pragma once

#include <string_view>

namespace vandrel::directory {

// A piece of an HTTP header value without the blanks and tabs around it.
inline std::string_view TrimHeaderValue(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace vandrel::directory
