#include "shell/MprisRoot.h"

#include "player/Form1.h"

namespace vandrel {

MprisRoot::MprisRoot(QObject* object, Form1& form) : QDBusAbstractAdaptor(object), form_(form) {}

void MprisRoot::Raise() { form_.open_Click(); }

// As the tray menu's "Close": the settings are saved, then the program ends.
void MprisRoot::Quit() { form_.sluit_Click(); }

}  // namespace vandrel
