#pragma once

namespace vandrel {

class Form1;

// Offers the main window's player to the desktop's media controls and media
// keys on the session bus, as a further instance when another copy holds the
// name. Without a bus it does nothing and says so with false: the program
// runs on without it.
bool StartMpris(Form1& form);

}  // namespace vandrel
