#include "shell/MprisRoot.h"

namespace vandrel {

MprisRoot::MprisRoot(QObject* object, std::function<void()> raise, std::function<void()> quit)
    : QDBusAbstractAdaptor(object), raise_(std::move(raise)), quit_(std::move(quit)) {}

void MprisRoot::Raise() { raise_(); }

// As the tray menu's "Close": the settings are saved, then the program ends.
void MprisRoot::Quit() { quit_(); }

}  // namespace vandrel
