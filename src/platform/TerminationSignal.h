#pragma once

#include <functional>

namespace vandrel {

// Runs handler on the user-interface thread when the program is asked to end
// by SIGTERM, SIGINT or SIGHUP (a session logout, a kill, Ctrl+C, its
// terminal closed), so it can save its state the way its own "Close" does.
// Call once, after the application object exists.
void OnTerminationSignal(std::function<void()> handler);

}  // namespace vandrel
