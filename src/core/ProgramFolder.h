#pragma once

#include <string>

namespace vandrel {

// The folder of the running executable, without a closing "/".
std::string ProgramFolder();

// folder + "/" + name.
std::string InFolder(const std::string& folder, const std::string& name);

// The user's configuration folder, by the desktop's rule: $XDG_CONFIG_HOME
// when it is absolute, else ~/.config; "" when there is no home.
std::string ConfigFolder();

// The user's own folder for the program: vandrel-radio in ConfigFolder().
std::string UserSettingsFolder();

// Where the program keeps what it writes (INST.INI, favo/, the list cache).
struct SettingsPlace {
  std::string folder;     // without a closing "/"
  bool writable = false;  // false: neither place could be written
};

// The program folder when the user may write it (a build folder, a portable
// copy), as it always was. Otherwise (an installation) userFolder, created
// with its favo/ at the first start and given a copy of the installation's
// INST.INI, never overwritten later; texts, skins and directory.ini stay in
// the program folder. When neither can be written, the program folder, to
// read from. Temporaries of writers killed in the settings folder and favo/
// are removed.
SettingsPlace PrepareSettingsFolder(const std::string& programFolder, const std::string& userFolder);

}  // namespace vandrel
