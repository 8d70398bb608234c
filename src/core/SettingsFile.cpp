#include "core/SettingsFile.h"

#include "core/ProgramFolder.h"

namespace vandrel {

std::string SettingsFile(const std::string& settingsFolder) { return InFolder(settingsFolder, "INST.INI"); }

}  // namespace vandrel
