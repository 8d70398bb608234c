#pragma once

#include <QObject>
#include <functional>

#include "control/StationController.h"
#include "platform/MediaPlayer.h"

namespace vandrel {

// Offers the player and the station controller to the desktop's media
// controls and media keys on the session bus, as a further instance when
// another copy holds the name. raise shows the window, quit ends the
// program. Without a bus it does nothing and says so with false: the program
// runs on without it.
bool StartMpris(QObject* owner, MediaPlayer& player, StationController& controller, std::function<void()> raise,
                std::function<void()> quit);

}  // namespace vandrel
