#pragma once

namespace vandrel {

class Form1;

// Offers the main window's player to the desktop's media controls and media
// keys on the session bus. Without a bus, or with the name taken, it does
// nothing and says so with false: the program runs on without it.
bool StartMpris(Form1& form);

}  // namespace vandrel
