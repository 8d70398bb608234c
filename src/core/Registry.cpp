#include "core/Registry.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "core/AtomicFile.h"
#include "core/ProgramFolder.h"

namespace vandrel {

namespace {

constexpr std::string_view kDisarmed = "rem ";

std::string FileNameFor(const std::string& entryName) {
  std::string name;
  for (const char c : entryName) {
    if (c >= 'A' && c <= 'Z') {
      name += static_cast<char>(c - 'A' + 'a');
    } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      name += c;
    } else {
      name += '-';  // also keeps "/" and ".." out of the path
    }
  }
  return name + ".desktop";
}

// The escapes of a desktop-entry string value; a leading blank would be
// trimmed by readers, so it is written as "\s".
std::string EscapeValue(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    switch (value[i]) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case ' ': out += (i == 0) ? "\\s" : " "; break;
      default: out += value[i];
    }
  }
  return out;
}

// One Exec argument: double-quoted when it holds a reserved character, with
// the four characters that stay special inside quotes escaped. "%" starts a
// field code everywhere, so it is doubled either way.
std::string ExecArgument(std::string_view path) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  const bool quote = path.empty() || path.find_first_of(kReserved) != std::string_view::npos;
  std::string out;
  if (quote) out += '"';
  for (const char c : path) {
    if (c == '%') {
      out += "%%";
      continue;
    }
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    out += c;
  }
  if (quote) out += '"';
  return out;
}

std::string EntryText(const std::string& entryName, const std::string& data) {
  const bool armed = data.compare(0, kDisarmed.size(), kDisarmed) != 0;
  std::string text = "[Desktop Entry]\n";
  text += "Type=Application\n";
  text += "Name=" + EscapeValue(entryName) + "\n";
  text += "Exec=" + (armed ? EscapeValue(ExecArgument(data)) : std::string("true")) + "\n";
  text += "Terminal=false\n";
  text += std::string("X-GNOME-Autostart-enabled=") + (armed ? "true" : "false") + "\n";
  text += std::string("Hidden=") + (armed ? "false" : "true") + "\n";
  text += "X-Vandrel-Command=" + EscapeValue(data) + "\n";
  return text;
}

// A hidden temporary whose name does not end in ".desktop", so a session
// starting meanwhile never runs a half-written entry.
void ReplaceFile(const std::string& folder, const std::string& name, std::string_view content) {
  ReplaceFileAtomically(InFolder(folder, name), content, 0644);
}

}  // namespace

void SetAutostart(const std::string& entryName, const std::string& data) {
  try {
    SetAutostart(entryName, data, DefaultAutostartFolder());
  } catch (...) {
    // Out of memory: the entry stays as it was, and callers expect no error.
  }
}

void SetAutostart(const std::string& entryName, const std::string& data, const std::string& autostartFolder) {
  try {
    if (autostartFolder.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(autostartFolder, ec);
    ReplaceFile(autostartFolder, FileNameFor(entryName), EntryText(entryName, data));
  } catch (...) {
    // As above.
  }
}

std::string DefaultAutostartFolder() {
  const std::string config = ConfigFolder();
  return config.empty() ? "" : InFolder(config, "autostart");
}

std::string AutostartEntryPath(const std::string& autostartFolder, const std::string& entryName) {
  return InFolder(autostartFolder, FileNameFor(entryName));
}

std::string AutostartProgramPath(const std::string& programFolder, const std::string& executablePath) {
  return InFolder(programFolder, std::filesystem::path(executablePath).filename().string());
}

}  // namespace vandrel
