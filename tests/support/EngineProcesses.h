#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace vandrel::test {

// Processes started below this one, other than the directory server the
// fixture runs: a web engine's helpers would show up here.
inline int EngineProcesses() {
  std::map<int, int> parentOf;
  std::map<int, std::string> nameOf;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const auto open = line.find('(');
    const auto close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    const int id = std::stoi(pid);
    nameOf[id] = line.substr(open + 1, close - open - 1);
    parentOf[id] = std::atoi(line.c_str() + close + 4);  // past ") S "
  }
  int count = 0;
  for (const auto& [pid, name] : nameOf) {
    if (name.starts_with("vandrel-direct")) continue;
    for (int up = parentOf[pid]; up > 1; up = parentOf.count(up) != 0 ? parentOf[up] : 0) {
      if (up == ::getpid()) {
        ++count;
        break;
      }
    }
  }
  return count;
}

}  // namespace vandrel::test
