#pragma once

#include <stdexcept>
#include <string>

namespace vandrel {

// Raised when no answer can be had for an address.
class HttpError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The program's blocking downloader: returns the body of the answer as UTF-8
// text (also for an error status, whose page is just text to the caller).
class HttpClient {
 public:
  virtual ~HttpClient() = default;
  virtual std::string OpenURL(const std::string& address) = 0;
};

}  // namespace vandrel
