#pragma once

#include <string>
#include <vector>

namespace vandrel {

// INI files as the program has always used them: "[section]" headers and
// "key=value" lines; section and key names match without regard to ASCII
// letter case, the first of duplicates wins. CR, LF and CRLF all end a line.
// Every call reads or writes the file at once; nothing is cached.

// The value of key in section, or "" when the file, section or key is missing.
// The value is everything after the first "=", leading blanks and quotes
// included (texts that start with a blank follow a name). The result is cut to 199 UTF-8 characters (an invalid byte counts as
// one), then trailing spaces are removed.
// key "0" asks for the key names of the section instead: exactly 200
// characters, each name followed by '\0', one more '\0' after the last, then
// spaces. A missing section gives "\0" and spaces.
std::string ReadIni(const std::string& filePath, const std::string& section, const std::string& key);

// As ReadIni, but the whole value however long: for keys that hold stream
// addresses, which a cut would break.
std::string ReadIniWhole(const std::string& filePath, const std::string& section, const std::string& key);

// Sets key in section, creating the file, the section or the key as needed;
// every other byte of the file stays as it was. The new content replaces the
// file atomically (temporary beside it, then rename), so a reader sees either
// the old or the new file. Writers in other processes take turns (flock), a
// symlink is written through to its target, new lines take the file's own
// line ends, and temporaries a killed writer left are removed. A file the
// user may not write, or one with no write bit (read-only), stays untouched.
// Failures leave the old file untouched and are not reported; this never throws.
void WriteIni(const std::string& filePath, const std::string& section, const std::string& key,
              const std::string& value);

struct IniValue {
  std::string section;
  std::string key;
  std::string value;
};

// As WriteIni for several keys that belong together, in one replace of the
// file: a crash or a full disk leaves all of them or none. True when the
// file was replaced.
bool WriteIniValues(const std::string& filePath, const std::vector<IniValue>& values);

namespace ini_testing {
// Lets tests make the final rename fail; nullptr restores ::rename.
using RenameFunction = int (*)(const char* from, const char* to);
void SetRenameFunction(RenameFunction f);
}  // namespace ini_testing

}  // namespace vandrel
