#include "core/ProgramFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "core/AtomicFile.h"

namespace vandrel {

namespace fs = std::filesystem;

namespace {

bool Writable(const std::string& folder) { return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0; }

// The folder and its favo/, made for the user alone; false when it cannot be.
bool MakeUserFolder(const std::string& folder) {
  if (folder.empty()) return false;
  std::error_code ec;
  fs::create_directories(fs::path(folder).parent_path(), ec);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  if (::mkdir(InFolder(folder, "favo").c_str(), 0700) != 0 && errno != EEXIST) return false;
  return Writable(folder) && Writable(InFolder(folder, "favo"));
}

// The installation's settings are the user's first ones.
void Seed(const std::string& programFolder, const std::string& folder) {
  const std::string target = InFolder(folder, "INST.INI");
  std::error_code ec;
  if (fs::exists(fs::symlink_status(target, ec))) return;
  std::ifstream in(InFolder(programFolder, "INST.INI"), std::ios::binary);
  const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ReplaceFileAtomically(target, content, 0600);
}

}  // namespace

std::string ProgramFolder() {
  std::error_code ec;
  const auto exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path(ec).string();
  return exe.parent_path().string();
}

std::string InFolder(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string ConfigFolder() {
  // A relative XDG_CONFIG_HOME is invalid and ignored.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return config;
  const char* home = std::getenv("HOME");
  std::string base = (home != nullptr && home[0] == '/') ? home : "";
  if (base.empty()) {
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) base = user->pw_dir;
  }
  if (base.empty() || base[0] != '/') return "";
  return InFolder(base, ".config");
}

std::string UserSettingsFolder() {
  const std::string config = ConfigFolder();
  return config.empty() ? "" : InFolder(config, "vandrel-radio");
}

SettingsPlace PrepareSettingsFolder(const std::string& programFolder, const std::string& userFolder) {
  SettingsPlace place{programFolder, true};
  if (!Writable(programFolder)) {
    place.writable = MakeUserFolder(userFolder);
    if (place.writable) {
      place.folder = userFolder;
      Seed(programFolder, userFolder);
    }
  }
  if (place.writable) {
    RemoveStaleTemporariesIn(place.folder);
    RemoveStaleTemporariesIn(InFolder(place.folder, "favo"));
  }
  return place;
}

}  // namespace vandrel
