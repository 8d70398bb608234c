#pragma once

#include <stdexcept>
#include <string>

namespace vandrel {

// A failure of the markup box or its edit component, carrying the classic
// run-time error number containers of the control test for.
class MarkoraError : public std::runtime_error {
 public:
  static constexpr int kInvalidArgument = 5;
  static constexpr int kFileNotFound = 53;
  static constexpr int kFileAccess = 75;
  static constexpr int kInvalidPropertyValue = 380;
  static constexpr int kInvalidArrayIndex = 381;

  MarkoraError(int number, const std::string& message) : std::runtime_error(message), number_(number) {}
  int number() const { return number_; }

 private:
  int number_;
};

}  // namespace vandrel
