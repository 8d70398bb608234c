#pragma once

#include <string>

namespace vandrel {

// A key of INST.INI: where it stands in the file.
struct SettingKey {
  const char* section;
  const char* key;
};

// Every key of INST.INI the program reads or writes, in one place.
namespace settings {
// The settings dialog's "start with the system" option; the autostart itself is elsewhere.
inline constexpr SettingKey kAutostart{"Windows", "laden"};
inline constexpr SettingKey kShowWindow{"Online Radio", "grootscherm"};
inline constexpr SettingKey kPlayAtStart{"Online Radio", "afspelen"};
inline constexpr SettingKey kCloseEnds{"Online Radio", "xsluiten"};
inline constexpr SettingKey kLastName{"Onthouden", "LaatsteNAAM"};
inline constexpr SettingKey kLastUrl{"Onthouden", "LaatsteURL"};
inline constexpr SettingKey kVolume{"Onthouden", "Volume"};
inline constexpr SettingKey kLastCountryName{"Onthouden", "LaatsteLandNaam"};
// One key with two spellings: names match without regard to case, and
// both spellings have always been used.
inline constexpr SettingKey kLastCountryFileRead{"Onthouden", "LaatsteLandBestand"};
inline constexpr SettingKey kLastCountryFileWritten{"Onthouden", "LaatsteLandbestand"};
// Where the window stood and how large it was: "left,top,width,height".
// Desktop notifications of a new title: "0" switches them off.
inline constexpr SettingKey kNotify{"Online Radio", "meldingen"};
// The wake-up alarm: "on,hour,minute,weekdays,favourite".
inline constexpr SettingKey kAlarm{"Online Radio", "wekker"};
// Where recordings go; the user's music folder's "Vandrel" when empty.
inline constexpr SettingKey kRecordFolder{"Online Radio", "opnamemap"};
// "0": songs not recorded whole are left out.
inline constexpr SettingKey kRecordPartial{"Online Radio", "opnamedelen"};
inline constexpr SettingKey kGeometry{"Windows", "Geometry"};  // the normal place, also while maximized
inline constexpr SettingKey kMaximized{"Windows", "Maximized"};
}  // namespace settings

// INST.INI in the folder that holds the settings.
std::string SettingsFile(const std::string& settingsFolder);

}  // namespace vandrel
