#pragma once

#include <stdexcept>

namespace vandrel {

// Thrown by a dialog's opening code when the dialog cannot be shown; the
// opener reports it (error box "error12") and shows nothing.
class DialogOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace vandrel
