#pragma once

#include <string>

namespace vandrel {

// The autostart entry, kept as an XDG autostart desktop entry: the desktop
// starts the program at logon from a file in the user's autostart folder.
//
// entryName names the entry (its Name= line); the file name is derived from
// it: ASCII letters lower-cased, digits kept, everything else "-", then
// ".desktop" ("Vandrel Internet Radio" -> "vandrel-internet-radio.desktop").
//
// data is a command in the form the settings dialog gives it: the program's
// path, which arms the entry, or "rem " followed by that path, which disarms
// it. Armed: Exec= runs the path (quoted when needed), Hidden=false. Disarmed:
// Hidden=true, X-GNOME-Autostart-enabled=false and Exec=true, so the entry
// starts nothing even where Hidden is ignored. Either way the data itself
// is kept under X-Vandrel-Command, and the file is never deleted.
//
// The folder is created when missing; the file is replaced atomically.
// Failures are not reported; these never throw.
void SetAutostart(const std::string& entryName, const std::string& data);  // in DefaultAutostartFolder()
void SetAutostart(const std::string& entryName, const std::string& data, const std::string& autostartFolder);

// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart when that is unset, empty
// or relative; "" when no home folder is known either.
std::string DefaultAutostartFolder();

// The file SetAutostart writes for entryName in autostartFolder.
std::string AutostartEntryPath(const std::string& autostartFolder, const std::string& entryName);

// The program's path as the autostart data names it: the program folder, "/"
// and the executable's file name as it stands. Linux executables carry no
// ".exe", so nothing is cut off or added.
std::string AutostartProgramPath(const std::string& programFolder, const std::string& executablePath);

}  // namespace vandrel
