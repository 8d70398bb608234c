#pragma once

#include <functional>

namespace vandrel {

// Runs handler on the user-interface thread when the program is asked to end
// by SIGTERM or SIGINT (a session logout, a kill, Ctrl+C in a terminal), so
// it can save its state the way its own "Close" does. Call once, after the
// application object exists.
void OnTerminationSignal(std::function<void()> handler);

}  // namespace vandrel
